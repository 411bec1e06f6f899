// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/small_subsets.h"

#include "core/numbers/kalvon_error.h"
#include "core/search/small_subset_sums.h"

#include <algorithm>
#include <cmath>

namespace CombinationSearch {
namespace {

using namespace SmallSubsets;

constexpr int MaxAmounts = 100000;
constexpr std::size_t CollectedHits = std::size_t(1) << 20;
constexpr double MaxSeconds = 60;

// Hits of sizes minSize … maxSize with a sum in one of the ranges (disjoint ones).
struct Query {
    int minSize = 1, maxSize = 0;
    std::vector<Range> ranges;
};

bool within(Int128 sum, const std::vector<Range>& ranges) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const Range& r) { return r.lower <= sum && sum <= r.upper; });
}

Int128 distance(Int128 sum, Int128 target) {
    return sum < target ? target - sum : sum - target;
}

using Deliver = std::function<bool(const Found&)>;

// Lists hits in window, items or difference order over sets of the first amounts.
class Lister {
public:
    Lister(std::span<const qint64> amounts, std::size_t collected, Pacer& pacer, const Request& request)
        : m_amounts(amounts)
        , m_collected(collected)
        , m_pacer(pacer)
        , m_target(request.target) {}

    // Every hit of the query, if there are at most as many as are collected.
    bool collect(const SubsetSums& set, const Query& q, std::vector<Found>& out) const {
        for (int size = q.minSize; size <= q.maxSize; ++size) {
            for (const Range& range : q.ranges) {
                if (!set.collect(size, range, m_collected, out))
                    return false;
            }
        }
        return true;
    }

    quint64 count(const SubsetSums& set, const Query& q) const {
        quint64 total = 0;
        for (int size = q.minSize; size <= q.maxSize; ++size) {
            for (const Range& range : q.ranges)
                total += set.count(size, range);
        }
        return total;
    }

    // Sorts the first `limit` hits into the order and emits them; false when deliver said stop.
    bool emitSorted(std::vector<Found>& found, quint64 limit, Order order, const Deliver& deliver) const {
        const std::size_t wanted = std::size_t(std::min<quint64>(limit, found.size()));
        auto less = [&](const Found& a, const Found& b) {
            return before(order, m_target, Hit{a.indices(), Currency::fromCount(a.sum)},
                          Hit{b.indices(), Currency::fromCount(b.sum)});
        };
        std::partial_sort(found.begin(), found.begin() + std::ptrdiff_t(wanted), found.end(), less);
        m_pacer.work(found.size() * 8);
        for (std::size_t i = 0; i < wanted; ++i) {
            if (!deliver(found[i]))
                return false;
        }
        return true;
    }

    // The first `limit` hits in window order.
    bool window(const SubsetSums& set, const Query& q, quint64 limit, const Deliver& deliver) const {
        if (limit == 0 || q.minSize > q.maxSize || set.bound() == 0)
            return true;
        std::vector<Found> found;
        if (collect(set, q, found))
            return emitSorted(found, limit, Order::Window, deliver);
        found = {};

        // Window order goes by the largest index first: the first hits are those among the fewest
        // first amounts that hold `wanted` of them.
        const quint64 wanted = std::min<quint64>(limit, m_collected);
        int fewer = 0, enough = set.bound(); // fewer amounts hold fewer hits, enough hold enough
        for (int probe = 1; probe < enough; probe *= 2) {
            if (count(set.below(probe, q.maxSize >= 4), q) >= wanted) {
                enough = probe;
                break;
            }
            fewer = probe;
        }
        while (enough - fewer > 1) {
            const int middle = fewer + (enough - fewer) / 2;
            (count(set.below(middle, q.maxSize >= 4), q) >= wanted ? enough : fewer) = middle;
        }
        collect(set.below(enough - 1, q.maxSize >= 4), q, found); // fewer than wanted
        if (!emitSorted(found, limit, Order::Window, deliver))
            return false;
        quint64 emitted = found.size();

        // Then the hits whose largest amount is `top`: top alone, and top added to each hit of the
        // smaller query among the amounts below it, in their window order.
        for (int top = enough - 1; top < set.bound() && emitted < limit; ++top) {
            const qint64 value = m_amounts[std::size_t(top)];
            if (q.minSize <= 1 && within(value, q.ranges)) {
                Found alone;
                alone.items[0] = top;
                alone.size = 1;
                alone.sum = value;
                ++emitted;
                if (!deliver(alone))
                    return false;
            }
            if (q.maxSize < 2 || emitted >= limit)
                continue;
            Query rest{std::max(1, q.minSize - 1), q.maxSize - 1, {}};
            for (const Range& r : q.ranges)
                rest.ranges.push_back({r.lower - value, r.upper - value});
            const bool going =
                window(set.below(top, rest.maxSize >= 4), rest, limit - emitted, [&](const Found& f) {
                    Found with = f;
                    with.items[std::size_t(with.size++)] = top;
                    with.sum += value;
                    ++emitted;
                    return deliver(with);
                });
            if (!going)
                return false;
        }
        return true;
    }

    // The first `limit` hits in items order: each size in window order.
    bool items(const SubsetSums& set, const Query& q, quint64 limit, const Deliver& deliver) const {
        quint64 emitted = 0;
        for (int size = q.minSize; size <= q.maxSize && emitted < limit; ++size) {
            const bool going = window(set, Query{size, size, q.ranges}, limit - emitted, [&](const Found& f) {
                ++emitted;
                return deliver(f);
            });
            if (!going)
                return false;
        }
        return true;
    }

    // The first `limit` hits in difference order, for a query of one range with more hits than
    // are collected: in bands of distances from the target that hold at most that many.
    bool difference(const SubsetSums& set, const Query& q, quint64 limit, const Deliver& deliver) const {
        const Range whole = q.ranges.front();
        const Int128 target = m_target.count();
        const Int128 farthest = std::max(distance(whole.lower, target), distance(whole.upper, target));
        // The hits at distances near … far from the target.
        auto band = [&](Int128 near, Int128 far) {
            Query b{q.minSize, q.maxSize, {}};
            b.ranges.push_back({std::max(whole.lower, target - far), std::min(whole.upper, target - near)});
            b.ranges.push_back({std::max(whole.lower, target + std::max<Int128>(near, 1)),
                                std::min(whole.upper, target + far)});
            return b;
        };
        Int128 near = target < whole.lower   ? whole.lower - target
                      : target > whole.upper ? target - whole.upper
                                             : 0;
        quint64 emitted = 0;
        auto counting = [&](const Found& f) {
            ++emitted;
            return deliver(f);
        };
        while (emitted < limit && near <= farthest) {
            const quint64 left = limit - emitted;
            const quint64 wanted = std::min<quint64>(left, m_collected);
            // fewer: a distance with fewer than wanted hits from near on; enough: one with enough.
            Int128 fewer = near - 1, enough = farthest;
            quint64 fewerCount = 0, enoughCount = count(set, band(near, farthest));
            for (int step = 0; enoughCount >= wanted && enough - fewer > 1; ++step) {
                if (enoughCount <= m_collected && wanted == left)
                    break; // the band holds the first hits in full
                // Aim at twice the hits wanted, as if they were spread evenly; every other step halves.
                const quint64 aim = std::min<quint64>(m_collected, 2 * wanted);
                Int128 probe = fewer + (enough - fewer) / 2;
                if (step % 2 == 0 && aim > fewerCount)
                    probe = fewer + std::max<Int128>(1, (enough - fewer) * Int128(aim - fewerCount) /
                                                            Int128(enoughCount - fewerCount));
                probe = std::min(probe, enough - 1);
                const quint64 c = count(set, band(near, probe));
                if (c >= wanted) {
                    enough = probe;
                    enoughCount = c;
                } else {
                    fewer = probe;
                    fewerCount = c;
                }
            }
            std::vector<Found> found;
            if (enoughCount < wanted || (enoughCount <= m_collected && wanted == left)) {
                collect(set, band(near, enough), found);
                return emitSorted(found, left, Order::Difference, deliver);
            }
            // Fewer than wanted hits lie nearer than `enough`; those at exactly that distance go by
            // size, then window order.
            collect(set, band(near, enough - 1), found);
            if (!emitSorted(found, left, Order::Difference, counting))
                return false;
            if (!items(set, band(enough, enough), limit - emitted, counting))
                return false;
            near = enough + 1;
        }
        return true;
    }

private:
    std::span<const qint64> m_amounts;
    std::size_t m_collected;
    Pacer& m_pacer;
    Currency m_target;
};

// n over k, as a rough number.
double binomial(double n, int k) {
    double ways = 1;
    for (int i = 0; i < k; ++i)
        ways = ways * (n - i) / (i + 1);
    return std::max(ways, 0.0);
}

class SmallSubsetsMethod : public SearchMethod {
public:
    explicit SmallSubsetsMethod(std::size_t collected)
        : m_collected(collected) {}

    QString name() const override { return QStringLiteral("small-subsets"); }

    // A few steps whatever the list: takes() bounds the sizes to MaxItems.
    Estimate estimate(const ValidRequest& valid) const override {
        const Request& request = valid.request();
        Estimate e;
        const int largest = request.itemCap();
        if (!takes(request))
            return e;
        const double n = double(request.amounts.size());
        const double pairs = n * (n - 1) / 2;
        double bytes = n * 40 + 2 * double(collected(request)) * sizeof(Found); // a vector grows by doubling
        e.seconds = n * std::log2(n + 2) * 1e-7;
        const double quadruples = pairs * 1e-8 + n * n * 4e-9; // counted over sorted pair sums
        for (int size = std::max(1, request.minItems); size <= largest; ++size) {
            if (size == 3)
                e.seconds += pairs * 4e-9;
            if (size >= 4) // every choice of size − 4 amounts above a quadruple
                e.seconds += pairs * 5e-8 + binomial(n, size - 4) * quadruples;
        }
        if (largest >= 4) // the pair sums, a buffer to sort them, and a copy for each amount fixed above
            bytes += pairs * (24 + 12 * std::max(0, largest - 4));
        e.bytes = saturatedBytes(bytes);
        e.fits = e.seconds <= MaxSeconds;
        return e;
    }

    Outcome run(const ValidRequest& valid, const Control& control) const override {
        const Request& request = valid.request();
        if (!takes(request))
            throw KalvonError::unsupported(
                QStringLiteral("Kombinationen aus höchstens %1 Beträgen gehen nur bis %2 Beträge (ab vier je "
                               "Kombination: bis %3).")
                    .arg(MaxItems)
                    .arg(MaxAmounts)
                    .arg(MaxPairedAmounts));
        const int largest = request.itemCap();
        std::vector<qint64> amounts;
        for (const Currency& amount : request.amounts)
            amounts.push_back(amount.count());

        Outcome outcome;
        Pacer pacer(control.cancelled, control.progress);
        const Query query{
            std::max(1, request.minItems), largest, {{request.lower.count(), request.upper.count()}}};
        try {
            const SubsetSums all(amounts, pacer);
            const Lister lister(amounts, collected(request), pacer, request);
            pacer.phase(0, 800);
            std::vector<Found> found;
            const bool collected = lister.collect(all, query, found);
            if (collected) {
                outcome.total.count = static_cast<unsigned long>(found.size());
            } else {
                found = {};
                pacer.phase(800, 900);
                outcome.total.count = static_cast<unsigned long>(lister.count(all, query));
            }
            if (control.counted)
                control.counted(outcome.total);

            pacer.phase(900, 1000);
            pacer.quiet();
            const Deliver deliver = [&](const Found& f) {
                if (!control.hit(Hit{f.indices(), Currency::fromCount(f.sum)}))
                    return false;
                pacer.poll();
                return true;
            };
            bool completed = true;
            if (request.limit > 0 && control.hit) {
                if (collected)
                    completed = lister.emitSorted(found, request.limit, request.order, deliver);
                else if (request.order == Order::Window)
                    completed = lister.window(all, query, request.limit, deliver);
                else if (request.order == Order::Items)
                    completed = lister.items(all, query, request.limit, deliver);
                else
                    completed = lister.difference(all, query, request.limit, deliver);
            }
            outcome.cancelled = !completed;
        } catch (const Cancelled&) {
            outcome.cancelled = true;
            return outcome;
        }
        if (control.progress)
            control.progress(1000);
        return outcome;
    }

private:
    static bool takes(const Request& request) {
        const int largest = request.itemCap();
        const std::size_t n = request.amounts.size();
        return largest <= MaxItems && n <= std::size_t(MaxAmounts) &&
               (largest < 4 || n <= std::size_t(MaxPairedAmounts));
    }

    // Hits collected at once: at most a quarter of the memory budget.
    std::size_t collected(const Request& request) const {
        return std::clamp<std::size_t>(
            std::size_t(std::max<qint64>(request.memoryBudget, 0)) / (8 * sizeof(Found)), 1, m_collected);
    }

    std::size_t m_collected;
};

} // namespace

const SearchMethod& smallSubsets() {
    static const SmallSubsetsMethod method(CollectedHits);
    return method;
}

std::unique_ptr<SearchMethod> smallSubsetsCollectingAtMost(std::size_t hits) {
    return std::make_unique<SmallSubsetsMethod>(std::max<std::size_t>(hits, 1));
}

} // namespace CombinationSearch
