// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/meet_in_middle.h"

#include "core/numbers/kalvon_error.h"
#include "core/search/search_ticker.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

namespace {

__extension__ using Int128 = __int128;
using CombinationSearch::Control;
using CombinationSearch::Outcome;
using CombinationSearch::Request;
using Ticker = SearchTicker<Control>;

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();
// Sums a chunk holds at most: small enough for the processor's second-level cache.
constexpr std::size_t ChunkSize = 16384;
// High-half sums a window holds at most, roughly.
constexpr quint64 HighSums = quint64(1) << 20;
// High-half sums joined between two looks at cancellation, at most: a few milliseconds' work.
constexpr quint64 PollSums = quint64(1) << 18;
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

// Sizes a list to `size` zeros a piece at a time, looking at cancellation between the pieces: the
// first touch of fresh memory costs as much as a merge. False when cancelled.
template <class T> bool allocate(std::vector<T>& list, std::size_t size, Ticker& ticker) {
    constexpr std::size_t Piece = std::size_t(1) << 18;
    list.reserve(size);
    while (list.size() < size) {
        list.resize(std::min(size, list.size() + Piece));
        if (ticker.cancelled())
            return false;
    }
    return true;
}

// Each value doubles the sorted list: the list so far, merged with itself shifted by the value.
// Cancellation is polled after each value (at most some milliseconds' work); nullopt when cancelled.
std::optional<SortedSums> sortedSubsetSums(std::span<const qint64> values, Ticker& ticker) {
    const std::size_t size = std::size_t(1) << values.size();
    SortedSums current, next;
    if (!allocate(current.sums, size, ticker) || !allocate(current.masks, size, ticker) ||
        !allocate(next.sums, size, ticker) || !allocate(next.masks, size, ticker))
        return std::nullopt;
    std::size_t length = 1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (ticker.cancelled())
            return std::nullopt;
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

// Ascending sums s become the ascending sums −s − 1 (complement) or −s, each mask kept with its sum.
void mirror(SortedSums& part, bool complement) {
    std::reverse(part.sums.begin(), part.sums.end());
    std::reverse(part.masks.begin(), part.masks.end());
    for (qint64& sum : part.sums)
        sum = complement ? ~sum : -sum;
}

// One half of the amounts: its first values form the large part (the low bits of a subset), the
// others the small part. A mirrored half holds −sum − 1 for each subset sum, so that its sums go
// downwards as these go upwards: −sum − 1 fits 64 bits for every sum, −sum not for the smallest
// qint64. One part takes the complement, the other the negation, which then never meets that
// smallest value (the parts' smallest sums add up to no less than it).
struct Half {
    int size = 0;
    SortedSums large, small;
    std::vector<qint64> smallByMask;
    qint64 lowest = 0, highest = 0; // the smallest and the largest sum

    // False when cancelled.
    bool build(std::span<const qint64> values, bool mirrored, Ticker& ticker) {
        size = int(values.size());
        std::optional<SortedSums> largePart =
            sortedSubsetSums(values.first(std::size_t(largeBits(size))), ticker);
        std::optional<SortedSums> smallPart =
            largePart ? sortedSubsetSums(values.subspan(std::size_t(largeBits(size))), ticker) : std::nullopt;
        if (!smallPart)
            return false;
        large = std::move(*largePart);
        small = std::move(*smallPart);
        if (mirrored) {
            const bool smallTakesComplement = small.sums.front() == Lowest;
            mirror(large, !smallTakesComplement);
            mirror(small, smallTakesComplement);
        }
        smallByMask.resize(small.sums.size());
        for (std::size_t k = 0; k < small.sums.size(); ++k)
            smallByMask[small.masks[k]] = small.sums[k];
        lowest = large.sums.front() + small.sums.front();
        highest = large.sums.back() + small.sums.back();
        return true;
    }
    int largeSize() const { return std::countr_zero(large.sums.size()); }
    quint64 count() const { return quint64(1) << size; }
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

// A high-half subset with hits, and how many low-half subsets complete it.
struct Kept {
    quint32 high;
    quint64 count;
    bool operator<(const Kept& other) const { return high < other.high; }
};

// One search by meet in the middle, in its phases: the halves, the windows of sums with the join of
// each, and the kept hits listed. Amounts 0 … lowSize − 1 are the low bits of a combination number,
// the rest the high bits. The high half is mirrored (each sum h as −h − 1): its sums are walked from
// the largest down, and for each the low sums in [lower − h, upper − h] are ranked in the low half's
// window that mirrors the high one.
class Meeting {
public:
    Meeting(const Request& request, const Control& control)
        : m_request(request)
        , m_control(control)
        , m_ticker(control)
        , m_lowSize(int(request.amounts.size()) / 2)
        , m_exact(request.lower == request.upper)
        , m_emptyInRange(request.lower.count() <= 0 && 0 <= request.upper.count())
        , m_listing(request.limit > 0 && bool(control.hit))
        , m_upperOffset(Int128(request.upper.count()) + 1)
        , m_lowerOffset(m_exact ? m_upperOffset : Int128(request.lower.count())) {}

    Outcome run() {
        Outcome outcome;
        outcome.cancelled = true;
        m_ticker.phase(0, 50);
        if (!buildHalves())
            return outcome;
        m_ticker.phase(50, 950);
        if (!countWindows())
            return outcome;
        outcome.total.count = static_cast<unsigned long>(quint64(m_total - (m_emptyInRange ? 1 : 0)));
        if (m_control.counted)
            m_control.counted(outcome.total);
        m_ticker.phase(950, 1000);
        outcome.cancelled = !listKept();
        return outcome;
    }

private:
    bool buildHalves() {
        std::vector<qint64> lowValues, highValues;
        for (int i = 0; i < int(m_request.amounts.size()); ++i)
            (i < m_lowSize ? lowValues : highValues).push_back(m_request.amounts[std::size_t(i)].count());
        return m_low.build(lowValues, false, m_ticker) && m_high.build(highValues, true, m_ticker);
    }

    // The high half's mirrored sums a window of values [from, to] at a time, the low half's windows
    // moved along; the window narrows when the low sums it mirrors overflow a chunk.
    bool countWindows() {
        LowWindow upperWindow(m_low), lowerWindow(m_low);
        m_highNext.assign(m_high.small.sums.size(), 0);
        Int128 width = std::max<Int128>(1, (Int128(m_high.highest) - m_high.lowest + 1) * Int128(ChunkSize) /
                                               Int128(m_high.count()) / 2);
        for (Int128 from = m_high.lowest; from <= m_high.highest;) {
            if (m_ticker.cancelled())
                return false;
            const Int128 to = std::min<Int128>(from + width - 1, m_high.highest);
            if (!moveWindow(upperWindow, m_upperOffset, from, to)) {
                width = std::max<Int128>(1, width / 4);
                continue;
            }
            if (!m_exact && !moveWindow(lowerWindow, m_lowerOffset, from, to)) {
                upperWindow.undo();
                width = std::max<Int128>(1, width / 4);
                continue;
            }
            const quint64 doneBefore = m_done;
            if (!join(upperWindow, lowerWindow, from, to))
                return false;
            m_ticker.report(double(m_done) / double(m_high.count()));
            // Aim at half a window of low sums next time, and at no more than a million high sums,
            // so that cancellation is polled often.
            const Int128 lowAim =
                width * Int128(ChunkSize / 2) / Int128(std::max<std::size_t>(upperWindow.count(), 1));
            const Int128 highAim =
                width * Int128(HighSums) / Int128(std::max<quint64>(m_done - doneBefore, 1));
            width = std::clamp<Int128>(std::min(lowAim, highAim), std::max<Int128>(1, width / 8),
                                       std::min<Int128>(width * 8, Int128(1) << 64));
            from = to + 1;
        }
        return true;
    }

    // The window [from, to] of mirrored high sums needs [offset + from, offset + to] of low sums.
    bool moveWindow(LowWindow& window, Int128 offset, Int128 from, Int128 to) const {
        const Int128 first = std::max<Int128>(offset + from, m_low.lowest);
        const Int128 last = std::min<Int128>(offset + to, m_low.highest);
        return first > last || window.moveTo(qint64(first), qint64(last));
    }

    // Each mirrored high sum of [from, to] joined with the low sums that complete it: the hits are
    // counted and the first high subsets kept. False when cancelled.
    bool join(const LowWindow& upperWindow, const LowWindow& lowerWindow, Int128 from, Int128 to) {
        // The mirrored high sums in [from, to] whose mirror lies within the low half's sums.
        const Int128 hitFrom = std::max<Int128>(
            from, std::min(Int128(m_low.lowest) - m_upperOffset, Int128(m_low.lowest) - m_lowerOffset));
        const Int128 hitTo = std::min<Int128>(
            to, std::max(Int128(m_low.highest) - m_upperOffset, Int128(m_low.highest) - m_lowerOffset));
        const qint64 lowLowest = m_low.lowest, lowHighest = m_low.highest;
        const quint64 lowCount = m_low.count();
        const Int128 upperOffset = m_upperOffset, lowerOffset = m_lowerOffset;
        // Added in 64 bits, wrapping: the mirror of a sum in [hitFrom, hitTo] fits them.
        const quint64 exactShift = quint64(upperOffset);
        const bool exact = m_exact;
        auto countFor = [&](qint64 mirrored) -> quint64 {
            if (exact) {
                const qint64 v = qint64(quint64(mirrored) + exactShift);
                return v < lowLowest || v > lowHighest ? 0 : upperWindow.equal(v);
            }
            // Compared before they are cut to 64 bits: a bound beyond the low sums ranks none or all.
            const Int128 u = upperOffset + mirrored, l = lowerOffset + mirrored;
            const quint64 atMostUpper = u < lowLowest    ? 0
                                        : u > lowHighest ? lowCount
                                                         : upperWindow.atMost(qint64(u));
            const quint64 atMostLower = l < lowLowest    ? 0
                                        : l > lowHighest ? lowCount
                                                         : lowerWindow.atMost(qint64(l));
            return atMostUpper - atMostLower;
        };
        // In locals, so that the inner loop keeps them in registers.
        const qint64* const large = m_high.large.sums.data();
        const std::size_t largeCount = m_high.large.sums.size();
        for (std::size_t r = 0; r < m_highNext.size(); ++r) {
            const qint64 small = m_high.small.sums[r];
            const qint64 bound = clamped(to - small);
            const qint64 countFrom = clamped(hitFrom - small), countTo = clamped(hitTo - small);
            const std::size_t start = m_highNext[r];
            std::size_t k = start;
            for (; k < largeCount && large[k] <= bound; ++k) {
                if (large[k] < countFrom || large[k] > countTo)
                    continue;
                const quint64 count = countFor(small + large[k]);
                if (count != 0)
                    keep(m_high.small.masks[r] << m_high.largeSize() | m_high.large.masks[k], count);
            }
            m_done += k - start;
            m_highNext[r] = k;
            if (m_done >= m_nextPoll) {
                m_nextPoll = m_done + PollSums;
                if (m_ticker.cancelled())
                    return false;
            }
        }
        return true;
    }

    // Counts the hits of a high subset and keeps it if it is among the first.
    void keep(quint32 mask, quint64 count) {
        m_total += count;
        if (mask == 0 && m_emptyInRange)
            --count; // the empty combination is no combination
        if (m_listing && count > 0 && (m_keptCount < Int128(m_request.limit) || mask < m_kept.top().high)) {
            m_kept.push({mask, count});
            m_keptCount += count;
            while (m_keptCount - Int128(m_kept.top().count) >= Int128(m_request.limit)) {
                m_keptCount -= m_kept.top().count;
                m_kept.pop();
            }
        }
    }

    // The low subsets of each kept high subset, in ascending combination number. False when the
    // listing was ended.
    bool listKept() {
        std::vector<Kept> highsInOrder;
        for (; !m_kept.empty(); m_kept.pop())
            highsInOrder.push_back(m_kept.top());
        std::reverse(highsInOrder.begin(), highsInOrder.end());
        quint64 listed = 0;
        for (const Kept& k : highsInOrder) {
            if (!listLowsOf(k.high, listed))
                return false;
        }
        m_ticker.report(1.0);
        return true;
    }

    // The small part's subsets in order, and for each the large part's run of sums that completes
    // the hit.
    bool listLowsOf(quint32 high, quint64& listed) {
        qint64 highSum = 0;
        for (int bit = 0; bit < m_high.size; ++bit) {
            if (high >> bit & 1)
                highSum += m_request.amounts[std::size_t(m_lowSize + bit)].count();
        }
        const std::vector<qint64>& largeSums = m_low.large.sums;
        for (std::size_t small = 0; small < m_low.smallByMask.size() && listed < m_request.limit; ++small) {
            const Int128 rest = Int128(highSum) + m_low.smallByMask[small];
            const auto from =
                std::lower_bound(largeSums.begin(), largeSums.end(), clamped(m_request.lower.count() - rest));
            const auto to = std::upper_bound(from, largeSums.end(), clamped(m_request.upper.count() - rest));
            m_run.clear();
            for (auto i = from; i != to; ++i) {
                const quint32 mask = m_low.large.masks[std::size_t(i - largeSums.begin())];
                if (high != 0 || small != 0 || mask != 0)
                    m_run.emplace_back(mask, *i);
            }
            const std::size_t wanted = std::size_t(std::min<quint64>(m_run.size(), m_request.limit - listed));
            std::partial_sort(m_run.begin(), m_run.begin() + std::ptrdiff_t(wanted), m_run.end());
            for (std::size_t i = 0; i < wanted; ++i) {
                const quint64 combination =
                    quint64(high) << m_lowSize | quint64(small) << m_low.largeSize() | m_run[i].first;
                if (!report(combination, Currency::fromCount(qint64(rest + m_run[i].second))))
                    return false;
                ++listed;
            }
        }
        return true;
    }

    bool report(quint64 combination, Currency sum) {
        m_items.clear();
        for (quint64 rest = combination; rest != 0; rest &= rest - 1)
            m_items.push_back(std::countr_zero(rest));
        return m_control.hit(CombinationSearch::Hit{m_items, sum}) && !m_ticker.cancelled();
    }

    const Request& m_request;
    const Control& m_control;
    Ticker m_ticker;
    const int m_lowSize;
    const bool m_exact, m_emptyInRange, m_listing;
    // A low sum l completes the high sum h, mirrored as g = −h − 1, when
    // lowerOffset + g <= l − (exact ? 0 : 1) < … <= upperOffset + g.
    const Int128 m_upperOffset, m_lowerOffset;
    Half m_low, m_high;
    std::vector<std::size_t> m_highNext; // per small-part sum of the high half: the next large-part sum
    quint64 m_done = 0, m_nextPoll = PollSums;
    std::priority_queue<Kept> m_kept; // the smallest high subsets whose counts reach the limit
    Int128 m_keptCount = 0, m_total = 0;
    std::vector<std::pair<quint32, qint64>> m_run; // a large-part subset of the low half, its sum
    std::vector<int> m_items;
};

} // namespace

double MeetInMiddleSearch::seconds(int n, bool exact) {
    // Every sum of the high half, and of the low half once (exact) or twice (a range).
    // About 6 ns a sum up to 48 amounts, 9 ns beyond, where the small parts have more sums.
    return std::ldexp(1.0, (n + 1) / 2) * (exact ? 2 : 3) * (n <= 48 ? 6e-9 : 9e-9);
}

qint64 MeetInMiddleSearch::bytes(int n, quint64 limit) {
    n = std::min(n, MostAmounts);
    const int high = n - n / 2;
    const double large = std::ldexp(1.0, largeBits(high));
    const double kept = std::min(double(limit), std::ldexp(1.0, high));
    // Both halves' parts, the merge buffer while one is built, the chunks, the hits kept, the
    // listing's buffer.
    return CombinationSearch::saturatedBytes(large * 12 * 3 + double(ChunkSize) * 16 * 8 +
                                             kept * double(sizeof(Kept)) + large * 16);
}

Outcome MeetInMiddleSearch::run(const CombinationSearch::ValidRequest& valid, const Control& control) {
    const Request& request = valid.request();
    if (request.amounts.size() > std::size_t(MostAmounts) ||
        request.order != CombinationSearch::Order::Window || request.sizeLimited())
        throw KalvonError::unsupported(
            QStringLiteral("Meet in the middle nimmt höchstens %1 Beträge und führt die Treffer nur in der "
                           "Reihenfolge der "
                           "Kombinationsnummer auf, ohne Begrenzung der Zahl der Beträge.")
                .arg(MostAmounts));
    if (request.lower > request.upper) {
        if (control.counted)
            control.counted({});
        return {};
    }
    return Meeting(request, control).run();
}

namespace CombinationSearch {
namespace {

// Runs beyond this are left to other methods, or refused.
constexpr double LongestSeconds = 60;

class MeetInMiddleMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("meet-in-the-middle"); }

    Estimate estimate(const ValidRequest& valid) const override {
        const Request& request = valid.request();
        Estimate e;
        const int n = int(std::min<std::size_t>(request.amounts.size(), 1000));
        e.seconds = MeetInMiddleSearch::seconds(n, request.lower == request.upper);
        e.fits = request.order == Order::Window && !request.sizeLimited() &&
                 n <= MeetInMiddleSearch::MostAmounts &&
                 (n <= MeetInMiddleSearch::MaxAmounts || e.seconds <= LongestSeconds);
        e.bytes = e.fits ? MeetInMiddleSearch::bytes(n, request.limit) : 0;
        return e;
    }

    Outcome run(const ValidRequest& valid, const Control& control) const override {
        const Request& request = valid.request();
        const qint64 bytes = MeetInMiddleSearch::bytes(int(request.amounts.size()), request.limit);
        if (bytes > request.memoryBudget)
            refuseMemory(name(), QStringLiteral("meet in the middle"), bytes, request.memoryBudget);
        return MeetInMiddleSearch::run(valid, control);
    }
};

} // namespace

const SearchMethod& meetInMiddle() {
    static const MeetInMiddleMethod method;
    return method;
}

} // namespace CombinationSearch
