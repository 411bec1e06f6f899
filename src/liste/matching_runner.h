// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "core/tables/read_options.h"

#include <QObject>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QThread;

// What one matching works on, copied in so that the worker shares nothing with the window.
struct MatchingJob {
    std::vector<Matching::Payment> payments;
    std::vector<Matching::Item> items;
    Matching::Options options; // cancelled and progress are set by the runner
    // The items' customers read again from the list's file, from the column these options name,
    // on the worker: the user chose another customer column than the list was read with.
    struct Customers {
        QString path;
        TableReader::Options options;
    };
    std::optional<Customers> customers;
};

// Runs one matching at a time on a worker thread, as SearchController runs a search: progress and
// the end come back as signals on the GUI thread; cancelling ends the matching early.
class MatchingRunner : public QObject {
    Q_OBJECT

public:
    explicit MatchingRunner(QObject* parent = nullptr);
    // Ends a running matching and waits for its thread.
    ~MatchingRunner() override;

    bool isRunning() const { return m_thread != nullptr; }
    // Starts the matching; false while another one still runs.
    bool start(MatchingJob job);
    // Asks the running matching to end; finished(true) follows once it has.
    void cancel();
    // Cancels and waits for the thread to end; no signal of that matching follows.
    void stop();
    // The result of the matching that finished last (not cancelled).
    const Matching::Result& result() const { return m_result; }
    // The customer number and name columns that matching read the customers from (-1: none), when
    // they were read again.
    std::pair<int, int> customerColumns() const { return m_customerColumns; }

signals:
    void progress(int permille);
    void finished(bool cancelled);
    void failed(const QString& message);

private:
    struct Run;
    static void work(const std::shared_ptr<Run>& run);
    void threadEnded();

    std::shared_ptr<Run> m_run;
    QThread* m_thread = nullptr;
    quint64 m_runId = 0; // what queued signals of an earlier run are told apart by
    Matching::Result m_result;
    std::pair<int, int> m_customerColumns{-1, -1};
};
