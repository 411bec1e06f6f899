// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/subset_count.h"

#include "core/search/sum_kernels.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace {

// Counts double at most with each weight: up to this many weights the double table cannot
// overflow. Beyond, it is scaled down by 2^-RescaleSteps after every RescaleSteps weights.
constexpr std::size_t UnscaledSteps = 1000;
constexpr int RescaleSteps = 400;
// Steps go through the table in blocks whose weights span at most BlockBytes, in chunks of
// ChunkEntries sums; MaxBlock steps at most, so that no block outgrows a rescale.
constexpr qint64 BlockBytes = qint64(1) << 20;
constexpr qint64 ChunkEntries = 8192;
constexpr std::size_t MaxBlock = 32;
// Entries scaled below this are raised to it (upper bound) or dropped (lower bound): no entry
// gets near the subnormal range, where rounding would no longer be bounded by the factors below.
const double Tiny = std::ldexp(1.0, -900);
// (a + b) · Up is never below a + b in doubles rounded to nearest, (a + b) · Down never above.
const double Up = 1.0 + std::ldexp(1.0, -50);
const double Down = 1.0 - std::ldexp(1.0, -50);

quint64 mulMod(quint64 a, quint64 b, quint64 m) {
    return a * b % m; // a, b < 2^32
}

quint64 powMod(quint64 base, quint64 exponent, quint64 m) {
    quint64 result = 1;
    for (base %= m; exponent > 0; exponent >>= 1) {
        if (exponent & 1)
            result = mulMod(result, base, m);
        base = mulMod(base, base, m);
    }
    return result;
}

// Miller–Rabin with the bases 2, 7 and 61, which decide every number below 2^32.
bool isPrime(quint32 n) {
    if (n < 2 || n % 2 == 0)
        return n == 2;
    quint32 d = n - 1;
    int r = 0;
    for (; d % 2 == 0; d /= 2)
        ++r;
    for (const quint32 a : {2u, 7u, 61u}) {
        if (a % n == 0)
            continue;
        quint64 x = powMod(a, d, n);
        if (x == 1 || x == n - 1)
            continue;
        bool composite = true;
        for (int i = 1; i < r && composite; ++i) {
            x = mulMod(x, x, n);
            composite = x != n - 1;
        }
        if (composite)
            return false;
    }
    return true;
}

quint64 inverseMod(quint64 a, quint64 m) {
    qint64 t = 0, newT = 1;
    qint64 r = qint64(m), newR = qint64(a % m);
    while (newR != 0) {
        const qint64 q = r / newR;
        t = std::exchange(newT, t - q * newT);
        r = std::exchange(newR, r - q * newR);
    }
    return quint64(t < 0 ? t + qint64(m) : t);
}

// The sum of values, each addition multiplied by factor, in pairs: every value goes through at
// most 16 + log2(count) additions.
double pairwiseSum(const double* values, std::size_t count, double factor) {
    if (count <= 16) {
        double sum = 0;
        for (std::size_t i = 0; i < count; ++i)
            sum = (sum + values[i]) * factor;
        return sum;
    }
    const std::size_t half = count / 2;
    return (pairwiseSum(values, half, factor) + pairwiseSum(values + half, count - half, factor)) * factor;
}

mpz_class fromDouble(double value, int exponent, bool roundUp) {
    mpz_class result(roundUp ? std::ceil(value) : std::floor(value));
    if (exponent > 0)
        result <<= mp_bitcnt_t(exponent);
    return result;
}

} // namespace

SubsetCount::SubsetCount(std::vector<qint64> weights, qint64 lower, qint64 upper)
    : m_lower(lower)
    , m_upper(upper) {
    // Small weights first, as long as the sums reached stay below upper, then the largest: the
    // weights whose every sum up to upper is updated are the fewest.
    std::sort(weights.begin(), weights.end());
    qint64 small = 0;
    std::size_t head = 0;
    while (head < weights.size() && small <= upper) {
        const qint64 w = weights[head++];
        small = w > upper ? upper + 1 : small + w; // small <= upper: no overflow
    }
    // No more than head weights fit below upper: at most C(n, head) ways for the largest group.
    const double n = double(weights.size()), k = double(head);
    m_bits = std::min(n, (std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1)) / std::log(2.0) +
                             std::log2(k + 1));
    std::reverse(weights.begin() + std::ptrdiff_t(head), weights.end());
    // The sum of the weights after each one, capped at upper + 1: beyond that lower − it is negative.
    std::vector<qint64> after(weights.size(), 0);
    for (std::size_t j = weights.size(); j-- > 1;)
        after[j - 1] = weights[j] > upper + 1 - after[j] ? upper + 1 : after[j] + weights[j];
    qint64 done = 0;
    for (std::size_t j = 0; j < weights.size(); ++j) {
        const qint64 w = weights[j];
        done = w > upper - done ? upper : done + w;
        const Step step{w, std::max(w, lower - after[j]), done};
        if (step.from <= step.to) {
            m_steps.push_back(step);
            m_updates += double(step.to - step.from + 1);
        }
    }
}

template <class Entry, class Add>
bool SubsetCount::pass(std::vector<Entry>& table, Add add, int passIndex, int passes, const Tick& tick,
                       int& exponent, bool upwards) const {
    std::fill(table.begin(), table.end(), Entry(0));
    table[0] = Entry(1);
    exponent = 0;
    Entry* const t = table.data();
    // Sums [from, to) of one step, from the top down, in pieces no longer than its weight: a piece
    // reads the one below it, still unchanged, and never overlaps itself.
    auto update = [&](const Step& step, qint64 from, qint64 to) {
        for (qint64 top = to; top > from;) {
            const qint64 bottom = std::max(from, top - step.weight);
            add(t + bottom, t + bottom - step.weight, std::size_t(top - bottom));
            top = bottom;
        }
    };
    // A block of steps whose weights together span little enough of the table to stay in the
    // processor's cache goes through the table as a wave: the first step a chunk of sums ahead,
    // each later one as far down as the steps before it have finished what it reads.
    const qint64 span = BlockBytes / qint64(sizeof(Entry));
    std::vector<qint64> front;
    std::size_t rescaled = 0;
    quint64 rounds = 0;
    for (std::size_t j0 = 0; j0 < m_steps.size();) {
        std::size_t j1 = j0 + 1;
        for (qint64 weights = m_steps[j0].weight;
             j1 < m_steps.size() && j1 - j0 < MaxBlock && weights + m_steps[j1].weight <= span; ++j1)
            weights += m_steps[j1].weight;
        front.resize(j1 - j0);
        for (std::size_t j = j0; j < j1; ++j)
            front[j - j0] = m_steps[j].to + 1;
        for (bool busy = true; busy;) {
            busy = false;
            // A wave over a wide table takes a while: cancellation is polled every few chunks.
            if (tick && ++rounds % 64 == 0 &&
                !tick((double(passIndex) + double(j0) / double(m_steps.size())) / double(passes)))
                return false;
            // All sums from here up hold what the steps so far make of them.
            qint64 settled = std::numeric_limits<qint64>::min() / 2;
            for (std::size_t j = j0; j < j1; ++j) {
                const Step& step = m_steps[j];
                qint64& f = front[j - j0];
                const qint64 limit = std::max(step.from, j == j0 ? f - ChunkEntries : settled + step.weight);
                if (limit < f) {
                    update(step, limit, f);
                    f = limit;
                }
                if (f > step.from) {
                    settled = std::max(settled, f);
                    busy = true;
                }
            }
        }
        j0 = j1;
        if constexpr (std::is_same_v<Entry, double>) {
            if (m_steps.size() > UnscaledSteps && j0 / RescaleSteps > rescaled) {
                rescaled = j0 / RescaleSteps;
                const double scale = std::ldexp(1.0, -RescaleSteps);
                for (double& x : table) {
                    const double y = x * scale;
                    x = x == 0 || y >= Tiny ? y : upwards ? Tiny : 0.0;
                }
                exponent += RescaleSteps;
            }
        }
        if (tick && !tick((double(passIndex) + double(j0) / double(m_steps.size())) / double(passes)))
            return false;
    }
    return true;
}

namespace {
using Clock = std::chrono::steady_clock;
}

SubsetCount::Result SubsetCount::count(double exactSeconds, const Tick& tick) const {
    Result result;
    if (m_lower > m_upper)
        return result;
    const auto started = Clock::now();
    // Four passes is a fair guess of the whole count for the share shown.
    std::vector<double> sums(std::size_t(m_upper + 1));
    const std::optional<mpz_class> upper = bound(sums, true, 0, 4, tick);
    if (!upper)
        return cancelled();
    const mpz_class lower = m_steps.size() > UnscaledSteps ? mpz_class(0) : lowerBelow(*upper);
    const double boundSeconds = std::chrono::duration<double>(Clock::now() - started).count();

    const std::vector<quint32> primes = primesBeyond(*upper - lower);
    // A pass over 32-bit entries takes about half of one over doubles.
    const double exactEstimate = boundSeconds * (1.0 + 0.5 * double(primes.size()));
    if (!primes.empty() && exactEstimate > exactSeconds)
        return atLeast(sums, lower, tick);
    sums = {};
    return exact(primes, lower, tick);
}

// Bounds of the count from a pass in doubles. Upwards, every entry is at least its count; and
// without scaling, at most its count times (1 + 1.26 · 2^-50)^k after k additions, which is below
// 1 + k · 2^-48: the count lies in [upper − upper · k · 2^-48, upper].
std::optional<mpz_class> SubsetCount::bound(std::vector<double>& sums, bool upwards, int passIndex,
                                            int passes, const Tick& tick) const {
    const double factor = upwards ? Up : Down;
    int exponent = 0;
    const auto add = [factor](double* dst, const double* src, std::size_t count) {
        SumKernels::addScaled(dst, src, count, factor);
    };
    if (!pass(sums, add, passIndex, passes, tick, exponent, upwards))
        return std::nullopt;
    const double total = pairwiseSum(sums.data() + m_lower, std::size_t(m_upper - m_lower + 1), factor);
    return fromDouble(total, exponent, upwards);
}

mpz_class SubsetCount::lowerBelow(const mpz_class& upper) const {
    const unsigned long additions = static_cast<unsigned long>(m_steps.size()) + 64;
    mpz_class slack = upper * additions;
    slack >>= 48;
    mpz_class lower = upper - slack - 1;
    return lower < 0 ? mpz_class(0) : lower;
}

// Primes below 2^31 whose product with 2^64 exceeds width: the residues then tell the count.
std::vector<quint32> SubsetCount::primesBeyond(const mpz_class& width) {
    std::vector<quint32> primes;
    mpz_class modulus = mpz_class(1) << 64;
    for (quint32 candidate = (quint32(1) << 31) - 1; modulus <= width; candidate -= 2) {
        if (isPrime(candidate)) {
            primes.push_back(candidate);
            modulus *= candidate;
        }
    }
    return primes;
}

// The count as a lower bound, when the exact count would take too long: from the upward pass
// without scaling, else from a second pass in doubles, rounded downwards.
SubsetCount::Result SubsetCount::atLeast(std::vector<double>& sums, const mpz_class& lower,
                                         const Tick& tick) const {
    Result result;
    result.atLeast = true;
    if (m_steps.size() <= UnscaledSteps) {
        result.count = lower;
        return result;
    }
    const std::optional<mpz_class> below = bound(sums, false, 1, 2, tick);
    if (!below)
        return cancelled();
    result.count = *below;
    return result;
}

// Modulo 2^64, then modulo each prime, joined digit by digit (Garner): the one number in
// [lower, lower + 2^64 · primes) with these residues.
SubsetCount::Result SubsetCount::exact(const std::vector<quint32>& primes, const mpz_class& lower,
                                       const Tick& tick) const {
    const int passes = 2 + int(primes.size());
    const std::size_t size = std::size_t(m_upper + 1);
    int exponent = 0;
    mpz_class residue;
    {
        std::vector<quint64> table(size);
        if (!pass(table, SumKernels::addWrapping, 1, passes, tick, exponent, true))
            return cancelled();
        quint64 sum = 0;
        for (qint64 s = m_lower; s <= m_upper; ++s)
            sum += table[std::size_t(s)];
        mpz_import(residue.get_mpz_t(), 1, 1, sizeof sum, 0, 0, &sum);
    }
    mpz_class joined = mpz_class(1) << 64;
    std::vector<quint32> table(primes.empty() ? 0 : size);
    for (std::size_t k = 0; k < primes.size(); ++k) {
        const quint32 prime = primes[k];
        const auto add = [prime](quint32* dst, const quint32* src, std::size_t count) {
            SumKernels::addModulo(dst, src, count, prime);
        };
        if (!pass(table, add, 2 + int(k), passes, tick, exponent, true))
            return cancelled();
        quint64 sum = 0;
        for (qint64 s = m_lower; s <= m_upper; ++s)
            sum = (sum + table[std::size_t(s)]) % prime;
        const quint64 known = mpz_fdiv_ui(residue.get_mpz_t(), prime);
        const quint64 step =
            (sum + prime - known) % prime * inverseMod(mpz_fdiv_ui(joined.get_mpz_t(), prime), prime) % prime;
        residue += joined * static_cast<unsigned long>(step);
        joined *= prime;
    }
    mpz_class offset = residue - lower;
    mpz_fdiv_r(offset.get_mpz_t(), offset.get_mpz_t(), joined.get_mpz_t());
    Result result;
    result.count = lower + offset;
    return result;
}

SubsetCount::Result SubsetCount::cancelled() {
    Result result;
    result.cancelled = true;
    return result;
}
