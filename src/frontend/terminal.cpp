// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/terminal.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace Terminal {
namespace {

volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void onInterrupt(int) {
    interruptFlag = 1;
}

constexpr int BarWidth = 40;
constexpr qint64 ShowAfterMs = 300;

} // namespace

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

void catchInterrupt() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() {
    return interruptFlag != 0;
}

ProgressBar::ProgressBar(std::FILE* stream)
    : m_stream(stream)
    , m_enabled(isatty(fileno(stream))) {
    m_started.start();
}

ProgressBar::~ProgressBar() {
    clear();
}

void ProgressBar::show(int permille) {
    const int percent = permille / 10;
    if (!m_enabled || percent == m_shown || m_started.elapsed() < ShowAfterMs)
        return;
    m_shown = percent;
    char bar[BarWidth + 1];
    const int filled = percent * BarWidth / 100;
    std::memset(bar, '#', std::size_t(filled));
    std::memset(bar + filled, '.', std::size_t(BarWidth - filled));
    bar[BarWidth] = '\0';
    std::fprintf(m_stream, "\r[%s] %3d %%", bar, percent);
    std::fflush(m_stream);
    m_drawn = true;
}

void ProgressBar::clear() {
    if (!m_drawn)
        return;
    std::fprintf(m_stream, "\r%*s\r", BarWidth + 8, "");
    std::fflush(m_stream);
    m_drawn = false;
    m_shown = -1;
}

} // namespace Terminal
