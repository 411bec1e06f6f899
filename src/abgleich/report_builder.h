// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "abgleich/abgleich_options.h"
#include "abgleich/report.h"
#include "core/matching/matcher.h"
#include "core/tables/item_table.h"
#include "core/tables/statement.h"

class KalvonError;

// From the inputs read to the matching's input, and from its result to the report.
namespace AbgleichCommand {

struct MatchInput {
    std::vector<StatementEntry> entries;     // every entry of the statement, in file order
    std::vector<int> paymentOf;              // per entry: its index in payments, -1 when left out
    std::vector<Matching::Payment> payments; // the incoming ones; entry i + 1 is payments[i]
    std::vector<Matching::Item> items;
    std::vector<Abgleich::OpenItem> openItems; // the same items, as the report shows them
};

MatchInput matchInput(const Statement& statement, const ItemTable& table, const Options& options);
Matching::Options matchingOptions(const Options& options);
Abgleich::Source sourceOf(const Options& options, const Statement& statement, const ItemTable& table,
                          const QStringList& columnTitles, const QString& currency);
Abgleich::Report buildReport(const MatchInput& input, const Matching::Result& result,
                             Abgleich::Source source);

// A failure of the readers or the matching in kalvon-abgleich's words.
QString matchingMessage(const KalvonError& error);

} // namespace AbgleichCommand
