// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/tables/item_table.h"

#include <QByteArray>
#include <QChar>

#include <span>

// Hits as a CSV file that a spreadsheet program of the user's region opens correctly by
// double-click: UTF-8 with a byte-order mark, ';' as delimiter where the decimal separator is a
// comma, one line per item of each hit.
namespace HitCsv {

QChar delimiter();
// The byte-order mark and the line of column titles.
QByteArray header();
// The lines of hit number `number`: hit number, row, label, amount and the hit's sum.
QByteArray hitLines(quint64 number, std::span<const Item* const> items, Currency sum);

} // namespace HitCsv
