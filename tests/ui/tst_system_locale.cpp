// SPDX-License-Identifier: GPL-3.0-or-later
// The program as started from a desktop session: no locale is set by the program, so numbers
// follow the user's regional settings as Qt takes them from the environment (LANG). Run with
// LANG=fr_FR.UTF-8 or LANG=C; the locale need not be installed in the C library, since Qt
// carries its own locale data.
#include "form_fixture.h"
#include "window_run.h"

#include <QtTest>

class TestSystemLocale : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsAndShowsTheSystemFormat_data();
    void readsAndShowsTheSystemFormat();

private:
    QString m_lang;
};

void TestSystemLocale::initTestCase() {
    m_lang = qEnvironmentVariable("LANG");
    if (m_lang != QLatin1String("fr_FR.UTF-8") && m_lang != QLatin1String("C"))
        QFAIL("run with LANG=fr_FR.UTF-8 or LANG=C");
}

void TestSystemLocale::readsAndShowsTheSystemFormat_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("shownTarget");
    QTest::addColumn<QString>("hitSum");
    // 1234.5 + (−100) is the target 1134.5; 0.25 takes part in no hit.
    if (m_lang == QLatin1String("fr_FR.UTF-8")) {
        QTest::newRow("fr_FR.UTF-8") << "fr_FR" << strings({"1 234,5", "0,25", "-100"})
                                     << strings({"1\u202F234,50", "0,25", "-100,00"})
                                     << QString::fromUtf8("1\u202F134,75") << "1134,5"
                                     << QString::fromUtf8("1\u202F134,50") << "1134,5";
    } else {
        QTest::newRow("C") << "C" << strings({"1234.5", "0.25", "-100"})
                           << strings({"1,234.50", "0.25", "-100.00"}) << "1,134.75"
                           << "1,134.5"
                           << "1,134.50"
                           << "1134.5";
    }
}

void TestSystemLocale::readsAndShowsTheSystemFormat() {
    QFETCH(QString, name);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, shown);
    QFETCH(QString, total);
    QFETCH(QString, target);
    QFETCH(QString, shownTarget);
    QFETCH(QString, hitSum);
    QCOMPARE(QLocale().name(), name);
    QCOMPARE(QLocale::system().name(), name);
    const WindowRun run = runInWindow(typed, target);
    QCOMPARE(run.shownValues, shown);
    QCOMPARE(run.total, total);
    QCOMPARE(run.shownTarget, shownTarget);
    QCOMPARE(run.targetCount, qint64(11345000));
    QCOMPARE(run.hitSums, QStringList({hitSum}));
    QCOMPARE(run.titles, strings({"Ergebnis", "Ende"}));
}

QTEST_MAIN(TestSystemLocale)
#include "tst_system_locale.moc"
