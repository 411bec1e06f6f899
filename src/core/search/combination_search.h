// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QString>
#include <QtGlobal>

#include <gmpxx.h>

#include <functional>
#include <span>
#include <vector>

// The search over a list of amounts that every front end uses: which combinations of the amounts
// have a sum in [lower, upper], how many there are, and the first of them in a chosen order.
// Several methods do the work (meet in the middle, a table of reachable sums, sorted sums of
// small subsets, ...); run() picks the one that fits the request best.
namespace CombinationSearch {

// Window order: ascending combination number, where amount i is bit i. Of two combinations the
// one whose highest differing amount is absent comes first, so {0, 1} comes before {2}.
enum class Order {
    Window,    // ascending combination number
    Items,     // fewer amounts first; the same number of amounts in window order
    Difference // the smallest |sum − target| first; ties go to fewer amounts, then window order
};

struct Request {
    std::vector<Currency> amounts; // none of them zero; amount i is bit i of the combination number
    Currency target;               // what the difference order measures from
    Currency lower, upper;         // a combination hits when lower <= sum <= upper
    int minItems = 1;              // hits have at least this many amounts
    int maxItems = 0;              // … and at most this many; 0: no upper limit
    Order order = Order::Window;
    quint64 limit = 1000;                  // how many hits to list; all of them are counted
    qint64 memoryBudget = qint64(1) << 30; // bytes a method may take

    // maxItems with "no limit" resolved: at most every amount.
    int itemCap() const {
        return maxItems > 0 && std::size_t(maxItems) < amounts.size() ? maxItems : int(amounts.size());
    }
    bool sizeLimited() const { return minItems > 1 || itemCap() < int(amounts.size()); }

    // Sets the target and the range of hits around it: an exact search with no tolerance, else
    // every sum within the tolerance, an amount or (percent) that percentage of the target's size.
    // Throws KalvonError (Overflow) naming the bound or the percentage that leaves the Currency range.
    void setRange(Currency goal, Currency tolerance = {}, bool percent = false);
};

struct Hit {
    std::span<const int> items; // indices into Request::amounts, ascending
    Currency sum;
};

struct Total {
    mpz_class count;      // the number of hits, or a lower bound of it when atLeast
    bool atLeast = false; // the exact number could not be had in reasonable time
};

struct Control {
    // The share of the work done, 0 … 1000; may be empty.
    std::function<void(int permille)> progress;
    // Polled now and then; true ends the search early. May be empty.
    std::function<bool()> cancelled;
    // The total, once it is known and before the first hit; may be empty.
    std::function<void(const Total& total)> counted;
    // The first Request::limit hits in the requested order; false ends the listing. May be empty.
    std::function<bool(const Hit& hit)> hit;
};

struct Outcome {
    Total total;
    bool cancelled = false; // ended early; total may be incomplete
    QString method;         // the method that ran, as --json names it
};

// What running a request would cost one method.
struct Estimate {
    bool fits = false;  // the method can take the request (order, size limits, amounts)
    double seconds = 0; // rough time on a current desktop machine
    qint64 bytes = 0;   // peak memory beyond the request itself
};

// One way of searching. A method checks its own preconditions in run() and throws KalvonError
// rather than give a wrong result for a request it does not take.
class SearchMethod {
public:
    virtual ~SearchMethod() = default;
    virtual QString name() const = 0;
    virtual Estimate estimate(const Request& request) const = 0;
    virtual Outcome run(const Request& request, const Control& control) const = 0;
};

// True when every sum of at most maxItems of the amounts (0: of any number of them) lies in the
// Currency range; requireSumsFit throws KalvonError (Overflow) when one does not.
bool sumsFit(std::span<const Currency> amounts, int maxItems = 0);
void requireSumsFit(std::span<const Currency> amounts, int maxItems = 0);

// True when the combination a comes before b in window order; both hold ascending indices.
bool windowLess(std::span<const int> a, std::span<const int> b);
// True when hit a comes before hit b in the given order.
bool before(Order order, Currency target, const Hit& a, const Hit& b);

// Every method, in the order of preference on equal estimates.
const std::vector<const SearchMethod*>& methods();

// The method run() would take, or nullptr when none fits the request within its memory budget.
const SearchMethod* choose(const Request& request);

// Runs the request with the fastest method that fits. Throws KalvonError (Kind::Unsupported) with
// a German message naming the remedy when no method fits, and when memory runs out.
Outcome run(const Request& request, const Control& control);

} // namespace CombinationSearch
