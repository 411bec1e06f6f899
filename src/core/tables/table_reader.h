// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// Reading a list of amounts as bookkeepers have them: a plain list (every cell a number or empty,
// separated by line breaks, tabs or ';'), a text table (CSV/TSV), or an .xlsx or .ods workbook.
// Failures throw KalvonError: Unreadable for input that cannot be read (with its whole German
// message), TypeMismatch and Overflow for a bad amount, naming its row, column and text.
//
// The rules:
// - Bytes starting as a zip archive are a workbook (xl/workbook.xml: .xlsx; a mimetype part of an
//   OpenDocument spreadsheet: .ods); other bytes are text: UTF-8 or UTF-16 by a byte-order mark,
//   else UTF-8 when valid, else Windows-1252.
// - Text whose pieces are all numbers is a plain list, numbered from 1 in input order, as
//   kalvon-find has always read it. So is text of one column (or a single row) in which a cell
//   after the first is not a number, or that holds a single cell: it fails with the message for its
//   first piece that is no number. A column under one header text is a table. A named column,
//   label or delimiter in the options always makes a table.
// - The delimiter of a text table: see TextTable::detectDelimiter. A row is a record, as a
//   spreadsheet shows the file: a line break inside quotes does not start a row, an empty line is
//   a row; the first record is row 1.
// - The header is the first row that is not empty, for a column when its cell there is not a
//   number. The amount column is the rightmost whose cells below its header are all numbers or
//   empty, at least one of them not zero. A workbook's numeric cell is taken by its value, a text
//   cell as number text in the regional format; a date or time (an .xlsx number format of a date,
//   an .ods date or time value) is no number and shows as the regional short date with a
//   four-digit year.
// - A last row whose amount is the sum of all amounts above it and one of whose text cells
//   contains "Summe", "Gesamt" or "Total" (case aside) is the total row, not an item.
// - Labels: by default the leftmost column other than the amount column; the texts of the label
//   columns joined with " / ", empty ones left out, line breaks and tabs shown as a space.
namespace TableReader {

struct Options {
    QChar delimiter; // ';', ',' or '\t' for a text table; null: detected
    QString sheet;   // a workbook's sheet by its name, else its number from 1; empty: the first visible one
    // The amount column by header text (blanks around it and case aside), letter (C, AA) or number
    // from 1, tried in this order: a header "C" names the column under it; empty: detected.
    QString column;
    QStringList labels; // label columns, each named as column is; empty: the default label column
    bool noLabel = false;

    qint64 maxBytes = qint64(64) << 20;          // input beyond this is refused
    int maxRows = 100000;                        // rows beyond this are refused
    qint64 maxUnpackedBytes = qint64(256) << 20; // a spreadsheet part that unpacks beyond this is refused
    qint64 maxCells = 3000000;                   // more cells that are not empty are refused
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

// Reads bytes as they came from a file or standard input.
ItemTable read(const QByteArray& bytes, const Options& options, Layout* layout = nullptr);
// Reads at most options.maxBytes from the device, then as read(); more is refused without
// reading it all, so an endless stream ends at once.
ItemTable read(QIODevice& device, const Options& options, Layout* layout = nullptr);
// A file by its path, or standard input for "-". A missing file, a directory and an unreadable
// file each have their own message.
ItemTable readFile(const QString& path, const Options& options, Layout* layout = nullptr);
// Text as it comes from the clipboard: a range copied from a spreadsheet, tab-separated.
ItemTable readText(const QString& text, const Options& options, Layout* layout = nullptr);

// A column's spreadsheet letter: 0 is "A", 26 is "AA".
QString columnLetter(int column);

} // namespace TableReader
