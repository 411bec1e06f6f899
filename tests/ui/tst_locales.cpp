// SPDX-License-Identifier: GPL-3.0-or-later
// A whole run through the window in the regional formats of German (Germany, Switzerland,
// Austria), English (US), French (France), Spanish (Spain) and the C locale: what the fields show,
// the total, the target and the hit. How each region's number text is read and written is tested
// with the number text itself.
#include "form_fixture.h"
#include "window_run.h"

#include <QtTest>

class TestLocales : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void wholeRun_data();
    void wholeRun();
};

namespace {
const QLocale German(QLocale::German, QLocale::Germany);
const QLocale Swiss(QLocale::German, QLocale::Switzerland);
const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale French(QLocale::French, QLocale::France);
const QLocale Spanish(QLocale::Spanish, QLocale::Spain);
const QLocale Austrian(QLocale::German, QLocale::Austria);

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

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
