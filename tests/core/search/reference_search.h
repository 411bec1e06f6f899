// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

// The combination search done the plain way: every subset tried, filtered, sorted in the
// requested order. Only for lists small enough to try every subset.
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

inline ReferenceResult referenceSearch(const CombinationSearch::Request& r) {
    struct Found {
        std::vector<int> items;
        Currency sum;
    };
    std::vector<Found> found;
    const int n = int(r.amounts.size());
    for (quint64 x = 1; x < (quint64(1) << n); ++x) {
        Found f;
        qint64 sum = 0;
        for (int i = 0; i < n; ++i) {
            if (x >> i & 1) {
                f.items.push_back(i);
                sum += r.amounts[std::size_t(i)].count();
            }
        }
        f.sum = Currency::fromCount(sum);
        const int size = int(f.items.size());
        if (r.lower <= f.sum && f.sum <= r.upper && size >= r.minItems && size <= r.itemCap())
            found.push_back(std::move(f)); // x ascends: found is in window order
    }
    std::stable_sort(found.begin(), found.end(), [&](const Found& a, const Found& b) {
        return CombinationSearch::before(r.order, r.target, {a.items, a.sum}, {b.items, b.sum});
    });
    ReferenceResult result;
    result.total = found.size();
    for (std::size_t i = 0; i < found.size() && i < r.limit; ++i)
        result.hits << describeHit(found[i].items, found[i].sum);
    return result;
}
