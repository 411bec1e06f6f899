// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace Matching {

// Every combination of at most maxItems of a group's amounts whose sum lies in a range. The
// amounts are sorted by value; one amount is found by binary search, two with a binary search for
// each smaller one, three and four from the sums of all pairs sorted once (time n²/2·log n and
// memory 16 bytes a pair, shared by every range asked for): three as a fixed smallest amount and
// a pair above it, four as two pairs, the lower one swept upwards while the window of the upper
// one moves down. Five or more fix the smallest amounts and take four above them.
class SubsetSums {
public:
    // Throws KalvonError (Overflow) when a sum of maxItems amounts could leave the Currency range.
    // Without room for the pairs (more than pairBudget of them) only one or two amounts are found.
    SubsetSums(std::span<const qint64> amounts, int maxItems, std::size_t pairBudget);

    // False when combinations of three or more are asked for and the pairs did not fit, or five or
    // more over so many amounts that sweeping the pairs once for each smallest amount takes too long.
    bool searchable() const;
    std::size_t size() const { return m_values.size(); }

    // Calls hit with the indices (into the amounts as given, in no particular order) of every
    // combination of 1 … maxItems amounts whose sum lies in [low, high], each once; poll is called
    // now and then and may throw to end the search.
    void forEach(qint64 low, qint64 high, const std::function<void(std::span<const int>)>& hit,
                 const std::function<void()>& poll) const;

private:
    struct Pair {
        qint64 sum;
        quint32 lower, upper; // sorted positions, lower < upper
    };
    struct Walk;

    void find(Walk& walk, int k, qint64 low, qint64 high, int from) const;
    void findOne(Walk& walk, qint64 low, qint64 high, int from) const;
    void findTwo(Walk& walk, qint64 low, qint64 high, int from) const;
    void findThree(Walk& walk, qint64 low, qint64 high, int from) const;
    void findFour(Walk& walk, qint64 low, qint64 high, int from) const;
    // The smallest sum of k amounts from sorted position from on.
    qint64 smallestSum(int from, int k) const;

    std::vector<qint64> m_values; // ascending
    std::vector<int> m_index;     // given index of each sorted position
    std::vector<Pair> m_pairs;    // by sum
    int m_maxItems;
};

} // namespace Matching
