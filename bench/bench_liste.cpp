// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's real window, offscreen: a search over a long list from the click on "Suchen" until
// its hits are shown, with the longest stall of the event loop meanwhile.
#include "core/item_table.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_message.h"
#include "liste/list_window.h"
#include "liste/search_controller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include <time.h>

namespace {

// Ticks every 5 ms and keeps the longest time between two ticks: how long the window could not
// react to the user. Beside it, the most CPU time the GUI thread itself spent between two ticks:
// on a busy machine the first also holds the time the thread waited for a core.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 cpu = threadCpuNanoseconds();
            m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
            m_longestBusy = std::max(m_longestBusy, cpu - m_lastCpu);
            m_last = m_clock.elapsed();
            m_lastCpu = cpu;
        });
        m_clock.start();
        m_lastCpu = threadCpuNanoseconds();
        m_timer.start(5);
    }
    qint64 longest() const { return std::max(m_longest, m_clock.elapsed() - m_last); }
    double longestBusy() const {
        return double(std::max(m_longestBusy, threadCpuNanoseconds() - m_lastCpu)) / 1e6;
    }

private:
    static qint64 threadCpuNanoseconds() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }

    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_last = 0, m_longest = 0;
    qint64 m_lastCpu = 0, m_longestBusy = 0;
};

// The window with range(0) amounts of two decimals and a target that three of them make; at most
// range(1) items per hit.
void BM_ListeSearch(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString refusal;
    ListMessageBox::setResponder([&refusal](const ListMessage& m) {
        refusal = m.text;
        return false;
    });
    std::mt19937_64 rng(7);
    ItemTable table;
    for (int i = 0; i < state.range(0); ++i)
        table.items.push_back({Currency::fromCount(qint64(rng() % 10000000 + 100) * 100), i + 2, QString()});
    const std::size_t n = table.items.size();
    const qint64 target = table.items[3].amount.count() + table.items[n / 4].amount.count() +
                          table.items[n * 3 / 4].amount.count();

    ListWindow window;
    window.show();
    window.itemModel()->setItems(table);
    window.findChild<QLineEdit*>(QStringLiteral("editTarget"))
        ->setText(QLocale().toString(double(target) / 10000, 'f', 2));
    window.findChild<QSpinBox*>(QStringLiteral("spinMaxItems"))->setValue(int(state.range(1)));
    auto* search = window.findChild<SearchController*>();
    auto* button = window.findChild<QPushButton*>(QStringLiteral("buttonSearch"));
    qint64 longestStall = 0;
    double longestBusy = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(search, &SearchController::finished, &loop, &QEventLoop::quit);
        QObject::connect(search, &SearchController::failed, &loop, &QEventLoop::quit);
        const StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        button->click();
        if (refusal.isEmpty())
            loop.exec();
        QCoreApplication::processEvents(); // the hit list painted
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longestStall = std::max(longestStall, stalls.longest());
        longestBusy = std::max(longestBusy, stalls.longestBusy());
        if (!refusal.isEmpty() || window.hitModel()->hitCount() == 0) {
            state.SkipWithError(refusal.isEmpty() ? "no hit shown" : qPrintable(refusal));
            break;
        }
    }
    state.counters["hits_shown"] = window.hitModel()->hitCount();
    state.counters["longest_stall_ms"] = double(longestStall);
    state.counters["gui_cpu_in_stall_ms"] = longestBusy;
    ListMessageBox::setResponder({});
}

// range(0) items put into the window's list and shown, then the list scrolled to its end and
// shown again.
void BM_ListeShowItems(benchmark::State& state) {
    ItemTable table;
    for (int i = 0; i < state.range(0); ++i)
        table.items.push_back({Currency::fromCount(qint64(i) * 1234567 % 100000000), i + 2,
                               QStringLiteral("RE-%1 Kunde %2").arg(i + 10000).arg(i % 97)});
    ListWindow window;
    window.show();
    QCoreApplication::processEvents();
    auto* view = window.findChild<QTableView*>(QStringLiteral("tableItems"));
    for (auto _ : state) {
        window.itemModel()->setItems(table);
        QCoreApplication::processEvents();
        view->scrollToBottom();
        QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_ListeShowItems)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListeSearch)->Args({40, 0})->Args({2000, 3})->Unit(benchmark::kMillisecond)->UseManualTime();
