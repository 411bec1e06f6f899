// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QThread;

// Runs one reading of a file or of the clipboard at a time on a thread of its own, so that the
// window keeps turning while a large table is parsed. The result comes back on the GUI thread.
// A reading cannot be interrupted: one that is dropped (cancelled, or its window closed) runs to
// its end with nothing reported, and its thread then ends by itself.
class FileReader : public QObject {
    Q_OBJECT

public:
    // Runs on the reading thread and keeps what it needs by value; must not throw.
    using Job = std::function<void()>;
    // Runs on the GUI thread once the job is done.
    using Done = std::function<void()>;

    explicit FileReader(QObject* parent = nullptr);
    // Drops a running reading without waiting for it.
    ~FileReader() override;

    bool isRunning() const { return m_running; }
    // false while another reading runs.
    bool start(Job job, Done done);
    // The running reading's done is not called.
    void drop();

    // Waits at most this long for the readings still running, dropped ones too; true: none is left.
    // A program ends once this holds, or without its static objects' destructors.
    static bool endAll(int milliseconds);

private:
    static QList<QThread*>& threads();

    bool m_running = false;
    quint64 m_runId = 0; // what an earlier reading's end is told apart by
};
