// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "core/tables/statement.h"
#include "core/tables/table_reader.h"
#include "frontend/reconciliation/report_builder.h"
#include "liste/candidate_model.h"
#include "liste/item_model.h"
#include "liste/matching_runner.h"
#include "liste/payment_model.h"
#include "liste/reconciliation_controller.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <gmpxx.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

// What ReconciliationController keeps, shared by its source files (the statement and the matching,
// the decisions, the report and the saved reconciliation); not for use outside them.

namespace ReconciliationParts {

// A payment the user decided: a candidate set accepted or items assigned by hand.
struct Decision {
    Matching::Candidate candidate; // rows as the spreadsheet shows them
    Matching::Basis basis = Matching::Basis::None;
    mpz_class alternatives;
    bool assigned = false;
    // A partial payment leaves its items open.
    bool settles() const { return !candidate.remainder; }
};
using Decisions = std::map<int, Decision>; // by the payment's index among the incoming ones

} // namespace ReconciliationParts

namespace ReconciliationParts {
// Pushes one decision step on the item model's undo stack: the decisions, and the settling of the
// items of those that settle. Throws KalvonError while a search locks the list.
void pushDecisions(ReconciliationController* controller, ItemModel* items, Decisions decisions,
                   const std::vector<int>& modelRowsToSettle, const QString& text);
} // namespace ReconciliationParts

using ReconciliationParts::Decision;
using ReconciliationParts::Decisions;
using ReconciliationParts::pushDecisions;

struct ReconciliationController::State {
    ItemModel* items = nullptr;
    MatchingRunner* runner = nullptr;
    PaymentModel* payments = nullptr;
    PaymentFilterModel* filter = nullptr;
    CandidateModel* candidates = nullptr;
    MatchSettings settings;

    QString statementPath;
    std::optional<Statement> statement;
    QString currency;
    QString itemsPath;
    QStringList columnTitles;

    Abgleich::MatchInput input; // what the results below were found on
    bool again = false;         // the decisions changed while a matching ran: match again at its end
    std::pair<int, int> customerColumns{-1, -1};                 // read again by the last matching, if it did
    std::vector<std::optional<Matching::PaymentResult>> results; // per incoming payment
    Decisions decisions;
    Abgleich::Report report;
    int chosen = -1;
    quint64 generation = 0; // per statement and list: older undo steps leave the decisions alone

    int paymentIndex(int reportIndex) const {
        return reportIndex >= 0 && std::size_t(reportIndex) < input.paymentOf.size()
                   ? input.paymentOf[std::size_t(reportIndex)]
                   : -1;
    }
    // The item model's row of each spreadsheet row.
    QHash<int, int> modelRows() const {
        QHash<int, int> rows;
        rows.reserve(items->itemCount());
        for (int i = 0; i < items->itemCount(); ++i)
            rows.insert(items->item(i).row, i);
        return rows;
    }
    std::vector<int> toModelRows(const std::vector<int>& sheetRows) const {
        const QHash<int, int> rows = modelRows();
        std::vector<int> out;
        for (const int row : sheetRows) {
            const auto found = rows.constFind(row);
            if (found != rows.constEnd())
                out.push_back(*found);
        }
        return out;
    }
    QSet<int> decidedRows() const {
        QSet<int> rows;
        for (const auto& [payment, d] : decisions)
            for (const int row : d.candidate.rows)
                rows.insert(row);
        return rows;
    }
    // The open items as the matching takes them: every item not settled, and those settled by
    // the decisions of this statement.
    ItemTable openItems() const {
        ItemTable table = items->source();
        const QSet<int> decided = decidedRows();
        for (int i = 0; i < items->itemCount(); ++i) {
            if (!items->isSettled(i) || decided.contains(items->item(i).row))
                table.items.push_back(items->item(i));
        }
        return table;
    }
    // How the list is read again for another customer column.
    TableReader::Options customerOptions() const {
        const ItemTable& table = items->source();
        TableReader::Options o;
        o.sheet = table.sheet;
        o.column = TableReader::columnLetter(table.amountColumn);
        o.headerRow = table.headerRow;
        o.roles = true;
        o.customerColumns = {TableReader::columnLetter(settings.customerColumn)};
        return o;
    }
    Matching::Options options() const {
        Matching::Options o;
        o.maxItems = settings.maxItems;
        o.tolerance = settings.tolerance;
        o.skontoPercents = settings.skontoPercents;
        o.days = settings.days;
        return o;
    }
};
