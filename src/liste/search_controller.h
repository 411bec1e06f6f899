// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/search/combination_search.h"
#include "liste/list_search.h"
#include "liste/single_worker.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

// One listed hit: the item rows in it, ascending, its sum and how far the sum is from the target.
struct ListedHit {
    std::vector<int> rows;
    Currency sum;
    Currency difference;
};
using HitBatch = QList<ListedHit>;

// Runs one search at a time on a worker thread, from the choice of its method on: the request is
// copied in and checked there; progress, the count and the hits come back as signals on the GUI
// thread, hits in batches. Cancelling ends the choice as well as the search.
class SearchController : public QObject {
    Q_OBJECT

public:
    explicit SearchController(QObject* parent = nullptr);
    // Ends a running search and waits for its thread.
    ~SearchController() override;

    bool isRunning() const { return m_worker.isRunning(); }
    // Starts the search; false while another one still runs.
    bool start(PreparedSearch search);
    // Asks the running search to end; finished(true) follows once it has.
    void cancel();
    // Cancels and waits for the thread to end; no signal of that search follows.
    void stop();

signals:
    // The method is chosen and the search proper begins; before, the search is being prepared.
    void searching();
    void progress(int permille);
    void counted(const CombinationSearch::Total& total);
    void hitsFound(const HitBatch& hits);
    void finished(bool cancelled);
    void failed(const QString& message);

private:
    struct Run;
    static void work(const std::shared_ptr<Run>& run);
    void threadEnded();

    std::shared_ptr<Run> m_run;
    SingleWorker m_worker;
};
