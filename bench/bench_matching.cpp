// SPDX-License-Identifier: GPL-3.0-or-later
// Matching whole statements against open items, the engine alone (no reading). Run each case in a
// process of its own (--benchmark_filter) for a true peak_MB.
#include "core/matching/matcher.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <random>
#include <vector>

namespace {

using namespace Matching;

const QDate booked(2026, 12, 1);

struct Statement {
    std::vector<Payment> payments;
    std::vector<Item> items;
};

// items open items of `customers` customers (none: no customer column), amounts of whole cents
// from 10,00 to 5.000,00 dated up to 150 days back; each payment settles one to three items of one
// customer, a fifth of them less 2 % Skonto, and names its invoices (a third), its customer number
// (a third) or its payer (the rest), as far as there are customers.
Statement statement(int paymentCount, int itemCount, int customers, quint64 seed) {
    std::mt19937_64 rng(seed);
    Statement s;
    std::vector<std::vector<int>> owned(std::max(customers, 1));
    for (int i = 0; i < itemCount; ++i) {
        Item item;
        item.row = i + 2;
        item.amount = Currency::fromCount(qint64(1000 + rng() % 499001) * 100);
        item.invoice = QStringLiteral("RE-2026-%1").arg(10000 + i);
        item.date = booked.addDays(-qint64(rng() % 150));
        const int c = customers > 0 ? int(rng() % quint64(customers)) : 0;
        if (customers > 0) {
            item.customerNumber = QStringLiteral("K%1").arg(100000 + c);
            item.customerName = QStringLiteral("Firma %1 GmbH").arg(c);
        }
        owned[c].push_back(i);
        s.items.push_back(item);
    }
    std::vector<char> used(itemCount, 0);
    for (int p = 0; p < paymentCount; ++p) {
        const auto& mine = owned[rng() % owned.size()];
        Payment pay;
        pay.entry = p + 1;
        pay.bookingDate = booked;
        qint64 sum = 0;
        QStringList invoices;
        for (int k = 0, n = 1 + int(rng() % 3); k < n && !mine.empty(); ++k) {
            const int i = mine[rng() % mine.size()];
            if (used[i])
                continue;
            used[i] = 1;
            sum += s.items[i].amount.count();
            invoices << s.items[i].invoice;
        }
        if (sum == 0)
            sum = 1234500;
        pay.amount = Currency::fromCount(rng() % 5 == 0 ? sum - (sum * 2 / 100) / 100 * 100 : sum);
        const int way = customers > 0 ? int(rng() % 3) : -1;
        const Item& first = s.items[mine.front()];
        if (way == 0)
            pay.text = QStringLiteral("Rechnung ") + invoices.join(QStringLiteral(", "));
        else if (way == 1)
            pay.text = QStringLiteral("Kd-Nr. %1 Zahlung").arg(first.customerNumber);
        else if (way == 2)
            pay.payerName = QStringLiteral("FIRMA %1").arg(first.customerName.section(u' ', 1, 1));
        s.payments.push_back(pay);
    }
    return s;
}

void run(benchmark::State& state, const Statement& s, const Options& options) {
    Result result;
    for (auto _ : state)
        benchmark::DoNotOptimize(result = match(s.payments, s.items, options));
    int matched = 0, ambiguous = 0, undecided = 0;
    double alternatives = 0;
    for (const auto& r : result.payments) {
        matched += r.status == Status::Matched || r.status == Status::Partial;
        ambiguous += r.status == Status::Ambiguous;
        undecided += !r.decided;
        alternatives += r.alternatives.get_d();
    }
    state.counters["matched"] = matched;
    state.counters["ambiguous"] = ambiguous;
    state.counters["alternatives"] = alternatives;
    state.counters["undecided"] = undecided;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// payments, items, customers.
void BM_MatchCustomers(benchmark::State& state) {
    const Statement s = statement(int(state.range(0)), int(state.range(1)), int(state.range(2)), 23);
    run(state, s, Options());
}

// No customer column: every payment among every item, at most four, all candidate sets counted.
void BM_MatchNoCustomer(benchmark::State& state) {
    const Statement s = statement(50, 1000, 0, 29);
    run(state, s, Options());
}

// One key account: 300 items of one customer, 20 payments naming it, at most four.
void BM_MatchKeyAccount(benchmark::State& state) {
    Statement s = statement(20, 300, 1, 31);
    for (auto& p : s.payments) {
        p.text = QStringLiteral("Kd-Nr. K100000");
        p.payerName.clear();
    }
    run(state, s, Options());
}

} // namespace

BENCHMARK(BM_MatchCustomers)
    ->Args({50, 1000, 100})
    ->Args({500, 10000, 1000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MatchNoCustomer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MatchKeyAccount)->Unit(benchmark::kMillisecond)->UseRealTime();
