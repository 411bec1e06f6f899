// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

// What kalvon-find needs of the terminal: Ctrl+C, and a progress bar on standard error.
namespace Terminal {

// From now on Ctrl+C (SIGINT) only raises a flag, which the search polls.
void catchInterrupt();
bool interrupted();

// A one-line bar, redrawn in place; shown only when the stream is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream, bool wanted);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(int permille);
    // Removes the bar, so that what follows starts on a clean line.
    void clear();

private:
    std::FILE* m_stream;
    bool m_enabled;
    bool m_drawn = false;
    int m_shown = -1;
};

} // namespace Terminal
