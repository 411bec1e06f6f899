// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/single_worker.h"

#include <QThread>

namespace {
// A thread that runs one function. (QThread::create would bring std::async's machinery along.)
class WorkerThread : public QThread {
public:
    explicit WorkerThread(std::function<void()> work)
        : m_work(std::move(work)) {}

protected:
    void run() override { m_work(); }

private:
    std::function<void()> m_work;
};
} // namespace

SingleWorker::SingleWorker(QObject* owner)
    : m_owner(owner) {}

SingleWorker::~SingleWorker() {
    stop();
}

bool SingleWorker::start(std::function<void(quint64 id)> work, std::function<void()> ended) {
    if (m_thread)
        return false;
    const quint64 id = ++m_runId;
    m_ended = std::move(ended);
    m_thread = new WorkerThread([work = std::move(work), id] { work(id); });
    QObject::connect(m_thread, &QThread::finished, m_owner, [this, id] {
        if (id == m_runId)
            threadEnded();
    });
    m_thread->start();
    return true;
}

void SingleWorker::stop() {
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_ended = nullptr;
    ++m_runId;
}

void SingleWorker::post(quint64 id, std::function<void()> f) {
    QMetaObject::invokeMethod(
        m_owner,
        [this, id, f = std::move(f)] {
            if (m_runId == id)
                f();
        },
        Qt::QueuedConnection);
}

void SingleWorker::threadEnded() {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    ++m_runId;
    const std::function<void()> ended = std::move(m_ended);
    m_ended = nullptr;
    ended();
}
