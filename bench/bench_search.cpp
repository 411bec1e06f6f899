// SPDX-License-Identifier: GPL-3.0-or-later
// Whole search runs through the real window, offscreen, with message boxes answered by script.
#include "core/search/meet_in_middle.h"
#include "frontend/message_box.h"
#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <random>
#include <vector>

namespace {

// n different amounts with two decimals, all at least 1: the target 0,01 is never reached.
void fillValues(Form2& form, int n) {
    for (int i = 0; i < 23; ++i)
        form.Text1[i]->setText(i < n ? QLocale().toString(1000.0 + 37.13 * i, 'f', 2) : QString());
    form.txtSumme->setText(QLocale().toString(0.01, 'f', 2));
    form.txtSumme_LostFocus();
}

struct Answers {
    int hits = 0;
    int noAtHit = 0; // answer No at this hit; 0 = always Yes
};

void installResponder(Answers& answers) {
    MessageBoxService::setResponder([&answers](const MsgRequest& r) {
        if (r.buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        if (r.title == QLatin1String("Ergebnis") && ++answers.hits == answers.noAtHit)
            return MsgAnswer::No;
        return MsgAnswer::Yes;
    });
}

void runSearch(benchmark::State& state, Form2& form, int expectedHits, Answers& answers) {
    for (auto _ : state) {
        answers.hits = 0;
        form.Command1_Click();
        if (answers.hits != expectedHits)
            state.SkipWithError("unexpected number of hits");
    }
    MessageBoxService::setResponder({});
}

// A whole run over range(0) values that never reach the target.
void runWithoutHits(benchmark::State& state, bool tolerance, bool literal) {
    Form2 form;
    form.show();
    form.setLiteralSearch(literal);
    fillValues(form, int(state.range(0)));
    if (tolerance) {
        form.Option1[1]->setChecked(true);
        form.Option2[1]->setChecked(true);
        form.txtToleranz->setText(QLocale().toString(0.5, 'f', 2));
    }
    Answers answers;
    installResponder(answers);
    runSearch(state, form, 0, answers);
}

void BM_FullRun(benchmark::State& state) {
    runWithoutHits(state, false, false);
}

void BM_FullRunTolerance(benchmark::State& state) {
    runWithoutHits(state, true, false);
}

void BM_LiteralRun(benchmark::State& state) {
    runWithoutHits(state, false, true);
}

void runLongList(benchmark::State& state, const std::vector<Currency>& amounts, Currency lower,
                 Currency upper) {
    CombinationSearch::Request request;
    request.amounts = amounts;
    request.lower = lower;
    request.upper = upper;
    request.limit = 1000;
    const CombinationSearch::ValidRequest valid(request);
    CombinationSearch::Control control;
    quint64 listed = 0;
    control.hit = [&listed](const CombinationSearch::Hit&) {
        return ++listed > 0;
    };
    mpz_class total = 0;
    for (auto _ : state)
        total = MeetInMiddleSearch::run(valid, control).total.count;
    state.counters["hits"] = total.get_d();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// 20 amounts of 1 and the target 3: 1,140 combinations hit; the 1,000th is answered No.
void BM_ManyHits(benchmark::State& state) {
    Form2 form;
    form.show();
    for (int i = 0; i < 23; ++i)
        form.Text1[i]->setText(i < 20 ? QStringLiteral("1") : QString());
    form.txtSumme->setText(QStringLiteral("3"));
    form.txtSumme_LostFocus();
    Answers answers;
    answers.noAtHit = 1000;
    installResponder(answers);
    runSearch(state, form, 1000, answers);
}

// kalvon-find's search over range(0) amounts: random two-decimal amounts from 0,01 to 10.000.000,00
// with one planted combination of a third of them as the target, exact search, first 1000 listed.
void BM_LongListPlanted(benchmark::State& state) {
    const int n = int(state.range(0));
    std::mt19937_64 rng(4711);
    std::vector<Currency> amounts;
    qint64 target = 0;
    for (int i = 0; i < n; ++i) {
        amounts.push_back(Currency::fromCount(qint64(rng() % 1000000000 + 1) * 100));
        if (i % 3 == 1)
            target += amounts.back().count();
    }
    runLongList(state, amounts, Currency::fromCount(target), Currency::fromCount(target));
}

// 40 amounts 1 … 40 and the target 410: 5,830,034,720 hits counted, the first 1000 listed.
void BM_LongListManyHits(benchmark::State& state) {
    std::vector<Currency> amounts;
    for (int i = 1; i <= 40; ++i)
        amounts.push_back(Currency::fromCount(i * Currency::Scale));
    const Currency target = Currency::fromCount(410 * Currency::Scale);
    runLongList(state, amounts, target, target);
}

} // namespace

BENCHMARK(BM_FullRun)->Arg(16)->Arg(20)->Arg(23)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRunTolerance)->Arg(23)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LiteralRun)->Arg(23)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ManyHits)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LongListPlanted)->Arg(40)->Arg(48)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LongListManyHits)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    EventPump::chooseEventDispatcher();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
