// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/currency.h"

#include "core/kalvon_error.h"

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
