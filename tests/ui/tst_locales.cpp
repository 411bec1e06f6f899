// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read and shown in the regional formats of German (Germany, Switzerland, Austria),
// English (US), French (France), Spanish (Spain), Hindi (India) and the C locale, and in the
// locales whose signs Qt writes with bidi marks. The display groups by three in every region.
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "form_fixture.h"
#include "window_run.h"

#include <QtTest>

class TestLocales : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void services_data();
    void services();
    void notNumbers_data();
    void notNumbers();
    void wholeRun_data();
    void wholeRun();
};

namespace {
const QLocale German(QLocale::German, QLocale::Germany);
const QLocale Swiss(QLocale::German, QLocale::Switzerland);
const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale French(QLocale::French, QLocale::France);
const QLocale Hebrew(QLocale::Hebrew, QLocale::Israel);
const QLocale Arabic(QLocale::Arabic, QLocale::Egypt);
const QLocale Spanish(QLocale::Spanish, QLocale::Spain);
const QLocale Indian(QLocale::Hindi, QLocale::India);
const QLocale Austrian(QLocale::German, QLocale::Austria);

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

void TestLocales::services_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("currencyText");

    QTest::newRow("de-DE grouped") << German << u("1.234,5") << 1234.5 << qint64(12345000) << u("1.234,50")
                                   << u("1234,5");
    QTest::newRow("de-DE negative") << German << u("-0,5") << -0.5 << qint64(-5000) << u("-0,50")
                                    << u("-0,5");

    QTest::newRow("de-CH apostrophe groups")
        << Swiss << u("1’234.5") << 1234.5 << qint64(12345000) << u("1’234.50") << u("1234.5");
    QTest::newRow("de-CH typed apostrophe")
        << Swiss << u("-1'000'000.125") << -1000000.125 << qint64(-10000001250) << u("-1’000’000.13")
        << u("-1000000.125");

    QTest::newRow("en-US grouped") << English << u("1,234.5") << 1234.5 << qint64(12345000) << u("1,234.50")
                                   << u("1234.5");
    QTest::newRow("en-US negative") << English << u("-0.0001") << -0.0001 << qint64(-1) << u("0.00")
                                    << u("-0.0001");

    QTest::newRow("fr-FR narrow no-break space")
        << French << u("1\u202F234,5") << 1234.5 << qint64(12345000) << u("1\u202F234,50") << u("1234,5");
    QTest::newRow("fr-FR typed space") << French << u("12 345 678,9") << 12345678.9 << qint64(123456789000)
                                       << u("12\u202F345\u202F678,90") << u("12345678,9");
    QTest::newRow("fr-FR no-break space")
        << French << u("1\u00A0234,5") << 1234.5 << qint64(12345000) << u("1\u202F234,50") << u("1234,5");
    QTest::newRow("fr-FR surrounding spaces")
        << French << u(" -1 234 ") << -1234.0 << qint64(-12340000) << u("-1\u202F234,00") << u("-1234");

    QTest::newRow("C grouped") << QLocale::c() << u("1,234.5") << 1234.5 << qint64(12345000) << u("1,234.50")
                               << u("1234.5");
    QTest::newRow("C plain, shown with groups")
        << QLocale::c() << u("1234567.891") << 1234567.891 << qint64(12345678910) << u("1,234,567.89")
        << u("1234567.891");

    // Qt's own grouping there: none below five digits, groups of two after the first three.
    QTest::newRow("es-ES groups of three")
        << Spanish << u("1.234,5") << 1234.5 << qint64(12345000) << u("1.234,50") << u("1234,5");
    QTest::newRow("es-ES negative as Qt writes it")
        << Spanish << u("-1234.567,5") << -1234567.5 << qint64(-12345675000) << u("-1.234.567,50")
        << u("-1234567,5");
    QTest::newRow("hi-IN groups of three") << Indian << u("1,234,567.5") << 1234567.5 << qint64(12345675000)
                                           << u("1,234,567.50") << u("1234567.5");
    QTest::newRow("hi-IN lakh as Qt writes it")
        << Indian << u("-12,34,567.5") << -1234567.5 << qint64(-12345675000) << u("-1,234,567.50")
        << u("-1234567.5");
    // Where groups are spaced, a point between groups of three is read as a group separator too.
    QTest::newRow("de-AT typed points")
        << Austrian << u("-1.234.567,125") << -1234567.125 << qint64(-12345671250)
        << u("-1\u00A0234\u00A0567,13") << u("-1234567,125");
    QTest::newRow("fr-FR typed point")
        << French << u("1.234") << 1234.0 << qint64(12340000) << u("1\u202F234,00") << u("1234");

    // Qt writes these minus signs with a bidi mark; the program reads them back.
    QTest::newRow("he-IL negative as shown") << Hebrew << u("\u200E-1,234.50") << -1234.5 << qint64(-12345000)
                                             << u("\u200E-1,234.50") << u("\u200E-1234.5");
    QTest::newRow("he-IL negative as typed")
        << Hebrew << u("-5") << -5.0 << qint64(-50000) << u("\u200E-5.00") << u("\u200E-5");
    QTest::newRow("ar-EG negative") << Arabic << u("\u061C-\u0661\u066C\u0662\u0663\u0664\u066B\u0665")
                                    << -1234.5 << qint64(-12345000)
                                    << u("\u061C-\u0661\u066C\u0662\u0663\u0664\u066B\u0665\u0660")
                                    << u("\u061C-\u0661\u0662\u0663\u0664\u066B\u0665");
    // QLocale accepts a group separator in the exponent of a zero.
    QTest::newRow("ar-EG zero with a group in its exponent")
        << Arabic << u("00e\u066C040") << 0.0 << qint64(0) << u("\u0660\u066B\u0660\u0660") << u("\u0660");
}

void TestLocales::services() {
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(qint64, count);
    QFETCH(QString, formatted);
    QFETCH(QString, currencyText);
    QLocale::setDefault(locale);
    QVERIFY(NumberText::isNumeric(text));
    QCOMPARE(NumberText::toDouble(text), value);
    QCOMPARE(NumberText::toCurrency(text).count(), count);
    QCOMPARE(NumberText::fromDouble(value).count(), count);
    QCOMPARE(NumberText::formatText(text), formatted);
    QCOMPARE(NumberText::format(Currency::fromCount(count)), formatted);
    QCOMPARE(NumberText::currencyText(Currency::fromCount(count)), currencyText);
    // What the program shows, it reads back.
    QVERIFY(NumberText::isNumeric(formatted));
    QVERIFY(NumberText::isNumeric(currencyText));
    QCOMPARE(NumberText::toCurrency(currencyText).count(), count);
}

void TestLocales::notNumbers_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("de-DE, English decimal") << German << u("1,234.5");
    QTest::newRow("de-DE, a space for a group") << German << u("1 234,5");
    QTest::newRow("de-CH, German groups") << Swiss << u("1.234,5");
    QTest::newRow("de-CH, misplaced apostrophe") << Swiss << u("12'34.5");
    QTest::newRow("en-US, German groups") << English << u("1.234,5");
    QTest::newRow("fr-FR, groups of two") << French << u("1 23,5");
    QTest::newRow("fr-FR, two spaces") << French << u("1  234,5");
    QTest::newRow("fr-FR, an apostrophe") << French << u("1'234,5");
    QTest::newRow("C, German groups") << QLocale::c() << u("1.234,5");
    QTest::newRow("C, a space for a group") << QLocale::c() << u("1 234.5");
    QTest::newRow("de-DE, a bidi mark") << German << u("\u200E-5");
    QTest::newRow("de-AT, a point in groups of two") << Austrian << u("1.23,5");
    QTest::newRow("de-AT, a point after the decimal comma") << Austrian << u("0,123.456");
    QTest::newRow("es-ES, a group of four") << Spanish << u("1.2345,5");
}

void TestLocales::notNumbers() {
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QLocale::setDefault(locale);
    QVERIFY(!NumberText::isNumeric(text));
    QCOMPARE(NumberText::formatText(text), text);
    QVERIFY_THROWS_EXCEPTION(KalvonError, NumberText::toDouble(text));
    QVERIFY_THROWS_EXCEPTION(KalvonError, NumberText::toCurrency(text));
}

void TestLocales::wholeRun_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("shownTarget");
    QTest::addColumn<QString>("hitSum");
    // 1234.5 + (−100) is the target 1134.5; 0.25 takes part in no hit.
    QTest::newRow("de-DE") << German << strings({"1.234,5", "0,25", "-100"})
                           << strings({"1.234,50", "0,25", "-100,00"}) << u("1.134,75") << u("1134,5")
                           << u("1.134,50") << u("1134,5");
    QTest::newRow("de-CH") << Swiss << strings({"1'234.5", "0.25", "-100"})
                           << strings({"1’234.50", "0.25", "-100.00"}) << u("1’134.75") << u("1134.5")
                           << u("1’134.50") << u("1134.5");
    QTest::newRow("en-US") << English << strings({"1,234.5", ".25", "-100"})
                           << strings({"1,234.50", "0.25", "-100.00"}) << u("1,134.75") << u("1,134.5")
                           << u("1,134.50") << u("1134.5");
    QTest::newRow("fr-FR") << French << strings({"1 234,5", "0,25", "-100"})
                           << strings({"1\u202F234,50", "0,25", "-100,00"}) << u("1\u202F134,75")
                           << u("1 134,5") << u("1\u202F134,50") << u("1134,5");
    QTest::newRow("es-ES") << Spanish << strings({"1.234,5", "0,25", "-100"})
                           << strings({"1.234,50", "0,25", "-100,00"}) << u("1.134,75") << u("1134,5")
                           << u("1.134,50") << u("1134,5");
    QTest::newRow("de-AT") << Austrian << strings({"1.234,5", "0,25", "-100"})
                           << strings({"1\u00A0234,50", "0,25", "-100,00"}) << u("1\u00A0134,75")
                           << u("1.134,5") << u("1\u00A0134,50") << u("1134,5");
    QTest::newRow("C") << QLocale::c() << strings({"1234.5", "0.25", "-100"})
                       << strings({"1,234.50", "0.25", "-100.00"}) << u("1,134.75") << u("1134.5")
                       << u("1,134.50") << u("1134.5");
}

void TestLocales::wholeRun() {
    QFETCH(QLocale, locale);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, shown);
    QFETCH(QString, total);
    QFETCH(QString, target);
    QFETCH(QString, shownTarget);
    QFETCH(QString, hitSum);
    QLocale::setDefault(locale);
    const WindowRun run = runInWindow(typed, target);
    QCOMPARE(run.shownValues, shown);
    QCOMPARE(run.total, total);
    QCOMPARE(run.shownTarget, shownTarget);
    QCOMPARE(run.targetCount, qint64(11345000));
    QCOMPARE(run.hitSums, QStringList({hitSum}));
    QCOMPARE(run.titles, strings({"Ergebnis", "Ende"}));
}

QTEST_MAIN(TestLocales)
#include "tst_locales.moc"
