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
    // How a Text cell's text reads as a number, once taken by readNumber(); Unread: read at each
    // question. A workbook's text that many cells show (a shared string, a repeated cell) is read once.
    enum class Reading : quint8 { Unread, NoNumber, Number, OutOfRange };
    Reading reading = Reading::Unread;
    qint64 count = 0; // Number: the amount in ten-thousandths

    // Reads a Text cell's text as a number in the current regional format, for this cell and every
    // copy made of it afterwards.
    void readNumber();
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
    // The characters of all cells together, each repeat or reference of a text counted: as much as
    // the largest text input holds, so that a few bytes that many cells refer to cannot grow
    // without bound.
    qint64 maxCellText = qint64(64) << 20;
};

// Collects rows within the limits: a row numbered beyond maxRows, more than maxCells cells or
// maxCellText characters, or a cell beyond MaxColumns is refused as it comes, before it is stored.
class Builder {
public:
    explicit Builder(const Limits& limits)
        : m_limits(limits) {}
    // Adds a cell to the row numbered `row`, which is hidden when the first of its cells says so.
    void add(qint64 row, qint64 column, Cell cell, bool hiddenRow = false);
    // Adds the cells of the last row again, as row `row`.
    void repeatLastRow(qint64 row);
    // Marks `count` columns from `first` (0-based) hidden; those beyond MaxColumns are left out.
    void hideColumns(qint64 first, qint64 count);
    // The grid, its rows and cells in order; throws KalvonError (Unreadable) naming a row or a cell
    // that was given twice.
    Grid take();

private:
    void count(qint64 row, qint64 column, qint64 cells, qint64 characters);

    Limits m_limits;
    Grid m_grid;
    std::vector<bool> m_hiddenColumns;
    qint64 m_cells = 0;
    qint64 m_characters = 0;
};

[[noreturn]] void tooManyRows(int maxRows);
// A row numbered beyond maxRows, named by its number as written (digits, however many).
[[noreturn]] void rowBeyond(const QString& number, int maxRows);
[[noreturn]] void tooManyCells(qint64 maxCells);
[[noreturn]] void tooMuchText(qint64 maxCharacters);
// A size as messages give it: in MiB when it is a whole number of them, else in bytes.
QString sizeText(qint64 bytes);

} // namespace CellGrid
