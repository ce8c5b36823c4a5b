#ifndef WORDSELECTION_H
#define WORDSELECTION_H

#include "platform/wordproc/WordFont.h"
#include "platform/wordproc/WordInlineShape.h"
#include "platform/wordproc/WordParagraphFormat.h"
#include "platform/wordproc/WordTable.h"

#include <QString>

class WordDocument;

// The insertion point at the end of a document. The paragraph format
// applies to the paragraph being typed (and is inherited by the next one);
// the font applies to text typed from now on.
class WordSelection
{
public:
    explicit WordSelection(WordDocument* document) : m_document(document) {}

    WordDocument* document() const { return m_document; }

    WordParagraphFormat& paragraphFormat();
    WordFont& font() { return m_font; }

    // Types text; each line feed or carriage return ends the paragraph
    // ("\r\n" counts once), a vertical tab is a line break inside it.
    void typeText(const QString& text);
    // Ends the current paragraph.
    void typeParagraph();

    // 2 section break starting a new page, 3 continuous section break,
    // 4 even page, 5 odd page, 6 line break, 7 page break; false for others.
    bool insertBreak(int type);

    // Adds a table here (text after it goes below it); the document keeps
    // ownership. nullptr when rows or columns is below 1.
    WordTable* addTable(int rows, int columns);

    // Adds a picture at its own size to the current paragraph; nullptr when
    // the file is missing or not an image. The document keeps ownership.
    WordInlineShape* addPicture(const QString& path);

private:
    WordDocument* m_document;
    WordFont m_font;
};

#endif // WORDSELECTION_H
