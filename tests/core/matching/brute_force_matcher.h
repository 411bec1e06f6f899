// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A plain matcher for small statements: every subset of items is tried and every assignment of
// candidate sets to payments enumerated. Which invoices a payment names and which customer it
// comes from are given, as the statement's author knows them.
#include "core/matching/matcher.h"

#include <algorithm>
#include <map>
#include <set>

namespace BruteForce {

using namespace Matching;

struct Known {
    std::vector<QString> invoices; // invoice numbers named in the text, as written on the items
    int customer = -1;             // index into the customers; -1: none recognised
    CustomerBy by = CustomerBy::None;
};

struct Cand {
    std::vector<int> items; // indices into the items, ascending by row
    Candidate c;
    int kind = 0; // 0 exact, 1 Skonto, 2 partial or over
};

inline qint64 cents(qint64 count, qint64 percentCount) {
    __extension__ using Int128 = __int128;
    const Int128 product = Int128(count) * percentCount; // in 10^-8 of a ten-thousandth percent
    const Int128 unit = Int128(100) * 10000 * 100;       // a cent of the amount
    Int128 whole = product / unit, rest = product % unit;
    if (rest < 0)
        rest = -rest;
    if (2 * rest >= unit)
        whole += product < 0 ? -1 : 1;
    return qint64(whole) * 100;
}

inline std::optional<Cand> fit(qint64 pay, const std::vector<qint64>& amounts, const Options& o, bool ref) {
    qint64 sum = 0;
    for (const qint64 a : amounts)
        sum += a;
    const qint64 tol = o.tolerance.count();
    Cand k;
    k.c.sum = Currency::fromCount(sum);
    if (std::llabs(pay - sum) <= tol) {
        k.c.difference = Currency::fromCount(pay - sum);
        return k;
    }
    bool found = false;
    for (const Currency r : sum > 0 ? o.skontoPercents : std::vector<Currency>{}) {
        const qint64 dt = cents(sum, r.count());
        qint64 dp = 0;
        for (const qint64 a : amounts)
            dp += cents(a, r.count());
        const qint64 et = pay - (sum - dt), ep = pay - (sum - dp);
        const bool ft = std::llabs(et) <= tol, fp = std::llabs(ep) <= tol;
        if (!ft && !fp)
            continue;
        const bool total = ft && (!fp || std::llabs(et) <= std::llabs(ep));
        const qint64 e = total ? et : ep;
        if (found && std::llabs(e) >= k.c.difference.magnitude())
            continue;
        found = true;
        k.kind = 1;
        k.c.skontoPercent = r;
        k.c.discount = Currency::fromCount(total ? dt : dp);
        k.c.difference = Currency::fromCount(e);
        k.c.rounding = dt == dp ? SkontoRounding::Both
                       : total  ? SkontoRounding::OnTotal
                                : SkontoRounding::PerInvoice;
    }
    if (found)
        return k;
    if (!ref)
        return std::nullopt;
    k.kind = 2;
    k.c.difference = Currency::fromCount(pay - sum);
    if (pay < sum)
        k.c.remainder = Currency::fromCount(sum - pay);
    else
        k.c.overpayment = Currency::fromCount(pay - sum);
    return k;
}

inline std::vector<Cand> candidates(const Payment& p, const Known& known, const std::vector<Item>& items,
                                    const std::vector<int>& customerOf, const Options& o) {
    std::vector<Cand> out;
    const auto add = [&](std::vector<int> set, bool ref) {
        std::vector<qint64> amounts;
        for (const int i : set)
            amounts.push_back(items[i].amount.count());
        if (auto k = fit(p.amount.count(), amounts, o, ref)) {
            std::sort(set.begin(), set.end(), [&](int a, int b) { return items[a].row < items[b].row; });
            k->items = set;
            out.push_back(*k);
        }
    };
    if (!known.invoices.empty()) {
        std::vector<std::vector<int>> groups;
        for (const QString& invoice : known.invoices) {
            groups.emplace_back();
            for (int i = 0; i < int(items.size()); ++i)
                if (items[i].invoice == invoice)
                    groups.back().push_back(i);
        }
        std::vector<std::size_t> pick(groups.size(), 0);
        for (bool more = true; more;) {
            std::vector<int> set;
            for (std::size_t g = 0; g < groups.size(); ++g)
                set.push_back(groups[g][pick[g]]);
            add(set, true);
            more = false;
            for (std::size_t g = 0; g < groups.size() && !more; ++g)
                if (++pick[g] < groups[g].size())
                    more = true;
                else
                    pick[g] = 0;
        }
        const int best =
            std::min_element(out.begin(), out.end(), [](auto& a, auto& b) { return a.kind < b.kind; })->kind;
        std::erase_if(out, [&](const Cand& k) { return k.kind != best; });
    } else {
        std::vector<int> pool;
        for (int i = 0; i < int(items.size()); ++i) {
            const Item& it = items[i];
            const bool dated = it.date.isValid();
            if (it.amount.count() == 0 || (known.customer >= 0 && customerOf[i] != known.customer) ||
                (dated && (it.date > p.bookingDate || it.date.daysTo(p.bookingDate) > o.days)))
                continue;
            pool.push_back(i);
        }
        for (quint32 mask = 1; mask < (1u << pool.size()); ++mask) {
            if (std::popcount(mask) > o.maxItems)
                continue;
            std::vector<int> set;
            for (std::size_t b = 0; b < pool.size(); ++b)
                if (mask & (1u << b))
                    set.push_back(pool[b]);
            add(set, false);
        }
    }
    const auto key = [&](const Cand& k) {
        std::vector<qint64> days;
        std::vector<int> rows;
        for (const int i : k.items) {
            days.push_back(items[i].date.isValid() ? items[i].date.toJulianDay()
                                                   : std::numeric_limits<qint64>::max());
            rows.push_back(items[i].row);
        }
        std::sort(days.begin(), days.end());
        return std::tuple(k.items.size(), days, rows);
    };
    std::sort(out.begin(), out.end(), [&](const Cand& a, const Cand& b) { return key(a) < key(b); });
    return out;
}

// Every assignment: per payment -1 or a candidate, items used at most once.
inline std::vector<std::vector<int>> bestAssignments(const std::vector<std::vector<Cand>>& cands) {
    std::vector<std::vector<int>> best;
    std::pair<int, int> bestValue{-1, 0};
    std::vector<int> choice(cands.size(), -1);
    std::vector<int> used;
    std::function<void(std::size_t, int, int)> walk = [&](std::size_t p, int matched, int itemCount) {
        if (p == cands.size()) {
            const std::pair<int, int> value{matched, -itemCount};
            if (value > bestValue) {
                bestValue = value;
                best.clear();
            }
            if (value == bestValue)
                best.push_back(choice);
            return;
        }
        choice[p] = -1;
        walk(p + 1, matched, itemCount);
        for (int s = 0; s < int(cands[p].size()); ++s) {
            const auto& set = cands[p][s].items;
            if (std::any_of(set.begin(), set.end(),
                            [&](int i) { return std::count(used.begin(), used.end(), i); }))
                continue;
            used.insert(used.end(), set.begin(), set.end());
            choice[p] = s;
            walk(p + 1, matched + 1, itemCount + int(set.size()));
            used.resize(used.size() - set.size());
        }
        choice[p] = -1;
    };
    walk(0, 0, 0);
    return best;
}

} // namespace BruteForce
