// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"

#include <QtGlobal>

#include <optional>
#include <span>
#include <utility>
#include <vector>

// How a set of items meets a payment: exactly within the tolerance, with Skonto, or (for
// referenced items) as a partial payment or an overpayment.
namespace Matching::PaymentFit {

enum class Kind { Exact, Skonto, PartialOrOver };

struct Fit {
    Kind kind = Kind::Exact;
    Candidate candidate; // rows left empty
};

// The Skonto discount on amount at percent %, rounded to cents half away from zero.
Currency discount(Currency amount, Currency percent);

// The fit of items with these amounts as a combination found by amount: exact or with Skonto, or
// none. Exact comes first; of the Skonto rates the smallest difference, then the first rate.
std::optional<Fit> amountFit(Currency payment, std::span<const Currency> amounts, const Options& options);

// The same from the items' sum and, for each Skonto rate in turn, the sum of their discounts.
std::optional<Fit> sumFit(Currency payment, Currency sum, std::span<const Currency> perInvoice,
                          const Options& options);

// The fit of referenced items: as amountFit, else a partial payment or an overpayment.
Fit referenceFit(Currency payment, std::span<const Currency> amounts, const Options& options);

// The ranges of sums, in ten-thousandths and merged, within which every combination of at most
// maxItems items that amountFit accepts lies.
std::vector<std::pair<qint64, qint64>> sumRanges(Currency payment, const Options& options);

} // namespace Matching::PaymentFit
