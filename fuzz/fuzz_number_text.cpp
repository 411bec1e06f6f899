// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over the number text services. The first byte of an input picks the regional
// settings, the rest is the text (UTF-8). For any input the services must not crash and must
// agree with each other; a disagreement aborts with a description of it.
#include "core/numbers/currency.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QList>
#include <QLocale>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using Kind = KalvonError::Kind;

const QList<QLocale>& locales() {
    static const QList<QLocale> list = {
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::German, QLocale::Switzerland),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::French, QLocale::France),
        QLocale::c(),
        QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Hebrew, QLocale::Israel),
        QLocale(QLocale::Hindi, QLocale::India),
        QLocale(QLocale::Spanish, QLocale::Spain),
        QLocale(QLocale::German, QLocale::Austria),
    };
    return list;
}

[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "%s\nlocale %s, text \"%s\"\n", what, qPrintable(QLocale().name()),
                 text.toUtf8().constData());
    std::abort();
}

void check(bool condition, const char* what, const QString& text) {
    if (!condition)
        fail(what, text);
}

// Distance from |x| to the next larger double.
double ulp(double x) {
    const double a = std::fabs(x);
    return std::nextafter(a, INFINITY) - a;
}

// The double nearest to value rounded to two decimals, an exact half away from zero, judged on
// the shortest decimal text that reads back as value (Qt's, written out in full).
double roundedToCents(double value) {
    std::string digits = QString::number(std::fabs(value), 'f', QLocale::FloatingPointShortest).toStdString();
    if (digits.find('.') == std::string::npos)
        digits += '.';
    digits += "000";
    const std::size_t point = digits.find('.');
    const bool up = digits[point + 3] >= '5';
    std::string cents = digits.substr(0, point) + digits.substr(point + 1, 2);
    if (up) {
        std::size_t i = cents.size();
        while (i > 0 && cents[i - 1] == '9')
            cents[--i] = '0';
        if (i == 0)
            cents.insert(cents.begin(), '1');
        else
            ++cents[i - 1];
    }
    cents.insert(cents.size() - 2, ".");
    const double rounded = std::strtod(cents.c_str(), nullptr);
    return value < 0 ? -rounded : rounded;
}

// A failure message shows the offending text; nothing in it may steer the display.
void checkMessage(const KalvonError& error, const QString& text) {
    const QString message = error.userMessage();
    for (qsizetype i = 0; i < message.size(); ++i) {
        char32_t c = message.at(i).unicode();
        if (message.at(i).isHighSurrogate() && i + 1 < message.size() && message.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(message.at(i), message.at(i + 1));
            ++i;
        }
        const QChar::Category category = QChar::category(c);
        check(category != QChar::Other_Control && category != QChar::Other_Format &&
                  category != QChar::Other_Surrogate && category != QChar::Separator_Line &&
                  category != QChar::Separator_Paragraph,
              "the failure message carries a character that steers or hides its display", text);
    }
}

qint64 centsRounded(qint64 count) {
    // The display format rounds to two decimals, an exact half away from zero.
    const __int128 c = count;
    const __int128 magnitude = c < 0 ? -c : c;
    const __int128 rounded = (magnitude + 50) / 100 * 100;
    return qint64(c < 0 ? -rounded : rounded);
}

void checkNotNumeric(const QString& text) {
    check(NumberText::formatText(text) == text, "formatText changed text that is not a number", text);
    try {
        NumberText::toCurrency(text);
        fail("toCurrency accepted text that is not a number", text);
    } catch (const KalvonError& e) {
        checkMessage(e, text);
    }
}

void checkNumeric(const QString& text, double value) {
    check(std::isfinite(value), "toDouble gave a value that is not finite", text);

    // The display format reads back to the value rounded to two decimals, and stays as it is.
    const QString shown = NumberText::formatText(text);
    check(NumberText::isNumeric(shown), "the display format of a number is not numeric", text);
    check(NumberText::toDouble(shown) == roundedToCents(value),
          "the display format does not read back to the value rounded to two decimals", text);
    check(NumberText::formatText(shown) == shown, "the display format of the display format differs", text);

    std::optional<Currency> exact;
    std::optional<Currency> viaDouble;
    try {
        exact = NumberText::toCurrency(text);
    } catch (const KalvonError& e) {
        check(e.kind() == Kind::Overflow, "toCurrency failed with a type mismatch on numeric text", text);
    }
    try {
        viaDouble = NumberText::fromDouble(value);
    } catch (const KalvonError& e) {
        check(e.kind() == Kind::Overflow, "fromDouble failed with a type mismatch", text);
    }
    // Only at the very edge of the range may one of the two fail and the other not.
    if (exact.has_value() != viaDouble.has_value())
        check(std::fabs(value) > 922337203685477.0 && std::fabs(value) < 922337203685478.0,
              "toCurrency and fromDouble disagree on the range", text);

    // The text's exact value x, counted in ten-thousandths, is X. toCurrency gives X rounded
    // (off by at most 1/2); toDouble gives d within one ulp(d) of x, so d × 10,000 is within
    // 10,000 × ulp(d) of X, and fromDouble rounds that exact product to an integer (at most 1/2).
    // Hence
    //     |toCurrency − fromDouble(toDouble)| ≤ 1 + 10,000 × ulp(d),
    // which below about 2^39 (where the ulp term stays under 1) means: at most one
    // ten-thousandth apart, as the counts are whole numbers.
    if (exact && viaDouble) {
        const __int128 diff = __int128(exact->count()) - __int128(viaDouble->count());
        const double allowed = 1.0 + 10000.0 * ulp(value);
        check(double(diff < 0 ? -diff : diff) <= allowed,
              "toCurrency and fromDouble(toDouble) are more than the rounding apart", text);
    }

    if (exact) {
        const QString plain = NumberText::currencyText(*exact);
        check(NumberText::isNumeric(plain), "the Currency text is not numeric", text);
        check(NumberText::toCurrency(plain) == *exact, "the Currency text does not read back exactly", text);
        const QString formatted = NumberText::format(*exact);
        check(NumberText::isNumeric(formatted), "the display format of a Currency is not numeric", text);
        check(NumberText::toCurrency(formatted).count() == centsRounded(exact->count()),
              "the display format of a Currency does not read back to it rounded to cents", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    QLocale::setDefault(locales()[data[0] % locales().size()]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const bool numeric = NumberText::isNumeric(text);
    std::optional<double> value;
    try {
        value = NumberText::toDouble(text);
    } catch (const KalvonError& e) {
        checkMessage(e, text);
    }
    check(numeric == value.has_value(), "isNumeric disagrees with toDouble", text);
    if (numeric)
        checkNumeric(text, *value);
    else
        checkNotNumeric(text);
    return 0;
}
