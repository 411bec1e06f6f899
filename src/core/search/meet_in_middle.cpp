// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/meet_in_middle.h"

#include "core/numbers/kalvon_error.h"
#include "core/search/search_ticker.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <queue>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

__extension__ using Int128 = __int128;

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();
// Sums a chunk holds at most: small enough for the processor's second-level cache.
constexpr std::size_t ChunkSize = 16384;
// High-half sums a window holds at most, roughly.
constexpr quint64 HighSums = quint64(1) << 20;
// The large part of a half has at least this many amounts, the small part at most SmallBits.
constexpr int LargeBits = 18;
constexpr int SmallBits = 10;

qint64 clamped(Int128 value) {
    return value < Lowest ? Lowest : value > Highest ? Highest : qint64(value);
}

int largeBits(int halfSize) {
    return std::min(halfSize, std::max(LargeBits, halfSize - SmallBits));
}

// The subset sums of some values in ascending order, each with its subset (bit i = value i).
struct SortedSums {
    std::vector<qint64> sums;
    std::vector<quint32> masks;
};

// Each value doubles the sorted list: the list so far, merged with itself shifted by the value.
SortedSums sortedSubsetSums(std::span<const qint64> values) {
    const std::size_t size = std::size_t(1) << values.size();
    SortedSums current{std::vector<qint64>(size), std::vector<quint32>(size)};
    SortedSums next{std::vector<qint64>(size), std::vector<quint32>(size)};
    std::size_t length = 1;
    for (std::size_t i = 0; i < values.size(); ++i) {
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
    }
    return current;
}

// One half of the amounts: its first values form the large part (the low bits of a subset), the
// others the small part.
struct Half {
    explicit Half(std::span<const qint64> values)
        : size(int(values.size()))
        , large(sortedSubsetSums(values.first(std::size_t(largeBits(size)))))
        , small(sortedSubsetSums(values.subspan(std::size_t(largeBits(size))))) {
        smallByMask.resize(small.sums.size());
        for (std::size_t k = 0; k < small.sums.size(); ++k)
            smallByMask[small.masks[k]] = small.sums[k];
        lowest = large.sums.front() + small.sums.front();
        highest = large.sums.back() + small.sums.back();
    }
    int largeSize() const { return std::countr_zero(large.sums.size()); }
    quint64 count() const { return quint64(1) << size; }

    int size;
    SortedSums large, small;
    std::vector<qint64> smallByMask;
    qint64 lowest, highest; // the smallest and the largest subset sum
};

// The low half's subset sums in one window of values at a time, distributed into buckets by
// value, so that a value in the window is ranked among them at once. Windows move up only.
class LowWindow {
public:
    explicit LowWindow(const Half& half)
        : m_half(half)
        , m_next(half.small.sums.size(), 0)
        , m_end(half.small.sums.size(), 0) {
        m_sums.resize(2 * ChunkSize);
        m_values.resize(2 * ChunkSize);
        m_runningCounts.resize(2 * ChunkSize);
    }

    // Takes the sums in [first, last] (first above the last window's), both within the half's
    // sums; false, and nothing taken, when there are more than a window holds and first < last.
    bool moveTo(qint64 first, qint64 last) {
        const std::vector<qint64>& large = m_half.large.sums;
        const std::vector<qint64>& small = m_half.small.sums;
        m_saved = m_next;
        m_savedPassed = m_passed;
        for (std::size_t r = 0; r < m_next.size(); ++r) {
            const qint64 bound = clamped(Int128(first) - small[r]);
            if (m_next[r] < large.size() && large[m_next[r]] < bound) {
                const std::size_t k = std::size_t(
                    std::lower_bound(large.begin() + std::ptrdiff_t(m_next[r]), large.end(), bound) -
                    large.begin());
                m_passed += k - m_next[r];
                m_next[r] = k;
            }
        }
        const std::size_t capacity = first < last ? m_sums.size() : std::numeric_limits<std::size_t>::max();
        std::size_t count = 0;
        for (std::size_t r = 0; r < m_next.size(); ++r) {
            const qint64 bound = clamped(Int128(last) - small[r]);
            std::size_t k = m_next[r];
            for (; k < large.size() && large[k] <= bound; ++k) {
                if (count == capacity) {
                    undo();
                    return false;
                }
                if (count < m_sums.size())
                    m_sums[count] = small[r] + large[k];
                ++count;
            }
            m_end[r] = k;
        }
        m_next.swap(m_end);
        m_first = first;
        m_last = last;
        m_before = m_passed;
        m_passed += count;
        m_count = count;
        if (count <= m_sums.size())
            distribute();
        else
            m_shift = -1; // one sum, more often than a window holds
        return true;
    }

    // Back to before the last moveTo(), for a narrower window than that one.
    void undo() {
        m_next = m_saved;
        m_passed = m_savedPassed;
    }

    std::size_t count() const { return m_count; }
    // How many of the half's sums are at most v, for v in [first, last].
    quint64 atMost(qint64 v) const {
        if (m_shift < 0)
            return m_before + m_count;
        const std::size_t bucket = bucketOf(v);
        const std::size_t from = m_starts[bucket], to = m_starts[bucket + 1];
        quint64 rank = m_before + from;
        if (to - from <= SmallBucket) {
            for (std::size_t i = from; i < to; ++i)
                rank += m_values[i] <= v;
            return rank;
        }
        const std::size_t at = upTo(bucket, v);
        return rank + (at > from ? m_runningCounts[at - 1] : 0);
    }
    // How many of the half's sums equal v, for v in [first, last].
    quint64 equal(qint64 v) const {
        if (m_shift < 0)
            return m_count;
        const std::size_t bucket = bucketOf(v);
        const std::size_t from = m_starts[bucket], to = m_starts[bucket + 1];
        if (to - from <= SmallBucket) {
            quint64 equal = 0;
            for (std::size_t i = from; i < to; ++i)
                equal += m_values[i] == v;
            return equal;
        }
        const std::size_t at = upTo(bucket, v);
        if (at == from || m_values[at - 1] != v)
            return 0;
        return m_runningCounts[at - 1] - (at - 1 > from ? m_runningCounts[at - 2] : 0);
    }

private:
    // Buckets of at most this many sums stay unsorted.
    static constexpr std::size_t SmallBucket = 8;

    std::size_t bucketOf(qint64 v) const { return std::size_t((quint64(v) - quint64(m_first)) >> m_shift); }

    // The end of a large bucket's distinct sums up to v.
    std::size_t upTo(std::size_t bucket, qint64 v) const {
        return std::size_t(std::upper_bound(m_values.begin() + std::ptrdiff_t(m_starts[bucket]),
                                            m_values.begin() + std::ptrdiff_t(m_ends[bucket]), v) -
                           m_values.begin());
    }

    // Into buckets by the leading bits of sum − first, about one sum a bucket. The few buckets
    // with more than SmallBucket sums are sorted, their equal sums merged into one with its running
    // count, so that many equal sums cost no more than one.
    void distribute() {
        const int bucketBits = std::bit_width(std::max<std::size_t>(m_count, 1) - 1);
        const int spanBits = std::bit_width(quint64(m_last) - quint64(m_first));
        m_shift = std::max(0, spanBits - bucketBits);
        const std::size_t buckets = std::size_t(1) << bucketBits;
        m_starts.assign(buckets + 1, 0);
        m_large.clear();
        for (std::size_t i = 0; i < m_count; ++i) {
            const std::size_t bucket = bucketOf(m_sums[i]);
            if (++m_starts[bucket + 1] == SmallBucket + 1)
                m_large.push_back(bucket);
        }
        for (std::size_t b = 1; b <= buckets; ++b)
            m_starts[b] += m_starts[b - 1];
        m_ends.assign(m_starts.begin(), m_starts.end() - 1);
        for (std::size_t i = 0; i < m_count; ++i)
            m_values[m_ends[bucketOf(m_sums[i])]++] = m_sums[i];
        for (const std::size_t b : m_large) {
            std::sort(m_values.begin() + std::ptrdiff_t(m_starts[b]),
                      m_values.begin() + std::ptrdiff_t(m_ends[b]));
            std::size_t out = m_starts[b];
            for (std::size_t i = m_starts[b]; i < m_ends[b]; ++i) {
                if (out > m_starts[b] && m_values[out - 1] == m_values[i]) {
                    ++m_runningCounts[out - 1];
                } else {
                    m_values[out] = m_values[i];
                    m_runningCounts[out] = quint32(i - m_starts[b] + 1);
                    ++out;
                }
            }
            m_ends[b] = out;
        }
    }

    const Half& m_half;
    std::vector<std::size_t> m_next, m_end, m_saved; // per small-part sum: the next large-part sum
    quint64 m_savedPassed = 0;
    std::vector<qint64> m_sums, m_values;
    std::vector<quint32> m_runningCounts;      // per distinct sum: the sums up to it in its bucket
    std::vector<std::size_t> m_starts, m_ends; // per bucket: where its sums start, its distinct ones end
    std::vector<std::size_t> m_large;          // the buckets with more than SmallBucket sums
    qint64 m_first = 0, m_last = 0;
    quint64 m_before = 0, m_passed = 0; // sums below the window; sums passed so far
    std::size_t m_count = 0;
    int m_shift = 0;
};

using Ticker = SearchTicker<MeetInMiddleSearch::Control>;

// A high-half subset with hits, and how many low-half subsets complete it.
struct Kept {
    quint32 high;
    quint64 count;
    bool operator<(const Kept& other) const { return high < other.high; }
};

} // namespace

bool MeetInMiddleSearch::sumsFit(std::span<const Currency> amounts) {
    return CombinationSearch::sumsFit(amounts);
}

double MeetInMiddleSearch::seconds(int n, bool exact) {
    // Every sum of the high half, and of the low half once (exact) or twice (a range).
    // About 6 ns a sum up to 48 amounts, 9 ns beyond, where the small parts have more sums.
    return std::ldexp(1.0, (n + 1) / 2) * (exact ? 2 : 3) * (n <= 48 ? 6e-9 : 9e-9);
}

qint64 MeetInMiddleSearch::bytes(int n, quint64 limit) {
    n = std::min(n, MostAmounts);
    const int high = n - n / 2;
    const qint64 large = qint64(1) << largeBits(high);
    const quint64 kept = std::min<quint64>(limit, quint64(1) << high);
    // Both halves' parts, the merge buffer while one is built, the chunks, the hits kept, the
    // listing's buffer.
    return large * 12 * 3 + qint64(ChunkSize) * 16 * 8 + qint64(kept) * qint64(sizeof(Kept)) + large * 16;
}

MeetInMiddleSearch::Outcome MeetInMiddleSearch::run(std::span<const Currency> amounts, Currency lower,
                                                    Currency upper, const Control& control) {
    if (amounts.size() > std::size_t(MostAmounts))
        throw KalvonError::unsupported(
            QStringLiteral("Meet in the middle nimmt höchstens %1 Beträge, nicht %2.")
                .arg(MostAmounts)
                .arg(amounts.size()));
    if (lower > upper)
        throw KalvonError::unsupported(
            QStringLiteral("Die Untergrenze des Bereichs liegt über seiner Obergrenze."));
    // The high half's sums are negated: none may be the most negative number.
    Int128 negative = 0;
    for (const Currency& amount : amounts) {
        if (amount.count() == 0)
            throw KalvonError::unsupported(
                QStringLiteral("Ein Betrag von null nimmt an keiner Kombination teil."));
        negative += std::min<qint64>(amount.count(), 0);
    }
    if (!sumsFit(amounts) || negative == Lowest)
        throw KalvonError(KalvonError::Kind::Overflow, QStringLiteral("Eine mögliche Summe der Beträge"));

    Outcome outcome;
    Ticker ticker(control);
    ticker.phase(0, 50);
    // Amounts 0 … lowSize − 1 are the low bits of a combination number, the rest the high bits.
    const int lowSize = int(amounts.size()) / 2;
    std::vector<qint64> lowValues, highNegated;
    for (int i = 0; i < int(amounts.size()); ++i) {
        if (i < lowSize)
            lowValues.push_back(amounts[std::size_t(i)].count());
        else
            highNegated.push_back(-amounts[std::size_t(i)].count());
    }
    const Half low(lowValues);
    const Half high(highNegated);
    const bool exact = lower == upper;
    const bool emptyInRange = lower.count() <= 0 && 0 <= upper.count();
    const bool listing = control.limit > 0 && control.hit;

    // The high half's sums from the largest down (its negated sums upwards), a window of values at
    // a time; for each sum the low sums in [lower − it, upper − it], ranked in the low half's
    // window that mirrors it. The high half's sums are never stored: each small-part sum's run of
    // large-part sums is walked in place.
    LowWindow upperWindow(low), lowerWindow(low);
    const qint64 upperOffset = upper.count();
    const Int128 lowerOffset = exact ? Int128(upper.count()) : Int128(lower.count()) - 1;
    std::vector<std::size_t> highNext(high.small.sums.size(), 0);
    std::priority_queue<Kept> kept; // the smallest high subsets whose counts reach the limit
    Int128 keptCount = 0, total = 0;
    quint64 done = 0;
    Int128 width = std::max<Int128>(1, (Int128(high.highest) - high.lowest + 1) * Int128(ChunkSize) /
                                           Int128(high.count()) / 2);
    // The window [from, to] of negated high sums mirrors [offset + from, offset + to] of low sums.
    auto mirror = [&](LowWindow& window, Int128 offset, Int128 from, Int128 to) {
        const Int128 first = std::max<Int128>(offset + from, low.lowest);
        const Int128 last = std::min<Int128>(offset + to, low.highest);
        return first > last || window.moveTo(qint64(first), qint64(last));
    };
    ticker.phase(50, 950);
    for (Int128 from = high.lowest; from <= high.highest;) {
        if (ticker.cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        const Int128 to = std::min<Int128>(from + width - 1, high.highest);
        const quint64 doneBefore = done;
        if (!mirror(upperWindow, upperOffset, from, to)) {
            width = std::max<Int128>(1, width / 4);
            continue;
        }
        if (!exact && !mirror(lowerWindow, lowerOffset, from, to)) {
            upperWindow.undo();
            width = std::max<Int128>(1, width / 4);
            continue;
        }
        // The negated high sums in [from, to] whose mirror lies within the low half's sums.
        const Int128 hitFrom = std::max<Int128>(
            from, std::min(Int128(low.lowest) - upperOffset, Int128(low.lowest) - lowerOffset));
        const Int128 hitTo = std::min<Int128>(
            to, std::max(Int128(low.highest) - upperOffset, Int128(low.highest) - lowerOffset));
        const qint64 lowLowest = low.lowest, lowHighest = low.highest;
        auto countFor = [&](qint64 negated) -> quint64 {
            // negated lies in [hitFrom, hitTo]: both mirrors fit 64 bits.
            if (exact) {
                const qint64 v = upperOffset + negated;
                return v < lowLowest || v > lowHighest ? 0 : upperWindow.equal(v);
            }
            const qint64 u = clamped(Int128(upperOffset) + negated), l = clamped(lowerOffset + negated);
            const quint64 atMostUpper = u < lowLowest    ? 0
                                        : u > lowHighest ? low.count()
                                                         : upperWindow.atMost(u);
            const quint64 atMostLower = l < lowLowest    ? 0
                                        : l > lowHighest ? low.count()
                                                         : lowerWindow.atMost(l);
            return atMostUpper - atMostLower;
        };
        const std::vector<qint64>& large = high.large.sums;
        for (std::size_t r = 0; r < highNext.size(); ++r) {
            const qint64 small = high.small.sums[r];
            const qint64 bound = clamped(to - small);
            const qint64 countFrom = clamped(hitFrom - small), countTo = clamped(hitTo - small);
            const std::size_t start = highNext[r];
            std::size_t k = start;
            for (; k < large.size() && large[k] <= bound; ++k) {
                if (large[k] < countFrom || large[k] > countTo)
                    continue;
                quint64 count = countFor(small + large[k]);
                if (count == 0)
                    continue;
                total += count;
                const quint32 mask = high.small.masks[r] << high.largeSize() | high.large.masks[k];
                if (mask == 0 && emptyInRange)
                    --count; // the empty combination is no combination
                if (listing && count > 0 && (keptCount < Int128(control.limit) || mask < kept.top().high)) {
                    kept.push({mask, count});
                    keptCount += count;
                    while (keptCount - Int128(kept.top().count) >= Int128(control.limit)) {
                        keptCount -= kept.top().count;
                        kept.pop();
                    }
                }
            }
            done += k - start;
            highNext[r] = k;
        }
        ticker.report(double(done) / double(high.count()));
        // Aim at half a window of low sums next time, and at no more than a million high sums, so
        // that cancellation is polled often.
        const Int128 lowAim =
            width * Int128(ChunkSize / 2) / Int128(std::max<std::size_t>(upperWindow.count(), 1));
        const Int128 highAim = width * Int128(HighSums) / Int128(std::max<quint64>(done - doneBefore, 1));
        width = std::clamp<Int128>(std::min(lowAim, highAim), std::max<Int128>(1, width / 8),
                                   std::min<Int128>(width * 8, Int128(1) << 64));
        from = to + 1;
    }
    if (emptyInRange)
        total -= 1;
    outcome.total = quint64(total);
    if (control.counted)
        control.counted(outcome.total);

    // The low subsets of each kept high subset, in ascending combination number: the small part's
    // subsets in order, and for each the large part's run of sums that completes the hit.
    ticker.phase(950, 1000);
    std::vector<Kept> highsInOrder;
    for (; !kept.empty(); kept.pop())
        highsInOrder.push_back(kept.top());
    std::reverse(highsInOrder.begin(), highsInOrder.end());
    const std::vector<qint64>& largeSums = low.large.sums;
    std::vector<std::pair<quint32, qint64>> run; // a large-part subset, its sum
    quint64 listed = 0;
    for (const Kept& k : highsInOrder) {
        qint64 highSum = 0;
        for (int bit = 0; bit < high.size; ++bit) {
            if (k.high >> bit & 1)
                highSum += amounts[std::size_t(lowSize + bit)].count();
        }
        for (std::size_t small = 0; small < low.smallByMask.size() && listed < control.limit; ++small) {
            const Int128 rest = Int128(highSum) + low.smallByMask[small];
            const auto from =
                std::lower_bound(largeSums.begin(), largeSums.end(), clamped(lower.count() - rest));
            const auto to = std::upper_bound(from, largeSums.end(), clamped(upper.count() - rest));
            run.clear();
            for (auto i = from; i != to; ++i) {
                const quint32 mask = low.large.masks[std::size_t(i - largeSums.begin())];
                if (k.high != 0 || small != 0 || mask != 0)
                    run.emplace_back(mask, *i);
            }
            const std::size_t wanted = std::size_t(std::min<quint64>(run.size(), control.limit - listed));
            std::partial_sort(run.begin(), run.begin() + std::ptrdiff_t(wanted), run.end());
            for (std::size_t i = 0; i < wanted; ++i) {
                const quint64 combination =
                    quint64(k.high) << lowSize | quint64(small) << low.largeSize() | run[i].first;
                const Hit hit{combination, Currency::fromCount(qint64(rest + run[i].second))};
                if (!control.hit(hit) || ticker.cancelled()) {
                    outcome.cancelled = true;
                    return outcome;
                }
                ++listed;
            }
        }
    }
    ticker.report(1.0);
    return outcome;
}

namespace CombinationSearch {
namespace {

// Runs beyond this are left to other methods, or refused.
constexpr double LongestSeconds = 60;

class MeetInMiddleMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("meet-in-the-middle"); }

    Estimate estimate(const Request& request) const override {
        Estimate e;
        const int n = int(std::min<std::size_t>(request.amounts.size(), 1000));
        e.seconds = MeetInMiddleSearch::seconds(n, request.lower == request.upper);
        e.fits = request.order == Order::Window && !request.sizeLimited() &&
                 n <= MeetInMiddleSearch::MostAmounts && MeetInMiddleSearch::sumsFit(request.amounts) &&
                 (n <= MeetInMiddleSearch::MaxAmounts || e.seconds <= LongestSeconds);
        e.bytes = e.fits ? MeetInMiddleSearch::bytes(n, request.limit) : 0;
        return e;
    }

    Outcome run(const Request& request, const Control& control) const override {
        if (request.order != Order::Window || request.sizeLimited())
            throw KalvonError::unsupported(QStringLiteral(
                "Meet in the middle führt die Treffer nur in der Reihenfolge der Kombinationsnummer auf, "
                "ohne Begrenzung der Zahl der Beträge."));
        if (request.lower > request.upper) {
            if (control.counted)
                control.counted(Total{});
            return {};
        }
        const qint64 bytes = MeetInMiddleSearch::bytes(int(request.amounts.size()), request.limit);
        if (bytes > request.memoryBudget)
            throw KalvonError::unsupported(
                QStringLiteral("Für meet in the middle reicht der Arbeitsspeicher nicht (%1 MB nötig, %2 MB "
                               "erlaubt). Abhilfe: eine kleinere Zahl aufzuführender Treffer (--limit) oder "
                               "weniger Beträge angeben.")
                    .arg(bytes >> 20)
                    .arg(request.memoryBudget >> 20));
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
                for (quint64 rest = hit.combination; rest != 0; rest &= rest - 1)
                    items.push_back(std::countr_zero(rest));
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
