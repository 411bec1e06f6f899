// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The whole statement at once: which candidate set each payment gets when every item settles at
// most one payment. The best assignments match the most payments and among those use the fewest
// items; a payment is decided when every best assignment gives it the same choice.
namespace Matching::Assignment {

struct Payment {
    std::vector<std::vector<int>> sets; // candidate sets of item ids, fewest items first
    bool complete = true;               // false: more sets exist than are given here
    std::vector<int> reach;             // not complete: every item the sets not given may hold
};

enum class Verdict {
    Forced,   // every best assignment gives it sets[set]
    None,     // no best assignment gives it a set
    Open,     // best assignments differ in its choice
    Undecided // its component was too large to decide within the work budget
};

struct Decision {
    Verdict verdict = Verdict::None;
    int set = -1;
};

// Decides every payment. Payments that share no item are decided apart; a component of several
// payments is searched by branch and bound, first for the best value, then for each payment for a
// best assignment that gives it another choice. A component that takes more than nodeBudget
// search steps, or in which a payment's sets are not complete, is Undecided. poll is called now
// and then and may throw to end the work.
std::vector<Decision> decide(const std::vector<Payment>& payments, std::uint64_t nodeBudget,
                             const std::function<void()>& poll);

} // namespace Matching::Assignment
