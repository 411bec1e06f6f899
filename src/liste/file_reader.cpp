// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/file_reader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace {

// A thread that runs one function.
class ReadingThread : public QThread {
public:
    explicit ReadingThread(FileReader::Job job)
        : m_job(std::move(job)) {}

protected:
    void run() override { m_job(); }

private:
    FileReader::Job m_job;
};

} // namespace

FileReader::FileReader(QObject* parent)
    : QObject(parent) {}

FileReader::~FileReader() {
    drop();
}

QList<QThread*>& FileReader::threads() {
    static QList<QThread*> running; // touched on the GUI thread only
    return running;
}

bool FileReader::start(Job job, Done done) {
    if (m_running)
        return false;
    m_running = true;
    auto* thread = new ReadingThread(std::move(job));
    threads().append(thread);
    // Queued to the GUI thread, where thread and this reader live; not called once this reader is
    // gone, and not for a reading dropped meanwhile.
    connect(thread, &QThread::finished, this, [this, id = ++m_runId, done = std::move(done)] {
        if (id != m_runId)
            return;
        m_running = false;
        done();
    });
    // The thread is deleted as soon as the GUI thread sees it end, also when this reader is gone by
    // then: not through deleteLater, which a program or test that no longer runs an event loop at
    // its top level would never carry out.
    connect(thread, &QThread::finished, QCoreApplication::instance(), [thread] {
        threads().removeOne(thread);
        thread->wait();
        delete thread;
    });
    thread->start();
    return true;
}

void FileReader::drop() {
    ++m_runId;
    m_running = false;
}

bool FileReader::endAll(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    for (QThread* thread : QList<QThread*>(threads()))
        thread->wait(deadline);
    // The threads that have ended are deleted by what their end queued.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    return threads().isEmpty();
}
