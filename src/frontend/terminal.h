// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

class QIODevice;

// What the command-line programs need of the terminal: their standard streams, Ctrl+C, and a
// progress bar on standard error.
namespace Terminal {

// Where a run reads and writes: the process's standard streams, or those a test gives it.
struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    QIODevice* in = nullptr; // standard input, read for the file "-"; null: the process's own
};

// Writes the text in UTF-8.
void print(std::FILE* stream, const QString& text);

// From now on Ctrl+C (SIGINT) only raises a flag, which the search polls.
void catchInterrupt();
bool interrupted();

// A one-line bar, redrawn in place; shown only when the stream is a terminal, and only once the
// work has taken a noticeable time, so that quick searches leave no trace.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(int permille);
    // Removes the bar, so that what follows starts on a clean line.
    void clear();

private:
    std::FILE* m_stream;
    bool m_enabled;
    QElapsedTimer m_started;
    bool m_drawn = false;
    int m_shown = -1;
};

} // namespace Terminal
