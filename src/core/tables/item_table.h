// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One amount of a list as read, with where it came from.
struct Item {
    Currency amount;
    // The row as a spreadsheet shows it (the first row of the file is row 1). In a plain list of
    // amounts: the amount's number, counted from 1 in input order, zeros included.
    int row = 0;
    QString label; // the label columns' texts joined with " / "; empty without labels
    // With roles read (TableReader::Options::roles): the customer, the IBAN and the invoice date;
    // empty, or a null date, where the table has none.
    QString customerNumber = {};
    QString customerName = {};
    QString iban = {};
    QDate date = {};
};

// A list of amounts as read from a file, standard input or the clipboard.
struct ItemTable {
    enum class Format { PlainList, Text, Xlsx, Ods };

    Format format = Format::PlainList;
    QString sheet;            // the sheet read, for .xlsx and .ods
    int amountColumn = -1;    // 0-based; -1 in a plain list
    QString amountHeader;     // the amount column's header text; empty without a header row
    QList<int> labelColumns;  // 0-based, in the order their texts are joined
    QStringList labelHeaders; // the header text of each label column; empty texts without a header
    bool hasHeader = false;   // a header row names the columns and holds no amount
    int headerRow = 0;        // the header's row as a spreadsheet shows it; 0 without a header
    // The columns of the roles (TableReader::Options::roles), 0-based; -1 where there is none.
    int customerNumberColumn = -1, customerNameColumn = -1, ibanColumn = -1, dateColumn = -1;
    // A column that marks each amount as debit ("S", "Soll": as it stands) or credit ("H", "Haben":
    // negated); -1 without one.
    int debitCreditColumn = -1;

    // Every amount cell that is not empty, zeros included, in row order.
    std::vector<Item> items;
    // A last row that only totals the rows above; it is not among items.
    std::optional<Item> totalRow;
    // Other rows that the table marks as sums (subtotals, a balance), in row order; not among items.
    std::vector<Item> sumRows;
    // Rows with an amount that the sheet hides (hidden or filtered out); not among items unless all
    // rows were asked for.
    int hiddenRows = 0;

    bool isTable() const { return format != Format::PlainList; }
};
