// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRegularExpression>
#include <QStringList>

// A list of amounts as copied from a spreadsheet column or row, or written one per line.
namespace AmountList {

// Line breaks, tabs and ';' separate the amounts.
const QRegularExpression& separators();

// The amounts of the text in their order: blanks around each removed, empty pieces skipped.
QStringList split(const QString& text);

} // namespace AmountList
