// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"

#include <QString>
#include <QStringList>

// What was read from a table, in the words both kalvon-find and Kalvon Liste use: the columns by
// letter and header, the number of amounts, and the rows left out.
namespace ReadSummary {

// "D („Betrag“)", or "D" without a header.
QString columnText(int column, const QString& header);
// "Spalte D („Betrag“)", or "Spalte D".
QString columnName(int column, const QString& header);

// The parts of the "read from" sentence: "Tabellenblatt „Offene Posten“" (a workbook's), "Beträge
// aus Spalte D („Betrag“)", "Bezeichnung aus Spalte A („Belegnr“)" or "ohne Bezeichnung", "10 Beträge".
QStringList parts(const ItemTable& table);

// The rows left out, each clause ending in the verb given for one row or for several: "die
// Summenzeile 12 (10.622,90) zählt nicht mit", "die Summenzeilen 4 (30,00) und 7 (35,00) zählen nicht
// mit", "2 ausgeblendete Zeilen zählen nicht mit". Empty when none was left out.
QStringList leftOut(const ItemTable& table, const QString& oneVerb, const QString& manyVerb);

} // namespace ReadSummary
