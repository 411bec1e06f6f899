// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <QStringView>

#include <functional>

// A list of amounts as copied from a spreadsheet column or row, or written one per line.
namespace AmountList {

// Line breaks, tabs and ';' separate the amounts.
const QRegularExpression& separators();

// Calls piece(amount, line) for each amount of the text in its order, blanks around it removed and
// empty pieces skipped, with the line it stands on (from 1); stops when piece returns false.
void forEachAmount(QStringView text, const std::function<bool(QStringView amount, qint64 line)>& piece);

// The amounts of the text in their order: blanks around each removed, empty pieces skipped.
QStringList split(const QString& text);

} // namespace AmountList
