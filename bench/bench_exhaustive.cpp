// SPDX-License-Identifier: GPL-3.0-or-later
// Searches without a size limit over long lists, through CombinationSearch::run as kalvon-find runs
// them. Run each case in a process of its own (--benchmark_filter) for a true peak_MB.
#include "core/search/combination_search.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <random>
#include <vector>

namespace {

using namespace CombinationSearch;

// count amounts of whole cents from `from` to `to` (in cents), credit notes of the same size
// among them, and a target made of some of them that reaches about `goal` cents.
Request plantedRequest(int count, int credits, qint64 from, qint64 to, qint64 goal, quint64 seed) {
    std::mt19937_64 rng(seed);
    Request r;
    const int spacing = count / std::max(credits, 1);
    for (int i = 0; i < count; ++i) {
        const qint64 cents = from + qint64(rng() % quint64(to - from + 1));
        const bool credit = i % spacing == 3 && i / spacing < credits;
        r.amounts.push_back(Currency::fromCount((credit ? -cents : cents) * 100));
    }
    qint64 target = 0;
    for (std::size_t i = 0; i < r.amounts.size() && target < goal * 100; i += 1 + rng() % 3)
        target += r.amounts[i].count();
    r.target = r.lower = r.upper = Currency::fromCount(target);
    return r;
}

void report(benchmark::State& state, const Outcome& outcome, quint64 listed) {
    state.counters["hits_listed"] = double(listed);
    state.counters["total_digits"] = double(outcome.total.count.get_str().size());
    state.counters["at_least"] = outcome.total.atLeast ? 1 : 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.SetLabel(outcome.method.toStdString());
}

// The whole run: total first, then the first 1000 hits.
void runWhole(benchmark::State& state, const Request& request) {
    Outcome outcome;
    quint64 listed = 0;
    for (auto _ : state) {
        listed = 0;
        Control control;
        control.counted = [](const Total&) {
        };
        control.hit = [&listed](const Hit&) {
            return ++listed > 0;
        };
        outcome = run(request, control);
    }
    report(state, outcome, listed);
}

// Until the 1000th hit, with no total asked for before the hits.
void runFirstHits(benchmark::State& state, const Request& request) {
    Outcome outcome;
    quint64 listed = 0;
    for (auto _ : state) {
        listed = 0;
        Control control;
        control.hit = [&listed](const Hit&) {
            return ++listed < 1000;
        };
        outcome = run(request, control);
    }
    report(state, outcome, listed);
}

// 150 amounts 10,00 … 2.000,00, the target about 30.000,00.
void BM_Exhaustive150(benchmark::State& state) {
    runWhole(state, plantedRequest(150, 0, 1000, 200000, 3000000, 150));
}

// The same with 20 credit notes among them.
void BM_Exhaustive150Credits(benchmark::State& state) {
    runWhole(state, plantedRequest(150, 20, 1000, 200000, 3000000, 150));
}

// 1,000 amounts 1,00 … 500,00, the target about 20.000,00: the first hits, and the whole run.
void BM_Exhaustive1000FirstHits(benchmark::State& state) {
    runFirstHits(state, plantedRequest(1000, 0, 100, 50000, 2000000, 1000));
}

void BM_Exhaustive1000(benchmark::State& state) {
    runWhole(state, plantedRequest(1000, 0, 100, 50000, 2000000, 1000));
}

// range(0) random four-decimal amounts 0,0001 … 100.000,0000, the target the sum of a third.
void BM_MeetInMiddle(benchmark::State& state) {
    std::mt19937_64 rng(4711);
    Request r;
    qint64 target = 0;
    for (int i = 0; i < state.range(0); ++i) {
        r.amounts.push_back(Currency::fromCount(qint64(rng() % 1000000000 + 1)));
        target += i % 3 == 1 ? r.amounts.back().count() : 0;
    }
    r.target = r.lower = r.upper = Currency::fromCount(target);
    runWhole(state, r);
}

} // namespace

BENCHMARK(BM_Exhaustive150)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Exhaustive150Credits)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Exhaustive1000FirstHits)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Exhaustive1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MeetInMiddle)->Arg(48)->Arg(56)->Unit(benchmark::kMillisecond)->UseRealTime();
