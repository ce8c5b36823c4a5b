#include "platform/wordproc/WordSelection.h"

#include "platform/wordproc/WordDocument.h"

WordParagraphFormat& WordSelection::paragraphFormat()
{
    return m_document->m_open.format;
}

void WordSelection::typeText(const QString& text)
{
    auto& runs = m_document->m_open.runs;
    auto append = [&](const QString& piece) {
        if (piece.isEmpty())
            return;
        if (!runs.empty() && !runs.back().picture && runs.back().breakType == 0
            && runs.back().font.name == m_font.name && runs.back().font.size == m_font.size
            && runs.back().font.bold == m_font.bold && runs.back().font.color == m_font.color) {
            runs.back().text += piece;
            return;
        }
        WordDocument::Run run;
        run.text = piece;
        run.font = m_font;
        runs.push_back(std::move(run));
    };

    QString piece;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            append(piece);
            piece.clear();
            m_document->endParagraph();
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\v')) {
            append(piece);
            piece.clear();
            insertBreak(6);
        } else {
            piece += c;
        }
    }
    append(piece);
}

void WordSelection::typeParagraph()
{
    m_document->endParagraph();
}

bool WordSelection::insertBreak(int type)
{
    if (type >= 2 && type <= 5) {
        m_document->m_open.sectionBreak = type;
        m_document->endParagraph();
        m_document->m_open.sectionBreak = 0;
        return true;
    }
    if (type == 6 || type == 7) {
        WordDocument::Run run;
        run.font = m_font;
        run.breakType = type;
        m_document->m_open.runs.push_back(std::move(run));
        if (type == 7)
            m_document->endParagraph();
        return true;
    }
    return false;
}

WordTable* WordSelection::addTable(int rows, int columns)
{
    if (rows < 1 || columns < 1 || rows > 32767 || columns > 63)
        return nullptr;
    // An empty paragraph becomes the table; typed text stays above it, and
    // two tables never touch (they would merge into one).
    auto& blocks = m_document->m_blocks;
    if (!m_document->m_open.runs.empty() || (!blocks.empty() && blocks.back().table))
        m_document->endParagraph();
    WordDocument::Block block;
    block.table.reset(new WordTable(rows, columns, m_document->m_open.format, m_font));
    WordTable* table = block.table.get();
    blocks.push_back(std::move(block));
    return table;
}

WordInlineShape* WordSelection::addPicture(const QString& path)
{
    WordInlineShape* shape = WordInlineShape::fromFile(path);
    if (!shape)
        return nullptr;
    WordDocument::Run run;
    run.font = m_font;
    run.picture.reset(shape);
    m_document->m_open.runs.push_back(std::move(run));
    return shape;
}
