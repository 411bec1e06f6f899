// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's bank statement: the statement read, the settings, the matching on the worker and
// the report composed from its result and the decisions, and choosing a payment.
#include "liste/reconciliation_controller.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"
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
    s.results = decltype(s.results)(s.input.payments.size()); // none matched yet
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
        s.results = decltype(s.results)(s.input.payments.size()); // none matched yet
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
