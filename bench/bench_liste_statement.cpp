// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's bank statement through its controller: a generated statement opened beside the
// open items and matched on the worker thread until its result is in the models, with the longest
// stall of the event loop meanwhile; and choosing one payment after another. The same once more
// through the window, with its tables and labels filled as the user sees them.
#include "core/tables/table_reader.h"
#include "frontend/message_box.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"
#include "liste/list_window.h"
#include "liste/payment_model.h"
#include "liste/reconciliation_controller.h"
#include "stall_meter.h"
#include "statement_scenario.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

// The open items of the scenario in the item model, read as Kalvon Liste reads a file.
void loadItems(ItemModel& items, ReconciliationController& controller, const StatementScenario& scenario) {
    TableReader::Options options;
    options.roles = true;
    items.setItems(TableReader::readFile(scenario.items, options));
    controller.setItemsSource(scenario.items);
}

// Opens the statement and matches it; false when the matching failed.
bool openAndMatch(ReconciliationController& controller, const QString& statement) {
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&controller, &ReconciliationController::matched, &loop, [&](bool cancelled) {
        ok = !cancelled;
        loop.quit();
    });
    QObject::connect(&controller, &ReconciliationController::failed, &loop, &QEventLoop::quit);
    controller.openStatement(statement);
    if (!controller.startMatching())
        return false;
    loop.exec();
    return ok;
}

// Arguments: payments, open items, customers.
void BM_ListeStatement(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir folder;
    const StatementScenario scenario(folder.path(), int(state.range(0)), int(state.range(1)),
                                     int(state.range(2)));
    ItemModel items;
    ReconciliationController controller(&items);
    loadItems(items, controller, scenario);
    qint64 longestStall = 0;
    double longestBusy = 0;
    for (auto _ : state) {
        const StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        const bool ok = openAndMatch(controller, scenario.statement);
        QCoreApplication::processEvents();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longestStall = std::max(longestStall, stalls.longest());
        longestBusy = std::max(longestBusy, stalls.longestBusy());
        if (!ok || controller.payments()->rowCount() != state.range(0)) {
            state.SkipWithError("the matching did not end with every payment shown");
            break;
        }
    }
    const Abgleich::Summary summary = controller.report().summary();
    state.counters["matched"] = summary.matched;
    state.counters["ambiguous"] = summary.ambiguous;
    state.counters["longest_stall_ms"] = double(longestStall);
    state.counters["gui_cpu_in_stall_ms"] = longestBusy;
}

// Choosing the payments one after another: the items shown in the hit colour, the candidate sets
// listed, the details worded. The counter holds the slowest choice.
void BM_ListeChoosePayment(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir folder;
    const StatementScenario scenario(folder.path(), int(state.range(0)), int(state.range(1)),
                                     int(state.range(2)));
    ItemModel items;
    ReconciliationController controller(&items);
    loadItems(items, controller, scenario);
    if (!openAndMatch(controller, scenario.statement)) {
        state.SkipWithError("the matching failed");
        return;
    }
    int payment = 0;
    double slowest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        controller.choosePayment(payment);
        benchmark::DoNotOptimize(controller.detailsText());
        slowest = std::max(slowest, double(clock.nsecsElapsed()) / 1e6);
        payment = (payment + 1) % int(state.range(0));
    }
    state.counters["slowest_ms"] = slowest;
}

// A window with the scenario's open items as its list, shown (offscreen) at its usual size; a
// question (the statement replaced) is answered "Ja".
struct StatementWindow {
    explicit StatementWindow(const StatementScenario& scenario) {
        MessageBoxService::setResponder([](const MsgRequest&) { return MsgAnswer::Yes; });
        TableReader::Options options;
        options.roles = true;
        window.controller()->load(TableReader::readFile(scenario.items, options),
                                  QFileInfo(scenario.items).fileName());
        window.controller()->reconciliation()->setItemsSource(scenario.items);
        window.show();
        QCoreApplication::processEvents();
    }
    ~StatementWindow() { MessageBoxService::setResponder({}); }

    // Opens the statement through the window and waits until its result is shown.
    bool openAndMatch(const QString& statement) {
        QEventLoop loop;
        bool ok = false;
        ReconciliationController* rc = window.controller()->reconciliation();
        const auto ended =
            QObject::connect(rc, &ReconciliationController::matched, &loop, [&](bool cancelled) {
                ok = !cancelled;
                loop.quit();
            });
        window.openStatement(statement);
        loop.exec();
        QObject::disconnect(ended);
        QCoreApplication::processEvents(); // what the window does once the result is in
        return ok;
    }

    ListWindow window;
};

// Arguments: payments, open items, customers.
void BM_ListeStatementWindow(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir folder;
    const StatementScenario scenario(folder.path(), int(state.range(0)), int(state.range(1)),
                                     int(state.range(2)));
    StatementWindow w(scenario);
    qint64 longestStall = 0;
    double longestBusy = 0;
    for (auto _ : state) {
        const StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        const bool ok = w.openAndMatch(scenario.statement);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longestStall = std::max(longestStall, stalls.longest());
        longestBusy = std::max(longestBusy, stalls.longestBusy());
        if (!ok || w.window.controller()->reconciliation()->payments()->rowCount() != state.range(0)) {
            state.SkipWithError("the matching did not end with every payment shown");
            break;
        }
    }
    state.counters["longest_stall_ms"] = double(longestStall);
    state.counters["gui_cpu_in_stall_ms"] = longestBusy;
}

// Choosing the payments one after another in the window's table "Zahlungen", until the list, the
// details and the candidate sets show it.
void BM_ListeChoosePaymentWindow(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir folder;
    const StatementScenario scenario(folder.path(), int(state.range(0)), int(state.range(1)),
                                     int(state.range(2)));
    StatementWindow w(scenario);
    auto* table = w.window.findChild<QTableView*>(QStringLiteral("tablePayments"));
    if (!table || !w.openAndMatch(scenario.statement)) {
        state.SkipWithError("the matching failed");
        return;
    }
    int row = 0;
    double slowest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        table->setCurrentIndex(table->model()->index(row, 0));
        QCoreApplication::processEvents();
        slowest = std::max(slowest, double(clock.nsecsElapsed()) / 1e6);
        row = (row + 1) % table->model()->rowCount();
    }
    state.counters["slowest_ms"] = slowest;
}

BENCHMARK(BM_ListeStatement)->Args({500, 10000, 1000})->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ListeChoosePayment)->Args({500, 10000, 1000})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListeStatementWindow)->Args({500, 10000, 1000})->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ListeChoosePaymentWindow)->Args({500, 10000, 1000})->Unit(benchmark::kMillisecond);

} // namespace
