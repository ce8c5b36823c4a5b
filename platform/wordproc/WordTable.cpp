#include "platform/wordproc/WordTable.h"

#include <cstdlib>

WordTable::WordTable(int rows, int columns, const WordParagraphFormat& format, const WordFont& font)
    : m_rows(rows), m_columns(columns), m_format(format)
{
    m_format.outlineLevel = 10; // table text is never a heading
    m_cells.reserve(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    for (int i = 0; i < rows * columns; ++i)
        m_cells.emplace_back(new WordCell(font));
}

WordCell* WordTable::cell(int row, int column)
{
    if (row < 1 || row > m_rows || column < 1 || column > m_columns)
        return nullptr;
    return m_cells[static_cast<size_t>((row - 1) * m_columns + column - 1)].get();
}

const WordCell* WordTable::cell(int row, int column) const
{
    return const_cast<WordTable*>(this)->cell(row, column);
}

WordBorder* WordTable::border(int item)
{
    const int index = std::abs(item);
    if (index < 1 || index > 6)
        return nullptr;
    return &m_borders[static_cast<size_t>(index - 1)];
}

void WordTable::setBordersEnabled(bool enabled)
{
    for (WordBorder& b : m_borders) {
        b.lineStyle = enabled ? 1 : 0;
        b.lineWidth = 4;
        b.color = 0;
    }
}
