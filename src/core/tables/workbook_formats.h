// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/workbook.h"

#include <QDate>

#include <optional>

class ZipParts;

// The two kinds of workbook, and what they share.
namespace Workbook {

void readXlsx(const ZipParts& parts, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet);
void readOds(const ZipParts& parts, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet);

// The index of the sheet named `wanted` (its name, case aside, before its number from 1), or of the
// first visible sheet; throws KalvonError (Unreadable) listing the sheets when there is none such.
int chooseSheet(const QStringList& names, const QList<int>& hidden, const QString& wanted);

// A date as a label shows it: the regional short date with a four-digit year, then the time of
// day when it is not midnight; a day of 0 is a time alone.
QString dateText(QDate date, int secondsOfDay);
// A spreadsheet's date serial number in its date system (days since 1899-12-30, or 1904-01-01).
QString serialDateText(double serial, bool date1904);

// A number as a workbook stores it (an XML Schema double: "12.5", "-1E-3", "INF"), blanks around
// it aside; none when the text is no such number.
std::optional<double> storedNumber(QStringView text);

// Cell texts are cut at a spreadsheet cell's largest length.
constexpr qsizetype MaxCellText = 32767;
// Appends to a cell's text as far as MaxCellText.
void appendCut(QString& text, QStringView more);

// True when a formula totals cells: it calls SUM, SUBTOTAL or AGGREGATE, also as a program's prefixed
// or a German name ("_xlfn.AGGREGATE", "SUMME", "TEILERGEBNIS", "AGGREGAT"), outside quoted text and
// bracketed references.
bool isTotalFormula(QStringView formula);

} // namespace Workbook
