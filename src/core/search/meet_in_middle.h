// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/search/combination_search.h"

#include <QtGlobal>

#include <functional>
#include <span>

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
// are reported in ascending X; the total is counted exactly however many there are.
class MeetInMiddleSearch {
public:
    // Lists of up to this many amounts always fit, in about a second; longer ones up to
    // MostAmounts as far as CombinationSearch::meetInMiddle()'s estimate allows.
    static constexpr int MaxAmounts = 48;
    // Combination numbers have 64 bits.
    static constexpr int MostAmounts = 64;

    struct Hit {
        quint64 combination = 0;
        Currency sum;
    };

    struct Control {
        // Called with the share of the work done, 0 … 1000; may be empty.
        std::function<void(int permille)> progress;
        // Polled now and then; true ends the search early. May be empty.
        std::function<bool()> cancelled;
        // Receives the total number of hits once it is known, before the first hit; may be empty.
        std::function<void(quint64 total)> counted;
        // Receives the first `limit` hits in ascending combination number; false ends the listing.
        std::function<bool(const Hit&)> hit;
        quint64 limit = 0;
    };

    struct Outcome {
        quint64 total = 0;      // every hit, listed or not
        bool cancelled = false; // the search ended early; total is incomplete
    };

    // amounts: at most MostAmounts, none of them zero, every subset sum in the Currency range
    // (sumsFit), lower <= upper; otherwise throws KalvonError.
    static Outcome run(std::span<const Currency> amounts, Currency lower, Currency upper,
                       const Control& control);

    // True when the sum of the positive amounts and the sum of the negative ones, and with them
    // every subset sum, lie in the Currency range.
    static bool sumsFit(std::span<const Currency> amounts);

    // Rough seconds and peak bytes of a run over n amounts listing up to limit hits.
    static double seconds(int n, bool exact);
    static qint64 bytes(int n, quint64 limit);
};

namespace CombinationSearch {
// Meet in the middle as a method of the combination search: window order, no size limits, as
// many amounts as fit in about a minute.
const SearchMethod& meetInMiddle();
} // namespace CombinationSearch
