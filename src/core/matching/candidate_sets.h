// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "core/matching/open_items.h"
#include "core/matching/payment_fit.h"
#include "core/matching/subset_sums.h"

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace Matching {

// One candidate set of a payment: its items (indices into the open items, by row) and its fit.
struct CandidateSet {
    std::vector<int> items;
    PaymentFit::Fit fit;
    std::vector<qint64> order; // compared to order the sets
};

// What steps 1–3 give one payment.
struct PaymentCandidates {
    Basis basis = Basis::None;
    CustomerBy customerBy = CustomerBy::None;
    mpz_class count;                // every candidate set, exactly
    std::vector<CandidateSet> kept; // the first of them, in order
    bool complete = true;           // kept holds all of them
    std::vector<qint64> worst;      // once kept was cut: the order of the last set kept
    std::vector<int> reach;         // the items its sets were searched among
    std::optional<Refusal> refusal;
};

// The candidate sets of payments against one list of open items. Searches by amount share the
// sums of pairs of the same eligible items.
class CandidateFinder {
public:
    CandidateFinder(const OpenItems& items, const Options& options, std::function<void()> poll);
    PaymentCandidates find(const Payment& payment);

    // At most this many candidate sets a payment are kept; the rest are counted.
    static constexpr std::size_t KeptSets = 2000;
    // At most this many pair sums are built for one group of items (16 bytes each).
    static constexpr std::size_t PairBudget = 4000000;

private:
    void byReference(const Payment& payment, const std::vector<std::vector<int>>& groups,
                     PaymentCandidates& out);
    void byAmount(const Payment& payment, PaymentCandidates& out);
    std::vector<int> eligible(const Payment& payment, const std::vector<int>& group) const;
    const SubsetSums& sumsOf(const std::vector<int>& items);
    // Keeps the set of these items (sorted here by row) unless enough sets come before it.
    void keep(PaymentCandidates& out, std::span<int> items, const PaymentFit::Fit& fit);
    void finish(PaymentCandidates& out) const;
    static bool before(const CandidateSet& a, const CandidateSet& b);

    const OpenItems& m_items;
    const Options& m_options;
    std::function<void()> m_poll;
    std::map<std::vector<int>, std::unique_ptr<SubsetSums>> m_sums;
    std::size_t m_pairsHeld = 0;
    std::vector<std::vector<Currency>> m_discounts; // item → its Skonto discount at each rate
    std::vector<qint64> m_order;                    // the order of the set being kept
};

} // namespace Matching
