// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

#include <QString>
#include <QStringList>

#include <gmpxx.h>

#include <algorithm>
#include <span>
#include <vector>

// The combination search done the plain way: every subset tried in 128-bit sums, filtered, and
// sorted in the requested order as orderKey() defines it, without the search's own comparison.
// Only for lists small enough to try every subset.
struct ReferenceResult {
    quint64 total = 0;
    QStringList hits; // the first `limit` hits as "i j k=sum" (indices, sum in ten-thousandths)
};

inline QString describeHit(std::span<const int> items, Currency sum) {
    QStringList indices;
    for (int i : items)
        indices << QString::number(i);
    return indices.join(QLatin1Char(' ')) + QLatin1Char('=') + QString::number(sum.count());
}

// A hit's place in an order, spelled out: its combination number (amount i is bit i) as a whole
// number of any size, how many amounts it has, and how far its sum is from the target.
struct OrderKey {
    __extension__ using Int128 = __int128;
    mpz_class number;
    std::size_t items = 0;
    Int128 distance = 0;
};

inline OrderKey orderKey(std::span<const int> items, Currency sum, Currency target) {
    OrderKey key;
    for (int i : items)
        mpz_setbit(key.number.get_mpz_t(), mp_bitcnt_t(i));
    key.items = items.size();
    const OrderKey::Int128 d = OrderKey::Int128(sum.count()) - target.count();
    key.distance = d < 0 ? -d : d;
    return key;
}

// Window: the smaller combination number first. Items: fewer amounts first, then window. Difference:
// the smaller distance first, then items.
inline bool orderedBefore(CombinationSearch::Order order, const OrderKey& a, const OrderKey& b) {
    if (order == CombinationSearch::Order::Difference && a.distance != b.distance)
        return a.distance < b.distance;
    if (order != CombinationSearch::Order::Window && a.items != b.items)
        return a.items < b.items;
    return a.number < b.number;
}

struct KeyedHit {
    std::vector<int> items;
    Currency sum;
    OrderKey key;
};

// The hits sorted into the order, with their keys made once.
inline void sortHits(std::vector<KeyedHit>& hits, CombinationSearch::Order order, Currency target) {
    for (KeyedHit& hit : hits)
        hit.key = orderKey(hit.items, hit.sum, target);
    std::stable_sort(hits.begin(), hits.end(), [&](const KeyedHit& a, const KeyedHit& b) {
        return orderedBefore(order, a.key, b.key);
    });
}

inline ReferenceResult referenceSearch(const CombinationSearch::Request& r) {
    __extension__ using Int128 = __int128;
    std::vector<KeyedHit> found;
    const int n = int(r.amounts.size());
    for (quint64 x = 1; x < (quint64(1) << n); ++x) {
        KeyedHit f;
        Int128 sum = 0;
        for (int i = 0; i < n; ++i) {
            if (x >> i & 1) {
                f.items.push_back(i);
                sum += r.amounts[std::size_t(i)].count();
            }
        }
        const int size = int(f.items.size());
        if (r.lower.count() <= sum && sum <= r.upper.count() && size >= r.minItems && size <= r.itemCap()) {
            f.sum = Currency::fromCount(qint64(sum));
            found.push_back(std::move(f));
        }
    }
    sortHits(found, r.order, r.target);
    ReferenceResult result;
    result.total = found.size();
    for (std::size_t i = 0; i < found.size() && i < r.limit; ++i)
        result.hits << describeHit(found[i].items, found[i].sum);
    return result;
}
