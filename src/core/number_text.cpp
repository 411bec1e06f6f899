#include "core/number_text.h"

#include "core/kalvon_error.h"

#include <QLocale>

#include <algorithm>
#include <bit>
#include <cmath>

namespace NumberText {
namespace {

using Kind = KalvonError::Kind;

bool isBidiMark(char32_t c) {
    return c == 0x200E || c == 0x200F || c == 0x061C;
}

bool isSpaceLike(char32_t c) {
    return c == U' ' || c == 0x00A0 || c == 0x202F || c == 0x2009 || c == 0x2007;
}

bool isApostropheLike(char32_t c) {
    return c == U'\'' || c == 0x2019;
}

bool containsBidiMark(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return isBidiMark(c.unicode()); });
}

// The text as QLocale is to read it. Two adjustments, each only where the regional settings
// use such characters themselves:
// - Qt writes the signs of some locales (Hebrew, Arabic, Persian) with bidi marks but does not
//   read them back, so there the marks are dropped;
// - a group separator that a keyboard does not type (a narrow no-break space, a typographic
//   apostrophe) is also accepted as the character typed in its place: any space-like
//   character, or the plain apostrophe.
QString readable(const QString& text, const QLocale& locale) {
    QString out = text;
    if (containsBidiMark(locale.negativeSign() + locale.positiveSign() + locale.exponential()))
        out.removeIf([](QChar c) { return isBidiMark(c.unicode()); });
    const QString group = locale.groupSeparator();
    if (group.size() != 1)
        return out;
    const char32_t g = group.at(0).unicode();
    bool (*const sameRole)(char32_t) = isSpaceLike(g)        ? isSpaceLike
                                       : isApostropheLike(g) ? isApostropheLike
                                                             : nullptr;
    if (!sameRole)
        return out;
    out = out.trimmed();
    for (QChar& c : out) {
        if (sameRole(c.unicode()))
            c = group.at(0);
    }
    return out;
}

// QLocale's reading of the text; ok is false for text that is not a number.
double read(const QString& text, bool* ok) {
    const QLocale locale;
    return locale.toDouble(readable(text, locale), ok);
}

bool matchesAt(const QList<uint>& text, qsizetype pos, const QList<uint>& token) {
    if (token.isEmpty() || pos + token.size() > text.size())
        return false;
    for (qsizetype i = 0; i < token.size(); ++i) {
        if (text[pos + i] != token[i])
            return false;
    }
    return true;
}

// The parts of a number that QLocale has already accepted, with ASCII digits.
struct DecimalParts {
    bool negative = false;
    QByteArray digits;   // mantissa digits, leading zeros removed
    qint64 exponent = 0; // value = digits × 10^exponent
};

// text is readable() text that QLocale has accepted; original is the text as the user gave it.
DecimalParts decompose(const QString& text, const QString& original) {
    const QLocale locale;
    const QList<uint> chars = text.trimmed().toUcs4();
    const QList<uint> decimalPoint = locale.decimalPoint().toUcs4();
    const QList<uint> group = locale.groupSeparator().toUcs4();
    const QList<uint> minus = locale.negativeSign().toUcs4();
    const QList<uint> plus = locale.positiveSign().toUcs4();
    const QList<uint> exponentMark = locale.exponential().toUcs4();

    DecimalParts parts;
    bool inExponent = false, exponentNegative = false, afterPoint = false;
    qint64 exponentValue = 0, fractionDigits = 0;
    for (qsizetype i = 0; i < chars.size();) {
        const char32_t c = chars[i];
        const int digit = QChar::digitValue(c);
        if (digit >= 0) {
            if (inExponent) {
                if (exponentValue < 100'000'000)
                    exponentValue = exponentValue * 10 + digit;
            } else {
                if (digit != 0 || !parts.digits.isEmpty())
                    parts.digits.append(char('0' + digit));
                if (afterPoint)
                    ++fractionDigits;
            }
            ++i;
        } else if (isBidiMark(c)) {
            ++i;
        } else if (!inExponent && matchesAt(chars, i, decimalPoint)) {
            afterPoint = true;
            i += decimalPoint.size();
        } else if (matchesAt(chars, i, group)) { // QLocale accepts one even in the exponent of a zero
            i += group.size();
        } else if (matchesAt(chars, i, minus) || c == U'-' || c == 0x2212) {
            (inExponent ? exponentNegative : parts.negative) = true;
            i += matchesAt(chars, i, minus) ? minus.size() : 1;
        } else if (matchesAt(chars, i, plus) || c == U'+') {
            i += matchesAt(chars, i, plus) ? plus.size() : 1;
        } else if (!inExponent && (matchesAt(chars, i, exponentMark) || c == U'e' || c == U'E')) {
            inExponent = true;
            i += matchesAt(chars, i, exponentMark) ? exponentMark.size() : 1;
        } else {
            throw KalvonError(Kind::TypeMismatch, {}, original);
        }
    }
    parts.exponent = (exponentNegative ? -exponentValue : exponentValue) - fractionDigits;
    return parts;
}

// The display format always groups the integer digits; the C locale would leave them out.
QLocale groupingLocale() {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

QString localizedDigits(const QByteArray& ascii) {
    const QLocale locale;
    const QString zero = locale.zeroDigit();
    if (zero == QStringLiteral("0"))
        return QString::fromLatin1(ascii);
    QString out;
    for (char c : ascii)
        out += locale.toString(c - '0');
    return out;
}

} // namespace

bool isNumeric(const QString& text) {
    bool ok = false;
    const double value = read(text, &ok);
    return ok && std::isfinite(value);
}

double toDouble(const QString& text) {
    bool ok = false;
    const double value = read(text, &ok);
    if (ok && std::isfinite(value))
        return value;
    // QLocale reports a well-formed number beyond the double range as an infinity.
    if (!ok && std::isinf(value))
        throw KalvonError(Kind::Overflow, {}, text);
    throw KalvonError(Kind::TypeMismatch, {}, text);
}

Currency toCurrency(const QString& text) {
    toDouble(text); // the same acceptance as the numeric test
    const DecimalParts parts = decompose(readable(text, QLocale()), text);
    if (parts.digits.isEmpty())
        return Currency();

    // count = digits × 10^shift, rounded to an integer
    const qint64 shift = parts.exponent + 4;
    QByteArray whole = parts.digits;
    bool roundUp = false;
    if (shift >= 0) {
        if (whole.size() + shift > 19)
            throw KalvonError(Kind::Overflow, {}, text);
        whole.append(QByteArray(shift, '0'));
    } else {
        const qint64 dropped = -shift;
        // Below a tenth of a ten-thousandth (a huge negative exponent included): rounds to zero.
        if (dropped > whole.size())
            return Currency();
        QByteArray rest;
        if (dropped == whole.size()) {
            rest = whole;
            whole.clear();
        } else {
            rest = whole.right(dropped);
            whole.chop(dropped);
        }
        const char first = rest.at(0);
        if (first > '5') {
            roundUp = true;
        } else if (first == '5') {
            const bool moreThanHalf = rest.mid(1).count('0') != rest.size() - 1;
            const bool odd = !whole.isEmpty() && ((whole.back() - '0') % 2 == 1);
            roundUp = moreThanHalf || odd;
        }
        if (whole.size() > 19)
            throw KalvonError(Kind::Overflow, {}, text);
    }
    // At most 19 digits, so the magnitude fits an unsigned 64-bit integer.
    quint64 magnitude = 0;
    for (char c : whole)
        magnitude = magnitude * 10 + quint64(c - '0');
    if (roundUp)
        magnitude += 1;
    const quint64 limit = parts.negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    if (magnitude > limit)
        throw KalvonError(Kind::Overflow, {}, text);
    return Currency::fromCount(parts.negative ? qint64(quint64(0) - magnitude) : qint64(magnitude));
}

Currency fromDouble(double value) {
    // value = mantissa × 2^exponent exactly, so value × 10,000 = mantissa × 625 × 2^(exponent + 4),
    // where mantissa × 625 < 2^63: the product is rounded exactly in 64-bit integers.
    const quint64 bits = std::bit_cast<quint64>(value);
    const bool negative = bits >> 63;
    const int biased = int(bits >> 52) & 0x7FF;
    if (biased == 0x7FF) // infinity or not a number
        throw KalvonError(Kind::Overflow);
    const quint64 fraction = bits & ((quint64(1) << 52) - 1);
    const quint64 product = (biased == 0 ? fraction : fraction | quint64(1) << 52) * 625;
    const int shift = (biased == 0 ? -1074 : biased - 1075) + 4;
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    quint64 magnitude = 0;
    if (shift >= 0) {
        if (shift >= 63 || product > limit >> shift)
            throw KalvonError(Kind::Overflow);
        magnitude = product << shift;
    } else if (-shift < 64) {
        // Round the quotient by 2^-shift to the nearest integer, a tie to the even one.
        const quint64 half = quint64(1) << (-shift - 1);
        const quint64 rest = product & ((half << 1) - 1);
        magnitude = product >> -shift;
        if (rest > half || (rest == half && (magnitude & 1)))
            ++magnitude;
    } // else the product, below 2^63, is less than half of 2^-shift: the count rounds to 0
    if (magnitude > limit)
        throw KalvonError(Kind::Overflow);
    return Currency::fromCount(negative ? qint64(quint64(0) - magnitude) : qint64(magnitude));
}

QString format(double value) {
    const QLocale locale = groupingLocale();
    QString text = locale.toString(value, 'f', 2);
    // A negative amount that rounds to zero is shown as plain zero. Judged by the digits: not
    // every locale's minus sign as Qt writes it can be read back by QLocale::toDouble.
    const bool roundsToZero =
        std::none_of(text.begin(), text.end(), [](QChar c) { return c.digitValue() > 0; });
    if (value < 0 && roundsToZero)
        text = locale.toString(0.0, 'f', 2);
    return text;
}

QString format(Currency amount) {
    const QLocale locale = groupingLocale();
    const bool negative = amount.count() < 0;
    // Two decimals, an exact half rounded away from zero, as the display of a double does.
    const quint64 cents = amount.magnitude() / 100 + (amount.magnitude() % 100 >= 50 ? 1 : 0);
    const quint64 whole = quint64(cents / 100);
    const int fraction = int(cents % 100);
    QString text = locale.toString(whole) + locale.decimalPoint() +
                   localizedDigits(QByteArray::number(fraction).rightJustified(2, '0'));
    if (negative && cents != 0)
        text.prepend(locale.negativeSign());
    return text;
}

QString formatText(const QString& text) {
    return isNumeric(text) ? format(toDouble(text)) : text;
}

QString currencyText(Currency amount) {
    const QLocale locale;
    const bool negative = amount.count() < 0;
    const quint64 magnitude = amount.magnitude();
    const quint64 whole = quint64(magnitude / Currency::Scale);
    QByteArray fraction = QByteArray::number(int(magnitude % Currency::Scale)).rightJustified(4, '0');
    while (fraction.endsWith('0'))
        fraction.chop(1);
    QString text = localizedDigits(QByteArray::number(whole));
    if (!fraction.isEmpty())
        text += locale.decimalPoint() + localizedDigits(fraction);
    if (negative)
        text.prepend(locale.negativeSign());
    return text;
}

} // namespace NumberText
