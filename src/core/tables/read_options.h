// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace TableReader {

// What to read from a table. Columns are named by header text (blanks around it and case aside),
// letter (C, AA) or number from 1, tried in this order: a header "C" names the column under it.
struct Options {
    QChar delimiter; // ';', ',' or '\t' for a text table; null: detected
    QString sheet;   // a workbook's sheet by its name, else its number from 1; empty: the first visible one
    QString column;  // the amount column; empty: chosen by its header and its cells
    QStringList labels; // label columns; empty: the default label column
    bool noLabel = false;
    // The header's row as a spreadsheet shows it, from 1; 0: found below title rows.
    int headerRow = 0;
    // Also the rows that the sheet hides (hidden or filtered out).
    bool allRows = false;

    // Read the roles a bank statement is matched by: the customer's number and name, the IBAN and
    // the invoice date, from columns named so (and the invoice number as the label), or as named here.
    bool roles = false;
    QStringList customerColumns; // a number and/or a name column
    QString dateColumn;
    QString ibanColumn;

    qint64 maxBytes = qint64(64) << 20;          // input beyond this is refused
    int maxRows = 100000;                        // rows beyond this are refused
    qint64 maxUnpackedBytes = qint64(256) << 20; // a spreadsheet part that unpacks beyond this is refused
    qint64 maxCells = 3000000;                   // more cells that are not empty are refused
};

// What is read, by indices, once the names of Options are resolved against the input.
struct Selection {
    bool plainList = false; // text whose pieces are all amounts: nothing else applies
    int sheet = 0;          // the index among a workbook's sheets; 0 for text
    int headerRow = -1;     // the header's row number from 1; -1 without a header
    int amountColumn = -1;  // 0-based, as every column here
    QList<int> labelColumns;
    int customerNumberColumn = -1, customerNameColumn = -1, ibanColumn = -1, dateColumn = -1;
    int debitCreditColumn = -1; // S/H: debit as it stands, credit negated
    bool allRows = false;
};

// How the input is laid out, for a window that lets the user pick the sheet and the columns. When
// reading fails, it holds as much as was known by then.
struct Layout {
    QStringList sheets;       // every sheet's name, for .xlsx and .ods; empty otherwise
    QList<int> hiddenSheets;  // the indexes in sheets of the sheets the workbook hides
    int sheet = -1;           // the index in sheets of the sheet read
    QStringList columnTitles; // per column of the sheet read: its header text, or empty
    QList<int> amountColumns; // the columns that could be the amount column, left to right
};

} // namespace TableReader
