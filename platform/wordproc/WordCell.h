#ifndef WORDCELL_H
#define WORDCELL_H

#include "platform/wordproc/WordFont.h"
#include "platform/wordproc/WordInlineShape.h"

#include <QString>

#include <memory>
#include <vector>

// One table cell holding one paragraph of text and pictures.
class WordCell
{
public:
    explicit WordCell(const WordFont& font) : m_font(font) {}

    // 0 top, 1 centre, 3 bottom; -1 until set (the table's default applies).
    int verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(int alignment) { m_verticalAlignment = alignment; }

    // Replaces the cell's content, pictures included, by the text.
    void setText(const QString& text);
    QString text() const { return m_text; }

    // Format of the cell's text; changes apply to text already in the cell.
    WordFont& font() { return m_font; }
    const WordFont& font() const { return m_font; }

    // Appends a picture after the text; nullptr when the file is unreadable.
    // The cell keeps ownership.
    WordInlineShape* addPicture(const QString& path);
    const std::vector<std::unique_ptr<WordInlineShape>>& pictures() const { return m_pictures; }

private:
    WordFont m_font;
    QString m_text;
    int m_verticalAlignment = -1;
    std::vector<std::unique_ptr<WordInlineShape>> m_pictures;
};

#endif // WORDCELL_H
