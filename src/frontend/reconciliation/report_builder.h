// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "core/tables/item_table.h"
#include "core/tables/statement.h"
#include "frontend/reconciliation/report.h"

#include <QStringList>

// From the inputs read to the matching's input, and from its result to the report: the same for
// kalvon-abgleich and Kalvon Liste, so that both give the same answers.
namespace Abgleich {

struct MatchInput {
    std::vector<StatementEntry> entries;     // every entry of the statement, in file order
    std::vector<int> paymentOf;              // per entry: its index in payments, -1 when left out
    std::vector<Matching::Payment> payments; // the incoming ones; entry i + 1 is payments[i]
    std::vector<Matching::Item> items;
    std::vector<OpenItem> openItems; // the same items, as the report shows them
};

MatchInput matchInput(const Statement& statement, const ItemTable& table);
Source sourceOf(const QString& statementFile, const QString& itemsFile, const Statement& statement,
                const ItemTable& table, const QStringList& columnTitles, const QString& currency);
Report buildReport(const MatchInput& input, const Matching::Result& result, Source source);

// The currency the open items are in: the one given, else the regional settings' (ISO 4217).
QString itemsCurrency(const QString& given);
// True when the statement names a currency other than the open items': their amounts cannot be
// compared. A statement that names none fits any.
bool currencyDiffers(const Statement& statement, const QString& itemsCurrency);

} // namespace Abgleich
