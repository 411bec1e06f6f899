// SPDX-License-Identifier: GPL-3.0-or-later
// Combinations of a few amounts among long lists: the whole search, total and first 1000 hits.
#include "core/search/combination_search.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace CombinationSearch;

// n random two-decimal amounts from 1,00 to 50.000,00; the target is the sum of `size` of them
// chosen at random, and three more such combinations are made to hit it as well.
Request plantedRequest(int n, int size, qint64 tolerance, Order order) {
    std::mt19937_64 rng(4711);
    auto amount = [&] {
        return qint64(rng() % 5'000'000 + 100) * 100;
    };
    Request r;
    for (int i = 0; i < n; ++i)
        r.amounts.push_back(Currency::fromCount(amount()));
    std::vector<int> indices(std::size_t(n), 0);
    for (int i = 0; i < n; ++i)
        indices[std::size_t(i)] = i;
    auto pick = [&] {
        std::shuffle(indices.begin(), indices.end(), rng);
        return std::vector<int>(indices.begin(), indices.begin() + size);
    };
    qint64 target = 0;
    for (int i : pick())
        target += r.amounts[std::size_t(i)].count();
    for (int planted = 0; planted < 3; ++planted) {
        const std::vector<int> chosen = pick();
        qint64 rest = target;
        for (std::size_t k = 1; k < chosen.size(); ++k)
            rest -= r.amounts[std::size_t(chosen[k])].count();
        if (rest >= 1000000 && rest <= 500000000)
            r.amounts[std::size_t(chosen[0])] = Currency::fromCount(rest);
    }
    r.target = Currency::fromCount(target);
    r.lower = Currency::fromCount(target - tolerance);
    r.upper = Currency::fromCount(target + tolerance);
    r.maxItems = size;
    r.order = order;
    r.limit = 1000;
    return r;
}

// Arguments: amounts, at most this many a combination, order (0 window, 1 items, 2 difference),
// tolerance in cents. Each case is best run in a process of its own (--benchmark_filter): peak_MB
// is the peak of the whole process.
void BM_SmallCombinations(benchmark::State& state) {
    const Request request =
        plantedRequest(int(state.range(0)), int(state.range(1)), state.range(3) * 100, Order(state.range(2)));
    quint64 listed = 0;
    Control control;
    control.hit = [&](const Hit&) {
        ++listed;
        return true;
    };
    Outcome outcome;
    for (auto _ : state) {
        listed = 0;
        outcome = run(request, control);
    }
    if (listed != std::min<quint64>(1000, outcome.total.count.get_ui()))
        state.SkipWithError("not every wanted hit listed");
    state.SetLabel(outcome.method.toStdString());
    state.counters["hits"] = outcome.total.count.get_d();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

} // namespace

BENCHMARK(BM_SmallCombinations)
    ->ArgsProduct({{2000}, {3}, {0, 1, 2}, {0}})
    ->ArgsProduct({{10000}, {2, 3}, {0, 1, 2}, {0}})
    ->ArgsProduct({{500}, {4}, {0, 1, 2}, {0, 50}})
    ->ArgsProduct({{2000}, {4}, {0, 1, 2}, {0}})
    ->ArgsProduct({{2000}, {3}, {0, 1, 2}, {10000}}) // millions of hits
    ->ArgsProduct({{300}, {5}, {0}, {0, 50}})
    ->ArgsProduct({{40}, {8}, {0}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
