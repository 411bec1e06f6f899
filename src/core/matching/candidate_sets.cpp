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
    , m_poll(std::move(poll)) {}

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
                                  PaymentCandidates& out) const {
    qint64 choices = 1;
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
        keep(out, std::move(set));
    }
}

void CandidateFinder::byAmount(const Payment& payment, PaymentCandidates& out) {
    const std::vector<int> customers = m_items.customersOf(payment, out.customerBy);
    const std::vector<int> items = eligible(payment, m_items.itemsOf(customers));
    const SubsetSums& sums = sumsOf(items);
    if (!sums.searchable()) {
        out.refusal = Refusal{Refusal::Kind::TooManyItems, qint64(items.size()), m_options.maxItems};
        return;
    }
    std::vector<Currency> amounts;
    const auto hit = [&](std::span<const int> found) {
        CandidateSet set;
        amounts.clear();
        for (const int i : found) {
            set.items.push_back(items[i]);
            amounts.push_back(m_items.items()[items[i]].amount);
        }
        auto fit = PaymentFit::amountFit(payment.amount, amounts, m_options);
        if (!fit)
            return;
        set.fit = std::move(*fit);
        ++out.count;
        keep(out, std::move(set));
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

void CandidateFinder::keep(PaymentCandidates& out, CandidateSet&& set) const {
    std::sort(set.items.begin(), set.items.end(),
              [&](int a, int b) { return m_items.items()[a].row < m_items.items()[b].row; });
    out.kept.push_back(std::move(set));
    if (out.kept.size() >= 2 * KeptSets) {
        const auto cmp = [this](const CandidateSet& a, const CandidateSet& b) {
            return before(a, b);
        };
        std::nth_element(out.kept.begin(), out.kept.begin() + KeptSets, out.kept.end(), cmp);
        out.kept.resize(KeptSets);
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

// Fewest items first, then the oldest invoices (undated ones last), then the rows.
bool CandidateFinder::before(const CandidateSet& a, const CandidateSet& b) const {
    if (a.items.size() != b.items.size())
        return a.items.size() < b.items.size();
    const auto dates = [this](const CandidateSet& s) {
        std::vector<qint64> days;
        for (const int i : s.items) {
            const QDate d = m_items.items()[i].date;
            days.push_back(d.isValid() ? d.toJulianDay() : std::numeric_limits<qint64>::max());
        }
        std::sort(days.begin(), days.end());
        return days;
    };
    const auto da = dates(a), db = dates(b);
    if (da != db)
        return da < db;
    const auto rows = [this](const CandidateSet& s) {
        std::vector<int> r;
        for (const int i : s.items)
            r.push_back(m_items.items()[i].row);
        return r;
    };
    return rows(a) < rows(b);
}

} // namespace Matching
