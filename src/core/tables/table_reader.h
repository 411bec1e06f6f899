// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/opened_source.h"
#include "core/tables/read_options.h"

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
// - Amounts are read as accounting exports write them (NumberText::readAmount): a currency mark
//   before or after, a trailing minus or parentheses for a credit.
// - Text whose pieces are all amounts is a plain list, numbered from 1 in input order, as
//   kalvon-find has always read it. So is text of one column (or a single row) in which a cell
//   after the first is not a number, or that holds a single cell: it fails with the message for its
//   first piece that is no number. A column under one header text is a table. A named column,
//   label, header row or delimiter in the options always makes a table.
// - The delimiter of a text table: see TextTable::detectDelimiter. A row is a record, as a
//   spreadsheet shows the file: a line break inside quotes does not start a row, an empty line is
//   a row; the first record is row 1.
// - The header is the fullest row above the first row of amounts (title rows above it are left
//   out), or the row given. The amount column is one whose cells below the header are all numbers
//   or empty, at least one of them not zero: by default one named as an amount ("Betrag", "Offen",
//   "Saldo", "Summe", "Brutto", "Amount"), else the rightmost, never a hidden column nor one whose
//   header says percentage, quantity, date or a number of something. A workbook's numeric cell is
//   taken by its value, a text cell as amount text in the regional format; a date or time is no
//   number and shows as the regional short date with a four-digit year.
// - A column of S/H (Soll/Haben) marks signs the amounts as an open-item list of customers has
//   them: debit (S) as it stands, credit (H, a credit note or payment) negated.
// - Rows the sheet hides are left out unless all rows are asked for; rows that the table marks as
//   sums are set aside (see readRows); a sum row after the last item is the total row.
// - Labels: by default the leftmost column other than the amount column (with roles: a column
//   named as the invoice number); the texts of the label columns joined with " / ", empty ones
//   left out, line breaks and tabs shown as a space.
namespace TableReader {

// The selection that the options name in the opened source: names, letters and numbers resolved to
// indices, the defaults chosen. Layout, when given, gets the columns, also when this fails.
Selection select(OpenedSource& source, const Options& options, Layout* layout = nullptr);
// The same with the sheet and the amount column given by their indices, as a window lists them
// (-1: as the options say): a header text cannot be mistaken for another column's letter.
Selection select(OpenedSource& source, const Options& options, int sheet, int amountColumn,
                 Layout* layout = nullptr);
// The items of the selection.
ItemTable read(OpenedSource& source, const Selection& selection);
ItemTable read(OpenedSource& source, const Options& options, Layout* layout = nullptr);

// Opens input for reading as above, within the bounds of the options.
OpenedSource open(QIODevice& device, const Options& options, Layout* layout = nullptr);
OpenedSource openFile(const QString& path, const Options& options, Layout* layout = nullptr);

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
