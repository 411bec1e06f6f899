// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QString>
#include <QtGlobal>

#include <gmpxx.h>

#include <functional>
#include <span>
#include <utility>
#include <vector>

class KalvonError;

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
    // Polled now and then, also while the method is chosen; true ends the search early. May be empty.
    std::function<bool()> cancelled;
    // The method chosen, as --json names it, before it starts; may be empty.
    std::function<void(const QString& method)> chosen;
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

// No search takes more amounts than this.
constexpr qsizetype MostAmounts = 100000;

// Why a search is refused, with the figures a front end words it with. A refused search throws
// KalvonError carrying one (refusalOf()); its userMessage() says what is refused, in German and in
// no program's terms, and a front end adds the remedy in its own.
struct Refusal {
    enum class Reason {
        TooManyAmounts,  // more than mostAmounts amounts
        SumRange,        // a sum of at most itemCap() amounts could leave the Currency range
        NoMethod,        // no method fits in time and memory
        NoMethodInOrder, // no method lists the hits in the requested order (and no size limit is set)
        Memory           // a method needs more memory than it may take
    };
    Reason reason = Reason::NoMethod;
    qint64 amounts = 0;     // how many amounts the request has
    qint64 mostAmounts = 0; // TooManyAmounts: the most a search takes
    int fittingItems = 0;   // NoMethod…: the largest size limit with which a method fits; 0: none
    qint64 bytesNeeded = 0; // Memory: what the method needs, 0 when not known
    qint64 bytesAllowed = 0;
    QString method; // Memory: the method, as --json names it; empty for the search as a whole
};

// The refusal that a failure carries, or nullptr.
const Refusal* refusalOf(const KalvonError& error);

// A request whose preconditions hold, checked once where it is made: at most MostAmounts amounts,
// none of them zero, and every sum of at most itemCap() of them in the Currency range. A Request
// converts to it where a search takes one; the conversion throws KalvonError otherwise (with a
// Refusal for too many amounts and for the sum range).
class ValidRequest {
public:
    ValidRequest(Request request); // NOLINT(google-explicit-constructor): checked where it is handed over
    const Request& request() const { return m_request; }
    // The same request with at most `items` amounts a combination, items < itemCap(): as valid.
    ValidRequest withItemCap(int items) const;
    // The same request listing up to `limit` hits in window order.
    ValidRequest inWindowOrder(quint64 limit) const;

private:
    struct Checked {};
    ValidRequest(Request request, Checked)
        : m_request(std::move(request)) {}
    Request m_request;
};

// What running a request would cost one method.
struct Estimate {
    bool fits = false;  // the method can take the request (order, size limits, amounts)
    double seconds = 0; // rough time on a current desktop machine
    qint64 bytes = 0;   // peak memory beyond the request itself
};

// Bytes of an estimate made in floating point, saturated at the largest qint64: an estimate never
// wraps, however large the request.
qint64 saturatedBytes(double bytes);

// Throws KalvonError with a Refusal (Memory): the method named needs more memory than allowed. Its
// message starts with "Für " and the phrase given ("meet in the middle"); a front end adds the remedy.
[[noreturn]] void refuseMemory(const QString& method, const QString& phrase, qint64 bytesNeeded,
                               qint64 bytesAllowed);

// One way of searching. A method takes only requests its estimate fits and throws KalvonError for
// others rather than give a wrong result.
class SearchMethod {
public:
    virtual ~SearchMethod() = default;
    virtual QString name() const = 0;
    virtual Estimate estimate(const ValidRequest& request) const = 0;
    virtual Outcome run(const ValidRequest& request, const Control& control) const = 0;
};

// True when every sum of at most maxItems of the amounts (0: of any number of them) lies in the
// Currency range.
bool sumsFit(std::span<const Currency> amounts, int maxItems = 0);

// True when the combination a comes before b in window order; both hold ascending indices.
bool windowLess(std::span<const int> a, std::span<const int> b);
// True when hit a comes before hit b in the given order.
bool before(Order order, Currency target, const Hit& a, const Hit& b);

// Every method, in the order of preference on equal estimates.
const std::vector<const SearchMethod*>& methods();

// The method run() would take, or nullptr when none fits the request within its memory budget.
const SearchMethod* choose(const ValidRequest& request);

// Runs the request with the fastest method that fits; cancellable from the choice on. Throws
// KalvonError with a Refusal when no method fits and when memory runs out.
Outcome run(const ValidRequest& request, const Control& control);

} // namespace CombinationSearch
