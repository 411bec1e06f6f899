// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>

class QObject;
class QThread;

// One piece of work at a time on a thread of its own, for the parts of Kalvon Liste that work in
// the background (the search, the matching). Each run has an id: what a run sends to the window
// arrives only while it is still the current run, so that nothing of a run that ended or was
// stopped is reported late.
class SingleWorker {
public:
    // owner: the object on whose thread ended and what is posted run; it outlives the worker.
    explicit SingleWorker(QObject* owner);
    // Waits for a running thread.
    ~SingleWorker();
    SingleWorker(const SingleWorker&) = delete;
    SingleWorker& operator=(const SingleWorker&) = delete;

    bool isRunning() const { return m_thread != nullptr; }
    // Runs work(id) on a thread of its own; ended follows on the owner's thread once the thread has
    // ended, unless stop() came first. false while another run is on.
    bool start(std::function<void(quint64 id)> work, std::function<void()> ended);
    // Waits for the thread to end; ended is not called, and nothing the run posted arrives.
    void stop();
    // From the worker: runs f on the owner's thread if run id is still the current one.
    void post(quint64 id, std::function<void()> f);

private:
    void threadEnded();

    QObject* m_owner;
    QThread* m_thread = nullptr;
    quint64 m_runId = 0;
    std::function<void()> m_ended;
};
