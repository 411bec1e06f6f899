// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_engine.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <algorithm>
#include <bit>
#include <limits>

std::optional<SearchEngine> SearchEngine::prepare(std::span<const double> values) {
    SearchEngine engine;
    quint64 absoluteSum = 0;
    qint64 prefix = 0;
    for (std::size_t i = 0; i < values.size() && i < engine.m_step.size(); ++i) {
        Currency amount;
        try {
            amount = NumberText::fromDouble(values[i]);
        } catch (const KalvonError&) {
            return std::nullopt;
        }
        if (__builtin_add_overflow(absoluteSum, amount.magnitude(), &absoluteSum) ||
            absoluteSum > quint64(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        engine.m_step[i] = amount.count() - prefix;
        prefix += amount.count();
    }
    return engine;
}

template <bool Exact, bool Tolerance>
qint32 SearchEngine::scan(qint32 first, qint32 last, qint64& sum, const Criteria& c) const {
    const qint64 target = c.target.count(), lower = c.lower.count(), upper = c.upper.count();
    for (qint32 x = first; x <= last; ++x) {
        sum += m_step[std::countr_zero(quint32(x))];
        if ((Exact && sum == target) || (Tolerance && lower <= sum && sum <= upper))
            return x;
    }
    return 0;
}

qint32 SearchEngine::scan(qint32 first, qint32 last, qint64& sum, const Criteria& c) const {
    if (c.exact && c.tolerance)
        return scan<true, true>(first, last, sum, c);
    if (c.exact)
        return scan<true, false>(first, last, sum, c);
    if (c.tolerance)
        return scan<false, true>(first, last, sum, c);
    return scan<false, false>(first, last, sum, c);
}

qint32 SearchEngine::run(qint32 count, const Hooks& hooks) const {
    qint64 sum = 0; // sum of the combination last scanned
    qint32 done = 0;
    Criteria criteria = hooks.criteria();
    bool stop = hooks.stopRequested();
    auto reread = [&] {
        stop = hooks.stopRequested();
        criteria = hooks.criteria();
    };
    auto pumpAfter = [&](qint32 x) {
        if (x % PumpInterval == 0) {
            hooks.showProgressAfter(x);
            hooks.pump();
            reread();
        }
    };

    qint32 x = 1;
    while (x <= count && !stop) {
        const qint32 blockEnd = std::min(count, (x + PumpInterval - 1) / PumpInterval * PumpInterval);
        const qint32 hit = scan(x, blockEnd, sum, criteria);
        done = hit ? hit : blockEnd;
        if (hit) {
            if (hit > 1)
                hooks.showProgressAfter(hit - 1); // what the bar shows while the hit is presented
            hooks.testLiterally(hit);
            reread();
        }
        pumpAfter(done);
        x = done + 1;
    }
    if (done > 0)
        hooks.showProgressAfter(done);
    return done;
}
