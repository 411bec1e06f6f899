// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>
#include <span>

// Counts the combinations of a search run at O(1) each. The sum of combination X follows from
// that of X − 1: going from X − 1 to X clears the trailing one-bits and sets the next bit, so
// one precomputed step per bit position moves the sum on. Everything a user or another handler
// can observe happens through the hooks, at the same combinations as in the literal count:
// a hit is handed to testLiterally (which runs bin and subTesten and presents it), the progress
// value and the event pump follow every 200th combination, and the stop request, the search
// mode and the target are read anew after every point where they could have changed.
class SearchEngine {
public:
    struct Criteria {
        bool exact = false;
        Currency target;
        bool tolerance = false;
        Currency lower;
        Currency upper;
    };

    struct Hooks {
        std::function<bool()> stopRequested;
        std::function<Criteria()> criteria;
        std::function<void(qint32 combination)> testLiterally;
        std::function<void(qint32 combination)> showProgressAfter;
        std::function<void()> pump;
    };

    static constexpr qint32 PumpInterval = 200;

    // Empty when a value does not convert to Currency or some sum could leave the Currency
    // range: such a run must be counted literally, where the failure shows at its combination.
    static std::optional<SearchEngine> prepare(std::span<const double> values);

    // Counts X = 1 … count; returns the last combination tested.
    qint32 run(qint32 count, const Hooks& hooks) const;

private:
    template <bool Exact, bool Tolerance>
    qint32 scan(qint32 first, qint32 last, qint64& sum, const Criteria& c) const;
    qint32 scan(qint32 first, qint32 last, qint64& sum, const Criteria& c) const;

    std::array<qint64, 23> m_step{}; // value i minus the sum of values 0 … i − 1
};
