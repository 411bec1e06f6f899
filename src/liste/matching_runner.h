// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "core/tables/item_table.h"
#include "core/tables/read_options.h"
#include "core/tables/statement.h"
#include "frontend/reconciliation/report_builder.h"
#include "liste/single_worker.h"

#include <QObject>
#include <QSet>

#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

// What one matching works on, copied in so that the worker shares nothing with the window. The
// worker turns it into the matching's input, so that the window spends no time on that.
struct MatchingJob {
    Statement statement;
    ItemTable items;               // the open items as the list holds them
    std::set<int> decidedPayments; // incoming payments, by index, that the user decided: not matched
    QSet<int> decidedRows;         // items, by row, that those decisions hold: not matched
    Matching::Options options;     // cancelled and progress are set by the runner
    // The items' customers read again from the list's file, from the column these options name,
    // on the worker: the user chose another customer column than the list was read with.
    struct Customers {
        QString path;
        TableReader::Options options;
    };
    std::optional<Customers> customers;
};

// What a matching gives back.
struct MatchingOutcome {
    Abgleich::MatchInput input; // the whole statement and every open item of the job
    std::vector<int> matched;   // the incoming payments matched, by index: result.payments[k] is matched[k]'s
    Matching::Result result;
    // The customer number and name columns read again (-1: none), when they were.
    std::pair<int, int> customerColumns{-1, -1};
};

// Runs one matching at a time on a worker thread, as SearchController runs a search: progress and
// the end come back as signals on the GUI thread; cancelling ends the matching early.
class MatchingRunner : public QObject {
    Q_OBJECT

public:
    explicit MatchingRunner(QObject* parent = nullptr);
    // Ends a running matching and waits for its thread.
    ~MatchingRunner() override;

    bool isRunning() const { return m_worker.isRunning(); }
    // Starts the matching; false while another one still runs.
    bool start(MatchingJob job);
    // Asks the running matching to end; finished(true) follows once it has.
    void cancel();
    // Cancels and waits for the thread to end; no signal of that matching follows.
    void stop();
    // What the matching that finished last (not cancelled) gave, handed over once.
    MatchingOutcome takeOutcome() { return std::move(m_outcome); }

signals:
    void progress(int permille);
    void finished(bool cancelled);
    void failed(const QString& message);

private:
    struct Run;
    static void work(const std::shared_ptr<Run>& run);
    void threadEnded();

    std::shared_ptr<Run> m_run;
    SingleWorker m_worker;
    MatchingOutcome m_outcome;
};
