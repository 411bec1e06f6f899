// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/item_table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// Reading a list of amounts as bookkeepers have them: a plain list (every cell a number or empty,
// separated by line breaks, tabs or ';'), a text table (CSV/TSV), or an .xlsx or .ods workbook.
// Failures throw KalvonError: Unreadable for input that cannot be read (with its whole German
// message), TypeMismatch and Overflow for a bad amount, naming its row, column and text.
namespace TableReader {

struct Options {
    QChar delimiter; // ';', ',' or '\t' for a text table; null: detected
    QString sheet;   // a sheet by its name or its number from 1; empty: the first visible sheet
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
