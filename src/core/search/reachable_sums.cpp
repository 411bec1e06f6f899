// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/reachable_sums.h"

#include "core/numbers/kalvon_error.h"
#include "core/search/search_ticker.h"
#include "core/search/subset_count.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <deque>
#include <limits>
#include <numeric>

namespace {

__extension__ using Int128 = __int128;
using CombinationSearch::Control;
using CombinationSearch::Outcome;
using CombinationSearch::Total;

constexpr qint32 Unreachable = std::numeric_limits<qint32>::max();

Int128 floorDiv(Int128 a, Int128 b) {
    const Int128 q = a / b;
    return q * b > a ? q - 1 : q;
}
Int128 ceilDiv(Int128 a, Int128 b) {
    const Int128 q = a / b;
    return q * b < a ? q + 1 : q;
}

qint64 saturated(Int128 bytes) {
    return bytes > Int128(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                              : qint64(bytes);
}

using Ticker = SearchTicker<Control>;
using CombinationSearch::Request;
using CombinationSearch::ValidRequest;

// For each sum of [low, high], the first amount i from which on the sum is a subset sum of the
// amounts 0 … i (−1 for the sum 0, the empty subset); Unreachable for the others. A bitset of the
// sums reached so far is shifted by each amount; the bits that it adds are the sums first
// reached there.
std::vector<qint32> firstReached(std::span<const qint64> weights, qint64 low, qint64 high, Ticker& ticker) {
    const qint64 size = high - low + 1;
    const qint64 words = (size + 63) / 64;
    const quint64 lastMask = size % 64 == 0 ? ~quint64(0) : (quint64(1) << (size % 64)) - 1;
    std::vector<quint64> reached(std::size_t(words), 0);
    std::vector<qint32> first(std::size_t(size), Unreachable);
    const qint64 zero = -low;
    reached[std::size_t(zero / 64)] |= quint64(1) << (zero % 64);
    first[std::size_t(zero)] = -1;
    qint64 lowWord = zero / 64, highWord = zero / 64; // the words that hold a reached sum
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const qint64 w = weights[i];
        const quint64 magnitude = w < 0 ? quint64(0) - quint64(w) : quint64(w); // also of the smallest qint64
        const qint64 q = qint64(magnitude / 64);
        const int r = int(magnitude % 64);
        auto merge = [&](qint64 k, quint64 shifted) {
            if (k == words - 1)
                shifted &= lastMask;
            quint64 fresh = shifted & ~reached[std::size_t(k)];
            if (fresh == 0)
                return;
            reached[std::size_t(k)] |= fresh;
            for (; fresh != 0; fresh &= fresh - 1)
                first[std::size_t(k * 64 + std::countr_zero(fresh))] = qint32(i);
            lowWord = std::min(lowWord, k);
            highWord = std::max(highWord, k);
        };
        if (w > 0) {
            // Upwards: from the top word down, each reads only words below it, still unchanged.
            const qint64 from = std::min(words - 1, highWord + q + 1), to = lowWord + q;
            for (qint64 k = from; k >= to; --k) {
                quint64 shifted = reached[std::size_t(k - q)] << r;
                if (r != 0 && k - q - 1 >= 0)
                    shifted |= reached[std::size_t(k - q - 1)] >> (64 - r);
                merge(k, shifted);
            }
        } else {
            const qint64 from = std::max<qint64>(0, lowWord - q - 1), to = highWord - q;
            for (qint64 k = from; k <= to; ++k) {
                quint64 shifted = reached[std::size_t(k + q)] >> r;
                if (r != 0 && k + q + 1 < words)
                    shifted |= reached[std::size_t(k + q + 1)] << (64 - r);
                merge(k, shifted);
            }
        }
        if (!ticker.report(double(i + 1) / double(weights.size())))
            return {};
    }
    return first;
}

// The smallest first-reached index over [a, a + width − 1] ∩ [low, high], for any a.
class RangeMinimum {
public:
    // Polls ticker now and then; cancelled() tells whether it ended early.
    RangeMinimum(std::vector<qint32> first, qint64 low, Int128 width, Ticker& ticker)
        : m_low(low)
        , m_high(low + qint64(first.size()) - 1)
        , m_width(width) {
        const qint64 size = qint64(first.size());
        if (width == 1) {
            m_direct = std::move(first);
        } else if (width <= size) {
            // Sliding minimum over windows starting at low − width + 1 … high.
            const qint64 w = qint64(width);
            m_windows.resize(std::size_t(size + w - 1));
            std::deque<qint64> candidates; // positions with ascending values
            for (qint64 a = -w + 1; a < size; ++a) {
                if (a % (qint64(1) << 20) == 0 && ticker.cancelled()) {
                    m_cancelled = true;
                    return;
                }
                const qint64 entering = a + w - 1;
                if (entering < size) {
                    while (!candidates.empty() &&
                           first[std::size_t(candidates.back())] >= first[std::size_t(entering)])
                        candidates.pop_back();
                    candidates.push_back(entering);
                }
                while (!candidates.empty() && candidates.front() < a)
                    candidates.pop_front();
                m_windows[std::size_t(a + w - 1)] =
                    candidates.empty() ? Unreachable : first[std::size_t(candidates.front())];
            }
        } else {
            // Every window reaches one end of the table: minima of prefixes and of suffixes.
            m_prefix = first;
            for (std::size_t k = 1; k < m_prefix.size(); ++k)
                m_prefix[k] = std::min(m_prefix[k], m_prefix[k - 1]);
            m_suffix = std::move(first);
            for (std::size_t k = m_suffix.size() - 1; k-- > 0;)
                m_suffix[k] = std::min(m_suffix[k], m_suffix[k + 1]);
        }
    }

    bool cancelled() const { return m_cancelled; }

    qint32 at(Int128 a) const {
        const Int128 from = std::max<Int128>(a, m_low), to = std::min<Int128>(a + m_width - 1, m_high);
        if (from > to)
            return Unreachable;
        if (!m_direct.empty())
            return m_direct[std::size_t(from - m_low)];
        if (!m_windows.empty())
            return m_windows[std::size_t(a - (m_low - m_width + 1))];
        return from == m_low ? m_prefix[std::size_t(to - m_low)] : m_suffix[std::size_t(from - m_low)];
    }

private:
    qint64 m_low, m_high;
    Int128 m_width;
    std::vector<qint32> m_direct, m_windows, m_prefix, m_suffix;
    bool m_cancelled = false;
};

constexpr double ExactCountMinimumSeconds = 30;
// A search whose listing and first counting pass alone would take longer is not taken.
constexpr double LongestSeconds = 600;
constexpr double ExactCountListingFactor = 20;

} // namespace

ReachableSums::ReachableSums(const ValidRequest& valid) {
    const Request& request = valid.request();
    m_limit = request.limit;
    m_memoryBudget = request.memoryBudget;
    Int128 positive = 0, negative = 0;
    quint64 divisor = 0;
    for (const Currency& amount : request.amounts) {
        (amount.count() > 0 ? positive : negative) += amount.count();
        divisor = std::gcd(divisor, amount.magnitude());
    }
    if (request.amounts.empty() || request.lower > request.upper)
        return; // nothing can hit
    // The divisor may be 2^63 (the smallest amount alone): it stays unsigned.
    m_divisor = Int128(divisor);
    for (const Currency& amount : request.amounts)
        m_weights.push_back(qint64(Int128(amount.count()) / m_divisor));
    const Int128 P = positive / m_divisor, N = negative / m_divisor;
    m_lower = ceilDiv(request.lower.count(), m_divisor);
    m_upper = floorDiv(request.upper.count(), m_divisor);
    m_emptyInRange = request.lower.count() <= 0 && 0 <= request.upper.count();
    if (m_lower > m_upper)
        return;
    m_domainLow = std::max(N, m_lower - P);
    m_domainHigh = std::min(P, m_upper - N);
    const Int128 countLower = std::max<Int128>(0, m_lower - N), countUpper = std::min(P - N, m_upper - N);
    if (m_domainLow > m_domainHigh || countLower > countUpper || 0 < m_domainLow || 0 > m_domainHigh) {
        m_domainLow = 0, m_domainHigh = -1;
        return;
    }
    if (countUpper >= Int128(std::numeric_limits<qint64>::max())) {
        m_tooWide = true; // sums beyond 2^63 units: no table holds them
        return;
    }
    m_countLower = qint64(countLower);
    m_countUpper = qint64(countUpper);
    if (bytes() < std::numeric_limits<qint64>::max()) {
        const SubsetCount counter(magnitudes(), m_countLower, m_countUpper);
        m_countUpdates = counter.updatesPerPass();
        m_countBits = counter.bitsEstimate();
    }
}

// The weights' sizes for counting; one beyond the counted range takes part in no counted sum, so it
// is cut to just beyond it (the smallest qint64 has no positive counterpart).
std::vector<qint64> ReachableSums::magnitudes() const {
    const quint64 beyond = quint64(m_countUpper) + 1;
    std::vector<qint64> out;
    out.reserve(m_weights.size());
    for (const qint64 w : m_weights)
        out.push_back(qint64(std::min(w < 0 ? quint64(0) - quint64(w) : quint64(w), beyond)));
    return out;
}

qint64 ReachableSums::bytes() const {
    if (m_tooWide)
        return std::numeric_limits<qint64>::max();
    if (hopeless())
        return 0;
    const Int128 size = m_domainHigh - m_domainLow + 1;
    const Int128 width = m_upper - m_lower + 1;
    const Int128 ranges = width == 1 ? 0 : std::min(size + width - 1, 2 * size);
    const Int128 listing = size / 8 + 4 * size + 4 * ranges + 32 * Int128(m_weights.size());
    const Int128 counting = 8 * (Int128(m_countUpper) + 1);
    return saturated(std::max(listing, counting));
}

double ReachableSums::listingSeconds() const {
    if (hopeless())
        return 0;
    const double size = double(m_domainHigh - m_domainLow + 1);
    return double(m_weights.size()) * size / 64 * 1e-9 + size * 8e-9;
}

double ReachableSums::countingSeconds() const {
    if (hopeless())
        return 0;
    // A pass over doubles or 64-bit entries costs about 0.3 ns an update, one over 32-bit entries
    // half that. The bound in doubles and the residues modulo 2^64 give about 100 bits; a prime
    // each 31 bits more. Beyond the time allowed, the lower bound comes from the bound's pass.
    const double wide = m_countUpdates * 3e-10;
    const double exact = 2 * wide + std::max(0.0, m_countBits - 100) / 31 * wide / 2;
    return std::min(exact,
                    std::max(ExactCountMinimumSeconds, ExactCountListingFactor * listingSeconds()) + wide);
}

bool ReachableSums::feasible() const {
    return !m_tooWide && listingSeconds() + m_countUpdates * 3e-10 <= LongestSeconds;
}

Outcome ReachableSums::run(const Control& control) const {
    if (bytes() > m_memoryBudget)
        CombinationSearch::refuseMemory(CombinationSearch::reachableSums().name(),
                                        QStringLiteral("die Tabelle der erreichbaren Summen"), bytes(),
                                        m_memoryBudget);
    Outcome outcome;
    Ticker ticker(control);
    bool done;
    if (control.counted) {
        done = count(ticker, 0, 900, outcome.total);
        if (done)
            control.counted(outcome.total);
        done = done && list(ticker, 900, 1000, control);
    } else {
        // No total asked for before the hits: the first ones are there quickly.
        done = list(ticker, 0, 100, control) && count(ticker, 100, 1000, outcome.total);
    }
    outcome.cancelled = !done;
    if (done)
        ticker.phase(1000, 1000);
    return outcome;
}

bool ReachableSums::count(Ticker& ticker, int from, int to, Total& total) const {
    ticker.phase(from, to);
    if (hopeless())
        return true;
    const SubsetCount counter(magnitudes(), m_countLower, m_countUpper);
    const SubsetCount::Result result =
        counter.count(std::max(ExactCountMinimumSeconds, ExactCountListingFactor * listingSeconds()),
                      [&](double share) { return ticker.report(share); });
    if (result.cancelled)
        return false;
    total.count = result.count;
    total.atLeast = result.atLeast;
    if (m_emptyInRange && total.count > 0)
        total.count -= 1;
    return true;
}

bool ReachableSums::list(Ticker& ticker, int from, int to, const Control& control) const {
    ticker.phase(from, to);
    if (hopeless() || m_limit == 0 || !control.hit)
        return true;
    const qint64 low = qint64(m_domainLow), high = qint64(m_domainHigh);
    std::vector<qint32> first = firstReached(m_weights, low, high, ticker);
    if (first.empty())
        return false;
    const RangeMinimum minimum(std::move(first), low, m_upper - m_lower + 1, ticker);
    if (minimum.cancelled())
        return false;
    // The amounts 0 … below can complete a hit from the sum of those taken above them.
    const auto completes = [&](int below, qint64 sum) {
        return minimum.at(m_lower - sum) <= below;
    };
    return walk(completes, ticker, control);
}

// From the last amount down, leaving each out before taking it: ascending combination number. A
// branch is entered only when the amounts below can complete a hit.
template <class Completes>
bool ReachableSums::walk(const Completes& completes, Ticker& ticker, const Control& control) const {
    struct Frame {
        int index;  // the amount decided here; −1: all decided
        qint64 sum; // of the amounts taken above it
        int stage;  // 0: leave it out next, 1: take it next, 2: done
        bool taken; // the amount above was taken
    };
    const int n = int(m_weights.size());
    std::vector<Frame> stack;
    std::vector<int> taken, items;
    if (completes(n - 1, 0))
        stack.push_back({n - 1, 0, 0, false});
    quint64 listed = 0, steps = 0;
    while (!stack.empty()) {
        if (++steps % 1024 == 0 && ticker.cancelled())
            return false;
        Frame& f = stack.back();
        if (f.index >= 0 && f.stage == 0) {
            f.stage = 1;
            if (completes(f.index - 1, f.sum)) {
                stack.push_back({f.index - 1, f.sum, 0, false});
                continue;
            }
        }
        if (f.index >= 0 && f.stage == 1) {
            f.stage = 2;
            // A subset sum, so within 64 bits: every subset sum of the request is.
            const qint64 sum = f.sum + m_weights[std::size_t(f.index)];
            if (completes(f.index - 1, sum)) {
                taken.push_back(f.index);
                stack.push_back({f.index - 1, sum, 0, true});
                continue;
            }
        }
        if (f.index < 0 && !taken.empty()) {
            items.assign(taken.rbegin(), taken.rend());
            const CombinationSearch::Hit hit{items, Currency::fromCount(qint64(f.sum * m_divisor))};
            if (!control.hit(hit))
                return false;
            if (++listed == m_limit)
                break;
            ticker.report(double(listed) / double(m_limit));
        }
        if (f.taken)
            taken.pop_back();
        stack.pop_back();
    }
    return true;
}

namespace CombinationSearch {
namespace {

class ReachableSumsMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("reachable-sums"); }

    Estimate estimate(const ValidRequest& request) const override {
        Estimate e;
        if (!takes(request.request()))
            return e;
        const ReachableSums engine(request);
        e.fits = engine.feasible();
        e.bytes = engine.bytes();
        e.seconds = engine.listingSeconds() + engine.countingSeconds();
        return e;
    }

    Outcome run(const ValidRequest& request, const Control& control) const override {
        if (!takes(request.request()))
            throw KalvonError::unsupported(QStringLiteral(
                "Die Tabelle der erreichbaren Summen führt die Treffer nur in der Reihenfolge der "
                "Kombinationsnummer auf, ohne Begrenzung der Zahl der Beträge."));
        return ReachableSums(request).run(control);
    }

private:
    static bool takes(const Request& request) {
        return request.order == Order::Window && !request.sizeLimited();
    }
};

} // namespace

const SearchMethod& reachableSums() {
    static const ReachableSumsMethod method;
    return method;
}

} // namespace CombinationSearch
