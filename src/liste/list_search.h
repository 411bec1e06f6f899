// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

#include <QString>

#include <vector>

class ItemModel;
class KalvonError;

// What the user asked for in the search fields, as typed.
struct SearchInput {
    QString target;
    bool tolerance = false;
    QString toleranceText;
    bool percent = false; // the tolerance is a percentage of the target's size
    int maxItems = 0;     // 0: no limit
    CombinationSearch::Order order = CombinationSearch::Order::Window;
};

// A search ready for the core: the open non-zero items as its amounts.
struct PreparedSearch {
    QString refusal; // why the search cannot start; empty when it can
    CombinationSearch::Request request;
    std::vector<int> rows; // the item row of each amount of the request
};

namespace ListSearch {

// As many hits as the hit list shows; all of them are counted.
constexpr quint64 ListedHits = 1000;

// Reads the fields and the list. A target or tolerance that is no valid number and bounds outside
// the amount range throw KalvonError; empty fields and an empty list give a refusal. Whether a
// method takes the search is found out where it runs, off the window's thread.
PreparedSearch prepare(const SearchInput& input, const ItemModel& items);

// The message the window gives for a failure of the search: a refused search with its remedy in the
// window's own controls („höchstens … Posten“, „Kombinationsnummer“), any other failure as it words
// itself.
QString failureText(const KalvonError& error);

} // namespace ListSearch
