// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/tables/cell_grid.h"
#include "core/tables/item_table.h"

#include <QDate>
#include <QString>

#include <vector>

// A sheet's cells typed once, as they are read: a number as an amount, a date, text, or a formula
// without a stored value. Choosing columns and reading items then only looks at the types.
namespace TypedSheet {

struct Cell {
    enum class Type : quint8 {
        Number,     // amount holds it
        OutOfRange, // a number beyond the amount range
        Date,       // date holds the day (null for a time alone)
        Text,       // anything else, number text that is no amount included
        Missing     // a formula whose value the file does not hold
    };
    int column = 0;
    Type type = Type::Text;
    bool totalFormula = false; // SUM, SUBTOTAL, AGGREGATE (also SUMME, TEILERGEBNIS, AGGREGAT)
    Currency amount;
    QDate date;
    QString text; // as the cell shows it

    bool isNumber() const { return type == Type::Number; }
    // Number text that is no amount is still number-like: it can stand in an amount column.
    bool isNumberLike() const { return type == Type::Number || type == Type::OutOfRange; }
};

struct Row {
    int number = 0;          // as a spreadsheet shows it, from 1
    bool hidden = false;     // hidden or filtered out
    int fields = 0;          // in a text table, its fields up to the last one that is not empty; else 0
    std::vector<Cell> cells; // the cells that are not empty, ascending by column

    const Cell* at(int column) const;
};

struct Sheet {
    ItemTable::Format format = ItemTable::Format::Text;
    QString name; // a workbook's sheet; empty for text
    std::vector<Row> rows;
    int columnCount = 0;
    std::vector<int> hiddenColumns;
    QChar delimiter; // a text table's delimiter; null for a workbook

    bool isHiddenColumn(int column) const;
};

// Types every cell of the grid once; delimiter: a text table's, null for a workbook.
Sheet typed(CellGrid::Grid grid, ItemTable::Format format, const QString& name, QChar delimiter = {});

// A date written as text: DD.MM.YYYY, DD.MM.YY or YYYY-MM-DD; null for other text.
QDate textDate(QStringView text);

} // namespace TypedSheet
