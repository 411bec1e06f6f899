// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/meet_in_middle.h"

#include "core/kalvon_error.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace {

// The subset sums of one half in ascending order, each with its subset (bit i = amount i of the half).
struct HalfSums {
    std::vector<qint64> sums;
    std::vector<quint32> masks;
};

// Reports progress in phases and polls for cancellation.
class Ticker {
public:
    explicit Ticker(const MeetInMiddleSearch::Control& control)
        : m_control(control) {}

    // The phase now running covers [from, to] of the 0 … 1000 scale.
    void phase(int from, int to) {
        m_from = from;
        m_to = to;
        report(0.0);
    }
    void report(double share) {
        const int permille = m_from + int(share * (m_to - m_from));
        if (m_control.progress && permille != m_last) {
            m_last = permille;
            m_control.progress(permille);
        }
    }
    bool cancelled() {
        if (!m_cancelled && m_control.cancelled && m_control.cancelled())
            m_cancelled = true;
        return m_cancelled;
    }

private:
    const MeetInMiddleSearch::Control& m_control;
    int m_from = 0, m_to = 0, m_last = -1;
    bool m_cancelled = false;
};

// Each amount doubles the sorted list: the list so far, merged with itself shifted by the amount.
// Empty when cancelled.
HalfSums sortedSubsetSums(std::span<const qint64> values, Ticker& ticker) {
    const std::size_t size = std::size_t(1) << values.size();
    HalfSums current{std::vector<qint64>(size), std::vector<quint32>(size)};
    HalfSums next{std::vector<qint64>(size), std::vector<quint32>(size)};
    std::size_t length = 1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (ticker.cancelled())
            return {};
        const qint64 value = values[i];
        const quint32 bit = quint32(1) << i;
        const qint64* sums = current.sums.data();
        const quint32* masks = current.masks.data();
        qint64* outSums = next.sums.data();
        quint32* outMasks = next.masks.data();
        std::size_t a = 0, b = 0, out = 0;
        while (a < length && b < length) {
            const qint64 shifted = sums[b] + value;
            if (sums[a] <= shifted) {
                outSums[out] = sums[a];
                outMasks[out++] = masks[a++];
            } else {
                outSums[out] = shifted;
                outMasks[out++] = masks[b++] | bit;
            }
        }
        for (; a < length; ++a, ++out) {
            outSums[out] = sums[a];
            outMasks[out] = masks[a];
        }
        for (; b < length; ++b, ++out) {
            outSums[out] = sums[b] + value;
            outMasks[out] = masks[b] | bit;
        }
        length *= 2;
        std::swap(current, next);
        ticker.report(double(length) / double(size));
    }
    return current;
}

} // namespace

bool MeetInMiddleSearch::sumsFit(std::span<const Currency> amounts) {
    qint64 positive = 0, negative = 0;
    for (const Currency& amount : amounts) {
        qint64& side = amount.count() > 0 ? positive : negative;
        if (__builtin_add_overflow(side, amount.count(), &side))
            return false;
    }
    return true;
}

MeetInMiddleSearch::Outcome MeetInMiddleSearch::run(std::span<const Currency> amounts, Currency lower,
                                                    Currency upper, const Control& control) {
    Outcome outcome;
    Ticker ticker(control);
    if (amounts.size() > std::size_t(MaxAmounts) || lower > upper) {
        if (control.counted)
            control.counted(0);
        return outcome;
    }

    // Amounts 0 … lowCount − 1 are the low bits of a combination number, the rest the high bits.
    const int lowCount = int(amounts.size()) / 2;
    const int highCount = int(amounts.size()) - lowCount;
    std::vector<qint64> values;
    for (const Currency& amount : amounts)
        values.push_back(amount.count());
    const std::span<const qint64> lowValues(values.data(), std::size_t(lowCount));
    const std::span<const qint64> highValues(values.data() + lowCount, std::size_t(highCount));

    ticker.phase(0, 300);
    const HalfSums lows = sortedSubsetSums(lowValues, ticker);
    ticker.phase(300, 600);
    HalfSums highs = sortedSubsetSums(highValues, ticker);
    if (ticker.cancelled()) {
        outcome.cancelled = true;
        return outcome;
    }

    // For each high subset, the low subsets that complete it form one run [first, end) of the
    // sorted low sums. Going through the high sums from the largest down, both ends only move up.
    // Every subset sum fits the Currency range, so high + low cannot overflow.
    const qint64 lo = lower.count(), hi = upper.count();
    const std::size_t lowSize = lows.sums.size(), highSize = highs.sums.size();
    const bool listing = control.limit > 0 && control.hit;
    std::vector<quint32> runStart(listing ? highSize : 0), runLength(listing ? highSize : 0);
    ticker.phase(600, 950);
    std::size_t first = 0, end = 0;
    for (std::size_t k = highSize; k-- > 0;) {
        const qint64 high = highs.sums[k];
        while (first < lowSize && lows.sums[first] + high < lo)
            ++first;
        end = std::max(end, first);
        while (end < lowSize && lows.sums[end] + high <= hi)
            ++end;
        outcome.total += end - first;
        if (listing) {
            runStart[highs.masks[k]] = quint32(first);
            runLength[highs.masks[k]] = quint32(end - first);
        }
        if ((k & 0xFFFF) == 0) {
            if (ticker.cancelled()) {
                outcome.cancelled = true;
                return outcome;
            }
            ticker.report(double(highSize - k) / double(highSize));
        }
    }
    // The empty combination is no combination.
    const bool emptyInRange = lo <= 0 && 0 <= hi;
    if (emptyInRange)
        outcome.total -= 1;
    highs = {};
    if (control.counted)
        control.counted(outcome.total);

    // The first hits in ascending combination number: high subsets in ascending order, and for
    // each the low subsets of its run in ascending order.
    ticker.phase(950, 1000);
    quint64 listed = 0;
    std::vector<std::pair<quint32, qint64>> run; // low subset, its sum
    for (quint64 high = 0; listing && high < highSize && listed < control.limit; ++high) {
        if (runLength[high] == 0)
            continue;
        run.clear();
        for (quint32 i = runStart[high]; i < runStart[high] + runLength[high]; ++i) {
            if (high != 0 || lows.masks[i] != 0)
                run.emplace_back(lows.masks[i], lows.sums[i]);
        }
        const std::size_t wanted = std::size_t(std::min<quint64>(run.size(), control.limit - listed));
        std::partial_sort(run.begin(), run.begin() + std::ptrdiff_t(wanted), run.end());
        qint64 highSum = 0;
        for (int bit = 0; bit < highCount; ++bit) {
            if (high >> bit & 1)
                highSum += highValues[std::size_t(bit)];
        }
        for (std::size_t i = 0; i < wanted; ++i) {
            const Hit hit{high << lowCount | run[i].first, Currency::fromCount(highSum + run[i].second)};
            if (!control.hit(hit) || ticker.cancelled()) {
                outcome.cancelled = true;
                return outcome;
            }
            ++listed;
        }
    }
    ticker.report(1.0);
    return outcome;
}

namespace CombinationSearch {
namespace {

class MeetInMiddleMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("meet-in-the-middle"); }

    Estimate estimate(const Request& request) const override {
        Estimate e;
        const std::size_t n = request.amounts.size();
        e.fits = request.order == Order::Window && !request.sizeLimited() &&
                 n <= std::size_t(MeetInMiddleSearch::MaxAmounts) &&
                 MeetInMiddleSearch::sumsFit(request.amounts);
        const double half = double(quint64(1) << ((n + 1) / 2));
        e.seconds = half * 8e-8;
        e.bytes = qint64(half * 40);
        return e;
    }

    Outcome run(const Request& request, const Control& control) const override {
        if (!estimate(request).fits)
            throw KalvonError::unsupported(
                QStringLiteral("Meet in the middle nimmt höchstens %1 Beträge ohne Größenbegrenzung.")
                    .arg(MeetInMiddleSearch::MaxAmounts));
        MeetInMiddleSearch::Control inner;
        inner.progress = control.progress;
        inner.cancelled = control.cancelled;
        inner.limit = request.limit;
        inner.counted = [&](quint64 total) {
            if (control.counted)
                control.counted(Total{mpz_class(static_cast<unsigned long>(total)), false});
        };
        std::vector<int> items;
        if (control.hit) {
            inner.hit = [&](const MeetInMiddleSearch::Hit& hit) {
                items.clear();
                for (int bit = 0; bit < int(request.amounts.size()); ++bit) {
                    if (hit.combination >> bit & 1)
                        items.push_back(bit);
                }
                return control.hit(Hit{items, hit.sum});
            };
        }
        const MeetInMiddleSearch::Outcome o =
            MeetInMiddleSearch::run(request.amounts, request.lower, request.upper, inner);
        Outcome outcome;
        outcome.total.count = static_cast<unsigned long>(o.total);
        outcome.cancelled = o.cancelled;
        return outcome;
    }
};

} // namespace

const SearchMethod& meetInMiddle() {
    static const MeetInMiddleMethod method;
    return method;
}

} // namespace CombinationSearch
