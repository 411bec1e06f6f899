// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/small_subset_sums.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace SmallSubsets {
namespace {

constexpr qint64 Min64 = std::numeric_limits<qint64>::min();
constexpr qint64 Max64 = std::numeric_limits<qint64>::max();

// Every sum of the set lies in the 64-bit range, so a bound beyond it can be moved to its end.
qint64 clamp64(Int128 v) {
    return v < Min64 ? Min64 : v > Max64 ? Max64 : qint64(v);
}

Found found(std::initializer_list<int> items, qint64 sum) {
    Found f;
    for (int i : items) {
        std::size_t at = std::size_t(f.size++);
        for (; at > 0 && f.items[at - 1] > i; --at)
            f.items[at] = f.items[at - 1];
        f.items[at] = i;
    }
    f.sum = sum;
    return f;
}

// For each j of the ascending w[0 … n), the partners k > j with lower <= w[j] + w[k] <= upper form
// one block [from, to); as w[j] grows, both ends move down. onBlock(j, from, to) returns false to
// stop; so does pairBlocks then.
template <class OnBlock> bool pairBlocks(const qint64* w, std::size_t n, Range range, OnBlock&& onBlock) {
    std::size_t to = n, lowest = n;
    for (std::size_t j = 0; j + 1 < n; ++j) {
        const qint64 upper = clamp64(range.upper - w[j]), lower = clamp64(range.lower - w[j]);
        while (to > j + 1 && w[to - 1] > upper)
            --to;
        if (to <= j + 1)
            break; // no larger partner is small enough, now or for any later j
        while (lowest > j + 1 && w[lowest - 1] >= lower)
            --lowest;
        const std::size_t from = std::max(lowest, j + 1);
        if (from < to && !onBlock(j, from, to))
            return false;
    }
    return true;
}

// For each p of the ascending s[0 … n), every q with lower <= s[p] + s[q] <= upper, p itself
// included, forms one block [from, to) that moves down as s[p] grows. onBlock(p, from, to)
// returns false to stop; so does sumBlocks then.
template <class OnBlock> bool sumBlocks(const qint64* s, std::size_t n, Range range, OnBlock&& onBlock) {
    std::size_t to = n, lowest = n;
    for (std::size_t p = 0; p < n; ++p) {
        const qint64 upper = clamp64(range.upper - s[p]), lower = clamp64(range.lower - s[p]);
        while (to > 0 && s[to - 1] > upper)
            --to;
        if (to == 0)
            break;
        while (lowest > 0 && s[lowest - 1] >= lower)
            --lowest;
        if (!onBlock(p, lowest, std::max(lowest, to)))
            return false;
    }
    return true;
}

// Sorts keys ascending and moves the values with them: least significant 16 bits first.
void radixSort(std::vector<qint64>& keys, std::vector<quint32>& values, Pacer& pacer) {
    const std::size_t n = keys.size();
    if (n < 2)
        return;
    const auto [lowest, highest] = std::minmax_element(keys.begin(), keys.end());
    const qint64 base = *lowest;
    const quint64 span = quint64(*highest) - quint64(base);
    std::vector<qint64> keyBuffer(n);
    std::vector<quint32> valueBuffer(n);
    std::vector<std::size_t> start(65537);
    for (int shift = 0; shift < 64 && (span >> shift) != 0; shift += 16) {
        auto digit = [&](qint64 key) {
            return std::size_t((quint64(key) - quint64(base)) >> shift & 0xFFFF);
        };
        std::fill(start.begin(), start.end(), 0);
        for (qint64 key : keys)
            ++start[digit(key) + 1];
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t to = start[digit(keys[i])]++;
            keyBuffer[to] = keys[i];
            valueBuffer[to] = values[i];
            if ((i & 0xFFFF) == 0)
                pacer.work(0x10000 * 4);
        }
        keys.swap(keyBuffer);
        values.swap(valueBuffer);
    }
}

} // namespace

Pacer::Pacer(std::function<bool()> cancelled, std::function<void(int)> progress)
    : m_cancelled(std::move(cancelled))
    , m_progress(std::move(progress)) {}

void Pacer::poll() {
    m_nextPoll = m_done + (quint64(1) << 20);
    if (m_cancelled && m_cancelled())
        throw Cancelled{};
}

void Pacer::phase(int from, int to) {
    m_from = from;
    m_to = to;
    m_quiet = false;
    share(0.0);
}

void Pacer::share(double done) {
    const int permille = m_from + int(std::clamp(done, 0.0, 1.0) * (m_to - m_from));
    if (!m_quiet && m_depth == 0 && m_progress && permille > m_last) {
        m_last = permille;
        m_progress(permille);
    }
}

SubsetSums::SubsetSums(std::span<const qint64> amounts, int bound, Pacer& pacer)
    : m_amounts(amounts)
    , m_bound(bound)
    , m_pacer(&pacer) {}

SubsetSums::SubsetSums(std::span<const qint64> amounts, Pacer& pacer)
    : SubsetSums(amounts, int(amounts.size()), pacer) {
    m_indices.resize(amounts.size());
    std::iota(m_indices.begin(), m_indices.end(), 0);
    std::stable_sort(m_indices.begin(), m_indices.end(),
                     [&](int a, int b) { return amounts[std::size_t(a)] < amounts[std::size_t(b)]; });
    for (int i : m_indices)
        m_values.push_back(amounts[std::size_t(i)]);
}

SubsetSums SubsetSums::below(int bound, bool withPairs) const {
    SubsetSums set(m_amounts, std::min(bound, m_bound), *m_pacer);
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        if (m_indices[i] < set.m_bound) {
            set.m_values.push_back(m_values[i]);
            set.m_indices.push_back(m_indices[i]);
        }
    }
    if (m_pairsMade && withPairs) {
        for (std::size_t i = 0; i < m_pairs.size(); ++i) {
            if (int(m_pairs[i] & 0xFFFF) < set.m_bound) {
                set.m_pairSums.push_back(m_pairSums[i]);
                set.m_pairs.push_back(m_pairs[i]);
            }
        }
        set.m_pairsMade = true;
    }
    m_pacer->work(m_values.size() + (withPairs ? m_pairs.size() : 0));
    return set;
}

void SubsetSums::buildPairs() const {
    if (m_pairsMade)
        return;
    const std::size_t n = m_values.size();
    m_pairSums.reserve(n * (n - 1) / 2);
    m_pairs.reserve(n * (n - 1) / 2);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            const int i = m_indices[a], j = m_indices[b];
            m_pairSums.push_back(m_values[a] + m_values[b]);
            m_pairs.push_back(quint32(std::min(i, j)) << 16 | quint32(std::max(i, j)));
        }
        m_pacer->work(n - a);
    }
    radixSort(m_pairSums, m_pairs, *m_pacer);
    m_pairsMade = true;
}

quint64 SubsetSums::count(int size, Range range) const {
    if (range.lower > range.upper)
        return 0;
    switch (size) {
    case 1: {
        const auto first = std::lower_bound(m_values.begin(), m_values.end(), clamp64(range.lower));
        const auto end = std::upper_bound(first, m_values.end(), clamp64(range.upper));
        return quint64(end - first);
    }
    case 2:
        return countPairs(range);
    case 3:
        return countTriples(range);
    case 4:
        return countQuadruples(range);
    default:
        break;
    }
    quint64 count = 0;
    eachLargest(size, range, [&](const SubsetSums& rest, Range restRange, int, qint64) {
        count += rest.count(size - 1, restRange);
        return true;
    });
    return count;
}

// Five amounts or more: for each amount `top`, the subsets of one amount fewer among those with a
// smaller index. onEach(rest, range, top, value of top) returns false to stop; so does eachLargest.
template <class OnEach> bool SubsetSums::eachLargest(int size, Range range, OnEach&& onEach) const {
    if (size > 4)
        buildPairs(); // made once here, then only filtered for each top
    for (int top = size - 1; top < m_bound; ++top) {
        const qint64 value = m_amounts[std::size_t(top)];
        m_pacer->enter();
        const bool going =
            onEach(below(top, true), Range{range.lower - value, range.upper - value}, top, value);
        m_pacer->leave();
        if (!going)
            return false;
        m_pacer->share(double(top) / double(m_bound));
    }
    return true;
}

quint64 SubsetSums::countPairs(Range range) const {
    quint64 count = 0;
    pairBlocks(m_values.data(), m_values.size(), range, [&](std::size_t, std::size_t from, std::size_t to) {
        count += to - from;
        return true;
    });
    m_pacer->work(m_values.size());
    return count;
}

quint64 SubsetSums::countTriples(Range range) const {
    const std::size_t n = m_values.size();
    const qint64* v = m_values.data();
    quint64 count = 0;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        if (Int128(v[i]) + v[i + 1] + v[i + 2] > range.upper)
            break; // the smallest triple from here on is too large
        if (Int128(v[i]) + v[n - 2] + v[n - 1] < range.lower)
            continue;
        const Range rest{range.lower - v[i], range.upper - v[i]};
        pairBlocks(v + i + 1, n - i - 1, rest, [&](std::size_t, std::size_t from, std::size_t to) {
            count += to - from;
            return true;
        });
        m_pacer->work(n - i);
        m_pacer->share(double(i) / double(n));
    }
    return count;
}

// Ordered pairs (p, q) of pairs whose sums add up to the range are of three kinds: p = q; p and q
// share one amount; p and q are disjoint, and then each of their quadruples is counted six times
// (three ways to split it into two pairs, two orders).
quint64 SubsetSums::countQuadruples(Range range) const {
    buildPairs();
    const qint64* s = m_pairSums.data();
    const std::size_t pairCount = m_pairSums.size();
    quint64 ordered = 0;
    sumBlocks(s, pairCount, range, [&](std::size_t p, std::size_t from, std::size_t to) {
        ordered += to - from;
        m_pacer->work(2);
        if ((p & 0xFFFF) == 0)
            m_pacer->share(0.5 * double(p) / double(pairCount));
        return true;
    });

    // p = q: 2 · sum(p) in range.
    const auto firstHalf =
        std::lower_bound(m_pairSums.begin(), m_pairSums.end(),
                         clamp64(range.lower >= 0 ? (range.lower + 1) / 2 : range.lower / 2));
    const auto endHalf = std::upper_bound(
        firstHalf, m_pairSums.end(), clamp64(range.upper >= 0 ? range.upper / 2 : (range.upper - 1) / 2));
    const quint64 same = quint64(endHalf - firstHalf);

    // p = {a, b}, q = {a, c}: for each a, the ordered pairs (b, c) of other amounts with
    // 2a + b + c in range.
    const std::size_t n = m_values.size();
    quint64 shared = 0;
    for (std::size_t a = 0; a < n; ++a) {
        const Int128 va = m_values[a];
        const Range rest{range.lower - 2 * va, range.upper - 2 * va};
        quint64 pairs = countPairs(rest);
        // … less the pairs that hold a itself: a + b in rest, b ≠ a.
        const auto first = std::lower_bound(m_values.begin(), m_values.end(), clamp64(rest.lower - va));
        const auto end = std::upper_bound(first, m_values.end(), clamp64(rest.upper - va));
        pairs -= quint64(end - first);
        if (rest.lower <= 2 * va && 2 * va <= rest.upper)
            pairs += 1; // b = a was taken away above but is no pair
        shared += 2 * pairs;
        m_pacer->share(0.5 + 0.5 * double(a) / double(n));
    }
    Q_ASSERT((ordered - same - shared) % 6 == 0);
    return (ordered - same - shared) / 6;
}

bool SubsetSums::collect(int size, Range range, std::size_t cap, std::vector<Found>& out) const {
    if (range.lower > range.upper)
        return true;
    const qint64* v = m_values.data();
    const std::size_t n = m_values.size();
    switch (size) {
    case 1: {
        const auto first = std::lower_bound(m_values.begin(), m_values.end(), clamp64(range.lower));
        const auto end = std::upper_bound(first, m_values.end(), clamp64(range.upper));
        for (auto it = first; it != end; ++it) {
            if (out.size() >= cap)
                return false;
            out.push_back(found({m_indices[std::size_t(it - m_values.begin())]}, *it));
        }
        return true;
    }
    case 2: {
        const bool complete = pairBlocks(v, n, range, [&](std::size_t j, std::size_t from, std::size_t to) {
            for (std::size_t k = from; k < to; ++k) {
                if (out.size() >= cap)
                    return false;
                out.push_back(found({m_indices[j], m_indices[k]}, v[j] + v[k]));
            }
            return true;
        });
        m_pacer->work(n);
        return complete;
    }
    case 3:
        for (std::size_t i = 0; i + 2 < n; ++i) {
            if (Int128(v[i]) + v[i + 1] + v[i + 2] > range.upper)
                break;
            if (Int128(v[i]) + v[n - 2] + v[n - 1] < range.lower)
                continue;
            const Range rest{range.lower - v[i], range.upper - v[i]};
            const qint64* w = v + i + 1;
            const int* index = m_indices.data() + i + 1;
            const bool complete =
                pairBlocks(w, n - i - 1, rest, [&](std::size_t j, std::size_t from, std::size_t to) {
                    for (std::size_t k = from; k < to; ++k) {
                        if (out.size() >= cap)
                            return false;
                        out.push_back(found({m_indices[i], index[j], index[k]}, v[i] + w[j] + w[k]));
                    }
                    return true;
                });
            if (!complete)
                return false;
            m_pacer->work(n - i);
            m_pacer->share(double(i) / double(n));
        }
        return true;
    case 4: {
        // Each quadruple a < b < c < d (by index) once: as the pair {a, b} followed by {c, d}.
        buildPairs();
        const qint64* s = m_pairSums.data();
        const std::size_t pairCount = m_pairSums.size();
        return sumBlocks(s, pairCount, range, [&](std::size_t p, std::size_t from, std::size_t to) {
            const int b = int(m_pairs[p] & 0xFFFF);
            for (std::size_t q = from; q < to; ++q) {
                const int c = int(m_pairs[q] >> 16);
                if (b < c) {
                    if (out.size() >= cap)
                        return false;
                    out.push_back(
                        found({int(m_pairs[p] >> 16), b, c, int(m_pairs[q] & 0xFFFF)}, s[p] + s[q]));
                }
            }
            m_pacer->work(2 + to - from);
            if ((p & 0xFFFF) == 0)
                m_pacer->share(double(p) / double(pairCount));
            return true;
        });
    }
    default:
        return eachLargest(size, range, [&](const SubsetSums& rest, Range restRange, int top, qint64 value) {
            const std::size_t first = out.size();
            const bool complete = rest.collect(size - 1, restRange, cap, out);
            for (std::size_t i = first; i < out.size(); ++i) {
                out[i].items[std::size_t(out[i].size++)] = top;
                out[i].sum += value;
            }
            return complete;
        });
    }
}

} // namespace SmallSubsets
