// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"

namespace CombinationSearch {
// Tries every subset of up to 22 amounts and sorts the hits: every order, every size limit. For
// short lists the plain way is the fastest; for longer ones the other methods take over.
const SearchMethod& everySubset();
} // namespace CombinationSearch
