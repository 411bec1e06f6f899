// SPDX-License-Identifier: GPL-3.0-or-later
// kalvon-abgleich end to end, in-process: reading a camt.053 statement and an open-item CSV,
// matching, and the text report. The inputs are generated; with KALVON_ABGLEICH_INPUTS set to a
// folder they are written there and kept, for timing the real program on them.
#include "abgleich/abgleich_command.h"
#include "statement_scenario.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

// Arguments: payments, open items, customers (0: no customer column). Peak memory is that of the
// whole process: run each case in a process of its own (--benchmark_filter).
void BM_Abgleich(benchmark::State& state) {
    QTemporaryDir temporary;
    const QByteArray keep = qgetenv("KALVON_ABGLEICH_INPUTS");
    const QString folder = keep.isEmpty() ? temporary.path() : QString::fromLocal8Bit(keep);
    const StatementScenario scenario(folder, int(state.range(0)), int(state.range(1)), int(state.range(2)));
    int status = -1;
    QByteArray report;
    for (auto _ : state) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        status = AbgleichCommand::run({QStringLiteral("kalvon-abgleich"), QStringLiteral("--locale=de_DE"),
                                       scenario.statement, scenario.items},
                                      AbgleichCommand::Streams{out, err}, [] { return false; });
        report = out.data();
        if (status > 1)
            state.SkipWithError(err.data().constData());
    }
    const qsizetype summary = report.indexOf("\nZahlungen: ");
    state.SetLabel(report.mid(summary + 1, report.indexOf('\n', summary + 1) - summary - 1).toStdString());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

BENCHMARK(BM_Abgleich)
    ->Args({50, 1000, 100})
    ->Args({500, 10000, 1000})
    ->Args({50, 1000, 0})
    ->Args({20, 300, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
