// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/meet_in_middle.h"

#include "core/kalvon_error.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <queue>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

__extension__ using Int128 = __int128;

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();
// Sums a chunk holds at most: small enough for the processor's second-level cache.
constexpr std::size_t ChunkSize = 16384;
// The large part of a half has at least this many amounts, the small part at most SmallBits.
constexpr int LargeBits = 18;
constexpr int SmallBits = 10;

qint64 clamped(Int128 value) {
    return value < Lowest ? Lowest : value > Highest ? Highest : qint64(value);
}

int largeBits(int halfSize) {
    return std::min(halfSize, std::max(LargeBits, halfSize - SmallBits));
}

// The subset sums of some values in ascending order, each with its subset (bit i = value i).
struct SortedSums {
    std::vector<qint64> sums;
    std::vector<quint32> masks;
};

// Each value doubles the sorted list: the list so far, merged with itself shifted by the value.
SortedSums sortedSubsetSums(std::span<const qint64> values) {
    const std::size_t size = std::size_t(1) << values.size();
    SortedSums current{std::vector<qint64>(size), std::vector<quint32>(size)};
    SortedSums next{std::vector<qint64>(size), std::vector<quint32>(size)};
    std::size_t length = 1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const qint64 value = values[i];
        const quint32 bit = quint32(1) << i;
        const qint64* sums = current.sums.data();
        const quint32* masks = current.masks.data();
        qint64* outSums = next.sums.data();
        quint32* outMasks = next.masks.data();
        std::size_t a = 0, b = 0, out = 0;
        while (a < length && b < length) {
            const qint64 shifted = sums[b] + value;
            if (sums[a] <= shifted) {
                outSums[out] = sums[a];
                outMasks[out++] = masks[a++];
            } else {
                outSums[out] = shifted;
                outMasks[out++] = masks[b++] | bit;
            }
        }
        for (; a < length; ++a, ++out) {
            outSums[out] = sums[a];
            outMasks[out] = masks[a];
        }
        for (; b < length; ++b, ++out) {
            outSums[out] = sums[b] + value;
            outMasks[out] = masks[b] | bit;
        }
        length *= 2;
        std::swap(current, next);
    }
    return current;
}

// One half of the amounts: its first values form the large part (the low bits of a subset), the
// others the small part.
struct Half {
    explicit Half(std::span<const qint64> values)
        : size(int(values.size()))
        , large(sortedSubsetSums(values.first(std::size_t(largeBits(size)))))
        , small(sortedSubsetSums(values.subspan(std::size_t(largeBits(size))))) {
        smallByMask.resize(small.sums.size());
        for (std::size_t k = 0; k < small.sums.size(); ++k)
            smallByMask[small.masks[k]] = small.sums[k];
        lowest = large.sums.front() + small.sums.front();
        highest = large.sums.back() + small.sums.back();
    }
    int largeSize() const { return std::countr_zero(large.sums.size()); }
    quint64 count() const { return quint64(1) << size; }

    int size;
    SortedSums large, small;
    std::vector<qint64> smallByMask;
    qint64 lowest, highest; // the smallest and the largest subset sum
};

struct Entry {
    qint64 sum;
    quint32 mask; // the subset of the half
};

// A half's subset sums in ascending order, one chunk of neighbouring values at a time: each small-
// part sum contributes the run of large-part sums that lands in the chunk's values.
template <bool WithMasks> class SumStream {
public:
    using Item = std::conditional_t<WithMasks, Entry, qint64>;

    explicit SumStream(const Half& half)
        : m_half(half)
        , m_next(half.small.sums.size(), 0)
        , m_end(half.small.sums.size(), 0) {
        m_width = std::max<Int128>(1, (Int128(half.highest) - half.lowest + 1) * Int128(ChunkSize) /
                                          Int128(half.count()) / 2);
    }

    // The next chunk, sorted; false at the end.
    bool next() {
        m_items.clear();
        const std::vector<qint64>& large = m_half.large.sums;
        qint64 first = Highest;
        bool any = false;
        for (std::size_t r = 0; r < m_next.size(); ++r) {
            if (m_next[r] < large.size()) {
                first = std::min(first, m_half.small.sums[r] + large[m_next[r]]);
                any = true;
            }
        }
        if (!any)
            return false;
        qint64 last;
        std::size_t count;
        for (;;) {
            last = clamped(std::min<Int128>(Int128(first) + m_width - 1, m_half.highest));
            count = measure(last);
            if (count <= ChunkSize || m_width == 1)
                break;
            m_width = std::max<Int128>(1, m_width * Int128(ChunkSize) / Int128(count) / 2);
        }
        if (count > ChunkSize) {
            // One sum shared by more subsets than a chunk holds: the chunk takes some of them.
            for (std::size_t r = 0; r < m_next.size() && m_items.size() < ChunkSize; ++r) {
                for (; m_next[r] < m_end[r] && m_items.size() < ChunkSize; ++m_next[r])
                    append(r, m_next[r]);
            }
            return true;
        }
        for (std::size_t r = 0; r < m_next.size(); ++r) {
            for (std::size_t k = m_next[r]; k < m_end[r]; ++k)
                append(r, k);
            m_next[r] = m_end[r];
        }
        sort(first, last);
        if (count < ChunkSize / 4)
            m_width = std::min<Int128>(m_width * 2, Int128(1) << 64);
        return true;
    }

    const std::vector<Item>& items() const { return m_items; }

private:
    // How many sums lie in [first, last], with the end of each run in m_end.
    std::size_t measure(qint64 last) {
        const std::vector<qint64>& large = m_half.large.sums;
        std::size_t count = 0;
        for (std::size_t r = 0; r < m_next.size(); ++r) {
            const qint64 key = clamped(Int128(last) - m_half.small.sums[r]);
            m_end[r] =
                std::size_t(std::upper_bound(large.begin() + std::ptrdiff_t(m_next[r]), large.end(), key) -
                            large.begin());
            count += m_end[r] - m_next[r];
        }
        return count;
    }

    void append(std::size_t r, std::size_t k) {
        const qint64 sum = m_half.small.sums[r] + m_half.large.sums[k];
        if constexpr (WithMasks)
            m_items.push_back({sum, m_half.small.masks[r] << m_half.largeSize() | m_half.large.masks[k]});
        else
            m_items.push_back(sum);
    }

    static qint64 key(const Item& item) {
        if constexpr (WithMasks)
            return item.sum;
        else
            return item;
    }

    // Distributes the chunk into buckets by the leading bits of sum − first, then sorts each bucket,
    // which holds a few sums at most unless the sums crowd together.
    void sort(qint64 first, qint64 last) {
        const std::size_t count = m_items.size();
        if (count < 2)
            return;
        const int bucketBits = std::bit_width(count - 1);
        const int spanBits = std::bit_width(quint64(last) - quint64(first));
        const int shift = std::max(0, spanBits - bucketBits);
        const std::size_t buckets = std::size_t(1) << bucketBits;
        m_starts.assign(buckets + 1, 0);
        for (const Item& item : m_items)
            ++m_starts[((quint64(key(item)) - quint64(first)) >> shift) + 1];
        for (std::size_t b = 1; b <= buckets; ++b)
            m_starts[b] += m_starts[b - 1];
        m_sorted.resize(count);
        m_fill.assign(m_starts.begin(), m_starts.end() - 1);
        for (const Item& item : m_items)
            m_sorted[m_fill[(quint64(key(item)) - quint64(first)) >> shift]++] = item;
        auto less = [](const Item& a, const Item& b) {
            return key(a) < key(b);
        };
        for (std::size_t b = 0; b < buckets; ++b) {
            Item* from = m_sorted.data() + m_starts[b];
            Item* to = m_sorted.data() + m_starts[b + 1];
            if (to - from > 32) {
                std::sort(from, to, less);
            } else {
                for (Item* i = from + 1; i < to; ++i) {
                    const Item item = *i;
                    Item* j = i;
                    for (; j > from && key(j[-1]) > key(item); --j)
                        *j = j[-1];
                    *j = item;
                }
            }
        }
        std::swap(m_items, m_sorted);
    }

    const Half& m_half;
    std::vector<std::size_t> m_next, m_end; // per small-part sum: the run of large-part sums
    Int128 m_width;                         // the span of values the next chunk tries
    std::vector<Item> m_items, m_sorted;
    std::vector<std::size_t> m_starts, m_fill;
};

// How many of a half's subset sums are at most a value, for values that never go down.
class Ranker {
public:
    explicit Ranker(const Half& half)
        : m_half(half)
        , m_stream(half) {}

    quint64 atMost(Int128 value) {
        if (value < m_half.lowest)
            return 0;
        if (value >= m_half.highest)
            return m_half.count();
        const qint64 v = qint64(value);
        for (;;) {
            const std::vector<qint64>& sums = m_stream.items();
            while (m_position < sums.size() && sums[m_position] <= v)
                ++m_position;
            if (m_position < sums.size() || m_ended)
                return m_before + m_position;
            m_before += sums.size();
            m_position = 0;
            m_ended = !m_stream.next();
        }
    }

    // How many sums equal the value.
    quint64 equal(Int128 value) {
        if (value < m_half.lowest || value > m_half.highest)
            return 0;
        if (value != m_lastValue) {
            const quint64 below = atMost(value - 1);
            m_lastCount = atMost(value) - below;
            m_lastValue = value;
        }
        return m_lastCount;
    }

private:
    const Half& m_half;
    SumStream<false> m_stream;
    std::size_t m_position = 0;
    quint64 m_before = 0;
    bool m_ended = false;
    Int128 m_lastValue = Int128(Lowest) - 1;
    quint64 m_lastCount = 0;
};

// Reports progress in phases and polls for cancellation.
class Ticker {
public:
    explicit Ticker(const MeetInMiddleSearch::Control& control)
        : m_control(control) {}
    void phase(int from, int to) {
        m_from = from;
        m_to = to;
        report(0.0);
    }
    void report(double share) {
        const int permille = m_from + int(share * (m_to - m_from));
        if (m_control.progress && permille != m_last) {
            m_last = permille;
            m_control.progress(permille);
        }
    }
    bool cancelled() {
        if (!m_cancelled && m_control.cancelled && m_control.cancelled())
            m_cancelled = true;
        return m_cancelled;
    }

private:
    const MeetInMiddleSearch::Control& m_control;
    int m_from = 0, m_to = 0, m_last = -1;
    bool m_cancelled = false;
};

// A high-half subset with hits, and how many low-half subsets complete it.
struct Kept {
    quint32 high;
    quint64 count;
    bool operator<(const Kept& other) const { return high < other.high; }
};

} // namespace

bool MeetInMiddleSearch::sumsFit(std::span<const Currency> amounts) {
    Int128 positive = 0, negative = 0;
    for (const Currency& amount : amounts)
        (amount.count() > 0 ? positive : negative) += amount.count();
    return positive <= Highest && negative >= Lowest;
}

double MeetInMiddleSearch::seconds(int n, bool exact) {
    // Every sum of the high half, and of the low half once (exact) or twice (a range).
    const double half = double(quint64(1) << ((n + 1) / 2));
    return half * (exact ? 2 : 3) * 4e-9;
}

qint64 MeetInMiddleSearch::bytes(int n, quint64 limit) {
    const int high = n - n / 2;
    const qint64 large = qint64(1) << largeBits(high);
    const quint64 kept = std::min<quint64>(limit, quint64(1) << high);
    // Both halves' parts, the merge buffer while one is built, the chunks, the hits kept, the
    // listing's buffer.
    return large * 12 * 3 + qint64(ChunkSize) * 16 * 8 + qint64(kept) * qint64(sizeof(Kept)) + large * 16;
}

MeetInMiddleSearch::Outcome MeetInMiddleSearch::run(std::span<const Currency> amounts, Currency lower,
                                                    Currency upper, const Control& control) {
    if (amounts.size() > std::size_t(MostAmounts))
        throw KalvonError::unsupported(
            QStringLiteral("Meet in the middle nimmt höchstens %1 Beträge, nicht %2.")
                .arg(MostAmounts)
                .arg(amounts.size()));
    if (lower > upper)
        throw KalvonError::unsupported(
            QStringLiteral("Die Untergrenze des Bereichs liegt über seiner Obergrenze."));
    // The high half's sums are negated: none may be the most negative number.
    Int128 negative = 0;
    for (const Currency& amount : amounts) {
        if (amount.count() == 0)
            throw KalvonError::unsupported(
                QStringLiteral("Ein Betrag von null nimmt an keiner Kombination teil."));
        negative += std::min<qint64>(amount.count(), 0);
    }
    if (!sumsFit(amounts) || negative == Lowest)
        throw KalvonError(KalvonError::Kind::Overflow, QStringLiteral("Eine mögliche Summe der Beträge"));

    Outcome outcome;
    Ticker ticker(control);
    ticker.phase(0, 50);
    // Amounts 0 … lowSize − 1 are the low bits of a combination number, the rest the high bits.
    const int lowSize = int(amounts.size()) / 2;
    std::vector<qint64> lowValues, highNegated;
    for (int i = 0; i < int(amounts.size()); ++i) {
        if (i < lowSize)
            lowValues.push_back(amounts[std::size_t(i)].count());
        else
            highNegated.push_back(-amounts[std::size_t(i)].count());
    }
    const Half low(lowValues);
    const Half high(highNegated);
    const bool exact = lower == upper;
    const bool emptyInRange = lower.count() <= 0 && 0 <= upper.count();
    const bool listing = control.limit > 0 && control.hit;

    // The high half's sums from the largest down; for each, the low sums in [lower − it, upper − it].
    Ranker upperRank(low), lowerRank(low);
    std::priority_queue<Kept> kept; // the smallest high subsets whose counts reach the limit
    Int128 keptCount = 0, total = 0;
    quint64 done = 0;
    SumStream<true> highs(high);
    ticker.phase(50, 950);
    while (highs.next()) {
        if (ticker.cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        for (const Entry& e : highs.items()) {
            const Int128 highSum = -Int128(e.sum);
            quint64 count = exact ? upperRank.equal(lower.count() - highSum)
                                  : upperRank.atMost(upper.count() - highSum) -
                                        lowerRank.atMost(Int128(lower.count()) - 1 - highSum);
            total += count;
            if (e.mask == 0 && emptyInRange)
                --count; // the empty combination is no combination
            if (listing && count > 0 && (keptCount < Int128(control.limit) || e.mask < kept.top().high)) {
                kept.push({e.mask, count});
                keptCount += count;
                while (keptCount - Int128(kept.top().count) >= Int128(control.limit)) {
                    keptCount -= kept.top().count;
                    kept.pop();
                }
            }
        }
        done += highs.items().size();
        ticker.report(double(done) / double(high.count()));
    }
    if (emptyInRange)
        total -= 1;
    outcome.total = quint64(total);
    if (control.counted)
        control.counted(outcome.total);

    // The low subsets of each kept high subset, in ascending combination number: the small part's
    // subsets in order, and for each the large part's run of sums that completes the hit.
    ticker.phase(950, 1000);
    std::vector<Kept> highsInOrder;
    for (; !kept.empty(); kept.pop())
        highsInOrder.push_back(kept.top());
    std::reverse(highsInOrder.begin(), highsInOrder.end());
    const std::vector<qint64>& largeSums = low.large.sums;
    std::vector<std::pair<quint32, qint64>> run; // a large-part subset, its sum
    quint64 listed = 0;
    for (const Kept& k : highsInOrder) {
        qint64 highSum = 0;
        for (int bit = 0; bit < high.size; ++bit) {
            if (k.high >> bit & 1)
                highSum += amounts[std::size_t(lowSize + bit)].count();
        }
        for (std::size_t small = 0; small < low.smallByMask.size() && listed < control.limit; ++small) {
            const Int128 rest = Int128(highSum) + low.smallByMask[small];
            const auto from =
                std::lower_bound(largeSums.begin(), largeSums.end(), clamped(lower.count() - rest));
            const auto to = std::upper_bound(from, largeSums.end(), clamped(upper.count() - rest));
            run.clear();
            for (auto i = from; i != to; ++i) {
                const quint32 mask = low.large.masks[std::size_t(i - largeSums.begin())];
                if (k.high != 0 || small != 0 || mask != 0)
                    run.emplace_back(mask, *i);
            }
            const std::size_t wanted = std::size_t(std::min<quint64>(run.size(), control.limit - listed));
            std::partial_sort(run.begin(), run.begin() + std::ptrdiff_t(wanted), run.end());
            for (std::size_t i = 0; i < wanted; ++i) {
                const quint64 combination =
                    quint64(k.high) << lowSize | quint64(small) << low.largeSize() | run[i].first;
                const Hit hit{combination, Currency::fromCount(qint64(rest + run[i].second))};
                if (!control.hit(hit) || ticker.cancelled()) {
                    outcome.cancelled = true;
                    return outcome;
                }
                ++listed;
            }
        }
    }
    ticker.report(1.0);
    return outcome;
}

namespace CombinationSearch {
namespace {

// Runs beyond this are left to other methods, or refused.
constexpr double LongestSeconds = 60;

class MeetInMiddleMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("meet-in-the-middle"); }

    Estimate estimate(const Request& request) const override {
        Estimate e;
        const int n = int(std::min<std::size_t>(request.amounts.size(), 1000));
        e.seconds = MeetInMiddleSearch::seconds(n, request.lower == request.upper);
        e.fits = request.order == Order::Window && !request.sizeLimited() &&
                 n <= MeetInMiddleSearch::MostAmounts && MeetInMiddleSearch::sumsFit(request.amounts) &&
                 (n <= MeetInMiddleSearch::MaxAmounts || e.seconds <= LongestSeconds);
        e.bytes = e.fits ? MeetInMiddleSearch::bytes(n, request.limit) : 0;
        return e;
    }

    Outcome run(const Request& request, const Control& control) const override {
        if (request.order != Order::Window || request.sizeLimited())
            throw KalvonError::unsupported(QStringLiteral(
                "Meet in the middle führt die Treffer nur in der Reihenfolge der Kombinationsnummer auf, "
                "ohne Begrenzung der Zahl der Beträge."));
        if (request.lower > request.upper) {
            if (control.counted)
                control.counted(Total{});
            return {};
        }
        const qint64 bytes = MeetInMiddleSearch::bytes(int(request.amounts.size()), request.limit);
        if (bytes > request.memoryBudget)
            throw KalvonError::unsupported(
                QStringLiteral("Für meet in the middle reicht der Arbeitsspeicher nicht (%1 MB nötig, %2 MB "
                               "erlaubt). Abhilfe: eine kleinere Zahl aufzuführender Treffer (--limit) oder "
                               "weniger Beträge angeben.")
                    .arg(bytes >> 20)
                    .arg(request.memoryBudget >> 20));
        MeetInMiddleSearch::Control inner;
        inner.progress = control.progress;
        inner.cancelled = control.cancelled;
        inner.limit = request.limit;
        inner.counted = [&](quint64 total) {
            if (control.counted)
                control.counted(Total{mpz_class(static_cast<unsigned long>(total)), false});
        };
        std::vector<int> items;
        if (control.hit) {
            inner.hit = [&](const MeetInMiddleSearch::Hit& hit) {
                items.clear();
                for (quint64 rest = hit.combination; rest != 0; rest &= rest - 1)
                    items.push_back(std::countr_zero(rest));
                return control.hit(Hit{items, hit.sum});
            };
        }
        const MeetInMiddleSearch::Outcome o =
            MeetInMiddleSearch::run(request.amounts, request.lower, request.upper, inner);
        Outcome outcome;
        outcome.total.count = static_cast<unsigned long>(o.total);
        outcome.cancelled = o.cancelled;
        return outcome;
    }
};

} // namespace

const SearchMethod& meetInMiddle() {
    static const MeetInMiddleMethod method;
    return method;
}

} // namespace CombinationSearch
