// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/cell_grid.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>

#include <vector>

// Text tables as spreadsheets and accounting programs write them (CSV, TSV, Excel's "Unicode
// text"): their encoding, their delimiter and their records.
namespace TextTable {

// The text of a file's bytes: UTF-8 or UTF-16 (LE or BE) by a byte-order mark; without one UTF-8
// when the bytes are valid UTF-8, otherwise Windows-1252.
QString decode(const QByteArray& bytes);

// Of tab, ';' and ',' the delimiter that splits the most of the first records into the same
// number of fields (at least two) outside quotes; a tie goes to the earlier of the three. A comma
// that joins two unquoted fields into one number of the regional format ("12,50", "1,234.50")
// belongs to the number, so ',' is no candidate then. ';' when none splits.
QChar detectDelimiter(QStringView text);

// The records of the text as rows, the first record row 1. A field may be quoted with '"'
// (doubled inside, with line breaks inside); a quote that is never closed is an ordinary
// character. Records end at CRLF, LF or CR; an empty line is an empty row. Blanks around a
// field are dropped. fieldCounts, when given, gets each row's number of fields (empty ones
// included), by row number from 1, for the rows within the limits.
CellGrid::Grid parse(QStringView text, QChar delimiter, const CellGrid::Limits& limits,
                     std::vector<int>* fieldCounts = nullptr);

} // namespace TextTable
