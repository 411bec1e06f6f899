// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/search/combination_search.h"
#include "core/search/search_ticker.h"

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
    explicit ReachableSums(const CombinationSearch::ValidRequest& request);

    // Peak memory of run(), and rough seconds of listing and of counting.
    qint64 bytes() const;
    double listingSeconds() const;
    double countingSeconds() const;
    // False when listing and a first pass of counting alone would take more than ten minutes, and
    // when the sums to count do not fit a table.
    bool feasible() const;

    // Throws KalvonError with a Refusal (Memory) when bytes() exceeds the request's memory budget.
    CombinationSearch::Outcome run(const CombinationSearch::Control& control) const;

private:
    __extension__ using Int128 = __int128;
    using Ticker = SearchTicker<CombinationSearch::Control>;

    bool hopeless() const { return m_domainLow > m_domainHigh || m_countLower > m_countUpper; }
    std::vector<qint64> magnitudes() const;
    // The phases of run(); each false when cancelled.
    bool count(Ticker& ticker, int from, int to, CombinationSearch::Total& total) const;
    bool list(Ticker& ticker, int from, int to, const CombinationSearch::Control& control) const;
    template <class Completes>
    bool walk(const Completes& completes, Ticker& ticker, const CombinationSearch::Control& control) const;

    std::vector<qint64> m_weights; // the amounts divided by their common divisor
    Int128 m_divisor = 1;
    Int128 m_lower = 0, m_upper = -1;           // the bounds in those units
    Int128 m_domainLow = 0, m_domainHigh = -1;  // the partial sums that can lead to a hit
    qint64 m_countLower = 0, m_countUpper = -1; // the range SubsetCount counts
    bool m_tooWide = false;                     // that range does not fit 64 bits
    bool m_emptyInRange = false;
    quint64 m_limit = 0;
    qint64 m_memoryBudget = 0;
    double m_countUpdates = 0;
    double m_countBits = 0;
};

namespace CombinationSearch {
// The table of reachable sums as a method: window order, no size limits.
const SearchMethod& reachableSums();
} // namespace CombinationSearch
