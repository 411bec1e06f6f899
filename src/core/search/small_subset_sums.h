// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>
#include <functional>
#include <span>
#include <vector>

// How many subsets of one to eight amounts have a sum in a range, and which, without trying them
// one by one: the amounts sorted by value, pairs found with two pointers, triples with two
// pointers for each fixed smallest amount, quadruples from the sorted sums of all pairs. Five and
// more amounts: each choice of the amounts with the largest indices, and quadruples below them.
namespace SmallSubsets {

__extension__ using Int128 = __int128;

constexpr int MaxItems = 8;
// Quadruples need the sums of all pairs; a pair is stored as two 16-bit indices.
constexpr int MaxPairedAmounts = 65536;

// The sums lower … upper; empty when lower > upper.
struct Range {
    Int128 lower = 0;
    Int128 upper = -1;
};

// One hit: indices into the amounts, ascending, and their sum.
struct Found {
    std::array<int, MaxItems> items{};
    int size = 0;
    qint64 sum = 0;
    std::span<const int> indices() const { return {items.data(), std::size_t(size)}; }
};

// Thrown by Pacer when the search is to end early.
struct Cancelled {};

// Polls for cancellation after a given amount of work (units of roughly a nanosecond) and reports
// progress within the phase that is running.
class Pacer {
public:
    Pacer(std::function<bool()> cancelled, std::function<void(int)> progress);

    void work(quint64 units) {
        m_done += units;
        if (m_done >= m_nextPoll)
            poll();
    }
    // Asks whether to end now; throws Cancelled if so.
    void poll();
    // The phase now running covers [from, to] of the 0 … 1000 scale; share() reports within it.
    void phase(int from, int to);
    void share(double done);
    // share() reports nothing until the next phase (work inside work that reports itself).
    void quiet() { m_quiet = true; }
    // Between enter() and leave(), share() reports nothing: a part of a larger piece of work.
    void enter() { ++m_depth; }
    void leave() { --m_depth; }

private:
    std::function<bool()> m_cancelled;
    std::function<void(int)> m_progress;
    quint64 m_done = 0, m_nextPoll = 0;
    int m_from = 0, m_to = 0, m_last = -1, m_depth = 0;
    bool m_quiet = false;
};

// The amounts with an index below a bound, sorted by value: how many subsets of a given size have
// a sum in a range, and which they are. Every sum of up to MaxItems amounts must fit in 64 bits.
class SubsetSums {
public:
    // All amounts.
    SubsetSums(std::span<const qint64> amounts, Pacer& pacer);

    // The amounts of this set with an index below bound; the sums of their pairs too if this set
    // has them made and withPairs.
    SubsetSums below(int bound, bool withPairs) const;
    int bound() const { return m_bound; }

    quint64 count(int size, Range range) const;
    // Appends every subset of `size` amounts whose sum lies in range. False, with an incomplete
    // list, when out would then hold more than cap hits.
    bool collect(int size, Range range, std::size_t cap, std::vector<Found>& out) const;

private:
    SubsetSums(std::span<const qint64> amounts, int bound, Pacer& pacer);
    void buildPairs() const;
    template <class OnEach> bool eachLargest(int size, Range range, OnEach&& onEach) const;
    quint64 countPairs(Range range) const;
    quint64 countTriples(Range range) const;
    quint64 countQuadruples(Range range) const;

    std::span<const qint64> m_amounts;
    int m_bound = 0;
    Pacer* m_pacer;
    std::vector<qint64> m_values; // ascending
    std::vector<int> m_indices;   // the index of each value
    // The sums of all pairs, ascending, each with its pair (smaller index << 16 | larger index).
    // Made on first use.
    mutable std::vector<qint64> m_pairSums;
    mutable std::vector<quint32> m_pairs;
    mutable bool m_pairsMade = false;
};

} // namespace SmallSubsets
