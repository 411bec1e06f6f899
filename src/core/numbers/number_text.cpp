// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/number_text.h"

#include "core/numbers/kalvon_error.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <optional>

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

// The text with the separators of its integer digits removed, when they stand between groups of
// three (one to three digits, then groups of exactly three), as the display format writes them
// in every region. The separator is the region's own or, where the region writes a decimal comma
// and groups with a space, also a point, as typed there. Null when the text is not so grouped.
QString withoutGroupsOfThree(const QString& text, const QLocale& locale) {
    const QString group = locale.groupSeparator();
    const QString point = locale.decimalPoint();
    if (group.size() != 1 || point.size() != 1)
        return {};
    const bool pointGroups = point == QLatin1String(",") && isSpaceLike(group.at(0).unicode());
    qsizetype first = 0;
    while (first < text.size() && text.at(first).digitValue() < 0)
        ++first;
    if (text.left(first).contains(point))
        return {};
    QChar mark;
    int run = 0; // digits since the last separator
    qsizetype end = first;
    for (; end < text.size(); ++end) {
        const QChar c = text.at(end);
        if (c.digitValue() >= 0) {
            ++run;
            continue;
        }
        if (c != group.at(0) && !(pointGroups && c == u'.'))
            break;
        if ((!mark.isNull() && (c != mark || run != 3)) || run == 0 || run > 3)
            return {};
        mark = c;
        run = 0;
    }
    if (mark.isNull() || run != 3)
        return {};
    QString out = text.left(first);
    for (qsizetype i = first; i < end; ++i) {
        if (text.at(i) != mark)
            out += text.at(i);
    }
    return out + text.mid(end);
}

// The text as QLocale accepts it: as given (readable), or with groups of three ungrouped, since
// QLocale applies the region's own grouping rule (a minimum of two digits before grouping, groups
// of two after the first three).
struct Reading {
    double value = 0;
    bool ok = false;
    QString text;
};

thread_local quint64 conversionCount = 0;

Reading read(const QString& text) {
    ++conversionCount;
    const QLocale locale;
    Reading r;
    r.text = readable(text, locale);
    r.value = locale.toDouble(r.text, &r.ok);
    if (!r.ok && !std::isinf(r.value)) {
        const QString ungrouped = withoutGroupsOfThree(r.text, locale);
        if (!ungrouped.isNull()) {
            r.text = ungrouped;
            r.value = locale.toDouble(r.text, &r.ok);
        }
    }
    return r;
}

// The value of text that the numeric test accepts; the failure of text that it does not.
double accepted(const Reading& r, const QString& text) {
    if (r.ok && std::isfinite(r.value))
        return r.value;
    // QLocale reports a well-formed number beyond the double range as an infinity.
    if (!r.ok && std::isinf(r.value))
        throw KalvonError(Kind::Overflow, {}, text);
    throw KalvonError(Kind::TypeMismatch, {}, text);
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

// "#,##0.00" of an amount given as the ASCII digits of its hundredths: the integer digits in groups
// of three with the region's group separator, whatever grouping the region uses itself. A
// negative amount that rounds to zero is shown as plain zero.
QString displayFormat(bool negative, QByteArray cents) {
    const QLocale locale;
    if (cents.size() < 3)
        cents = cents.rightJustified(3, '0');
    const QByteArray whole = cents.chopped(2);
    QString text;
    if (negative && cents.count('0') != cents.size())
        text = locale.negativeSign();
    const qsizetype lead = (whole.size() - 1) % 3 + 1;
    text += localizedDigits(whole.left(lead));
    for (qsizetype i = lead; i < whole.size(); i += 3)
        text += locale.groupSeparator() + localizedDigits(whole.mid(i, 3));
    return text + locale.decimalPoint() + localizedDigits(cents.right(2));
}

// ASCII digits one greater than the given ones.
QByteArray incremented(QByteArray digits) {
    qsizetype i = digits.size();
    while (i > 0 && digits[i - 1] == '9')
        digits[--i] = '0';
    if (i == 0)
        digits.prepend('1');
    else
        ++digits[i - 1];
    return digits;
}

// The exact amount of a decomposed number, rounded to the nearest ten-thousandth (a tie to the
// even one); null when it lies outside the Currency range.
std::optional<Currency> exactAmount(const DecimalParts& parts) {
    if (parts.digits.isEmpty())
        return Currency();
    // count = digits × 10^shift, rounded to an integer
    const qint64 shift = parts.exponent + 4;
    QByteArray whole = parts.digits;
    bool roundUp = false;
    if (shift >= 0) {
        if (whole.size() + shift > 19)
            return std::nullopt;
        whole.append(QByteArray(shift, '0'));
    } else {
        const qint64 dropped = -shift;
        // Below a tenth of a ten-thousandth (a huge negative exponent included): rounds to zero.
        if (dropped > whole.size())
            return Currency();
        const QByteArray rest = whole.right(dropped);
        whole.chop(dropped);
        const char first = rest.at(0);
        if (first > '5') {
            roundUp = true;
        } else if (first == '5') {
            const bool moreThanHalf = rest.mid(1).count('0') != rest.size() - 1;
            const bool odd = !whole.isEmpty() && ((whole.back() - '0') % 2 == 1);
            roundUp = moreThanHalf || odd;
        }
        if (whole.size() > 19)
            return std::nullopt;
    }
    // At most 19 digits, so the magnitude fits an unsigned 64-bit integer.
    quint64 magnitude = 0;
    for (char c : whole)
        magnitude = magnitude * 10 + quint64(c - '0');
    if (roundUp)
        magnitude += 1;
    const quint64 limit = parts.negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    if (magnitude > limit)
        return std::nullopt;
    return Currency::fromCount(parts.negative ? qint64(quint64(0) - magnitude) : qint64(magnitude));
}

// ---- Amounts as accounting exports write them

bool isMinusSign(QChar c, const QLocale& locale) {
    return c == u'-' || c.unicode() == 0x2212 || locale.negativeSign() == QString(c);
}

// The currency marks an amount may carry: the euro sign, "EUR" and the region's own symbol and code,
// the longest first.
QStringList currencyMarks(const QLocale& locale) {
    QStringList marks{QStringLiteral("€"), QStringLiteral("EUR"),
                      locale.currencySymbol(QLocale::CurrencySymbol),
                      locale.currencySymbol(QLocale::CurrencyIsoCode)};
    marks.removeAll(QString());
    marks.removeDuplicates();
    std::sort(marks.begin(), marks.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return marks;
}

// Removes one currency mark before or after the number; a mark that runs into letters ("EURO") is none.
bool stripCurrency(QStringView& text, const QStringList& marks) {
    for (const QString& mark : marks) {
        if (text.startsWith(mark) && (text.size() == mark.size() || !text.at(mark.size()).isLetter())) {
            text = text.mid(mark.size()).trimmed();
            return true;
        }
        if (text.endsWith(mark) &&
            (text.size() == mark.size() || !text.at(text.size() - mark.size() - 1).isLetter())) {
            text = text.chopped(mark.size()).trimmed();
            return true;
        }
    }
    return false;
}

// Characters that the regional number format may use in a number without a sign: digits,
// separators, blanks, the exponent mark. Anything else is no number, found without parsing.
bool mayBeNumberCharacter(QChar c, const QLocale& locale) {
    if (c.isDigit() || isSpaceLike(c.unicode()) || isApostropheLike(c.unicode()) || isBidiMark(c.unicode()))
        return true;
    if (c == u'.' || c == u',' || c == u'e' || c == u'E' || c == u'+' || c == u'-' || c.unicode() == 0x2212)
        return true;
    const QString one(c);
    return locale.decimalPoint() == one || locale.groupSeparator() == one ||
           locale.exponential().contains(c) || locale.negativeSign().contains(c) ||
           locale.positiveSign().contains(c);
}

struct Signed {
    bool negative = false;
    QString digits; // the number without its sign and currency mark
};

// The number of an amount text and its sign: a currency mark before or after it, and exactly one
// sign form of a leading sign, a trailing minus ("4.885,96-") or parentheses ("(4.885,96)"). Null
// for text that cannot be such an amount.
std::optional<Signed> amountForm(QStringView text, const QLocale& locale) {
    static thread_local QLocale marksOf;
    static thread_local QStringList marks = currencyMarks(marksOf);
    if (marksOf != locale) {
        marksOf = locale;
        marks = currencyMarks(locale);
    }
    QStringView t = text.trimmed();
    bool currency = stripCurrency(t, marks);
    Signed out;
    int signs = 0;
    const auto nextCurrency = [&] {
        if (!currency)
            currency = stripCurrency(t, marks);
    };
    if (t.size() >= 2 && t.front() == u'(' && t.back() == u')') {
        t = t.mid(1, t.size() - 2).trimmed();
        out.negative = true;
        ++signs;
        nextCurrency();
    }
    if (!t.isEmpty() && (isMinusSign(t.front(), locale) || t.front() == u'+')) {
        out.negative = out.negative || isMinusSign(t.front(), locale);
        t = t.mid(1).trimmed();
        ++signs;
        nextCurrency();
    }
    if (!t.isEmpty() && isMinusSign(t.back(), locale)) {
        t = t.chopped(1).trimmed();
        out.negative = true;
        ++signs;
        nextCurrency();
    }
    if (signs > 1 || t.isEmpty() || isMinusSign(t.front(), locale) || t.front() == u'+')
        return std::nullopt;
    if (!std::all_of(t.begin(), t.end(), [&](QChar c) { return mayBeNumberCharacter(c, locale); }))
        return std::nullopt;
    out.digits = t.toString();
    return out;
}

// True when the text is a well-formed number whose exponent takes it below the range of a double
// ("1e-400"): such a number rounds to zero.
bool underflows(const QString& text) {
    static const QRegularExpression shape(QStringLiteral("^(.+)[eE][-\\x{2212}]\\d+$"));
    const QRegularExpressionMatch match = shape.match(text);
    return match.hasMatch() && read(match.captured(1)).ok;
}

} // namespace

bool isNumeric(const QString& text) {
    const Reading r = read(text);
    return r.ok && std::isfinite(r.value);
}

double toDouble(const QString& text) {
    return accepted(read(text), text);
}

Currency toCurrency(const QString& text) {
    const Reading r = read(text);
    accepted(r, text); // the same acceptance as the numeric test
    const std::optional<Currency> amount = exactAmount(decompose(r.text, text));
    if (!amount)
        throw KalvonError(Kind::Overflow, {}, text);
    return *amount;
}

AmountText readAmount(QStringView text) {
    const QLocale locale;
    AmountText out;
    const std::optional<Signed> form = amountForm(text, locale);
    if (!form)
        return out;
    const QString number = form->negative ? locale.negativeSign() + form->digits : form->digits;
    Reading r = read(number);
    if (!r.ok && !std::isinf(r.value) && underflows(form->digits))
        r.ok = true; // a number too small for a double: it rounds to zero
    if (!r.ok && std::isinf(r.value))
        out.status = AmountText::Status::OutOfRange;
    if (!r.ok || !std::isfinite(r.value))
        return out;
    try {
        const std::optional<Currency> amount = exactAmount(decompose(r.text, number));
        out.status = amount ? AmountText::Status::Amount : AmountText::Status::OutOfRange;
        out.amount = amount.value_or(Currency());
    } catch (const KalvonError&) {
        out.status = AmountText::Status::NotANumber;
    }
    return out;
}

Currency toAmount(const QString& text) {
    const AmountText read = readAmount(text);
    if (read.status == AmountText::Status::OutOfRange)
        throw KalvonError(Kind::Overflow, {}, text);
    if (read.status == AmountText::Status::NotANumber)
        throw KalvonError(Kind::TypeMismatch, {}, text);
    return read.amount;
}

quint64 conversions() {
    return conversionCount;
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
    if (!std::isfinite(value))
        return QLocale().toString(value);
    // Rounded as the number is written: on the shortest decimal text that reads back as the
    // value, an exact half away from zero. 2.675 is held as 2.67499999…, but shown as 2,68.
    char buffer[32];
    const char* const end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
    const char* const mark = std::find(static_cast<const char*>(buffer), end, 'e');
    QByteArray digits; // d1 d2 … with the decimal point after d1, times 10^exponent
    for (const char* c = buffer; c != mark; ++c) {
        if (*c >= '0' && *c <= '9')
            digits += *c;
    }
    int exponent = 0;
    std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, exponent);
    const qsizetype keep = qsizetype(exponent) + 3; // the digits down to the hundredths
    QByteArray cents = keep > 0 ? digits.left(keep).leftJustified(keep, '0') : QByteArray();
    if (keep >= 0 && keep < digits.size() && digits[keep] >= '5')
        cents = incremented(cents);
    return displayFormat(value < 0, cents);
}

QString format(Currency amount) {
    // Two decimals, an exact half rounded away from zero, as the display of a double does.
    const quint64 cents = amount.magnitude() / 100 + (amount.magnitude() % 100 >= 50 ? 1 : 0);
    return displayFormat(amount.count() < 0, QByteArray::number(cents));
}

QString formatText(const QString& text) {
    return isNumeric(text) ? format(toDouble(text)) : text;
}

QString formatAmount(Currency amount) {
    const QLocale locale;
    const qint64 beyondCents = amount.count() % 100;
    QString text = format(Currency::fromCount(amount.count() - beyondCents));
    if (beyondCents == 0)
        return text;
    if (amount.count() < 0 && amount.count() > -100)
        text.prepend(locale.negativeSign()); // the whole-cent part alone shows as 0,00
    const int digits = int(beyondCents < 0 ? -beyondCents : beyondCents);
    text += locale.toString(digits / 10);
    if (digits % 10 != 0)
        text += locale.toString(digits % 10);
    return text;
}

QString formatCount(const mpz_class& count) {
    const QLocale locale;
    const QByteArray digits = QByteArray::fromStdString(mpz_class(abs(count)).get_str());
    QString text = count < 0 ? locale.negativeSign() : QString();
    const qsizetype lead = (digits.size() - 1) % 3 + 1;
    text += localizedDigits(digits.left(lead));
    for (qsizetype i = lead; i < digits.size(); i += 3)
        text += locale.groupSeparator() + localizedDigits(digits.mid(i, 3));
    return text;
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
