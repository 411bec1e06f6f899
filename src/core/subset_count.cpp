// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/subset_count.h"

#include "core/sum_kernels.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

namespace {

// Counts double at most with each weight; after this many weights the double table is scaled
// down by 2^-RescaleSteps, so that it never overflows.
constexpr int RescaleSteps = 400;
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
    // Small weights first: the sums reached stay few for longest.
    std::sort(weights.begin(), weights.end());
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
bool SubsetCount::pass(std::vector<Entry>& table, Add add, int passIndex, int passes,
                       const std::function<bool(double)>& tick, int& exponent, bool upwards) const {
    std::fill(table.begin(), table.end(), Entry(0));
    table[0] = Entry(1);
    exponent = 0;
    Entry* const t = table.data();
    for (std::size_t j = 0; j < m_steps.size(); ++j) {
        const Step& step = m_steps[j];
        // From the top down, in pieces no longer than the weight: a piece reads the one below it,
        // which is still unchanged, and never overlaps itself.
        for (qint64 top = step.to + 1; top > step.from;) {
            const qint64 bottom = std::max(step.from, top - step.weight);
            add(t + bottom, t + bottom - step.weight, std::size_t(top - bottom));
            top = bottom;
        }
        if constexpr (std::is_same_v<Entry, double>) {
            if ((j + 1) % RescaleSteps == 0) {
                const double scale = std::ldexp(1.0, -RescaleSteps);
                for (double& x : table) {
                    const double y = x * scale;
                    x = x == 0 || y >= Tiny ? y : upwards ? Tiny : 0.0;
                }
                exponent += RescaleSteps;
            }
        }
        if (tick && !tick((double(passIndex) + double(j + 1) / double(m_steps.size())) / double(passes)))
            return false;
    }
    return true;
}

SubsetCount::Result SubsetCount::count(double exactSeconds, const std::function<bool(double)>& tick) const {
    Result result;
    if (m_lower > m_upper)
        return result;
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    const std::size_t size = std::size_t(m_upper + 1);

    // An upper bound of the count, and with it the number of residues needed.
    std::vector<double> sums(size);
    auto bound = [&](bool upwards, int passIndex, int passes) -> std::optional<mpz_class> {
        const double factor = upwards ? Up : Down;
        int exponent = 0;
        const auto add = [factor](double* dst, const double* src, std::size_t count) {
            SumKernels::addScaled(dst, src, count, factor);
        };
        if (!pass(sums, add, passIndex, passes, tick, exponent, upwards))
            return std::nullopt;
        double total = 0;
        for (qint64 s = m_lower; s <= m_upper; ++s)
            total = (total + sums[std::size_t(s)]) * factor;
        return fromDouble(total, exponent, upwards);
    };
    // Four passes is a fair guess of the whole count for the share shown.
    const std::optional<mpz_class> upper = bound(true, 0, 4);
    if (!upper) {
        result.cancelled = true;
        return result;
    }
    const double boundSeconds = std::chrono::duration<double>(Clock::now() - started).count();

    std::vector<quint32> primes;
    mpz_class modulus = mpz_class(1) << 64;
    for (quint32 candidate = (quint32(1) << 31) - 1; modulus <= *upper; candidate -= 2) {
        if (isPrime(candidate)) {
            primes.push_back(candidate);
            modulus *= candidate;
        }
    }
    const int passes = 2 + int(primes.size());
    // A pass over 32-bit entries takes about two thirds of one over doubles.
    const double exactEstimate = boundSeconds * (1.0 + 0.7 * double(primes.size()));
    if (!primes.empty() && exactEstimate > exactSeconds) {
        const std::optional<mpz_class> lower = bound(false, 1, 2);
        if (!lower) {
            result.cancelled = true;
            return result;
        }
        result.count = *lower;
        result.atLeast = true;
        return result;
    }
    sums = {};

    // Modulo 2^64, then modulo each prime, joined digit by digit (Garner).
    int exponent = 0;
    {
        std::vector<quint64> table(size);
        if (!pass(table, SumKernels::addWrapping, 1, passes, tick, exponent, true)) {
            result.cancelled = true;
            return result;
        }
        quint64 residue = 0;
        for (qint64 s = m_lower; s <= m_upper; ++s)
            residue += table[std::size_t(s)];
        mpz_import(result.count.get_mpz_t(), 1, 1, sizeof residue, 0, 0, &residue);
    }
    mpz_class joined = mpz_class(1) << 64;
    std::vector<quint32> table(primes.empty() ? 0 : size);
    for (std::size_t k = 0; k < primes.size(); ++k) {
        const quint32 prime = primes[k];
        const auto add = [prime](quint32* dst, const quint32* src, std::size_t count) {
            SumKernels::addModulo(dst, src, count, prime);
        };
        if (!pass(table, add, 2 + int(k), passes, tick, exponent, true)) {
            result.cancelled = true;
            return result;
        }
        quint64 residue = 0;
        for (qint64 s = m_lower; s <= m_upper; ++s)
            residue = (residue + table[std::size_t(s)]) % prime;
        const quint64 known = mpz_fdiv_ui(result.count.get_mpz_t(), prime);
        const quint64 step = (residue + prime - known) % prime *
                             inverseMod(mpz_fdiv_ui(joined.get_mpz_t(), prime), prime) % prime;
        result.count += joined * static_cast<unsigned long>(step);
        joined *= prime;
    }
    return result;
}
