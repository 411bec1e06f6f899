// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QString>
#include <QtGlobal>

#include <vector>

// The cells of a text table or a workbook's sheet, as the table reader chooses its columns from.
namespace CellGrid {

// The most columns a sheet can have in the spreadsheet programs (XFD).
constexpr int MaxColumns = 16384;

struct Cell {
    enum class Kind : quint8 {
        Text,   // text as written; it may be number text in the regional format
        Value,  // a workbook's numeric cell: value holds it
        Date,   // a date or time, shown as text; never a number
        Missing // a formula whose value the file does not hold (written by a program that does not
                // calculate): text holds the formula; never read as an amount, never left out silently
    };
    int column = 0; // 0-based
    Kind kind = Kind::Text;
    double value = 0;
    QString text; // Text and Date: what the cell shows; Value: empty
    // The cell's formula totals other cells: SUM, SUBTOTAL or AGGREGATE (also as SUMME, TEILERGEBNIS,
    // AGGREGAT), so its row is a total or subtotal row rather than an item.
    bool totalFormula = false;

    // Value cells, and Text cells that read as a number in the regional format.
    bool isNumber() const;
    // The amount of a number cell; throws KalvonError for another cell or one out of range.
    Currency amount() const;
    // The cell as a label shows it: its text, or a value in the regional format.
    QString shown() const;
};

// A row that has at least one cell that is not empty; only such cells are kept, by column.
struct Row {
    int number = 0;      // as a spreadsheet shows it, from 1
    bool hidden = false; // hidden or filtered out in the workbook: the sheet does not show it
    std::vector<Cell> cells;

    // The cell in that column, or null when it is empty.
    const Cell* at(int column) const;
};

struct Grid {
    std::vector<Row> rows;          // ascending by number
    int columnCount = 0;            // one more than the rightmost column with a cell
    std::vector<int> hiddenColumns; // the columns the workbook hides, ascending
};

// The bounds on what is read, and the Unreadable failures when they are passed.
struct Limits {
    int maxRows = 100000;
    qint64 maxCells = 3000000;
    qint64 maxUnpackedBytes = qint64(256) << 20;
};

// Collects rows within the limits: a row numbered beyond maxRows, more than maxCells cells or a
// cell beyond MaxColumns is refused as it comes, before it is stored.
class Builder {
public:
    explicit Builder(const Limits& limits)
        : m_limits(limits) {}
    // Adds a cell to the row numbered `row`; cells of one row come in ascending columns.
    void add(qint64 row, qint64 column, Cell cell);
    // Adds the cells of the last row again, as row `row`.
    void repeatLastRow(qint64 row);
    Grid take();

private:
    void count(qint64 row, qint64 column, qint64 cells);

    Limits m_limits;
    Grid m_grid;
    qint64 m_cells = 0;
};

[[noreturn]] void tooManyRows(int maxRows);
[[noreturn]] void tooManyCells(qint64 maxCells);
// A size as messages give it: in MiB when it is a whole number of them, else in bytes.
QString sizeText(qint64 bytes);

} // namespace CellGrid
