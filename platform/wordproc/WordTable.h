#ifndef WORDTABLE_H
#define WORDTABLE_H

#include "platform/wordproc/WordBorder.h"
#include "platform/wordproc/WordCell.h"
#include "platform/wordproc/WordFont.h"
#include "platform/wordproc/WordParagraphFormat.h"

#include <array>
#include <memory>
#include <vector>

// A table of rows × columns cells, 1-based like the automation model. Cells
// start with the paragraph and character format that was current where the
// table was added. New tables have single 0.5 pt borders all round.
class WordTable
{
public:
    WordTable(int rows, int columns, const WordParagraphFormat& format, const WordFont& font);

    int rowCount() const { return m_rows; }
    int columnCount() const { return m_columns; }

    // Cell (row, column), both from 1; nullptr outside the table.
    WordCell* cell(int row, int column);
    const WordCell* cell(int row, int column) const;

    // Default vertical alignment: centred when true, top otherwise.
    void setVerticallyCentered(bool centred) { m_verticallyCentered = centred; }
    bool verticallyCentered() const { return m_verticallyCentered; }

    // Row height for every row: rule 0 automatic, 1 at least, 2 exactly.
    void setRowHeightRule(int rule) { m_heightRule = rule; }
    void setRowHeight(double points) { m_rowHeight = points; }
    int rowHeightRule() const { return m_heightRule; }
    double rowHeight() const { return m_rowHeight; }

    // Border by item: 1..6 or -1..-6 for top, left, bottom, right, inside
    // horizontal, inside vertical; nullptr for any other item.
    WordBorder* border(int item);
    const std::array<WordBorder, 6>& borders() const { return m_borders; }
    // Enabled sets every border to single 0.5 pt, disabled removes them all.
    void setBordersEnabled(bool enabled);

    // Preferred width: type 1 automatic, 2 percent of the text width,
    // 3 points.
    void setPreferredWidthType(int type) { m_preferredWidthType = type; }
    void setPreferredWidth(double width) { m_preferredWidth = width; }
    int preferredWidthType() const { return m_preferredWidthType; }
    double preferredWidth() const { return m_preferredWidth; }

    // 0 fixed columns, 1 fit to contents, 2 fit to the window (full width).
    void autoFitBehavior(int behavior) { m_autoFit = behavior; }
    int autoFit() const { return m_autoFit; }

    const WordParagraphFormat& paragraphFormat() const { return m_format; }

private:
    int m_rows;
    int m_columns;
    std::vector<std::unique_ptr<WordCell>> m_cells;
    WordParagraphFormat m_format;
    bool m_verticallyCentered = false;
    int m_heightRule = 0;
    double m_rowHeight = 0.0;
    std::array<WordBorder, 6> m_borders;
    int m_preferredWidthType = 1;
    double m_preferredWidth = 0.0;
    int m_autoFit = 0;
};

#endif // WORDTABLE_H
