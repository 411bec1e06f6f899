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
#include <any>
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

bool cancelledNow(const Control& control) {
    return control.cancelled && control.cancelled();
}

Outcome cancelledOutcome() {
    Outcome outcome;
    outcome.cancelled = true;
    return outcome;
}

[[noreturn]] void refuse(KalvonError::Kind kind, const QString& subject, const Refusal& refusal) {
    throw KalvonError(kind, subject).withDetails(refusal);
}

// The fastest method that fits the request within its budget; nullptr when none does or when the
// choice is cancelled (then *cancelled is set).
const SearchMethod* fastest(const ValidRequest& request, const Control& control, bool* cancelled) {
    const SearchMethod* best = nullptr;
    double bestSeconds = std::numeric_limits<double>::infinity();
    for (const SearchMethod* method : methods()) {
        if (cancelledNow(control)) {
            *cancelled = true;
            return nullptr;
        }
        const Estimate e = method->estimate(request);
        if (e.fits && e.bytes <= request.request().memoryBudget && e.seconds < bestSeconds) {
            best = method;
            bestSeconds = e.seconds;
        }
    }
    return best;
}

// The most amounts a combination that some method takes for this request, below its own limit;
// 0 when none does. Fewer amounts a combination never cost more, so a binary search finds it.
int fittingItems(const ValidRequest& request, const Control& control, bool* cancelled) {
    int fits = 0;
    int low = std::max(1, request.request().minItems), high = request.request().itemCap() - 1;
    while (low <= high && !*cancelled) {
        const int items = low + (high - low) / 2;
        if (fastest(request.withItemCap(items), control, cancelled)) {
            fits = items;
            low = items + 1;
        } else {
            high = items - 1;
        }
    }
    return fits;
}

// Throws the refusal of a request that no method takes; returns when the search is cancelled
// while the largest size limit that would fit is sought.
void refuseNoMethod(const ValidRequest& valid, const Control& control) {
    const Request& request = valid.request();
    bool cancelled = false;
    Refusal refusal;
    refusal.amounts = qint64(request.amounts.size());
    refusal.fittingItems = fittingItems(valid, control, &cancelled);
    if (cancelled)
        return;
    const QString count = QLocale().toString(refusal.amounts);
    if (request.order != Order::Window && !request.sizeLimited()) {
        refusal.reason = Refusal::Reason::NoMethodInOrder;
        refuse(KalvonError::Kind::Unsupported,
               QStringLiteral("Für %1 Beträge ungleich null passt keine Methode, die die Treffer in dieser "
                              "Reihenfolge aufführt.")
                   .arg(count),
               refusal);
    }
    refusal.reason = Refusal::Reason::NoMethod;
    refuse(KalvonError::Kind::Unsupported,
           QStringLiteral("Für %1 Beträge ungleich null passt keine Methode in Zeit und Arbeitsspeicher.")
               .arg(count),
           refusal);
}

Outcome runMethod(const SearchMethod& method, const ValidRequest& request, const Control& control) {
    try {
        Outcome outcome = method.run(request, control);
        outcome.method = method.name();
        return outcome;
    } catch (const std::bad_alloc&) {
        Refusal refusal;
        refusal.reason = Refusal::Reason::Memory;
        refusal.amounts = qint64(request.request().amounts.size());
        refusal.bytesAllowed = request.request().memoryBudget;
        refuse(KalvonError::Kind::Unsupported,
               QStringLiteral("Für diese Suche reicht der Arbeitsspeicher nicht."), refusal);
    }
}

// A request in the items or difference order that no method lists in that order: its hits are
// collected in window order, as long as there are few enough, and sorted.
Outcome sortWindowHits(const SearchMethod& method, const ValidRequest& valid, const Control& control) {
    const Request& request = valid.request();
    std::vector<StoredHit> hits;
    bool tooMany = false;
    Control inner;
    inner.progress = [&](int permille) {
        if (control.progress)
            control.progress(permille * 9 / 10);
    };
    inner.cancelled = [&] {
        return tooMany || cancelledNow(control);
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
    Outcome outcome = runMethod(method, valid.inWindowOrder(SortableHits), inner);
    if (tooMany) {
        refuseNoMethod(valid, control);
        return cancelledOutcome();
    }
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
        if (!control.hit(Hit{hits[i].items, hits[i].sum}) || cancelledNow(control)) {
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

const Refusal* refusalOf(const KalvonError& error) {
    return std::any_cast<Refusal>(&error.details());
}

bool sumsFit(std::span<const Currency> amounts, int maxItems) {
    // The largest sum is that of the largest positive amounts a hit can take, the smallest that of
    // the most negative ones.
    std::vector<qint64> positive, negative;
    for (const Currency& amount : amounts)
        (amount.count() > 0 ? positive : negative).push_back(amount.count());
    const std::size_t cap = maxItems > 0 ? std::size_t(maxItems) : amounts.size();
    auto largest = [cap](std::vector<qint64>& values, auto greater) {
        const std::size_t taken = std::min(cap, values.size());
        std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(taken) - (taken > 0), values.end(),
                         greater);
        Int128 sum = 0;
        for (std::size_t i = 0; i < taken; ++i)
            sum += values[i];
        return sum;
    };
    const Int128 highest = largest(positive, std::greater<>()), lowest = largest(negative, std::less<>());
    return highest <= std::numeric_limits<qint64>::max() && lowest >= std::numeric_limits<qint64>::min();
}

ValidRequest::ValidRequest(Request request)
    : m_request(std::move(request)) {
    const qsizetype n = qsizetype(m_request.amounts.size());
    if (n > MostAmounts) {
        Refusal refusal;
        refusal.reason = Refusal::Reason::TooManyAmounts;
        refusal.amounts = n;
        refusal.mostAmounts = MostAmounts;
        refuse(
            KalvonError::Kind::Unsupported,
            QStringLiteral("Für %1 Beträge ungleich null ist keine Suche möglich: höchstens %2 sind erlaubt.")
                .arg(QLocale().toString(n), QLocale().toString(MostAmounts)),
            refusal);
    }
    for (const Currency& amount : m_request.amounts) {
        if (amount.count() == 0)
            throw KalvonError::unsupported(
                QStringLiteral("Ein Betrag von null nimmt an keiner Kombination teil."));
    }
    if (!sumsFit(m_request.amounts, m_request.itemCap())) {
        Refusal refusal;
        refusal.reason = Refusal::Reason::SumRange;
        refusal.amounts = n;
        refuse(KalvonError::Kind::Overflow, QStringLiteral("Eine mögliche Summe der Beträge"), refusal);
    }
}

ValidRequest ValidRequest::withItemCap(int items) const {
    Request smaller = m_request;
    smaller.maxItems = std::min(items, m_request.itemCap());
    return ValidRequest(std::move(smaller), Checked{});
}

ValidRequest ValidRequest::inWindowOrder(quint64 limit) const {
    Request windowOrder = m_request;
    windowOrder.order = Order::Window;
    windowOrder.limit = limit;
    return ValidRequest(std::move(windowOrder), Checked{});
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

void refuseMemory(const QString& method, const QString& phrase, qint64 bytesNeeded, qint64 bytesAllowed) {
    Refusal refusal;
    refusal.reason = Refusal::Reason::Memory;
    refusal.method = method;
    refusal.bytesNeeded = bytesNeeded;
    refusal.bytesAllowed = bytesAllowed;
    refuse(KalvonError::Kind::Unsupported,
           QStringLiteral("Für %1 reicht der Arbeitsspeicher nicht (%2 MB nötig, %3 MB erlaubt).")
               .arg(phrase)
               .arg(bytesNeeded >> 20)
               .arg(bytesAllowed >> 20),
           refusal);
}

qint64 saturatedBytes(double bytes) {
    constexpr double Largest = double(std::numeric_limits<qint64>::max());
    return !(bytes > 0) ? 0 : bytes >= Largest ? std::numeric_limits<qint64>::max() : qint64(bytes);
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

const SearchMethod* choose(const ValidRequest& request) {
    bool cancelled = false;
    return fastest(request, {}, &cancelled);
}

Outcome run(const ValidRequest& request, const Control& control) {
    bool cancelled = false;
    const SearchMethod* method = fastest(request, control, &cancelled);
    if (cancelled)
        return cancelledOutcome();
    if (method) {
        if (control.chosen)
            control.chosen(method->name());
        return runMethod(*method, request, control);
    }
    if (request.request().order != Order::Window) {
        const ValidRequest windowOrder = request.inWindowOrder(request.request().limit);
        method = fastest(windowOrder, control, &cancelled);
        if (cancelled)
            return cancelledOutcome();
        if (method) {
            if (control.chosen)
                control.chosen(method->name() + QStringLiteral("+sort"));
            return sortWindowHits(*method, request, control);
        }
    }
    refuseNoMethod(request, control);
    return cancelledOutcome();
}

} // namespace CombinationSearch
