// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

#include <QString>

#include <vector>

class ItemModel;

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

// Reads the fields and the list. A target or tolerance that is no valid number, bounds outside the
// amount range and a search that no method takes throw KalvonError; empty fields and an empty
// list give a refusal.
PreparedSearch prepare(const SearchInput& input, const ItemModel& items);

// The core's message for a search that no method takes names the command-line options of
// kalvon-find as remedies; here the window's own controls take their place.
QString inWindowTerms(QString message);

} // namespace ListSearch
