#ifndef WORDFONT_H
#define WORDFONT_H

#include <QString>

// Character format applied to typed text. Colour is a word-processor colour
// value: 0xBBGGRR, or kAutomaticColor.
struct WordFont
{
    static constexpr int kAutomaticColor = -16777216;

    QString name = QStringLiteral("Times New Roman");
    double size = 10.5; // points
    bool bold = false;
    int color = kAutomaticColor;
};

#endif // WORDFONT_H
