// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

#include <memory>

// The combinations of a few amounts among many, in every order: a payment that settles one to four
// of hundreds or thousands of open items. Up to eight amounts a combination over up to 100,000
// amounts, as far as time and memory allow: two or three of 100,000, four of a few thousand, five
// of several hundred, eight of a few dozen.
//
// Sizes 1 and 2 are found over the amounts sorted by value with two pointers, size 3 with two
// pointers for each fixed smallest amount (time n²/2, memory n), size 4 from the sorted sums of all
// pairs (time and memory n²/2), larger sizes by fixing the amounts with the largest indices and
// taking quadruples below them. Up to about a million hits (at most a quarter of the memory budget)
// are collected and sorted in the order asked for. Beyond that the hits are counted exactly and
// only the first ones listed: in window order those among the fewest first amounts that hold them,
// in the difference order those of the smallest distances, found by counting the hits within a
// distance.
//
// The total is always exact (Total::atLeast is never set). estimate() declines requests for more
// than eight amounts a combination, more than 100,000 amounts, four or more amounts a combination
// over more than 65,536 amounts, and whatever would take longer than about a minute or more memory
// than the request allows. run() throws KalvonError (Overflow) when a sum of up to maxItems amounts
// could leave the Currency range.
namespace CombinationSearch {

const SearchMethod& smallSubsets();

// The same method collecting at most `hits` hits before it turns to counting and listing only the
// first ones; small numbers make it take those ways on short lists (for tests).
std::unique_ptr<SearchMethod> smallSubsetsCollectingAtMost(std::size_t hits);

} // namespace CombinationSearch
