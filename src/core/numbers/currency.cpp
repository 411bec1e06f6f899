// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/currency.h"

#include "core/numbers/kalvon_error.h"

Currency Currency::operator+(Currency other) const {
    qint64 result;
    if (__builtin_add_overflow(m_count, other.m_count, &result))
        throw KalvonError(KalvonError::Kind::Overflow);
    return fromCount(result);
}

Currency Currency::operator-(Currency other) const {
    qint64 result;
    if (__builtin_sub_overflow(m_count, other.m_count, &result))
        throw KalvonError(KalvonError::Kind::Overflow);
    return fromCount(result);
}

Currency Currency::percentOf(Currency percent) const {
    // Both counts are in ten-thousandths, and the percentage is a hundredth.
    __extension__ using Int128 = __int128;
    const Int128 product = Int128(magnitude()) * percent.count();
    constexpr Int128 unit = Int128(100) * Scale;
    Int128 count = product / unit;
    const Int128 rest = product % unit;
    if (2 * rest > unit || (2 * rest == unit && count % 2 != 0))
        ++count;
    else if (2 * rest < -unit || (2 * rest == -unit && count % 2 != 0))
        --count;
    if (count > std::numeric_limits<qint64>::max() || count < std::numeric_limits<qint64>::min())
        throw KalvonError(KalvonError::Kind::Overflow);
    return fromCount(qint64(count));
}
