// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's bank statement: the user's decisions on the item model's undo stack.
#include "liste/reconciliation_controller.h"

#include "core/matching/payment_fit.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/reconciliation/report_writer.h"
#include "liste/reconciliation_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QUndoCommand>
#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

// One decision step on the item model's undo stack: the decisions and the settling of their items
// together, so that one "Rückgängig" takes both back.
class DecisionCommand : public QUndoCommand {
    using State = ReconciliationController::State;

public:
    DecisionCommand(ReconciliationController* controller, Decisions decisions, const QString& text)
        : QUndoCommand(text)
        , m_controller(controller)
        , m_generation(controller->m_state->generation)
        , m_decisions(std::move(decisions)) {}
    void redo() override {
        QUndoCommand::redo();
        if (State* s = state()) {
            for (const auto& [payment, d] : m_decisions)
                s->decisions[payment] = d;
            m_controller->decisionsChanged();
        }
    }
    void undo() override {
        if (State* s = state()) {
            for (const auto& entry : m_decisions)
                s->decisions.erase(entry.first);
        }
        QUndoCommand::undo();
        if (state())
            m_controller->decisionsChanged();
    }

private:
    State* state() const {
        return m_controller && m_controller->m_state->generation == m_generation ? m_controller->m_state.get()
                                                                                 : nullptr;
    }
    QPointer<ReconciliationController> m_controller;
    quint64 m_generation;
    Decisions m_decisions;
};

bool ReconciliationController::isDecided(int payment) const {
    return m_state->decisions.count(m_state->paymentIndex(payment)) > 0;
}

namespace {

// The payment that a decision is about: chosen, incoming, not decided yet.
int decidable(const ReconciliationController::State& s, int chosen) {
    const int index = chosen >= 0 && std::size_t(chosen) < s.input.paymentOf.size()
                          ? s.input.paymentOf[std::size_t(chosen)]
                          : -1;
    if (index < 0)
        throw KalvonError::unreadable(QStringLiteral("Wählen Sie zuerst eine eingehende Zahlung."));
    if (s.decisions.count(index))
        throw KalvonError::unreadable(
            QStringLiteral("%1 ist schon zugeordnet; „Rückgängig“ nimmt das zurück.")
                .arg(Abgleich::entryText(s.report.payments[std::size_t(chosen)])));
    return index;
}

} // namespace

void ReconciliationParts::pushDecisions(ReconciliationController* controller, ItemModel* items,
                                        Decisions decisions, const std::vector<int>& modelRowsToSettle,
                                        const QString& text) {
    if (items->isLocked())
        throw KalvonError::unreadable(
            QStringLiteral("Während die Suche läuft, lässt sich nichts zuordnen. Brechen Sie sie ab oder "
                           "warten Sie ihr Ende ab."));
    auto* command = new DecisionCommand(controller, std::move(decisions), text);
    std::vector<int> rows = modelRowsToSettle;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    items->addSettle(rows, command);
    items->undoStack()->push(command);
}

void ReconciliationController::acceptCandidate(int candidate) {
    State& s = *m_state;
    const int index = decidable(s, s.chosen);
    if (candidate < 0 || candidate >= s.candidates->candidateCount())
        throw KalvonError::unreadable(QStringLiteral("Wählen Sie zuerst eine der möglichen Zuordnungen."));
    Decision d;
    d.candidate = s.candidates->candidate(candidate);
    // Listed before the last decision and not matched again yet, a set may hold its items.
    const QSet<int> held = s.decidedRows();
    for (const int row : d.candidate.rows) {
        if (held.contains(row))
            throw KalvonError::unreadable(
                QStringLiteral("Ein Posten dieser Zuordnung gehört schon zu einer anderen Zahlung."));
    }
    d.basis = s.results[std::size_t(index)]->basis;
    d.alternatives = s.results[std::size_t(index)]->alternatives;
    const std::vector<int> settle = d.settles() ? s.toModelRows(d.candidate.rows) : std::vector<int>();
    pushDecisions(this, s.items, {{index, d}}, settle, QStringLiteral("Zuordnung übernehmen"));
}

int ReconciliationController::acceptAll() {
    State& s = *m_state;
    Decisions decisions;
    std::vector<int> rows;
    const QSet<int> held = s.decidedRows();
    const auto taken = [&](const Matching::Candidate& c) {
        return std::any_of(c.rows.begin(), c.rows.end(), [&](int row) { return held.contains(row); });
    };
    for (std::size_t i = 0; i < s.results.size(); ++i) {
        const auto& r = s.results[i];
        // A set found before the last decision may hold its items until the matching has run again.
        if (!r || r->status != Matching::Status::Matched || !r->match || s.decisions.count(int(i)) ||
            taken(*r->match))
            continue;
        decisions[int(i)] = Decision{*r->match, r->basis, r->alternatives, false};
        rows.insert(rows.end(), r->match->rows.begin(), r->match->rows.end());
    }
    if (decisions.empty())
        return 0;
    const int count = int(decisions.size());
    pushDecisions(this, s.items, std::move(decisions), s.toModelRows(rows),
                  QStringLiteral("Alle eindeutigen übernehmen"));
    return count;
}

namespace {

// The items of these model rows for a hand assignment: open, in the statement's list, held by no
// other decision.
std::vector<Item> assignable(const ReconciliationController::State& s, const std::vector<int>& rows) {
    QSet<int> listed;
    for (const Abgleich::OpenItem& item : s.report.openItems)
        listed.insert(item.row);
    const QSet<int> held = s.decidedRows();
    std::vector<Item> items;
    for (const int row : rows) {
        if (row < 0 || row >= s.items->itemCount())
            continue;
        const Item& item = s.items->item(row);
        if (s.items->isSettled(row) || held.contains(item.row) || !listed.contains(item.row))
            throw KalvonError::unreadable(
                QStringLiteral("„%1“ ist nicht mehr offen oder gehört schon zu einer anderen Zahlung.")
                    .arg(s.items->itemName(row)));
        items.push_back(item);
    }
    return items;
}

} // namespace

void ReconciliationController::assign(const std::vector<int>& rows) {
    State& s = *m_state;
    const int index = decidable(s, s.chosen);
    std::vector<int> unique = rows;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    const std::vector<Item> items = assignable(s, unique);
    if (items.empty())
        throw KalvonError::unreadable(
            QStringLiteral("Wählen Sie zuerst die Posten, die diese Zahlung begleicht."));
    std::vector<Currency> amounts;
    Decision d;
    for (const Item& item : items) {
        amounts.push_back(item.amount);
        d.candidate.rows.push_back(item.row);
        d.candidate.sum += item.amount;
    }
    const Currency sum = d.candidate.sum;
    std::sort(d.candidate.rows.begin(), d.candidate.rows.end());
    const Currency amount = s.input.payments[std::size_t(index)].amount;
    const std::vector<int> rowsOfSet = d.candidate.rows;
    d.candidate = Matching::PaymentFit::referenceFit(amount, amounts, s.options()).candidate;
    d.candidate.rows = rowsOfSet;
    d.candidate.sum = sum;
    if (s.results[std::size_t(index)])
        d.alternatives = s.results[std::size_t(index)]->alternatives;
    d.assigned = true;
    pushDecisions(this, s.items, {{index, d}}, d.settles() ? unique : std::vector<int>(),
                  QStringLiteral("Zuordnen"));
}

QString ReconciliationController::assignText(const std::vector<int>& rows) const {
    const State& s = *m_state;
    Currency sum;
    std::vector<int> unique = rows;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    for (const int row : unique) {
        if (row >= 0 && row < s.items->itemCount())
            sum += s.items->item(row).amount;
    }
    QString text = QStringLiteral("Summe %1").arg(NumberText::formatAmount(sum));
    if (s.chosen >= 0 && s.paymentIndex(s.chosen) >= 0) {
        const Currency difference = s.report.payments[std::size_t(s.chosen)].amount - sum;
        const QString shown = NumberText::formatAmount(difference);
        text += QStringLiteral(", Differenz %1")
                    .arg(difference > Currency() ? QLocale().positiveSign() + shown : shown);
    }
    return text;
}
