#ifndef WORDPARAGRAPHFORMAT_H
#define WORDPARAGRAPHFORMAT_H

// Paragraph format. outlineLevel 1..9 are heading levels, 10 is body text;
// alignment 0 left, 1 centred, 2 right, 3 justified; lineSpacingRule 0
// single, 1 one and a half lines, 2 double; lengths in points.
struct WordParagraphFormat
{
    int outlineLevel = 10;
    int alignment = 0;
    double firstLineIndent = 0.0;
    int lineSpacingRule = 0;
    double spaceBefore = 0.0;
    double spaceAfter = 0.0;
};

#endif // WORDPARAGRAPHFORMAT_H
