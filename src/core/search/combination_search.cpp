// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/combination_search.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/search/every_subset.h"
#include "core/search/meet_in_middle.h"
#include "core/search/reachable_sums.h"
#include "core/search/small_subsets.h"

#include <QLocale>

#include <algorithm>
#include <functional>
#include <limits>
#include <new>

namespace CombinationSearch {
namespace {

__extension__ using Int128 = __int128;

// Hits that a request in another order may collect in window order before it sorts them.
constexpr unsigned long SortableHits = 1'000'000;

Int128 distance(Currency sum, Currency target) {
    const Int128 d = Int128(sum.count()) - Int128(target.count());
    return d < 0 ? -d : d;
}

struct StoredHit {
    std::vector<int> items;
    Currency sum;
};

// The most amounts a combination that some method takes for this request, below its own limit;
// 0 when none does. Fewer amounts a combination never cost more, so a binary search finds it.
int fittingItems(const Request& request) {
    Request smaller = request;
    int fits = 0;
    int low = std::max(1, request.minItems), high = request.itemCap() - 1;
    while (low <= high) {
        const int items = low + (high - low) / 2;
        smaller.maxItems = items;
        if (choose(smaller)) {
            fits = items;
            low = items + 1;
        } else {
            high = items - 1;
        }
    }
    return fits;
}

QString noMethodMessage(const Request& request) {
    const qsizetype n = qsizetype(request.amounts.size());
    const int items = fittingItems(request);
    const QString fewerItems =
        items > 0 ? QStringLiteral(
                        "die Zahl der Beträge einer Kombination auf höchstens %1 begrenzen (--max-items %1)")
                        .arg(items)
                  : QStringLiteral("die Zahl der Beträge einer Kombination begrenzen (--max-items)");
    if (request.order != Order::Window && !request.sizeLimited())
        return QStringLiteral(
                   "Für %1 Beträge ungleich null passt keine Methode, die die Treffer in dieser "
                   "Reihenfolge aufführt. Abhilfe: %2, die Reihenfolge der Kombinationsnummer wählen "
                   "(--order window) oder weniger Beträge angeben.")
            .arg(QLocale().toString(n), fewerItems);
    return QStringLiteral(
               "Für %1 Beträge ungleich null passt keine Methode in Zeit und Arbeitsspeicher. Abhilfe: "
               "%2, weniger Beträge angeben oder einen kleineren Zielwert suchen.")
        .arg(QLocale().toString(n), fewerItems);
}

Outcome runMethod(const SearchMethod& method, const Request& request, const Control& control) {
    try {
        Outcome outcome = method.run(request, control);
        outcome.method = method.name();
        return outcome;
    } catch (const std::bad_alloc&) {
        throw KalvonError::unsupported(
            QStringLiteral("Für diese Suche reicht der Arbeitsspeicher nicht. Abhilfe: die Zahl der Beträge "
                           "einer Kombination begrenzen (--max-items) oder weniger Beträge angeben."));
    }
}

// A request in the items or difference order that no method lists in that order: its hits are
// collected in window order, as long as there are few enough, and sorted.
Outcome sortWindowHits(const SearchMethod& method, const Request& request, const Control& control) {
    Request inWindowOrder = request;
    inWindowOrder.order = Order::Window;
    inWindowOrder.limit = SortableHits;
    std::vector<StoredHit> hits;
    bool tooMany = false;
    Control inner;
    inner.progress = [&](int permille) {
        if (control.progress)
            control.progress(permille * 9 / 10);
    };
    inner.cancelled = [&] {
        return tooMany || (control.cancelled && control.cancelled());
    };
    inner.counted = [&](const Total& total) {
        tooMany = total.atLeast || total.count > SortableHits;
        if (!tooMany)
            hits.reserve(total.count.get_ui());
    };
    inner.hit = [&](const Hit& hit) {
        hits.push_back({std::vector<int>(hit.items.begin(), hit.items.end()), hit.sum});
        return true;
    };
    Outcome outcome = runMethod(method, inWindowOrder, inner);
    if (tooMany)
        throw KalvonError::unsupported(noMethodMessage(request));
    if (outcome.cancelled)
        return outcome;

    auto less = [&](const StoredHit& a, const StoredHit& b) {
        return before(request.order, request.target, Hit{a.items, a.sum}, Hit{b.items, b.sum});
    };
    const std::size_t wanted = std::size_t(std::min<quint64>(request.limit, hits.size()));
    std::partial_sort(hits.begin(), hits.begin() + std::ptrdiff_t(wanted), hits.end(), less);
    if (control.counted)
        control.counted(outcome.total);
    for (std::size_t i = 0; i < wanted && control.hit; ++i) {
        if (!control.hit(Hit{hits[i].items, hits[i].sum}) || (control.cancelled && control.cancelled())) {
            outcome.cancelled = true;
            break;
        }
    }
    if (control.progress)
        control.progress(1000);
    outcome.method += QStringLiteral("+sort");
    return outcome;
}

} // namespace

bool sumsFit(std::span<const Currency> amounts, int maxItems) {
    // The largest sum is that of the largest positive amounts a hit can take, the smallest that of
    // the most negative ones.
    std::vector<qint64> positive, negative;
    for (const Currency& amount : amounts)
        (amount.count() > 0 ? positive : negative).push_back(amount.count());
    std::sort(positive.begin(), positive.end(), std::greater<>());
    std::sort(negative.begin(), negative.end());
    const std::size_t cap = maxItems > 0 ? std::size_t(maxItems) : amounts.size();
    Int128 highest = 0, lowest = 0;
    for (std::size_t i = 0; i < cap && i < positive.size(); ++i)
        highest += positive[i];
    for (std::size_t i = 0; i < cap && i < negative.size(); ++i)
        lowest += negative[i];
    return highest <= std::numeric_limits<qint64>::max() && lowest >= std::numeric_limits<qint64>::min();
}

void requireSumsFit(std::span<const Currency> amounts, int maxItems) {
    if (!sumsFit(amounts, maxItems))
        throw KalvonError(KalvonError::Kind::Overflow, QStringLiteral("Eine mögliche Summe der Beträge"));
}

void Request::setRange(Currency goal, Currency tolerance, bool percent) {
    target = goal;
    const Currency margin =
        percent
            ? inContext(
                  QStringLiteral("Die Toleranz von %1 % des Zielwerts").arg(NumberText::format(tolerance)),
                  [&] { return goal.percentOf(tolerance); })
            : tolerance;
    lower = inContext(QStringLiteral("Die Untergrenze des Toleranzbereichs"), [&] { return goal - margin; });
    upper = inContext(QStringLiteral("Die Obergrenze des Toleranzbereichs"), [&] { return goal + margin; });
}

bool windowLess(std::span<const int> a, std::span<const int> b) {
    std::size_t i = a.size(), j = b.size();
    while (i > 0 && j > 0) {
        --i, --j;
        if (a[i] != b[j])
            return a[i] < b[j];
    }
    return i == 0 && j > 0;
}

bool before(Order order, Currency target, const Hit& a, const Hit& b) {
    if (order == Order::Difference) {
        const Int128 da = distance(a.sum, target), db = distance(b.sum, target);
        if (da != db)
            return da < db;
    }
    if (order != Order::Window && a.items.size() != b.items.size())
        return a.items.size() < b.items.size();
    return windowLess(a.items, b.items);
}

const std::vector<const SearchMethod*>& methods() {
    static const std::vector<const SearchMethod*> all{&meetInMiddle(), &reachableSums(), &everySubset(),
                                                      &smallSubsets()};
    return all;
}

const SearchMethod* choose(const Request& request) {
    const SearchMethod* best = nullptr;
    double bestSeconds = std::numeric_limits<double>::infinity();
    for (const SearchMethod* method : methods()) {
        const Estimate e = method->estimate(request);
        if (e.fits && e.bytes <= request.memoryBudget && e.seconds < bestSeconds) {
            best = method;
            bestSeconds = e.seconds;
        }
    }
    return best;
}

Outcome run(const Request& request, const Control& control) {
    requireSumsFit(request.amounts, request.itemCap());
    if (const SearchMethod* method = choose(request))
        return runMethod(*method, request, control);
    if (request.order != Order::Window) {
        Request inWindowOrder = request;
        inWindowOrder.order = Order::Window;
        if (const SearchMethod* method = choose(inWindowOrder))
            return sortWindowHits(*method, request, control);
    }
    throw KalvonError::unsupported(noMethodMessage(request));
}

} // namespace CombinationSearch
