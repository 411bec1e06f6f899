// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/reconciliation_controller.h"

#include "core/matching/payment_fit.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/statement.h"
#include "core/tables/table_reader.h"
#include "frontend/reconciliation/report_builder.h"
#include "frontend/reconciliation/report_writer.h"
#include "liste/candidate_model.h"
#include "liste/item_model.h"
#include "liste/matching_runner.h"
#include "liste/payment_model.h"
#include "liste/reconciliation_file.h"

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

namespace {

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

} // namespace

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

ReconciliationController::ReconciliationController(ItemModel* items, QObject* parent)
    : QObject(parent)
    , m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.items = items;
    s.runner = new MatchingRunner(this);
    s.payments = new PaymentModel(this);
    s.filter = new PaymentFilterModel(this);
    s.filter->setSourceModel(s.payments);
    s.candidates = new CandidateModel(this);
    connect(s.runner, &MatchingRunner::progress, this, &ReconciliationController::progress);
    connect(s.runner, &MatchingRunner::finished, this, &ReconciliationController::runEnded);
    connect(s.runner, &MatchingRunner::failed, this, [this](const QString& message) {
        m_state->again = false;
        emit busyChanged(false);
        emit failed(message);
    });
    connect(items, &ItemModel::listReplaced, this, &ReconciliationController::listReset);
}

// The window may be half gone by now: nothing is signalled any more.
ReconciliationController::~ReconciliationController() {
    m_state->runner->stop();
}

bool ReconciliationController::looksLikeStatement(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return StatementReader::looksLikeStatement(file.read(qint64(64) << 20)); // as much as the reader takes
}

void ReconciliationController::openStatement(const QString& path) {
    Statement statement = StatementReader::readFile(path);
    const QString currency = Abgleich::itemsCurrency(QString());
    if (Abgleich::currencyDiffers(statement, currency))
        throw KalvonError::unreadable(
            QStringLiteral("Der Kontoauszug „%1“ ist in %2, die offenen Posten nach den regionalen "
                           "Einstellungen in %3; die Beträge lassen sich nicht vergleichen.")
                .arg(QDir::toNativeSeparators(path), statement.currency, currency));
    stop();
    State& s = *m_state;
    s.statementPath = path;
    s.currency = statement.currency.isEmpty() ? currency : statement.currency;
    s.statement = std::move(statement);
    listReset();
}

bool ReconciliationController::hasStatement() const {
    return m_state->statement.has_value();
}

QString ReconciliationController::statementFile() const {
    return m_state->statementPath;
}

void ReconciliationController::setItemsSource(const QString& path) {
    m_state->itemsPath = path;
    if (hasStatement())
        compose();
}

void ReconciliationController::setItemsColumns(const QStringList& titles) {
    m_state->columnTitles = titles;
    if (hasStatement())
        compose();
}

MatchSettings ReconciliationController::settings() const {
    return m_state->settings;
}

namespace {

// The settings' refusal in the words of the window's fields; empty when they are valid.
QString refusal(const MatchSettings& s) {
    if (s.maxItems < 1 || s.maxItems > 8)
        return QStringLiteral("Höchstens %1 Posten je Zahlung gehen nicht; erlaubt sind 1 bis 8.")
            .arg(s.maxItems);
    if (s.tolerance < Currency())
        return QStringLiteral("Die Toleranz darf nicht negativ sein.");
    if (s.days < 0)
        return QStringLiteral("Die Zahl der Tage darf nicht negativ sein.");
    for (const Currency rate : s.skontoPercents) {
        if (rate <= Currency() || rate >= Currency::fromCount(100 * Currency::Scale))
            return QStringLiteral("Der Skontosatz %1 % geht nicht; er muss über 0 und unter 100 % liegen.")
                .arg(NumberText::currencyText(rate));
    }
    return QString();
}

} // namespace

void ReconciliationController::setSettings(const MatchSettings& settings) {
    const QString refused = refusal(settings);
    if (!refused.isEmpty())
        throw KalvonError::unreadable(refused);
    if (settings.customerColumn >= 0 && m_state->itemsPath.isEmpty())
        throw KalvonError::unreadable(
            QStringLiteral("Eine andere Kundenspalte lässt sich nur für eine Liste aus einer Datei wählen."));
    m_state->settings = settings;
}

// A new statement or a new list: no decisions, no results; the payments as read.
void ReconciliationController::listReset() {
    State& s = *m_state;
    if (!s.statement)
        return;
    stop();
    ++s.generation;
    s.again = false;
    s.decisions.clear();
    s.input = Abgleich::matchInput(*s.statement, s.openItems());
    s.results.assign(s.input.payments.size(), std::nullopt);
    s.chosen = -1;
    s.candidates->clear();
    compose();
}

bool ReconciliationController::startMatching() {
    State& s = *m_state;
    if (!s.statement || s.runner->isRunning())
        return false;
    startRun();
    return true;
}

// Matches the undecided payments against the open items that no decision holds.
void ReconciliationController::startRun() {
    State& s = *m_state;
    s.again = false;
    MatchingJob job;
    job.statement = *s.statement;
    job.items = s.openItems();
    for (const auto& entry : s.decisions)
        job.decidedPayments.insert(entry.first);
    job.decidedRows = s.decidedRows();
    job.options = s.options();
    if (s.settings.customerColumn >= 0 && !s.itemsPath.isEmpty())
        job.customers = MatchingJob::Customers{s.itemsPath, s.customerOptions()};
    s.runner->start(std::move(job));
    emit busyChanged(true);
}

void ReconciliationController::runEnded(bool cancelled) {
    State& s = *m_state;
    if (s.again) {
        startRun();
        return;
    }
    emit busyChanged(false);
    if (!cancelled) {
        MatchingOutcome outcome = s.runner->takeOutcome();
        s.input = std::move(outcome.input);
        s.customerColumns = outcome.customerColumns;
        s.results.assign(s.input.payments.size(), std::nullopt);
        const std::vector<int>& matched = outcome.matched;
        for (std::size_t k = 0; k < outcome.result.payments.size() && k < matched.size(); ++k) {
            Matching::PaymentResult r = outcome.result.payments[k];
            r.entry = matched[k] + 1;
            for (int& entry : r.collidesWith)
                entry = matched[std::size_t(entry - 1)] + 1;
            s.results[std::size_t(matched[k])] = std::move(r);
        }
        compose();
        choosePayment(s.chosen);
    }
    emit matched(cancelled);
}

bool ReconciliationController::isRunning() const {
    return m_state->runner->isRunning();
}

void ReconciliationController::cancel() {
    m_state->again = false;
    m_state->runner->cancel();
}

void ReconciliationController::stop() {
    if (!m_state->runner->isRunning())
        return;
    m_state->again = false;
    m_state->runner->stop();
    emit busyChanged(false);
}

// The decisions changed: the report shows them at once, the others are matched again.
void ReconciliationController::decisionsChanged() {
    State& s = *m_state;
    compose();
    choosePayment(s.chosen);
    if (s.runner->isRunning()) {
        s.again = true;
        s.runner->cancel();
    } else {
        startRun();
    }
}

namespace {

Matching::PaymentResult decided(int payment, const Decision& d) {
    Matching::PaymentResult r;
    r.entry = payment + 1;
    r.status = d.candidate.remainder ? Matching::Status::Partial : Matching::Status::Matched;
    r.basis = d.basis;
    r.match = d.candidate;
    r.alternatives = d.alternatives;
    r.candidates = {d.candidate};
    return r;
}

} // namespace

// The report from the decisions and the last matching of the others.
void ReconciliationController::compose() {
    State& s = *m_state;
    Matching::Result merged;
    for (std::size_t i = 0; i < s.input.payments.size(); ++i) {
        const auto d = s.decisions.find(int(i));
        if (d != s.decisions.end()) {
            merged.payments.push_back(decided(int(i), d->second));
        } else if (s.results[i]) {
            merged.payments.push_back(*s.results[i]);
        } else {
            merged.payments.emplace_back();
            merged.payments.back().entry = int(i) + 1;
        }
    }
    ItemTable table = s.items->source();
    if (s.settings.customerColumn >= 0) // the columns the matching read the customers from
        std::tie(table.customerNumberColumn, table.customerNameColumn) = s.customerColumns;
    const QString itemsName = s.itemsPath.isEmpty() ? QString() : QFileInfo(s.itemsPath).fileName();
    s.report = Abgleich::buildReport(s.input, merged,
                                     Abgleich::sourceOf(QFileInfo(s.statementPath).fileName(), itemsName,
                                                        *s.statement, table, s.columnTitles, s.currency));
    // Incoming payments that no matching has reached yet have no status to show.
    std::vector<bool> pending;
    for (const int payment : s.input.paymentOf)
        pending.push_back(payment >= 0 && !s.decisions.contains(payment) && !s.results[std::size_t(payment)]);
    s.payments->setReport(s.report, std::move(pending));
    emit changed();
}

PaymentModel* ReconciliationController::payments() const {
    return m_state->payments;
}

QSortFilterProxyModel* ReconciliationController::filteredPayments() const {
    return m_state->filter;
}

void ReconciliationController::setFilter(Filter filter) {
    static const Abgleich::Status statuses[] = {Abgleich::Status::Matched, Abgleich::Status::Partial,
                                                Abgleich::Status::Ambiguous, Abgleich::Status::Unmatched,
                                                Abgleich::Status::LeftOut};
    m_state->filter->setStatus(filter == Filter::All ? std::nullopt
                                                     : std::optional(statuses[int(filter) - 1]));
}

QStringList ReconciliationController::filterTexts() {
    return {QStringLiteral("Alle Zahlungen"),   QStringLiteral("Zugeordnet"),
            QStringLiteral("Teilzahlungen"),    QStringLiteral("Mehrdeutig"),
            QStringLiteral("Nicht zugeordnet"), QStringLiteral("Ausgelassen")};
}

CandidateModel* ReconciliationController::candidates() const {
    return m_state->candidates;
}

namespace {

std::vector<int> sheetRows(const Abgleich::Report& report, const Abgleich::ItemSet& set) {
    std::vector<int> rows;
    for (const int index : set)
        rows.push_back(report.openItems[std::size_t(index)].row);
    return rows;
}

int firstOf(const std::vector<int>& rows) {
    return rows.empty() ? -1 : *std::min_element(rows.begin(), rows.end());
}

} // namespace

int ReconciliationController::choosePayment(int payment) {
    State& s = *m_state;
    if (payment < 0 || std::size_t(payment) >= s.report.payments.size()) {
        s.chosen = -1;
        s.candidates->clear();
        s.items->setHighlighted({});
        return -1;
    }
    s.chosen = payment;
    const int index = s.paymentIndex(payment);
    const auto& result = index >= 0 ? s.results[std::size_t(index)] : std::nullopt;
    if (result && !s.decisions.count(index))
        s.candidates->setCandidates(s.report, result->candidates, result->alternatives);
    else
        s.candidates->clear();
    std::vector<int> rows = s.toModelRows(sheetRows(s.report, s.report.payments[std::size_t(payment)].items));
    const int first = firstOf(rows);
    s.items->setHighlighted(std::move(rows));
    return first;
}

int ReconciliationController::chosenPayment() const {
    return m_state->chosen;
}

int ReconciliationController::chooseCandidate(int candidate) {
    State& s = *m_state;
    if (candidate < 0 || candidate >= s.candidates->candidateCount())
        return choosePayment(s.chosen);
    std::vector<int> rows = s.toModelRows(s.candidates->candidate(candidate).rows);
    const int first = firstOf(rows);
    s.items->setHighlighted(std::move(rows));
    return first;
}

QString ReconciliationController::detailsText() const {
    const State& s = *m_state;
    if (s.chosen < 0)
        return QString();
    QString text = Abgleich::paymentText(s.report, s.report.payments[std::size_t(s.chosen)]);
    const auto d = s.decisions.find(s.paymentIndex(s.chosen));
    if (d != s.decisions.end())
        text += d->second.assigned ? QStringLiteral("  Von Hand zugeordnet.\n")
                                   : QStringLiteral("  Übernommen.\n");
    return text;
}

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

// Pushes one decision step: the decisions, and the settling of the items of those that settle.
static void pushDecisions(ReconciliationController* controller, ItemModel* items, Decisions decisions,
                          const std::vector<int>& modelRowsToSettle, const QString& text) {
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
    const QSet<int> decided = s.decidedRows();
    for (const int row : d.candidate.rows) {
        if (decided.contains(row))
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
    const QSet<int> decided = s.decidedRows();
    const auto taken = [&](const Matching::Candidate& c) {
        return std::any_of(c.rows.begin(), c.rows.end(), [&](int row) { return decided.contains(row); });
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
    const QSet<int> decided = s.decidedRows();
    std::vector<Item> items;
    for (const int row : rows) {
        if (row < 0 || row >= s.items->itemCount())
            continue;
        const Item& item = s.items->item(row);
        if (s.items->isSettled(row) || decided.contains(item.row) || !listed.contains(item.row))
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

Abgleich::Report ReconciliationController::report() const {
    return m_state->report;
}

QString ReconciliationController::summaryText() const {
    if (!hasStatement())
        return QString();
    const Abgleich::Summary summary = m_state->report.summary();
    const int pending = m_state->payments->pendingCount();
    if (pending > 0)
        return QStringLiteral("Zahlungen: %1 gelesen, %2 noch nicht abgeglichen, %3 ausgelassen.")
            .arg(QLocale().toString(summary.payments), QLocale().toString(pending),
                 QLocale().toString(summary.leftOut));
    return Abgleich::summaryText(summary);
}

void ReconciliationController::saveReport(const QString& path) const {
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        Abgleich::writeXlsx(m_state->report, path);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Abgleich::csvReport(m_state->report)) < 0 ||
        !file.commit())
        throw KalvonError::unreadable(QStringLiteral("Die Datei „%1“ lässt sich nicht schreiben: %2")
                                          .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void ReconciliationController::saveReconciliation(const QString& path, bool replace) const {
    const State& s = *m_state;
    if (!s.statement)
        throw KalvonError::unreadable(QStringLiteral("Es ist kein Kontoauszug geöffnet."));
    if (s.itemsPath.isEmpty())
        throw KalvonError::unreadable(
            QStringLiteral("Die offenen Posten stammen nicht aus einer Datei; ein Abgleich lässt sich nur "
                           "zu einer Liste aus einer Datei speichern."));
    ReconciliationFile file;
    file.statementFile = QFileInfo(s.statementPath).absoluteFilePath();
    file.statementSha256 = ReconciliationFile::sha256Of(s.statementPath);
    file.itemsFile = QFileInfo(s.itemsPath).absoluteFilePath();
    file.itemsSha256 = ReconciliationFile::sha256Of(s.itemsPath);
    const ItemTable& table = s.items->source();
    file.itemsSheet = table.sheet;
    file.itemsColumn = table.amountColumn;
    file.itemsHeaderRow = table.headerRow;
    file.settings = s.settings;
    for (std::size_t e = 0; e < s.input.paymentOf.size(); ++e) {
        const auto d = s.decisions.find(s.input.paymentOf[e]);
        if (s.input.paymentOf[e] < 0 || d == s.decisions.end())
            continue;
        file.decisions.push_back({s.report.payments[e].entry, s.report.payments[e].part, d->second.assigned,
                                  d->second.basis, d->second.candidate, d->second.alternatives});
    }
    file.write(path, replace);
}

TableReader::Options ReconciliationController::Saved::readOptions() const {
    TableReader::Options options;
    options.sheet = itemsSheet;
    if (itemsColumn >= 0)
        options.column = TableReader::columnLetter(itemsColumn);
    options.headerRow = itemsHeaderRow;
    options.roles = true;
    return options;
}

ReconciliationController::Saved ReconciliationController::readSaved(const QString& path) {
    const ReconciliationFile file = ReconciliationFile::read(path);
    return {file.statementFile, file.itemsFile, file.itemsSheet, file.itemsColumn, file.itemsHeaderRow};
}

namespace {

// The saved decisions by the payments of this statement; throws when one no longer fits.
Decisions savedDecisions(const ReconciliationController::State& s, const ReconciliationFile& file) {
    QSet<int> open;
    for (int i = 0; i < s.items->itemCount(); ++i) {
        if (!s.items->isSettled(i))
            open.insert(s.items->item(i).row);
    }
    Decisions decisions;
    for (const ReconciliationFile::Decision& saved : file.decisions) {
        int index = -1;
        for (std::size_t e = 0; e < s.report.payments.size() && index < 0; ++e) {
            if (s.report.payments[e].entry == saved.entry && s.report.payments[e].part == saved.part)
                index = s.input.paymentOf[e];
        }
        if (index < 0 || decisions.count(index))
            throw KalvonError::unreadable(
                QStringLiteral(
                    "Der gespeicherte Abgleich nennt die Buchung %1, die der Kontoauszug nicht als "
                    "eingehende Zahlung enthält.")
                    .arg(saved.part ? QStringLiteral("%1.%2").arg(saved.entry).arg(saved.part)
                                    : QString::number(saved.entry)));
        for (const int row : saved.candidate.rows) {
            if (!open.contains(row))
                throw KalvonError::unreadable(
                    QStringLiteral(
                        "Der gespeicherte Abgleich nennt die Zeile %1, die in der Liste nicht offen ist.")
                        .arg(row));
            open.remove(row);
        }
        decisions[index] = Decision{saved.candidate, saved.basis, saved.alternatives, saved.assigned};
    }
    return decisions;
}

} // namespace

void ReconciliationController::applySaved(const QString& path) {
    State& s = *m_state;
    if (!s.statement)
        throw KalvonError::unreadable(QStringLiteral("Es ist kein Kontoauszug geöffnet."));
    const ReconciliationFile file = ReconciliationFile::read(path);
    if (QFileInfo(s.statementPath).canonicalFilePath() != QFileInfo(file.statementFile).canonicalFilePath())
        throw KalvonError::unreadable(
            QStringLiteral("Der gespeicherte Abgleich gehört zum Kontoauszug „%1“, geöffnet ist „%2“.")
                .arg(QDir::toNativeSeparators(file.statementFile),
                     QDir::toNativeSeparators(s.statementPath)));
    Decisions decisions = savedDecisions(s, file);
    stop();
    s.settings = file.settings;
    std::vector<int> rows;
    for (const auto& [index, d] : decisions) {
        if (d.settles())
            rows.insert(rows.end(), d.candidate.rows.begin(), d.candidate.rows.end());
    }
    if (decisions.empty()) {
        startRun();
        return;
    }
    pushDecisions(this, s.items, std::move(decisions), s.toModelRows(rows),
                  QStringLiteral("Abgleich öffnen"));
}
