// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/matching_runner.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"

#include <QHash>

#include <atomic>
#include <functional>

namespace {

// Gives each item the customer of its row in the file read again; an item the file no longer
// holds has none.
std::pair<int, int> readCustomers(const MatchingJob::Customers& customers,
                                  std::vector<Matching::Item>& items) {
    ItemTable table;
    try {
        table = TableReader::readFile(customers.path, customers.options);
    } catch (const KalvonError& e) {
        throw KalvonError::unreadable(
            QStringLiteral("Die Kundenspalte lässt sich nicht lesen: %1").arg(e.userMessage()));
    }
    QHash<int, const Item*> byRow;
    for (const Item& item : table.items)
        byRow.insert(item.row, &item);
    for (Matching::Item& item : items) {
        const Item* read = byRow.value(item.row);
        item.customerNumber = read ? read->customerNumber : QString();
        item.customerName = read ? read->customerName : QString();
    }
    return {table.customerNumberColumn, table.customerNameColumn};
}
// The matching's input from the job: the undecided payments, renumbered, and the items that no
// decision holds; then the matching.
MatchingOutcome outcomeOf(const MatchingJob& job, const Matching::Options& options) {
    MatchingOutcome outcome;
    outcome.input = Abgleich::matchInput(job.statement, job.items);
    std::vector<Matching::Payment> payments;
    for (std::size_t i = 0; i < outcome.input.payments.size(); ++i) {
        if (job.decidedPayments.count(int(i)))
            continue;
        outcome.matched.push_back(int(i));
        payments.push_back(outcome.input.payments[i]);
        payments.back().entry = int(payments.size());
    }
    std::vector<Matching::Item> items;
    for (const Matching::Item& item : outcome.input.items) {
        if (!job.decidedRows.contains(item.row))
            items.push_back(item);
    }
    if (job.customers)
        outcome.customerColumns = readCustomers(*job.customers, items);
    outcome.result = Matching::match(payments, items, options);
    return outcome;
}

} // namespace

struct MatchingRunner::Run {
    MatchingRunner* runner = nullptr;
    quint64 id = 0;
    MatchingJob job;
    std::atomic<bool> cancel{false};
    // Written by the worker before its thread ends, read after.
    MatchingOutcome outcome;
    QString error;
};

MatchingRunner::MatchingRunner(QObject* parent)
    : QObject(parent)
    , m_worker(this) {}

MatchingRunner::~MatchingRunner() {
    stop();
}

bool MatchingRunner::start(MatchingJob job) {
    if (m_worker.isRunning())
        return false;
    auto run = std::make_shared<Run>();
    run->runner = this;
    run->job = std::move(job);
    m_run = run;
    return m_worker.start(
        [run](quint64 id) {
            run->id = id;
            work(run);
        },
        [this] { threadEnded(); });
}

void MatchingRunner::cancel() {
    if (m_run)
        m_run->cancel = true;
}

void MatchingRunner::stop() {
    if (!m_run)
        return;
    m_run->cancel = true;
    m_worker.stop();
    m_run.reset();
}

void MatchingRunner::threadEnded() {
    const std::shared_ptr<Run> run = std::move(m_run);
    if (!run->error.isEmpty()) {
        emit failed(run->error);
        return;
    }
    const bool cancelled = run->outcome.result.cancelled || run->cancel;
    if (!cancelled)
        m_outcome = std::move(run->outcome);
    emit finished(cancelled);
}

void MatchingRunner::work(const std::shared_ptr<Run>& run) {
    Matching::Options options = run->job.options;
    int shown = -1;
    options.progress = [&](int permille) {
        if (permille == shown)
            return;
        shown = permille;
        run->runner->m_worker.post(run->id, [r = run->runner, permille] { emit r->progress(permille); });
    };
    options.cancelled = [&] {
        return run->cancel.load(std::memory_order_relaxed);
    };
    try {
        run->outcome = outcomeOf(run->job, options);
    } catch (const KalvonError& e) {
        run->error = e.userMessage();
    } catch (const std::exception&) {
        run->error = QStringLiteral("Der Abgleich ist an einem unerwarteten Fehler gescheitert.");
    }
}
