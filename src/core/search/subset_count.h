// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <gmpxx.h>

#include <functional>
#include <optional>
#include <vector>

// Counts the subsets of a list of positive whole weights whose sum lies in [lower, upper], over a
// table with one entry per sum 0 … upper: each weight adds the table, shifted by the weight, onto
// itself. Only the sums that can still end in the range are updated: those below lower minus the
// weights still to come, and those above upper, never can.
//
// The count is exact however large: a first pass in doubles, rounded upwards, bounds it from above
// and, up to a thousand weights, within a relative 2^-40 or so from below; then the table is
// counted modulo 2^64 and modulo as many primes below 2^31 as the width between the bounds
// needs, and the residues are joined by the Chinese remainder theorem. When that many passes
// would take longer than the caller allows (exactSeconds), the lower bound is the count, marked as
// one; beyond a thousand weights it comes from a second pass in doubles, rounded downwards.
class SubsetCount {
public:
    // weights > 0; 0 <= lower <= upper.
    SubsetCount(std::vector<qint64> weights, qint64 lower, qint64 upper);

    // Entries of the table, and table updates of one pass.
    qint64 tableSize() const { return m_upper + 1; }
    double updatesPerPass() const { return m_updates; }
    // Bytes the largest table takes.
    qint64 bytes() const { return tableSize() * qint64(sizeof(double)); }
    // Rough bits of the count: of the number of ways to choose as many weights as can fit.
    double bitsEstimate() const { return m_bits; }

    struct Result {
        mpz_class count;
        bool atLeast = false;   // count is a lower bound
        bool cancelled = false; // ended early; count is meaningless
    };

    // tick(share of the work done, 0 … 1) is called about once a table pass over one weight; it
    // returns false to end the count early.
    using Tick = std::function<bool(double)>;
    Result count(double exactSeconds, const Tick& tick) const;

private:
    struct Step {
        qint64 weight;
        qint64 from, to; // the sums this weight updates, from … to
    };

    template <class Entry, class Add>
    bool pass(std::vector<Entry>& table, Add add, int passIndex, int passes, const Tick& tick, int& exponent,
              bool upwards) const;
    // The phases of count(): a bound in doubles, the lower bound below an upward one, the primes
    // the residues need, and the count as a lower bound or exactly.
    std::optional<mpz_class> bound(std::vector<double>& sums, bool upwards, int passIndex, int passes,
                                   const Tick& tick) const;
    mpz_class lowerBelow(const mpz_class& upper) const;
    static std::vector<quint32> primesBeyond(const mpz_class& width);
    Result atLeast(std::vector<double>& sums, const mpz_class& lower, const Tick& tick) const;
    Result exact(const std::vector<quint32>& primes, const mpz_class& lower, const Tick& tick) const;
    static Result cancelled();

    std::vector<Step> m_steps;
    qint64 m_lower, m_upper;
    double m_updates = 0;
    double m_bits = 0;
};
