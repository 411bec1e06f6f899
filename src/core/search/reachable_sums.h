// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/search/combination_search.h"

#include <QtGlobal>

#include <span>
#include <vector>

// Finds the combinations of any number of amounts whose sum lies in [lower, upper] over a table of
// the sums that can lead to a hit, instead of over the combinations themselves. Money amounts are
// whole cents and bounded, so for a payment made of invoices that table is about as long as the
// payment in cents, however many invoices there are.
//
// All amounts and both bounds are first divided by the greatest common divisor of the amounts
// (lower rounded up, upper down). Then:
// - Listing: for each sum, the first amount from which on it is a subset sum of the amounts up to
//   there. With a range minimum over that array, every step of a search from the last amount down
//   knows whether the amounts below can still complete a hit, so the hits come in ascending
//   combination number (window order) without trying a dead end.
// - Counting: SubsetCount over the absolute amounts (a credit note taken is the same as its
//   absence counted from the sum of all credit notes); exact however large the total.
//
// Time and memory grow with the width of the table, that is the span of sums that can still lead
// to a hit: from about the lower bound minus all positive amounts up to the upper bound plus all
// credit notes, clipped to the sums there are. Credit notes widen it by their sum.
//
// The total is exact unless counting it exactly would take longer than both 30 seconds and twenty
// times the listing (thousands of amounts with a target of millions of cents, so a total of
// hundreds of digits): then Total::atLeast is set, and the count is a true lower bound with about
// its first dozen digits right ("at least N"), from the pass in doubles that bounds it (a second
// such pass, rounded downwards, beyond a thousand amounts).
//
// When Control::counted is empty the hits come before the count, so the first ones are there
// quickly; otherwise the total comes first, as the contract requires.
class ReachableSums {
public:
    // Throws KalvonError when an amount is zero, when a subset sum could leave the Currency range
    // (Overflow) and when lower > upper (Unsupported).
    ReachableSums(std::span<const Currency> amounts, Currency lower, Currency upper);

    // Peak memory of run(), and rough seconds of listing and of counting.
    qint64 bytes() const;
    double listingSeconds() const;
    double countingSeconds() const;
    // False when listing and a first pass of counting alone would take more than ten minutes.
    bool feasible() const;

    // Throws KalvonError (Unsupported) when bytes() exceeds memoryBudget.
    CombinationSearch::Outcome run(quint64 limit, qint64 memoryBudget,
                                   const CombinationSearch::Control& control) const;

private:
    __extension__ using Int128 = __int128;

    std::vector<qint64> m_weights; // the amounts divided by their common divisor
    qint64 m_divisor = 1;
    Int128 m_lower = 0, m_upper = -1;           // the bounds in those units
    Int128 m_domainLow = 0, m_domainHigh = -1;  // the partial sums that can lead to a hit
    qint64 m_countLower = 0, m_countUpper = -1; // the range SubsetCount counts
    bool m_emptyInRange = false;
    double m_countUpdates = 0;
    double m_countBits = 0;
    bool hopeless() const { return m_domainLow > m_domainHigh || m_countLower > m_countUpper; }
};

namespace CombinationSearch {
// The table of reachable sums as a method: window order, no size limits.
const SearchMethod& reachableSums();
} // namespace CombinationSearch
