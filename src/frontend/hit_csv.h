// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/tables/item_table.h"

#include <QByteArray>
#include <QChar>
#include <QStringList>

#include <span>

// Hits as a CSV file that a spreadsheet program of the user's region opens correctly by
// double-click: UTF-8 with a byte-order mark, ';' as delimiter where the decimal separator is a
// comma, one line per item of each hit.
namespace HitCsv {

QChar delimiter();
// A field as a spreadsheet reads it back: quoted where needed, a text that would start a formula
// guarded by an apostrophe.
QString field(QString text);
// An amount without group separators, with two decimals, more where the amount has them.
QString amount(Currency value);
// One line of fields, with the delimiter and CRLF, in UTF-8.
QByteArray line(const QStringList& fields);
// The byte-order mark and the line of column titles.
QByteArray header();
// The lines of hit number `number`: hit number, row, label, amount and the hit's sum.
QByteArray hitLines(quint64 number, std::span<const Item* const> items, Currency sum);

} // namespace HitCsv
