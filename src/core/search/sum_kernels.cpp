// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/sum_kernels.h"

#include <algorithm>
#include <atomic>

namespace SumKernels {
namespace {

// The loops, written once; each level compiles them with its own instruction set.
template <class T, class Combine>
[[gnu::always_inline]] inline void addRows(T* __restrict dst, const T* __restrict src, std::size_t count,
                                           Combine combine) {
    for (std::size_t k = 0; k < count; ++k)
        dst[k] = combine(dst[k], src[k]);
}

struct Wrapping {
    quint64 operator()(quint64 a, quint64 b) const { return a + b; }
};
struct Modulo {
    quint32 prime;
    quint32 operator()(quint32 a, quint32 b) const {
        const quint32 sum = a + b; // below 2^32: both are below prime < 2^31
        return std::min(sum, sum - prime);
    }
};
struct Scaled {
    double factor;
    double operator()(double a, double b) const { return (a + b) * factor; }
};

#define KALVON_KERNELS(SUFFIX, TARGET)                                                                       \
    TARGET void wrapping##SUFFIX(quint64* dst, const quint64* src, std::size_t count) {                      \
        addRows(dst, src, count, Wrapping{});                                                                \
    }                                                                                                        \
    TARGET void modulo##SUFFIX(quint32* dst, const quint32* src, std::size_t count, quint32 prime) {         \
        addRows(dst, src, count, Modulo{prime});                                                             \
    }                                                                                                        \
    TARGET void scaled##SUFFIX(double* dst, const double* src, std::size_t count, double factor) {           \
        addRows(dst, src, count, Scaled{factor});                                                            \
    }

KALVON_KERNELS(Portable, )
KALVON_KERNELS(Avx2, [[gnu::target("avx2")]])
// GCC keeps to 256-bit vectors unless told otherwise; clang has no such attribute and uses the
// full width of the target.
#if defined(__clang__)
KALVON_KERNELS(Avx512, [[gnu::target("avx512f,avx512bw,avx512vl")]])
#else
KALVON_KERNELS(Avx512, [[gnu::target("avx512f,avx512bw,avx512vl,prefer-vector-width=512")]])
#endif
#undef KALVON_KERNELS

Level detect() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl"))
        return Level::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return Level::Avx2;
    return Level::Portable;
}

std::atomic<Level>& chosen() {
    static std::atomic<Level> level{best()};
    return level;
}

} // namespace

Level best() {
    static const Level level = detect();
    return level;
}

Level current() {
    return chosen().load(std::memory_order_relaxed);
}

void use(Level level) {
    chosen().store(std::min(level, best()), std::memory_order_relaxed);
}

void addWrapping(quint64* dst, const quint64* src, std::size_t count) {
    switch (current()) {
    case Level::Avx512:
        return wrappingAvx512(dst, src, count);
    case Level::Avx2:
        return wrappingAvx2(dst, src, count);
    case Level::Portable:
        break;
    }
    wrappingPortable(dst, src, count);
}

void addModulo(quint32* dst, const quint32* src, std::size_t count, quint32 prime) {
    switch (current()) {
    case Level::Avx512:
        return moduloAvx512(dst, src, count, prime);
    case Level::Avx2:
        return moduloAvx2(dst, src, count, prime);
    case Level::Portable:
        break;
    }
    moduloPortable(dst, src, count, prime);
}

void addScaled(double* dst, const double* src, std::size_t count, double factor) {
    switch (current()) {
    case Level::Avx512:
        return scaledAvx512(dst, src, count, factor);
    case Level::Avx2:
        return scaledAvx2(dst, src, count, factor);
    case Level::Portable:
        break;
    }
    scaledPortable(dst, src, count, factor);
}

} // namespace SumKernels
