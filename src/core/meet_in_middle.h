// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/combination_search.h"
#include "core/currency.h"

#include <QtGlobal>

#include <functional>
#include <span>

// Finds the combinations of up to 48 amounts whose sum lies in [lower, upper], without trying
// them one by one: the amounts are split into two halves, the subset sums of each half are
// listed in sorted order, and one sweep over both lists pairs every sum of the upper half with
// the range of lower-half sums that completes it (meet in the middle). Time and memory grow with
// 2^(n/2), not 2^n.
//
// Combination number X has bit i set when amount i takes part, as in the window's count. Hits
// are reported in ascending X; the total is counted exactly however many there are.
class MeetInMiddleSearch {
public:
    static constexpr int MaxAmounts = 48;

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

    // amounts: at most MaxAmounts, none of them zero. The caller makes sure that every subset sum
    // lies in the Currency range (sumsFit). lower > upper finds nothing.
    static Outcome run(std::span<const Currency> amounts, Currency lower, Currency upper,
                       const Control& control);

    // True when the sum of the positive amounts and the sum of the negative ones, and with them
    // every subset sum, lie in the Currency range.
    static bool sumsFit(std::span<const Currency> amounts);
};

namespace CombinationSearch {
// Meet in the middle as a method of the combination search: window order, no size limits.
const SearchMethod& meetInMiddle();
} // namespace CombinationSearch
