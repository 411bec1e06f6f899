// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <compare>
#include <limits>

// Fixed-point amount: a signed 64-bit count of ten-thousandths. Addition and subtraction are
// checked: a result outside the range throws a KalvonError (overflow), it never wraps around.
class Currency {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromCount(qint64 count) {
        Currency c;
        c.m_count = count;
        return c;
    }
    static constexpr Currency max() { return fromCount(std::numeric_limits<qint64>::max()); }
    static constexpr Currency min() { return fromCount(std::numeric_limits<qint64>::min()); }

    constexpr qint64 count() const { return m_count; }
    // |count|, exact also for the most negative amount.
    constexpr quint64 magnitude() const {
        return m_count < 0 ? quint64(0) - quint64(m_count) : quint64(m_count);
    }

    // percent % of this amount's size, rounded to the nearest ten-thousandth (a tie to the even
    // one), computed exactly; percent is itself an amount, 1,5 for 1.5 %.
    Currency percentOf(Currency percent) const;

    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency& operator+=(Currency other) { return *this = *this + other; }
    Currency& operator-=(Currency other) { return *this = *this - other; }

    constexpr auto operator<=>(const Currency&) const = default;

private:
    qint64 m_count = 0;
};
