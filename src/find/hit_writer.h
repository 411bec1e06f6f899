// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"
#include "core/tables/item_table.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace FindCommand {

// The list as searched: the table read, and the item of each amount of the search.
struct SearchList {
    ItemTable table;
    std::vector<const Item*> searched; // the non-zero items; amount i of the search is searched[i]
    Currency target;
    bool tolerance = false; // a tolerance was given: hits show their difference from the target
};

// Writes the outcome of a search to standard output (`out`) as it comes: the total, then hit after
// hit.
class HitWriter {
public:
    HitWriter(const SearchList& list, std::FILE* out)
        : m_list(list)
        , m_out(out) {}
    virtual ~HitWriter() = default;
    HitWriter(const HitWriter&) = delete;
    HitWriter& operator=(const HitWriter&) = delete;

    virtual void counted(const CombinationSearch::Total& total) = 0;
    virtual void hit(quint64 number, const CombinationSearch::Hit& hit) = 0;
    // The search has ended and every listed hit is written.
    virtual void finished(const CombinationSearch::Outcome& outcome, quint64 listed) = 0;

protected:
    std::vector<const Item*> itemsOf(const CombinationSearch::Hit& hit) const;

    const SearchList& m_list;
    std::FILE* m_out;
};

std::unique_ptr<HitWriter> makeTextWriter(const SearchList& list, std::FILE* out);
std::unique_ptr<HitWriter> makeJsonWriter(const SearchList& list, std::FILE* out);
std::unique_ptr<HitWriter> makeCsvWriter(const SearchList& list, std::FILE* out);

} // namespace FindCommand
