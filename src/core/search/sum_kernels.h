// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstddef>

// The inner loops of counting subset sums: one row of a table added onto another, element by
// element, in one of four kinds of arithmetic. The rows never overlap. Each loop exists for the
// plain x86-64 baseline and for AVX2 and AVX-512; the widest one the processor has is taken,
// unless a test asks for another.
namespace SumKernels {

enum class Level { Portable, Avx2, Avx512 };

// The widest level this processor runs.
Level best();
// The level in use: best() unless use() chose another.
Level current();
// Uses the given level from now on (tests compare the levels); never more than best().
void use(Level level);

// dst[k] += src[k], wrapping around at 2^64.
void addWrapping(quint64* dst, const quint64* src, std::size_t count);
// dst[k] = (dst[k] + src[k]) mod prime; every value below prime, prime < 2^31.
void addModulo(quint32* dst, const quint32* src, std::size_t count, quint32 prime);
// dst[k] = (dst[k] + src[k]) · factor, in doubles: with a factor just above 1 the result is never
// below the exact sum, with one just below 1 never above it.
void addScaled(double* dst, const double* src, std::size_t count, double factor);

} // namespace SumKernels
