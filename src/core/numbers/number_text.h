// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QString>
#include <QStringView>

#include <gmpxx.h>

// Reading and writing numbers in the user's regional format (the default QLocale).
// Conversions that fail throw KalvonError: a type mismatch for text that is not a number,
// an overflow for a value outside the target type's range.
namespace NumberText {

// True exactly when toDouble() accepts the text: a finite number in the regional format.
bool isNumeric(const QString& text);

double toDouble(const QString& text);

// Exact decimal conversion, rounded to the nearest ten-thousandth (a tie to the even one).
Currency toCurrency(const QString& text);

// An amount as accounting exports and bank statements write it, for reading tables and pasted lists
// (the window's fields keep toCurrency): the regional number format, with a currency mark ("€",
// "EUR", the region's symbol or code) before or after the number, with or without a blank, and
// exactly one sign form: a leading sign ("-", U+2212 "−"), a trailing minus ("4.885,96-") or
// parentheses ("(4.885,96)"). "NaN" and "inf" are no numbers; a number too small for a double
// ("1e-400") is zero. Never throws.
struct AmountText {
    enum class Status { Amount, NotANumber, OutOfRange };
    Status status = Status::NotANumber;
    Currency amount; // rounded as toCurrency rounds; zero unless status is Amount
    bool ok() const { return status == Status::Amount; }
};
AmountText readAmount(QStringView text);
// readAmount's amount; throws KalvonError as toCurrency does (a type mismatch, an overflow).
Currency toAmount(const QString& text);

// How many texts this thread has parsed as regional numbers so far, for tests that count the work.
quint64 conversions();

// The exact value × 10,000, rounded to the nearest integer, a tie to the even one.
Currency fromDouble(double value);

// Display format "#,##0.00": the region's group separator between groups of three integer digits,
// two decimals (an exact half away from zero, on the shortest text that reads back as a double),
// a minus sign when negative. Text so grouped reads back in every region.
QString format(double value);
QString format(Currency amount);
// Numeric text formatted as a number; any other text comes back unchanged.
QString formatText(const QString& text);

// An amount as a list shows it: the display format, with the third and fourth decimal where the
// amount has them ("1.234,5678", "-0,005").
QString formatAmount(Currency amount);
// A count of any size, in groups of three with the region's group separator.
QString formatCount(const mpz_class& count);

// Plain decimal text: no group separators, no trailing zeros, no separator for a whole amount.
QString currencyText(Currency amount);

} // namespace NumberText
