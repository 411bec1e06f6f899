// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/assignment.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <optional>

namespace Matching::Assignment {

namespace {

struct OverBudget {};

struct Value {
    int matched = -1;
    int items = 0;
    bool operator==(const Value&) const = default;
    bool betterThan(const Value& o) const {
        return matched != o.matched ? matched > o.matched : items < o.items;
    }
};

// Payments whose smallest sets share no item with another payment's set (or with the items a
// payment whose sets were cut may hold) are decided at once: some
// best assignment gives such a payment one of those sets, and the others' choices in best
// assignments are those they have without it. One such set: Forced; two: Open. Removing a payment
// may free the sets of others, so this repeats. Returns which payments stay undecided.
std::vector<char> decidePrivate(const std::vector<Payment>& payments, std::vector<Decision>& decisions) {
    std::vector<char> active(payments.size(), 0);
    QHash<int, int> holders; // item → active payments that may hold it
    const auto count = [&](const Payment& p, int delta) {
        QSet<int> seen;
        for (const auto& set : p.sets)
            seen.unite(QSet<int>(set.begin(), set.end()));
        if (!p.complete)
            seen.unite(QSet<int>(p.reach.begin(), p.reach.end()));
        for (const int item : seen)
            holders[item] += delta;
    };
    for (std::size_t p = 0; p < payments.size(); ++p)
        if (!payments[p].sets.empty()) {
            active[p] = 1;
            count(payments[p], 1);
        }
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t p = 0; p < payments.size(); ++p) {
            if (!active[p])
                continue;
            const auto& sets = payments[p].sets;
            const std::size_t smallest = sets.front().size();
            std::size_t least = 0, own = 0;
            for (; least < sets.size() && sets[least].size() == smallest; ++least)
                own += std::all_of(sets[least].begin(), sets[least].end(),
                                   [&](int item) { return holders.value(item) == 1; });
            const bool allKnown = payments[p].complete || least < sets.size();
            if (own >= 2)
                decisions[p] = {Verdict::Open, -1};
            else if (own == 1 && least == 1 && allKnown)
                decisions[p] = {Verdict::Forced, 0};
            else
                continue;
            active[p] = 0;
            count(payments[p], -1);
            changed = true;
        }
    }
    return active;
}

// Payments joined when their sets, or the items a payment whose sets were cut may hold, share an item.
std::vector<std::vector<int>> components(const std::vector<Payment>& payments,
                                         const std::vector<char>& active) {
    std::vector<int> parent(payments.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](int x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    QHash<int, int> holder;
    const auto join = [&](int p, const std::vector<int>& items) {
        for (const int item : items) {
            const auto it = holder.constFind(item);
            if (it == holder.constEnd())
                holder.insert(item, p);
            else
                parent[root(p)] = root(*it);
        }
    };
    for (int p = 0; p < int(payments.size()); ++p) {
        if (!active[p])
            continue;
        for (const auto& set : payments[p].sets)
            join(p, set);
        if (!payments[p].complete)
            join(p, payments[p].reach);
    }
    std::vector<std::vector<int>> groups(payments.size());
    for (int p = 0; p < int(payments.size()); ++p)
        if (active[p])
            groups[root(p)].push_back(p);
    std::erase_if(groups, [](const auto& g) { return g.empty(); });
    return groups;
}

// Branch and bound over one component; choices are set indices, -1 for none.
class ComponentSearch {
public:
    ComponentSearch(const std::vector<Payment>& payments, const std::vector<int>& members,
                    std::uint64_t budget, const std::function<void()>& poll)
        : m_payments(payments)
        , m_members(members)
        , m_budget(budget)
        , m_poll(poll) {
        int items = 0;
        QHash<int, int> local;
        for (const int p : members)
            for (const auto& set : payments[p].sets)
                for (const int item : set)
                    if (!local.contains(item))
                        local.insert(item, items++);
        m_used.assign(items, 0);
        for (const int p : members) {
            auto& sets = m_sets.emplace_back();
            for (const auto& set : payments[p].sets) {
                auto& mapped = sets.emplace_back();
                for (const int item : set)
                    mapped.push_back(local.value(item));
            }
        }
    }

    // The best value and one assignment that reaches it, by position in members.
    std::vector<int> optimise() {
        std::vector<int> order(m_members.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return m_sets[a].size() < m_sets[b].size(); });
        prepare(order, -1, -2);
        m_best = {};
        m_target.reset();
        walk(0, {0, 0});
        m_value = m_best;
        return m_bestChoice;
    }

    // A best assignment in which member `who` does not take `avoid`, if there is one.
    std::optional<std::vector<int>> another(int who, int avoid) {
        std::vector<int> order(m_members.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return (a == who) != (b == who) ? a == who : m_sets[a].size() < m_sets[b].size();
        });
        prepare(order, who, avoid);
        m_best = {};
        m_target = m_value;
        walk(0, {0, 0});
        if (m_best == m_value)
            return m_bestChoice;
        return std::nullopt;
    }

private:
    void prepare(const std::vector<int>& order, int who, int avoid) {
        m_order = order;
        m_who = who;
        m_avoid = avoid;
        m_choice.assign(order.size(), -1);
    }

    // The fewest items of a set member can still take, 0 when none is free.
    int smallestFree(int member) const {
        for (int s = 0; s < int(m_sets[member].size()); ++s)
            if (!(member == m_who && s == m_avoid) && free(m_sets[member][s]))
                return int(m_sets[member][s].size());
        return 0;
    }

    // Bounds from the members still to choose, each at most one match with its smallest free set.
    bool pruned(std::size_t level, Value now) {
        const Value& goal = m_target ? *m_target : m_best;
        m_sizes.clear();
        for (std::size_t i = level; i < m_order.size(); ++i)
            if (const int size = smallestFree(m_order[i]))
                m_sizes.push_back(size);
        const int reachable = now.matched + int(m_sizes.size());
        if (reachable < goal.matched || (!m_target && reachable > goal.matched))
            return reachable < goal.matched;
        const int need = goal.matched - now.matched;
        std::sort(m_sizes.begin(), m_sizes.end());
        int items = now.items;
        for (int i = 0; i < need; ++i)
            items += m_sizes[i];
        return m_target ? items > goal.items : items >= goal.items;
    }

    // True once a target was reached and the search is to end.
    bool walk(std::size_t level, Value now) {
        if (++m_steps > m_budget)
            throw OverBudget();
        if ((m_steps & 0xFFF) == 0 && m_poll)
            m_poll();
        if (level == m_order.size()) {
            if (m_target ? now == *m_target : now.betterThan(m_best)) {
                m_best = now;
                m_bestChoice = m_choice;
                return m_target.has_value();
            }
            return false;
        }
        if (pruned(level, now))
            return false;
        const int member = m_order[level];
        const auto& sets = m_sets[member];
        for (int s = 0; s < int(sets.size()); ++s) {
            if ((member == m_who && s == m_avoid) || !free(sets[s]))
                continue;
            mark(sets[s], 1);
            m_choice[member] = s;
            const bool done = walk(level + 1, {now.matched + 1, now.items + int(sets[s].size())});
            mark(sets[s], 0);
            if (done)
                return true;
        }
        m_choice[member] = -1;
        if (member == m_who && m_avoid == -1)
            return false;
        return walk(level + 1, now);
    }

    bool free(const std::vector<int>& set) const {
        return std::none_of(set.begin(), set.end(), [&](int i) { return m_used[i]; });
    }
    void mark(const std::vector<int>& set, char value) {
        for (const int i : set)
            m_used[i] = value;
    }

    const std::vector<Payment>& m_payments;
    const std::vector<int>& m_members;
    std::uint64_t m_budget, m_steps = 0;
    const std::function<void()>& m_poll;
    std::vector<std::vector<std::vector<int>>> m_sets;
    std::vector<char> m_used;
    std::vector<int> m_order, m_choice, m_bestChoice;
    std::vector<int> m_sizes;
    int m_who = -1, m_avoid = -2;
    Value m_best, m_value;
    std::optional<Value> m_target;
};

// A payment alone: its smallest set when that is the only one of its size.
Decision single(const Payment& payment) {
    const auto& sets = payment.sets;
    const bool unique = sets.size() == 1 || sets[1].size() > sets[0].size();
    if (unique && (payment.complete || sets.size() > 1))
        return {Verdict::Forced, 0};
    return {Verdict::Open, -1};
}

void decideComponent(const std::vector<Payment>& payments, const std::vector<int>& members,
                     std::uint64_t budget, const std::function<void()>& poll,
                     std::vector<Decision>& decisions) {
    if (members.size() == 1) {
        decisions[members[0]] = single(payments[members[0]]);
        return;
    }
    const bool complete =
        std::all_of(members.begin(), members.end(), [&](int p) { return payments[p].complete; });
    try {
        if (!complete)
            throw OverBudget();
        ComponentSearch search(payments, members, budget, poll);
        const std::vector<int> best = search.optimise();
        std::vector<char> open(members.size(), 0);
        for (std::size_t m = 0; m < members.size(); ++m) {
            if (open[m])
                continue;
            if (const auto other = search.another(int(m), best[m])) {
                for (std::size_t q = 0; q < members.size(); ++q)
                    open[q] = open[q] || (*other)[q] != best[q];
            }
        }
        for (std::size_t m = 0; m < members.size(); ++m)
            decisions[members[m]] = open[m]        ? Decision{Verdict::Open, -1}
                                    : best[m] >= 0 ? Decision{Verdict::Forced, best[m]}
                                                   : Decision{Verdict::None, -1};
    } catch (const OverBudget&) {
        for (const int p : members)
            decisions[p] = {Verdict::Undecided, -1};
    }
}

} // namespace

std::vector<Decision> decide(const std::vector<Payment>& payments, std::uint64_t nodeBudget,
                             const std::function<void()>& poll) {
    std::vector<Decision> decisions(payments.size());
    const std::vector<char> active = decidePrivate(payments, decisions);
    for (const auto& members : components(payments, active))
        decideComponent(payments, members, nodeBudget, poll, decisions);
    return decisions;
}

} // namespace Matching::Assignment
