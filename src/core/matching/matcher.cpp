// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/matcher.h"

#include "core/matching/assignment.h"
#include "core/matching/candidate_sets.h"
#include "core/matching/open_items.h"
#include "core/numbers/kalvon_error.h"

#include <QSet>

#include <algorithm>

namespace Matching {

namespace {

struct Cancelled {};

// Search steps one component of the statement may take before it is left undecided.
constexpr std::uint64_t NodeBudget = 2000000;

void requireValid(const Options& options) {
    const auto refuse = [](const char* option) {
        throw KalvonError(KalvonError::Kind::Unsupported, QString::fromLatin1(option));
    };
    if (options.maxItems < 1 || options.maxItems > 8)
        refuse("maxItems");
    if (options.tolerance < Currency())
        refuse("tolerance");
    if (options.days < 0)
        refuse("days");
    if (options.listLimit < 0)
        refuse("listLimit");
    for (const Currency percent : options.skontoPercents)
        if (percent <= Currency() || percent >= Currency::fromCount(100 * Currency::Scale))
            refuse("skontoPercents");
}

// Steps 1–3 for every payment, with progress over the first nine tenths of the scale.
std::vector<PaymentCandidates> findCandidates(const std::vector<Payment>& payments, const OpenItems& items,
                                              const Options& options, const std::function<void()>& poll) {
    CandidateFinder finder(items, options, poll);
    // Payments of the same day share the eligible items and so the sums of their pairs.
    std::vector<int> order(payments.size());
    for (int i = 0; i < int(order.size()); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return payments[a].bookingDate < payments[b].bookingDate; });
    std::vector<PaymentCandidates> found(payments.size());
    for (std::size_t done = 0; done < order.size(); ++done) {
        poll();
        if (options.progress)
            options.progress(int(900 * done / order.size()));
        found[order[done]] = finder.find(payments[order[done]]);
    }
    return found;
}

std::vector<Assignment::Decision> decideAll(const std::vector<PaymentCandidates>& found,
                                            const std::function<void()>& poll) {
    std::vector<Assignment::Payment> sets(found.size());
    for (std::size_t p = 0; p < found.size(); ++p) {
        for (const auto& set : found[p].kept)
            sets[p].sets.push_back(set.items);
        sets[p].complete = found[p].complete;
        if (!found[p].complete)
            sets[p].reach = found[p].reach;
    }
    return Assignment::decide(sets, NodeBudget, poll);
}

PaymentResult resultOf(const Payment& payment, const PaymentCandidates& found,
                       const Assignment::Decision& decision, const Options& options) {
    PaymentResult r;
    r.entry = payment.entry;
    r.basis = found.basis;
    r.customerBy = found.customerBy;
    r.alternatives = found.count;
    r.refusal = found.refusal;
    for (std::size_t i = 0; i < found.kept.size() && i < std::size_t(options.listLimit); ++i)
        r.candidates.push_back(found.kept[i].fit.candidate);
    using Assignment::Verdict;
    // Found by amount among every customer's items, a set is only taken when it is the only one.
    const bool onlyAnswer =
        found.basis != Basis::Amount || found.customerBy != CustomerBy::None || found.count == 1;
    if (decision.verdict == Verdict::Forced && onlyAnswer) {
        r.match = found.kept[decision.set].fit.candidate;
        r.status = r.match->remainder ? Status::Partial : Status::Matched;
    } else if (decision.verdict == Verdict::None) {
        r.status = Status::Unmatched;
    } else {
        r.status = Status::Ambiguous;
        r.decided = decision.verdict != Verdict::Undecided;
    }
    return r;
}

// For each unmatched payment with candidates: the payments that hold or may hold its items.
void nameCollisions(std::vector<PaymentResult>& results, const std::vector<PaymentCandidates>& found,
                    const std::vector<int>& taken) {
    QSet<int> wanted;
    for (std::size_t p = 0; p < results.size(); ++p)
        if (results[p].status == Status::Unmatched)
            for (const auto& set : found[p].kept)
                for (const int i : set.items)
                    wanted.insert(i);
    if (wanted.isEmpty())
        return;
    QHash<int, std::vector<int>> holders; // item → payment positions
    const auto hold = [&](const std::vector<int>& items, int p) {
        for (const int i : items)
            if (wanted.contains(i) && (holders[i].empty() || holders[i].back() != p))
                holders[i].push_back(p);
    };
    for (std::size_t p = 0; p < results.size(); ++p) {
        if (results[p].status == Status::Ambiguous)
            for (const auto& set : found[p].kept)
                hold(set.items, int(p));
        else if (taken[p] >= 0)
            hold(found[p].kept[taken[p]].items, int(p));
    }
    for (std::size_t p = 0; p < results.size(); ++p) {
        if (results[p].status != Status::Unmatched)
            continue;
        std::vector<int> entries;
        for (const auto& set : found[p].kept)
            for (const int i : set.items)
                for (const int q : holders.value(i))
                    if (q != int(p))
                        entries.push_back(results[q].entry);
        std::sort(entries.begin(), entries.end());
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
        results[p].collidesWith = entries;
    }
}

// Which rows the matched and the partial payments settle, and which stay open.
void settle(Result& result, const std::vector<PaymentCandidates>& found, const std::vector<int>& taken,
            const std::vector<Item>& items) {
    std::vector<char> state(items.size(), 0);
    for (std::size_t p = 0; p < found.size(); ++p)
        if (taken[p] >= 0)
            for (const int i : found[p].kept[taken[p]].items)
                state[i] = result.payments[p].status == Status::Partial ? 2 : 1;
    for (std::size_t i = 0; i < items.size(); ++i)
        (state[i] == 1   ? result.settled
         : state[i] == 2 ? result.partlyPaid
                         : result.open)
            .push_back(items[i].row);
    for (auto* rows : {&result.settled, &result.partlyPaid, &result.open})
        std::sort(rows->begin(), rows->end());
}

} // namespace

Result match(const std::vector<Payment>& payments, const std::vector<Item>& items, const Options& options) {
    requireValid(options);
    const auto poll = [&options] {
        if (options.cancelled && options.cancelled())
            throw Cancelled();
    };
    Result result;
    try {
        const OpenItems open(items);
        const auto found = findCandidates(payments, open, options, poll);
        if (options.progress)
            options.progress(900);
        const auto decisions = decideAll(found, poll);
        std::vector<int> taken(payments.size(), -1);
        for (std::size_t p = 0; p < payments.size(); ++p) {
            result.payments.push_back(resultOf(payments[p], found[p], decisions[p], options));
            if (result.payments.back().match)
                taken[p] = decisions[p].set;
        }
        nameCollisions(result.payments, found, taken);
        settle(result, found, taken, items);
        result.duplicates = open.duplicates();
        if (options.progress)
            options.progress(1000);
    } catch (const Cancelled&) {
        return Result{{}, {}, {}, {}, {}, true};
    }
    return result;
}

} // namespace Matching
