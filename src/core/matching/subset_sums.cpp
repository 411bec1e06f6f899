// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/subset_sums.h"

#include "core/numbers/kalvon_error.h"

#include <algorithm>
#include <numeric>

namespace Matching {

// One search: the positions chosen so far and the callbacks.
struct SubsetSums::Walk {
    const std::function<void(std::span<const int>)>& hit;
    const std::function<void()>& poll;
    std::vector<int> chosen; // sorted positions
    std::vector<int> given;  // the same as given indices
    quint32 steps = 0;

    void tick() {
        if ((++steps & 0xFFFF) == 0 && poll)
            poll();
    }
    void report(const SubsetSums& sums, std::initializer_list<int> more) {
        given.clear();
        for (const int p : chosen)
            given.push_back(sums.m_index[p]);
        for (const int p : more)
            given.push_back(sums.m_index[p]);
        hit(given);
    }
};

SubsetSums::SubsetSums(std::span<const qint64> amounts, int maxItems, std::size_t pairBudget)
    : m_maxItems(maxItems) {
    __extension__ using Int128 = __int128;
    std::vector<int> order(amounts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return amounts[a] < amounts[b]; });
    m_index = order;
    for (const int i : order)
        m_values.push_back(amounts[i]);
    std::vector<Int128> sizes;
    for (const qint64 v : m_values)
        sizes.push_back(v < 0 ? -Int128(v) : Int128(v));
    std::sort(sizes.rbegin(), sizes.rend());
    Int128 largest = 0;
    for (std::size_t i = 0; i < sizes.size() && i < std::size_t(maxItems); ++i)
        largest += sizes[i];
    if (largest > Int128(std::numeric_limits<qint64>::max()) / 2)
        throw KalvonError(KalvonError::Kind::Overflow);
    const std::size_t n = m_values.size();
    if (maxItems < 3 || n < 3 || n * (n - 1) / 2 > pairBudget)
        return;
    m_pairs.reserve(n * (n - 1) / 2);
    for (quint32 a = 0; a < n; ++a)
        for (quint32 b = a + 1; b < n; ++b)
            m_pairs.push_back({m_values[a] + m_values[b], a, b});
    std::sort(m_pairs.begin(), m_pairs.end(), [](const Pair& x, const Pair& y) { return x.sum < y.sum; });
}

bool SubsetSums::searchable() const {
    constexpr double MostSweepSteps = 2e8;
    if (m_maxItems <= 2 || m_values.size() < 3)
        return true;
    return !m_pairs.empty() &&
           (m_maxItems <= 4 || double(m_values.size()) * double(m_pairs.size()) <= MostSweepSteps);
}

void SubsetSums::forEach(qint64 low, qint64 high, const std::function<void(std::span<const int>)>& hit,
                         const std::function<void()>& poll) const {
    Walk walk{hit, poll, {}, {}, 0};
    for (int k = 1; k <= m_maxItems && k <= int(m_values.size()); ++k)
        find(walk, k, low, high, 0);
}

qint64 SubsetSums::smallestSum(int from, int k) const {
    qint64 sum = 0;
    for (int i = from; i < from + k; ++i)
        sum += m_values[i];
    return sum;
}

void SubsetSums::find(Walk& walk, int k, qint64 low, qint64 high, int from) const {
    const int n = int(m_values.size());
    if (n - from < k)
        return;
    switch (k) {
    case 1:
        return findOne(walk, low, high, from);
    case 2:
        return findTwo(walk, low, high, from);
    case 3:
        return findThree(walk, low, high, from);
    case 4:
        return findFour(walk, low, high, from);
    default:
        for (int i = from; i + k <= n && smallestSum(i, k) <= high; ++i) {
            walk.chosen.push_back(i);
            find(walk, k - 1, low - m_values[i], high - m_values[i], i + 1);
            walk.chosen.pop_back();
        }
    }
}

void SubsetSums::findOne(Walk& walk, qint64 low, qint64 high, int from) const {
    auto it = std::lower_bound(m_values.begin() + from, m_values.end(), low);
    for (; it != m_values.end() && *it <= high; ++it)
        walk.report(*this, {int(it - m_values.begin())});
}

void SubsetSums::findTwo(Walk& walk, qint64 low, qint64 high, int from) const {
    const int n = int(m_values.size());
    for (int i = from; i + 1 < n && m_values[i] + m_values[i + 1] <= high; ++i) {
        walk.tick();
        auto it = std::lower_bound(m_values.begin() + i + 1, m_values.end(), low - m_values[i]);
        for (; it != m_values.end() && *it <= high - m_values[i]; ++it)
            walk.report(*this, {i, int(it - m_values.begin())});
    }
}

void SubsetSums::findThree(Walk& walk, qint64 low, qint64 high, int from) const {
    const int n = int(m_values.size());
    const auto bySum = [](const Pair& p, qint64 s) {
        return p.sum < s;
    };
    for (int i = from; i + 2 < n && smallestSum(i, 3) <= high; ++i) {
        auto it = std::lower_bound(m_pairs.begin(), m_pairs.end(), low - m_values[i], bySum);
        for (; it != m_pairs.end() && it->sum <= high - m_values[i]; ++it) {
            walk.tick();
            if (int(it->lower) > i)
                walk.report(*this, {i, int(it->lower), int(it->upper)});
        }
    }
}

void SubsetSums::findFour(Walk& walk, qint64 low, qint64 high, int from) const {
    // The lower pair ascending; the upper pairs whose sum completes it lie in [begin, end), a window
    // that only moves down. The amounts being sorted, the lower pair of four never has the larger
    // sum, so the lower pairs end where twice their sum passes high.
    auto begin = m_pairs.end(), end = m_pairs.end();
    for (const Pair& first : m_pairs) {
        walk.tick();
        if (first.sum > high - first.sum)
            break;
        while (end != m_pairs.begin() && std::prev(end)->sum > high - first.sum)
            --end;
        while (begin != m_pairs.begin() && std::prev(begin)->sum >= low - first.sum)
            --begin;
        if (int(first.lower) < from)
            continue;
        for (auto it = begin; it < end; ++it) {
            walk.tick();
            if (it->lower > first.upper)
                walk.report(*this, {int(first.lower), int(first.upper), int(it->lower), int(it->upper)});
        }
    }
}

} // namespace Matching
