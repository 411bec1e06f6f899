// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/search/combination_search.h"

#include <QtGlobal>

// Finds the combinations of up to 64 amounts whose sum lies in [lower, upper] without trying them
// one by one (meet in the middle, as Schroeppel and Shamir do it). The amounts are split into a
// low and a high half, and each half into a small and a large part whose subset sums are kept
// sorted. The sums of a half are then produced in order, a chunk of neighbouring sum values at a
// time, from every small-part sum combined with the large part's; no half is ever stored whole.
// The high half's sums go downwards, and for each one the low half's sums, going upwards, give
// how many low subsets complete it. The total is that count summed; the first hits are kept as the
// smallest high subsets whose counts reach the limit, and their low subsets are listed afterwards
// from the low half's parts. Time grows with 2^(n/2), memory with about 2^(n/2 − 6).
//
// Combination number X has bit i set when amount i takes part, as in the window's count. Hits
// are reported in ascending X; the total is counted exactly however many there are. Cancellation
// is polled every few milliseconds of work, also while the halves are built.
class MeetInMiddleSearch {
public:
    // Lists of up to this many amounts always fit, in about a second; longer ones up to
    // MostAmounts as far as CombinationSearch::meetInMiddle()'s estimate allows.
    static constexpr int MaxAmounts = 48;
    // Combination numbers have 64 bits.
    static constexpr int MostAmounts = 64;

    // Lists the hits of a request in window order, without size limits, over at most MostAmounts
    // amounts (otherwise throws KalvonError).
    static CombinationSearch::Outcome run(const CombinationSearch::ValidRequest& request,
                                          const CombinationSearch::Control& control);

    // Rough seconds and peak bytes of a run over n amounts listing up to limit hits.
    static double seconds(int n, bool exact);
    static qint64 bytes(int n, quint64 limit);
};

namespace CombinationSearch {
// Meet in the middle as a method of the combination search: window order, no size limits, as
// many amounts as fit in about a minute.
const SearchMethod& meetInMiddle();
} // namespace CombinationSearch
