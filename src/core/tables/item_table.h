// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

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
    bool hasHeader = false;   // the first row is a header and holds no amount

    // Every amount cell that is not empty, zeros included, in row order.
    std::vector<Item> items;
    // A last row that only totals the rows above; it is not among items.
    std::optional<Item> totalRow;

    bool isTable() const { return format != Format::PlainList; }
};
