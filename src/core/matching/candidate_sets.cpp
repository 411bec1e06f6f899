// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/candidate_sets.h"

#include <algorithm>

namespace Matching {

namespace {

// More row choices than this for the invoice numbers one payment names are not tried.
constexpr qint64 MostReferenceChoices = 4096;

int rank(PaymentFit::Kind kind) {
    return kind == PaymentFit::Kind::Exact ? 0 : kind == PaymentFit::Kind::Skonto ? 1 : 2;
}

} // namespace

CandidateFinder::CandidateFinder(const OpenItems& items, const Options& options, std::function<void()> poll)
    : m_items(items)
    , m_options(options)
    , m_poll(std::move(poll)) {
    for (const Item& item : items.items()) {
        auto& discounts = m_discounts.emplace_back();
        for (const Currency percent : options.skontoPercents)
            discounts.push_back(PaymentFit::discount(item.amount, percent));
    }
}

PaymentCandidates CandidateFinder::find(const Payment& payment) {
    PaymentCandidates out;
    if (payment.amount <= Currency()) {
        out.refusal = Refusal{Refusal::Kind::NotIncoming, payment.amount.count(), 0};
        return out;
    }
    if (const auto groups = m_items.referencedItems(payment); !groups.empty()) {
        out.basis = Basis::Reference;
        byReference(payment, groups, out);
    } else {
        out.basis = Basis::Amount;
        byAmount(payment, out);
    }
    finish(out);
    if (out.count == 0)
        out.basis = Basis::None;
    return out;
}

// One item of each referenced invoice number; of those choices, the ones of the best kind.
void CandidateFinder::byReference(const Payment& payment, const std::vector<std::vector<int>>& groups,
                                  PaymentCandidates& out) {
    qint64 choices = 1;
    for (const auto& g : groups)
        out.reach.insert(out.reach.end(), g.begin(), g.end());
    for (const auto& g : groups)
        choices = std::min(choices * qint64(g.size()), MostReferenceChoices + 1);
    if (choices > MostReferenceChoices) {
        out.refusal = Refusal{Refusal::Kind::TooManyReferences, choices, 0};
        return;
    }
    std::vector<CandidateSet> best;
    std::vector<std::size_t> pick(groups.size(), 0);
    for (qint64 c = 0; c < choices; ++c) {
        CandidateSet set;
        std::vector<Currency> amounts;
        qint64 rest = c;
        for (const auto& g : groups) {
            set.items.push_back(g[rest % qint64(g.size())]);
            rest /= qint64(g.size());
            amounts.push_back(m_items.items()[set.items.back()].amount);
        }
        set.fit = PaymentFit::referenceFit(payment.amount, amounts, m_options);
        if (!best.empty() && rank(set.fit.kind) > rank(best.front().fit.kind))
            continue;
        if (!best.empty() && rank(set.fit.kind) < rank(best.front().fit.kind))
            best.clear();
        best.push_back(std::move(set));
    }
    for (auto& set : best) {
        ++out.count;
        keep(out, set.items, set.fit);
    }
}

void CandidateFinder::byAmount(const Payment& payment, PaymentCandidates& out) {
    const std::vector<int> customers = m_items.customersOf(payment, out.customerBy);
    const std::vector<int> items = eligible(payment, m_items.itemsOf(customers));
    const SubsetSums& sums = sumsOf(items);
    out.reach = items;
    if (!sums.searchable()) {
        out.refusal = Refusal{Refusal::Kind::TooManyItems, qint64(items.size()), m_options.maxItems};
        return;
    }
    std::vector<Currency> perInvoice(m_options.skontoPercents.size());
    std::vector<int> chosen;
    const auto hit = [&](std::span<const int> found) {
        Currency sum;
        std::fill(perInvoice.begin(), perInvoice.end(), Currency());
        for (const int i : found) {
            sum += m_items.items()[items[i]].amount;
            for (std::size_t r = 0; r < perInvoice.size(); ++r)
                perInvoice[r] += m_discounts[items[i]][r];
        }
        const auto fit = PaymentFit::sumFit(payment.amount, sum, perInvoice, m_options);
        if (!fit)
            return;
        ++out.count;
        chosen.clear();
        for (const int i : found)
            chosen.push_back(items[i]);
        keep(out, chosen, *fit);
    };
    for (const auto& [low, high] : PaymentFit::sumRanges(payment.amount, m_options))
        sums.forEach(low, high, hit, m_poll);
}

// The items of the group that take part: not zero, and dated within the window where dated.
std::vector<int> CandidateFinder::eligible(const Payment& payment, const std::vector<int>& group) const {
    std::vector<int> result;
    const QDate booked = payment.bookingDate;
    for (const int i : group) {
        const Item& item = m_items.items()[i];
        if (item.amount == Currency())
            continue;
        if (item.date.isValid() && booked.isValid() &&
            (item.date > booked || item.date.daysTo(booked) > m_options.days))
            continue;
        result.push_back(i);
    }
    return result;
}

const SubsetSums& CandidateFinder::sumsOf(const std::vector<int>& items) {
    auto it = m_sums.find(items);
    if (it != m_sums.end())
        return *it->second;
    std::vector<qint64> amounts;
    for (const int i : items)
        amounts.push_back(m_items.items()[i].amount.count());
    std::size_t pairs = items.size() * (items.size() - (items.empty() ? 0 : 1)) / 2;
    if (pairs > PairBudget || m_options.maxItems < 3)
        pairs = 0;
    if (m_pairsHeld + pairs > 2 * PairBudget) {
        m_sums.clear();
        m_pairsHeld = 0;
    }
    auto sums = std::make_unique<SubsetSums>(amounts, m_options.maxItems, PairBudget);
    m_pairsHeld += pairs;
    return *m_sums.emplace(items, std::move(sums)).first->second;
}

void CandidateFinder::keep(PaymentCandidates& out, std::span<int> chosen, const PaymentFit::Fit& fit) {
    const auto& items = m_items.items();
    std::sort(chosen.begin(), chosen.end(), [&](int a, int b) { return items[a].row < items[b].row; });
    // The order of candidate sets: fewest items, then the oldest invoices (undated ones last), then rows.
    m_order.assign(1, qint64(chosen.size()));
    for (const int i : chosen)
        m_order.push_back(items[i].date.isValid() ? items[i].date.toJulianDay()
                                                  : std::numeric_limits<qint64>::max());
    std::sort(m_order.begin() + 1, m_order.end());
    for (const int i : chosen)
        m_order.push_back(items[i].row);
    if (!out.worst.empty() && !(m_order < out.worst))
        return;
    out.kept.push_back({std::vector<int>(chosen.begin(), chosen.end()), fit, m_order});
    if (out.kept.size() >= 2 * KeptSets) {
        std::nth_element(out.kept.begin(), out.kept.begin() + KeptSets - 1, out.kept.end(), before);
        out.kept.resize(KeptSets);
        out.worst = out.kept.back().order;
        out.complete = false;
    }
}

void CandidateFinder::finish(PaymentCandidates& out) const {
    const auto cmp = [this](const CandidateSet& a, const CandidateSet& b) {
        return before(a, b);
    };
    std::sort(out.kept.begin(), out.kept.end(), cmp);
    if (out.kept.size() > KeptSets) {
        out.kept.resize(KeptSets);
        out.complete = false;
    }
    for (auto& set : out.kept) {
        set.fit.candidate.rows.clear();
        for (const int i : set.items)
            set.fit.candidate.rows.push_back(m_items.items()[i].row);
    }
}

bool CandidateFinder::before(const CandidateSet& a, const CandidateSet& b) {
    return a.order < b.order;
}

} // namespace Matching
