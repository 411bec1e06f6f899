// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/currency.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QtTest>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

using Kind = KalvonError::Kind;
using Status = NumberText::AmountText::Status;
Q_DECLARE_METATYPE(KalvonError::Kind)
Q_DECLARE_METATYPE(NumberText::AmountText::Status)

namespace {
constexpr qint64 MaxCount = std::numeric_limits<qint64>::max();
constexpr qint64 MinCount = std::numeric_limits<qint64>::min();
} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void isNumeric_data();
    void isNumeric();
    void toCurrency_data();
    void toCurrency();
    void conversionFailures_data();
    void conversionFailures();
    void fromDouble_data();
    void fromDouble();
    void fromDoubleIsExact();
    void displayFormat_data();
    void displayFormat();
    void currencyDisplayFormat_data();
    void currencyDisplayFormat();
    void currencyText_data();
    void currencyText();
    void otherLocale_data();
    void otherLocale();
    void amountForms_data();
    void amountForms();
    void amountFormsRoundTrip();
    void currencyArithmetic();
    void failureMessageNamesQuantityAndRange();
};

void TestNumberText::isNumeric_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("grouped") << "1.234,5" << true;
    QTest::newRow("plain") << "1234,5" << true;
    QTest::newRow("negative") << "-7" << true;
    QTest::newRow("many decimals") << "1,23456789" << true;
    QTest::newRow("exponent") << "1e5" << true;
    QTest::newRow("surrounding blanks") << " 5 " << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("inf") << "inf" << false;
    QTest::newRow("nan") << "nan" << false;
    QTest::newRow("beyond double") << "1e400" << false;
    QTest::newRow("double minus") << "--5" << false;
    QTest::newRow("lone separator") << "," << false;
    QTest::newRow("misplaced group") << "1.23" << false;
    QTest::newRow("English decimal") << "12.34,5" << false;
}

void TestNumberText::isNumeric() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(NumberText::isNumeric(text), numeric);
}

void TestNumberText::toCurrency_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("count");
    QTest::newRow("grouped") << "1.234,5" << qint64(12345000);
    QTest::newRow("negative") << "-7,00" << qint64(-70000);
    QTest::newRow("four decimals") << "0,0001" << qint64(1);
    QTest::newRow("tie to even, down") << "0,00005" << qint64(0);
    QTest::newRow("tie to even, up") << "0,00015" << qint64(2);
    QTest::newRow("tie to even, 2.5") << "0,00025" << qint64(2);
    QTest::newRow("above tie") << "0,000250001" << qint64(3);
    QTest::newRow("negative tie") << "-0,00015" << qint64(-2);
    QTest::newRow("exponent") << "1,5e3" << qint64(15000000);
    QTest::newRow("negative exponent") << "15e-5" << qint64(2);
    QTest::newRow("largest") << "922.337.203.685.477,5807" << MaxCount;
    QTest::newRow("smallest") << "-922.337.203.685.477,5808" << MinCount;
    QTest::newRow("largest, rounded down to it") << "922337203685477,58074999" << MaxCount;
    QTest::newRow("leading zeros") << "0000000000000000000000012,5" << qint64(125000);
    QTest::newRow("zero") << "0,00" << qint64(0);
    QTest::newRow("far below a ten-thousandth") << "1e-300" << qint64(0);
    QTest::newRow("half a ten-thousandth, negative") << "-0,00005" << qint64(0);
    QTest::newRow("just above half a ten-thousandth") << "0,0000500001" << qint64(1);
}

void TestNumberText::toCurrency() {
    QFETCH(QString, text);
    QFETCH(qint64, count);
    QCOMPARE(NumberText::toCurrency(text).count(), count);
}

void TestNumberText::conversionFailures_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asDouble");
    QTest::addColumn<KalvonError::Kind>("kind");
    QTest::newRow("one above the largest") << "922.337.203.685.477,5808" << false << Kind::Overflow;
    QTest::newRow("tie rounds above the largest") << "922337203685477,58075" << false << Kind::Overflow;
    QTest::newRow("one below the smallest") << "-922.337.203.685.477,5809" << false << Kind::Overflow;
    QTest::newRow("huge exponent") << "1e20" << false << Kind::Overflow;
    QTest::newRow("beyond double, currency") << "1e400" << false << Kind::Overflow;
    QTest::newRow("beyond double, double") << "1e400" << true << Kind::Overflow;
    QTest::newRow("letters, currency") << "abc" << false << Kind::TypeMismatch;
    QTest::newRow("letters, double") << "abc" << true << Kind::TypeMismatch;
    QTest::newRow("empty") << "" << true << Kind::TypeMismatch;
    QTest::newRow("inf") << "inf" << true << Kind::TypeMismatch;
}

void TestNumberText::conversionFailures() {
    QFETCH(QString, text);
    QFETCH(bool, asDouble);
    QFETCH(KalvonError::Kind, kind);
    try {
        if (asDouble)
            NumberText::toDouble(text);
        else
            NumberText::toCurrency(text);
        QFAIL("conversion did not fail");
    } catch (const KalvonError& e) {
        QCOMPARE(e.kind(), kind);
    }
}

void TestNumberText::fromDouble_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("0.1") << 0.1 << qint64(1000) << false;
    // A tie needs a double that is exactly one: k/32 for an odd k.
    QTest::newRow("tie 312.5 to even 312") << 0.03125 << qint64(312) << false;
    QTest::newRow("0.00025 is held above the tie") << 0.00025 << qint64(3) << false;
    QTest::newRow("tie 937.5 to even 938") << 0.09375 << qint64(938) << false;
    QTest::newRow("tie 1562.5 to even 1562") << 0.15625 << qint64(1562) << false;
    QTest::newRow("negative tie") << -0.09375 << qint64(-938) << false;
    QTest::newRow("below a tie") << 0.00015 << qint64(1) << false;
    QTest::newRow("large, exact") << 922337203685477.0 << qint64(9223372036854770000) << false;
    QTest::newRow("largest half") << 922337203685477.5 << qint64(9223372036854775000) << false;
    QTest::newRow("20 trillion and one") << 20000000000001.0 << qint64(200000000000010000) << false;
    QTest::newRow("too large") << 1e15 << qint64(0) << true;
    QTest::newRow("too small") << -1e15 << qint64(0) << true;
    QTest::newRow("just past the largest") << 922337203685477.6 << qint64(0) << true;
    QTest::newRow("infinity") << double(INFINITY) << qint64(0) << true;
}

void TestNumberText::fromDouble() {
    QFETCH(double, value);
    QFETCH(qint64, count);
    QFETCH(bool, overflow);
    if (overflow) {
        QVERIFY_THROWS_EXCEPTION(KalvonError, NumberText::fromDouble(value));
        return;
    }
    QCOMPARE(NumberText::fromDouble(value).count(), count);
}

// The exact count of a double, from its exact decimal expansion (glibc prints a double exactly),
// against fromDouble: random doubles of every magnitude up to 2^50, and exact halves k/32.
void TestNumberText::fromDoubleIsExact() {
    QRandomGenerator random(9);
    for (int i = 0; i < 100000; ++i) {
        const quint64 mantissa = random.generate64() >> random.bounded(11, 64);
        const bool half = i % 3 == 0;
        const double magnitude =
            std::ldexp(double(half ? mantissa | 1 : mantissa), half ? -5 : -random.bounded(3, 80));
        const double value = i % 2 ? -magnitude : magnitude;
        char buffer[1200];
        std::snprintf(buffer, sizeof buffer, "%.1100f", magnitude);
        const std::string text = buffer;
        const std::size_t point = text.find('.');
        quint64 count = std::stoull(text.substr(0, point) + text.substr(point + 1, 4));
        const char first = text[point + 5];
        if (first > '5' ||
            (first == '5' && (text.find_first_not_of('0', point + 6) != std::string::npos || count % 2)))
            ++count;
        if (count > quint64(MaxCount) + (value < 0 ? 1 : 0)) {
            QVERIFY_THROWS_EXCEPTION(KalvonError, NumberText::fromDouble(value));
            continue;
        }
        QCOMPARE(NumberText::fromDouble(value).count(), value < 0 ? qint64(0 - count) : qint64(count));
    }
}

void TestNumberText::displayFormat_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("worked example") << "1234,5"
                                    << "1.234,50";
    QTest::newRow("negative") << "-7"
                              << "-7,00";
    QTest::newRow("zero") << "0"
                          << "0,00";
    QTest::newRow("tiny negative shows zero") << "-0,001"
                                              << "0,00";
    // Rounded as written, an exact half away from zero, though the double may lie below the half.
    QTest::newRow("three decimals") << "2,675"
                                    << "2,68";
    QTest::newRow("1,005") << "1,005"
                           << "1,01";
    QTest::newRow("0,015") << "0,015"
                           << "0,02";
    QTest::newRow("negative half") << "-0,005"
                                   << "-0,01";
    QTest::newRow("carry into a new group") << "999999,995"
                                            << "1.000.000,00";
    QTest::newRow("exact half away from zero") << "0,125"
                                               << "0,13";
    QTest::newRow("millions") << "1000000"
                              << "1.000.000,00";
    QTest::newRow("letters unchanged") << "abc"
                                       << "abc";
    QTest::newRow("empty unchanged") << ""
                                     << "";
    QTest::newRow("blanks unchanged") << "  "
                                      << "  ";
    QTest::newRow("formatted text stays") << "1.234,50"
                                          << "1.234,50";
}

void TestNumberText::displayFormat() {
    QFETCH(QString, text);
    QFETCH(QString, formatted);
    QCOMPARE(NumberText::formatText(text), formatted);
}

void TestNumberText::currencyDisplayFormat_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("largest") << MaxCount << "922.337.203.685.477,58";
    QTest::newRow("smallest") << MinCount << "-922.337.203.685.477,58";
    QTest::newRow("total") << qint64(12275000) << "1.227,50";
    QTest::newRow("half away from zero") << qint64(1250) << "0,13";
    QTest::newRow("negative half") << qint64(-50) << "-0,01";
    QTest::newRow("negative below half") << qint64(-49) << "0,00";
    QTest::newRow("zero") << qint64(0) << "0,00";
}

void TestNumberText::currencyDisplayFormat() {
    QFETCH(qint64, count);
    QFETCH(QString, formatted);
    QCOMPARE(NumberText::format(Currency::fromCount(count)), formatted);
}

void TestNumberText::currencyText_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("12,5") << qint64(125000) << "12,5";
    QTest::newRow("whole") << qint64(120000) << "12";
    QTest::newRow("half") << qint64(5000) << "0,5";
    QTest::newRow("negative whole") << qint64(-2500000) << "-250";
    QTest::newRow("no groups") << qint64(12345000) << "1234,5";
    QTest::newRow("one ten-thousandth") << qint64(1) << "0,0001";
    QTest::newRow("largest") << MaxCount << "922337203685477,5807";
    QTest::newRow("smallest") << MinCount << "-922337203685477,5808";
    QTest::newRow("zero") << qint64(0) << "0";
}

void TestNumberText::currencyText() {
    QFETCH(qint64, count);
    QFETCH(QString, text);
    QCOMPARE(NumberText::currencyText(Currency::fromCount(count)), text);
}

void TestNumberText::otherLocale_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("currencyText");
    QTest::newRow("grouped") << "1,234.5" << true << qint64(12345000) << "1,234.50"
                             << "1234.5";
    QTest::newRow("negative") << "-0.5" << true << qint64(-5000) << "-0.50"
                              << "-0.5";
    QTest::newRow("German text") << "1.234,5" << false << qint64(0) << "1.234,5"
                                 << "";
}

void TestNumberText::otherLocale() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QFETCH(QString, input);
    QFETCH(bool, numeric);
    QFETCH(qint64, count);
    QFETCH(QString, formatted);
    QFETCH(QString, currencyText);
    QCOMPARE(NumberText::isNumeric(input), numeric);
    QCOMPARE(NumberText::formatText(input), formatted);
    if (numeric) {
        QCOMPARE(NumberText::toCurrency(input).count(), count);
        QCOMPARE(NumberText::currencyText(NumberText::toCurrency(input)), currencyText);
    }
}

void TestNumberText::amountForms_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Status>("status");
    QTest::addColumn<qint64>("count");
    const QString de = QStringLiteral("de_DE");
    QTest::newRow("plain") << de << "1.234,50" << Status::Amount << qint64(12345000);
    QTest::newRow("euro after") << de << "1.234,50 €" << Status::Amount << qint64(12345000);
    QTest::newRow("euro after, no blank") << de << "1.234,50€" << Status::Amount << qint64(12345000);
    QTest::newRow("euro before") << de << "€ 7" << Status::Amount << qint64(70000);
    QTest::newRow("euro after, no-break space") << de << "7,5\u00A0€" << Status::Amount << qint64(75000);
    QTest::newRow("EUR before") << de << "EUR 11.174,13" << Status::Amount << qint64(111741300);
    QTest::newRow("EUR after") << de << "11.174,13 EUR" << Status::Amount << qint64(111741300);
    QTest::newRow("EUR before, no blank") << de << "EUR11.174,13" << Status::Amount << qint64(111741300);
    QTest::newRow("trailing minus") << de << "4.885,96-" << Status::Amount << qint64(-48859600);
    QTest::newRow("trailing minus and euro") << de << "4.885,96- €" << Status::Amount << qint64(-48859600);
    QTest::newRow("parentheses") << de << "(4.885,96)" << Status::Amount << qint64(-48859600);
    QTest::newRow("parentheses around euro") << de << "(4.885,96 €)" << Status::Amount << qint64(-48859600);
    QTest::newRow("euro before parentheses") << de << "€ (4.885,96)" << Status::Amount << qint64(-48859600);
    QTest::newRow("U+2212 minus") << de << "\u22124.885,96" << Status::Amount << qint64(-48859600);
    QTest::newRow("minus before euro") << de << "-€ 5" << Status::Amount << qint64(-50000);
    QTest::newRow("euro before minus") << de << "€ -5" << Status::Amount << qint64(-50000);
    QTest::newRow("smallest with minus") << de << "-922.337.203.685.477,5808 €" << Status::Amount << MinCount;
    QTest::newRow("smallest trailing") << de << "922.337.203.685.477,5808-" << Status::Amount << MinCount;
    QTest::newRow("far below a double") << de << "1e-400" << Status::Amount << qint64(0);
    QTest::newRow("plus sign") << de << "+5 €" << Status::Amount << qint64(50000);
    QTest::newRow("Swiss francs") << "de_CH"
                                  << "CHF 1’234.50" << Status::Amount << qint64(12345000);
    QTest::newRow("dollars") << "en_US"
                             << "$1,234.50" << Status::Amount << qint64(12345000);
    QTest::newRow("dollars in parentheses") << "en_US"
                                            << "($1,234.50)" << Status::Amount << qint64(-12345000);
    // Exactly one sign form, one currency mark, nothing else.
    QTest::newRow("two signs: parentheses and minus") << de << "(-5)" << Status::NotANumber << qint64(0);
    QTest::newRow("two signs: leading and trailing") << de << "-5-" << Status::NotANumber << qint64(0);
    QTest::newRow("two signs: parentheses and trailing") << de << "(5)-" << Status::NotANumber << qint64(0);
    QTest::newRow("double trailing minus") << de << "5--" << Status::NotANumber << qint64(0);
    QTest::newRow("two currency marks") << de << "€ 5 €" << Status::NotANumber << qint64(0);
    QTest::newRow("EURO") << de << "EURO 5" << Status::NotANumber << qint64(0);
    QTest::newRow("debit letter") << de << "4.885,96 S" << Status::NotANumber << qint64(0);
    QTest::newRow("mark alone") << de << "€" << Status::NotANumber << qint64(0);
    QTest::newRow("empty parentheses") << de << "()" << Status::NotANumber << qint64(0);
    QTest::newRow("open parenthesis") << de << "(5" << Status::NotANumber << qint64(0);
    QTest::newRow("NaN") << de << "NaN" << Status::NotANumber << qint64(0);
    QTest::newRow("nan with euro") << de << "nan €" << Status::NotANumber << qint64(0);
    QTest::newRow("inf") << de << "inf" << Status::NotANumber << qint64(0);
    QTest::newRow("invoice number") << de << "RE-2026-0101" << Status::NotANumber << qint64(0);
    QTest::newRow("date") << de << "03.11.2026" << Status::NotANumber << qint64(0);
    QTest::newRow("dollars in Germany") << de << "$5" << Status::NotANumber << qint64(0);
    QTest::newRow("beyond double") << de << "1e400 €" << Status::OutOfRange << qint64(0);
    QTest::newRow("beyond the range")
        << de << "(922.337.203.685.477,5809)" << Status::OutOfRange << qint64(0);
}

void TestNumberText::amountForms() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(Status, status);
    QFETCH(qint64, count);
    QLocale::setDefault(QLocale(locale));
    const NumberText::AmountText read = NumberText::readAmount(text);
    QCOMPARE(read.status, status);
    QCOMPARE(read.amount.count(), count);
    // The window's reading is unchanged: no currency mark, no trailing minus, no parentheses.
    if (text.contains(u'€') || text.contains(u'(') || text.endsWith(u'-'))
        QVERIFY(!NumberText::isNumeric(text));
}

// Random amounts as the display writes them, dressed in every sign form and currency mark, read
// back exactly; the bare number reads as toCurrency reads it.
void TestNumberText::amountFormsRoundTrip() {
    QRandomGenerator random(21);
    for (int i = 0; i < 20000; ++i) {
        const qint64 count = qint64(random.generate64() >> random.bounded(1, 64)) * (i % 2 ? -1 : 1);
        const Currency amount = Currency::fromCount(count);
        const QString magnitude = NumberText::formatAmount(Currency::fromCount(count < 0 ? -count : count));
        QString text = magnitude;
        if (count < 0) {
            switch (random.bounded(4)) {
            case 0:
                text = QStringLiteral("-") + text;
                break;
            case 1:
                text += QStringLiteral("-");
                break;
            case 2:
                text = QStringLiteral("(%1)").arg(text);
                break;
            default:
                text = QChar(0x2212) + text;
            }
        }
        const QStringList marks{QString(), QStringLiteral(" €"), QStringLiteral("€"), QStringLiteral(" EUR")};
        const QString mark = marks[random.bounded(4)];
        text = random.bounded(2) ? text + mark : mark.trimmed() + QStringLiteral(" ") + text;
        const NumberText::AmountText read = NumberText::readAmount(text);
        QVERIFY2(read.ok(), qPrintable(text));
        QCOMPARE(read.amount, amount);
        QCOMPARE(NumberText::readAmount(NumberText::formatAmount(amount)).amount,
                 NumberText::toCurrency(NumberText::formatAmount(amount)));
    }
}

void TestNumberText::currencyArithmetic() {
    QVERIFY_THROWS_EXCEPTION(KalvonError, Currency::max() + Currency::fromCount(1));
    QVERIFY_THROWS_EXCEPTION(KalvonError, Currency::min() - Currency::fromCount(1));
    QVERIFY_THROWS_EXCEPTION(KalvonError, Currency::fromCount(-1) - Currency::max() - Currency::fromCount(1));
    QCOMPARE((Currency::max() + Currency::min()).count(), qint64(-1));
    // 0.1 + 0.2 is exactly 0.3 in ten-thousandths.
    QCOMPARE(NumberText::fromDouble(0.1) + NumberText::fromDouble(0.2),
             NumberText::toCurrency(QStringLiteral("0,3")));
}

void TestNumberText::failureMessageNamesQuantityAndRange() {
    try {
        inContext(QStringLiteral("Der Betrag in „5.Wert“"),
                  [] { return NumberText::toCurrency(QStringLiteral("1e300")); });
        QFAIL("no overflow");
    } catch (const KalvonError& e) {
        QCOMPARE(e.userMessage(),
                 QStringLiteral("Der Betrag in „5.Wert“ liegt außerhalb des zulässigen Bereichs "
                                "von ±922.337.203.685.477,58."));
    }
    const KalvonError mismatch(Kind::TypeMismatch, QStringLiteral("Der Zielwert"), QStringLiteral("abc"));
    QCOMPARE(mismatch.userMessage(), QStringLiteral("Der Zielwert ist keine gültige Zahl: „abc“."));
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
