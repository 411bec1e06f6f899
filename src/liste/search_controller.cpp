// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/search_controller.h"

#include "core/numbers/kalvon_error.h"

#include <QElapsedTimer>

#include <atomic>
#include <functional>

namespace {
// Hits go to the GUI thread in batches of this many, or after this long.
constexpr qsizetype BatchSize = 200;
constexpr qint64 BatchMilliseconds = 40;

} // namespace

struct SearchController::Run {
    SearchController* controller = nullptr;
    quint64 id = 0;
    PreparedSearch search;
    std::atomic<bool> cancel{false};
    // Written by the worker before its thread ends, read after.
    bool cancelled = false;
    QString error;

    // Runs f on the GUI thread, unless the controller has moved on to another run by then.
    template <class F> void post(F&& f) {
        controller->m_worker.post(id, [c = controller, f = std::forward<F>(f)]() mutable { f(c); });
    }
};

SearchController::SearchController(QObject* parent)
    : QObject(parent)
    , m_worker(this) {}

SearchController::~SearchController() {
    stop();
}

bool SearchController::start(PreparedSearch search) {
    if (m_worker.isRunning())
        return false;
    auto run = std::make_shared<Run>();
    run->controller = this;
    run->search = std::move(search);
    m_run = run;
    return m_worker.start(
        [run](quint64 id) {
            run->id = id;
            work(run);
        },
        [this] { threadEnded(); });
}

void SearchController::cancel() {
    if (m_run)
        m_run->cancel = true;
}

void SearchController::stop() {
    if (!m_run)
        return;
    m_run->cancel = true;
    m_worker.stop();
    m_run.reset();
}

void SearchController::threadEnded() {
    const std::shared_ptr<Run> run = std::move(m_run);
    if (!run->error.isEmpty())
        emit failed(run->error);
    else
        emit finished(run->cancelled);
}

void SearchController::work(const std::shared_ptr<Run>& run) {
    const PreparedSearch& search = run->search;
    HitBatch batch;
    QElapsedTimer sinceSent;
    sinceSent.start();
    auto send = [&] {
        if (!batch.isEmpty())
            run->post([hits = std::move(batch)](SearchController* c) { emit c->hitsFound(hits); });
        batch = HitBatch();
        sinceSent.restart();
    };
    int shown = -1;

    CombinationSearch::Control control;
    control.progress = [&](int permille) {
        if (permille != shown) {
            shown = permille;
            run->post([permille](SearchController* c) { emit c->progress(permille); });
        }
        if (sinceSent.elapsed() >= BatchMilliseconds)
            send();
    };
    control.cancelled = [&] {
        return run->cancel.load(std::memory_order_relaxed);
    };
    control.chosen = [&](const QString&) {
        run->post([](SearchController* c) { emit c->searching(); });
    };
    control.counted = [&](const CombinationSearch::Total& total) {
        run->post([total](SearchController* c) { emit c->counted(total); });
    };
    control.hit = [&](const CombinationSearch::Hit& hit) {
        ListedHit listed;
        listed.rows.reserve(hit.items.size());
        for (const int index : hit.items)
            listed.rows.push_back(search.rows[std::size_t(index)]);
        listed.sum = hit.sum;
        listed.difference = hit.sum - search.request.target;
        batch.append(std::move(listed));
        if (batch.size() >= BatchSize || sinceSent.elapsed() >= BatchMilliseconds)
            send();
        return !run->cancel.load(std::memory_order_relaxed);
    };
    try {
        const CombinationSearch::Outcome outcome = CombinationSearch::run(search.request, control);
        send();
        run->cancelled = outcome.cancelled;
    } catch (const KalvonError& e) {
        run->error = ListSearch::failureText(e);
    } catch (const std::exception&) {
        run->error = QStringLiteral("Die Suche ist an einem unerwarteten Fehler gescheitert.");
    }
}
