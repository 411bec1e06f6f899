// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"
#include "search/progress.h"
#include "ui/command_button.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

// Every test runs twice: with the fast engine and with the literal per-combination count.
class TestSearchRun : public FormTest {
    Q_OBJECT

public:
    TestSearchRun()
        : FormTest(Show::Shown) {}

private slots:
    void initTestCase_data();

    void workedExample();
    void progressValues_data();
    void progressValues();
    void exactDecimalSum();
    void toleranceRange_data();
    void toleranceRange();
    void missingTolerance_data();
    void missingTolerance();
    void longRunWarning_data();
    void longRunWarning();
    void stopButtonDuringPump_data();
    void stopButtonDuringPump();
    void answerNoAtHit();
    void searchStateAfterRun();
    void emptyTarget();
    void noValues();
    void targetChangedDuringPump();
    void modeSwitchedDuringPump();
    void minimisedWindowIsRestoredAtHit();
    void overflowInCombinationTest();
    void unguardedConversionsFail_data();
    void unguardedConversionsFail();

private:
    void run() {
        QFETCH_GLOBAL(bool, literal);
        form().setLiteralSearch(literal);
        form().Command1_Click();
    }
};

void TestSearchRun::initTestCase_data() {
    QTest::addColumn<bool>("literal");
    QTest::newRow("engine") << false;
    QTest::newRow("literal") << true;
}

void TestSearchRun::workedExample() {
    f->setValues({QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("5")});
    f->setTarget(QStringLiteral("25"));
    QStringList colours;
    int progressAtHit = -1;
    f->msgs.onBox = [&](const MsgRequest& r) {
        if (r.title != QLatin1String("Ergebnis"))
            return;
        for (int i = 0; i < 3; ++i)
            colours << colourOf(form().Text1[i]);
        colours << colourOf(form().txtSumme);
        progressAtHit = form().ProgressBar1->value();
        QVERIFY(form().Frame1->isVisible());
        QVERIFY(!form().Command1->isEnabled());
        QCOMPARE(form().cursor().shape(), Qt::WaitCursor);
        QCOMPARE(form().cmdStop->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form().Frame1->cursor().shape(), Qt::ArrowCursor);
    };
    run();
    QCOMPARE(f->msgs.prompts(),
             QStringList({QStringLiteral("Die Summe der grün markierten\rFelder ergibt: 25.\rWeitersuchen?"),
                          QStringLiteral("Es wurde keine weitere Kombination gefunden")}));
    QCOMPARE(f->msgs.titles(), QStringList({QStringLiteral("Ergebnis"), QStringLiteral("Ende")}));
    QCOMPARE(f->msgs.boxes[0].buttons, MsgButtons::YesNo);
    QCOMPARE(f->msgs.boxes[1].icon, MsgIcon::None);
    QCOMPARE(colours, strings({"#FFE0C0", "#00FF00", "#00FF00", "#00FF00"}));
    QCOMPARE(progressAtHit, 2); // the value after combination 5
    QCOMPARE(form().ProgressBar1->maximum(), 3);
    QCOMPARE(form().ProgressBar1->value(), 3);
    QCOMPARE(colourOf(form().Text1[1]), QStringLiteral("#FFE0C0"));
    QCOMPARE(colourOf(form().txtSumme), QStringLiteral("#C0FFC0"));
    QCOMPARE(form().lblSumme->text(), QStringLiteral("35,00"));
    f->verifyIdle();
}

void TestSearchRun::progressValues_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("three values") << 3 << QList<int>({0, 0, 1, 1, 2, 2, 3});
    QTest::newRow("one value") << 1 << QList<int>({1});
    QTest::newRow("two values") << 2 << QList<int>({0, 1, 2});
}

void TestSearchRun::progressValues() {
    QFETCH(int, n);
    QFETCH(QList<int>, values);
    const qint32 count = (1 << n) - 1;
    QList<int> actual;
    for (qint32 x = 1; x <= count; ++x)
        actual << progressValueAfter(x, count, n);
    QCOMPARE(actual, values);
    // For every n the double formula equals the whole-number quotient and ends at n.
    for (int m = 1; m <= 23; ++m) {
        const qint32 c = (1 << m) - 1;
        for (qint32 x : {1, c / 3, c / 2, c - 1, c})
            QCOMPARE(progressValueAfter(x, c, m), int(qint64(x) * m / c));
    }
}

void TestSearchRun::exactDecimalSum() {
    f->setValues({QStringLiteral("0,1"), QStringLiteral("0,2")});
    f->setTarget(QStringLiteral("0,3"));
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("0,3")}));
}

void TestSearchRun::toleranceRange_data() {
    QTest::addColumn<bool>("amount");
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QList<qint64>>("counts"); // the tolerance, the lower and the upper bound
    QTest::addColumn<QStringList>("hits");
    QTest::newRow("amount, bounds inclusive")
        << true << "5"
        << "100" << strings({"95", "105", "94", "106"}) << QList<qint64>{50000, 950000, 1050000}
        << strings({"95", "105"});
    QTest::newRow("percent of 250") << false << "10"
                                    << "250" << strings({"225", "275", "224"})
                                    << QList<qint64>{250000, 2250000, 2750000} << strings({"225", "275"});
    QTest::newRow("percent of a half")
        << false << "1"
        << "0,5" << strings({"0,5"}) << QList<qint64>{50, 4950, 5050} << strings({"0,5"});
    QTest::newRow("zero tolerance") << true << "0"
                                    << "100" << strings({"100", "99,99"})
                                    << QList<qint64>{0, 1000000, 1000000} << strings({"100"});
    QTest::newRow("negative amount, no hit")
        << true << "-5"
        << "100" << strings({"100"}) << QList<qint64>{-50000, 1050000, 950000} << QStringList();
    QTest::newRow("percent of a negative target, no hit")
        << false << "10"
        << "-100" << strings({"-100"}) << QList<qint64>{-100000, -900000, -1100000} << QStringList();
    QTest::newRow("negative percent of a negative target")
        << false << "-10"
        << "-100" << strings({"-95"}) << QList<qint64>{100000, -1100000, -900000} << strings({"-95"});
    QTest::newRow("display-formatted tolerance")
        << true << "1.000,00"
        << "5.000,00" << strings({"4000", "3999"}) << QList<qint64>{10000000, 40000000, 60000000}
        << strings({"4000"});
}

void TestSearchRun::toleranceRange() {
    QFETCH(bool, amount);
    QFETCH(QString, tolerance);
    QFETCH(QString, target);
    QFETCH(QStringList, values);
    QFETCH(QList<qint64>, counts);
    QFETCH(QStringList, hits);
    f->setValues(values);
    f->setTarget(target);
    f->chooseTolerance(amount, tolerance);
    run();
    const SearchState& s = form().search;
    QCOMPARE(QList<qint64>({s.curToleranz.count(), s.curUntergrenze.count(), s.curObergrenze.count()}),
             counts);
    QCOMPARE(f->hitSums(), hits);
    QCOMPARE(f->msgs.titles().last(), QStringLiteral("Ende"));
}

void TestSearchRun::missingTolerance_data() {
    QTest::addColumn<QString>("tolerance");
    QTest::newRow("empty") << "";
    QTest::newRow("letters") << "abc";
}

void TestSearchRun::missingTolerance() {
    QFETCH(QString, tolerance);
    f->setValues({QStringLiteral("100")});
    f->setTarget(QStringLiteral("100"));
    f->chooseTolerance(true, tolerance);
    form().search.curToleranz = Currency::fromCount(77);
    run();
    QCOMPARE(f->msgs.prompts(), QStringList({QStringLiteral("Es muß ein Toleranzbereich angegeben werden"),
                                             QStringLiteral("Es wurde keine weitere Kombination gefunden")}));
    QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Projekt1"));
    QCOMPARE(form().search.curToleranz.count(), qint64(0));
    QCOMPARE(form().cmdStop->tag(), QStringLiteral("True"));
    QCOMPARE(form().txtToleranz->text(), tolerance);
    f->verifyIdle();
}

void TestSearchRun::longRunWarning_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<int>("hits");
    QTest::newRow("16 values, no warning") << 16 << MsgAnswer::Yes << false << 16;
    QTest::newRow("17 values, answered Yes") << 17 << MsgAnswer::Yes << true << 17;
    QTest::newRow("17 values, answered No") << 17 << MsgAnswer::No << true << 0;
}

void TestSearchRun::longRunWarning() {
    QFETCH(int, n);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, warned);
    QFETCH(int, hits);
    // Every single value hits the target 1; no combination of two or more does.
    QStringList values;
    for (int i = 0; i < n; ++i)
        values << QStringLiteral("1");
    values[0] = QStringLiteral("1000000");
    values << QString(); // keeps field n empty
    f->setValues(values);
    f->setTarget(QStringLiteral("1"));
    form().Text1[0]->setText(QStringLiteral("1"));
    form().Text1[1]->setText(QStringLiteral("1000"));
    f->msgs.answers = {answer};
    run();
    QCOMPARE(f->msgs.count(QStringLiteral("Achtung")), warned ? 1 : 0);
    if (warned) {
        QCOMPARE(f->msgs.boxes[0].prompt,
                 QStringLiteral("Achtung, die Berechnung kann mehrere Minuten dauern!\r"
                                "Berechnung durchführen?"));
        QCOMPARE(f->msgs.boxes[0].icon, MsgIcon::Warning);
        QCOMPARE(f->msgs.boxes[0].buttons, MsgButtons::YesNo);
    }
    QCOMPARE(f->msgs.count(QStringLiteral("Ergebnis")), hits == 0 ? 0 : hits - 1);
    QCOMPARE(f->msgs.titles().last(), QStringLiteral("Ende"));
    QCOMPARE(int(form().search.bytAnzahl), n);
}

void TestSearchRun::stopButtonDuringPump_data() {
    QTest::addColumn<int>("stopAtPump");
    QTest::addColumn<QStringList>("hits");
    QTest::addColumn<int>("bar"); // the progress bar afterwards
    QTest::newRow("no stop") << 0 << strings({"401"}) << 9;
    QTest::newRow("stop after 400") << 2 << QStringList() << 7;
    QTest::newRow("stop after 200") << 1 << QStringList() << 3;
}

void TestSearchRun::stopButtonDuringPump() {
    QFETCH(int, stopAtPump);
    QFETCH(QStringList, hits);
    QFETCH(int, bar);
    f->setValues(powersOfTwo(9)); // combination X sums to X
    f->setTarget(QStringLiteral("401"));
    int pumps = 0;
    EventPump::setPumpHook([&] {
        if (++pumps == stopAtPump)
            QTest::mouseClick(form().cmdStop, Qt::LeftButton);
    });
    run();
    QCOMPARE(f->hitSums(), hits);
    QCOMPARE(f->msgs.titles().last(), QStringLiteral("Ende"));
    QCOMPARE(form().ProgressBar1->value(), bar);
    if (stopAtPump) {
        QCOMPARE(pumps, stopAtPump);
        QCOMPARE(form().cmdStop->tag(), QStringLiteral("True"));
    } else {
        QCOMPARE(pumps, 2);
        QCOMPARE(form().cmdStop->tag(), QStringLiteral("False"));
    }
    f->verifyIdle();
}

void TestSearchRun::answerNoAtHit() {
    f->setValues({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")});
    f->setTarget(QStringLiteral("1"));
    f->msgs.answers = {MsgAnswer::No};
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("1")}));
    QCOMPARE(f->msgs.titles().last(), QStringLiteral("Ende"));
    QCOMPARE(form().cmdStop->tag(), QStringLiteral("True"));
    QCOMPARE(form().ProgressBar1->value(), 0); // after combination 1 of 7
    for (QLineEdit* field : form().Text1)
        QCOMPARE(colourOf(field), QStringLiteral("#FFE0C0"));

    // The next run clears the stop request before it counts.
    f->msgs.answers = {MsgAnswer::Yes, MsgAnswer::Yes, MsgAnswer::Yes};
    run();
    QCOMPARE(f->hitSums().size(), 4);
    QCOMPARE(form().cmdStop->tag(), QStringLiteral("False"));
}

void TestSearchRun::searchStateAfterRun() {
    f->setValues({QStringLiteral("0,00"), QStringLiteral("12,50"), QStringLiteral("abc"), QString(),
                  QStringLiteral("-2,5"), QString(), QString(), QString(), QStringLiteral("1.000,00")});
    f->setTarget(QStringLiteral("10"));
    QList<int> fieldNumbers;
    QList<double> values;
    f->msgs.onBox = [&](const MsgRequest& r) {
        if (r.title != QLatin1String("Ergebnis"))
            return;
        for (int i = 0; i < form().search.bytAnzahl; ++i) {
            fieldNumbers << form().search.bytFeldNr[i];
            values << form().search.dblWerte[i];
        }
        QCOMPARE(form().search.bytBits[0], quint8(1));
        QCOMPARE(form().search.bytBits[1], quint8(1));
        QCOMPARE(form().search.bytBits[2], quint8(0));
    };
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("10")}));
    QCOMPARE(fieldNumbers, QList<int>({1, 4, 8}));
    QCOMPARE(values, QList<double>({12.5, -2.5, 1000.0}));
    QCOMPARE(int(form().search.bytAnzahl), 3);
    QCOMPARE(form().lblSumme->text(), QStringLiteral("1.010,00"));
    QCOMPARE(form().Text1[2]->text(), QStringLiteral("abc"));
    f->verifyIdle();
}

void TestSearchRun::emptyTarget() {
    f->setValues({QStringLiteral("10")});
    form().lblSumme->setText(QStringLiteral("untouched"));
    run();
    QCOMPARE(f->msgs.prompts(), QStringList({QStringLiteral("Es muß ein Zielwert angegeben werden")}));
    QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Projekt1"));
    QCOMPARE(form().lblSumme->text(), QStringLiteral("untouched"));
    QVERIFY(form().Command1->isEnabled());
    QCOMPARE(form().cursor().shape(), Qt::ArrowCursor);
}

void TestSearchRun::noValues() {
    f->setValues({QStringLiteral("0"), QStringLiteral("abc")});
    f->setTarget(QStringLiteral("   "));
    bool frameShown = false;
    f->msgs.onBox = [&](const MsgRequest&) {
        frameShown = form().Frame1->isVisible();
    };
    run();
    QCOMPARE(f->msgs.titles(), QStringList({QStringLiteral("Ende")}));
    QVERIFY(frameShown);
    QCOMPARE(form().ProgressBar1->maximum(), 0);
    QCOMPARE(int(form().search.bytAnzahl), 0);
    QCOMPARE(form().lblSumme->text(), QStringLiteral("0,00"));
    f->verifyIdle();
}

void TestSearchRun::targetChangedDuringPump() {
    f->setValues(powersOfTwo(9));
    f->setTarget(QStringLiteral("100"));
    int pumps = 0;
    EventPump::setPumpHook([&] {
        if (++pumps == 1)
            f->setTarget(QStringLiteral("300"));
    });
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("100"), QStringLiteral("300")}));
    QCOMPARE(form().txtSumme->text(), QStringLiteral("300,00"));
}

void TestSearchRun::modeSwitchedDuringPump() {
    f->setValues(powersOfTwo(9));
    f->setTarget(QStringLiteral("100"));
    form().search.curUntergrenze = Currency::fromCount(3000000); // 300
    form().search.curObergrenze = Currency::fromCount(3010000);  // 301
    int pumps = 0;
    EventPump::setPumpHook([&] {
        ++pumps;
        if (pumps == 1)
            QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    });
    run();
    QCOMPARE(f->hitSums(),
             QStringList({QStringLiteral("100"), QStringLiteral("300"), QStringLiteral("301")}));
    QVERIFY(form().txtToleranz->isVisible());
}

void TestSearchRun::minimisedWindowIsRestoredAtHit() {
    f->setValues({QStringLiteral("5")});
    f->setTarget(QStringLiteral("5"));
    form().showMinimized();
    bool minimisedAtHit = true;
    f->msgs.onBox = [&](const MsgRequest& r) {
        if (r.title == QLatin1String("Ergebnis"))
            minimisedAtHit = form().windowState() & Qt::WindowMinimized;
    };
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("5")}));
    QVERIFY(!minimisedAtHit);
}

void TestSearchRun::overflowInCombinationTest() {
    // Index order: −9e14, 9e14, 9e14. The total is fine; combination 6 (9e14 + 9e14) overflows.
    const QStringList values = {QStringLiteral("-900.000.000.000.000"), QStringLiteral("900.000.000.000.000"),
                                QStringLiteral("900.000.000.000.000")};
    f->setValues(values);
    f->setTarget(QStringLiteral("0"));
    run();
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("0"), QStringLiteral("0")}));
    QCOMPARE(f->msgs.titles(),
             QStringList({QStringLiteral("Ergebnis"), QStringLiteral("Ergebnis"), QStringLiteral("Fehler")}));
    QCOMPARE(
        f->msgs.boxes.last().prompt,
        QStringLiteral("Die Summe der Werte aus „2.Wert“, „3.Wert“ liegt außerhalb des zulässigen Bereichs "
                       "von ±922.337.203.685.477,58."));
    QCOMPARE(f->msgs.boxes.last().icon, MsgIcon::Critical);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(form().Text1[i]->text(), values[i]);
    f->verifyIdle();
}

void TestSearchRun::unguardedConversionsFail_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("unit"); // 0 exact search, 1 amount, 2 percent
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters as target, amount")
        << strings({"1"}) << "abc" << 1 << "5"
        << "Der Zielwert in „Zielwert (Summe)“ ist keine gültige Zahl: „abc“.";
    QTest::newRow("letters as target, percent")
        << strings({"1"}) << "abc" << 2 << "5"
        << "Der Zielwert in „Zielwert (Summe)“ ist keine gültige Zahl: „abc“.";
    QTest::newRow("blanks as target, amount")
        << strings({"1"}) << "  " << 1 << "5"
        << "Der Zielwert in „Zielwert (Summe)“ ist keine gültige Zahl: „  “.";
    QTest::newRow("tolerance amount out of range")
        << strings({"1"}) << "100" << 1 << "1e300"
        << "Der Toleranzbetrag liegt außerhalb des zulässigen Bereichs von ±922.337.203.685.477,58.";
    QTest::newRow("percentage product out of range")
        << strings({"1"}) << "1e15" << 2 << "100"
        << "Die prozentuale Toleranz (100,00 % des Zielwerts) liegt außerhalb des zulässigen Bereichs von "
           "±922.337.203.685.477,58.";
    QTest::newRow("upper bound out of range")
        << strings({"1"}) << "900.000.000.000.000" << 1 << "100.000.000.000.000"
        << "Die Obergrenze des Toleranzbereichs liegt außerhalb des zulässigen Bereichs von "
           "±922.337.203.685.477,58.";
    QTest::newRow("value field out of range")
        << strings({"1", "", "", "", "1e300"}) << "1" << 0 << ""
        << "Der Betrag in „5.Wert“ liegt außerhalb des zulässigen Bereichs von ±922.337.203.685.477,58.";
    QTest::newRow("running total out of range")
        << strings({"900.000.000.000.000", "900.000.000.000.000"}) << "1" << 0 << ""
        << "Die Summe der eingegebenen Zahlen liegt außerhalb des zulässigen Bereichs von "
           "±922.337.203.685.477,58.";
}

void TestSearchRun::unguardedConversionsFail() {
    QFETCH(QStringList, values);
    QFETCH(QString, target);
    QFETCH(int, unit);
    QFETCH(QString, tolerance);
    QFETCH(QString, message);
    f->setValues(values);
    form().txtSumme->setText(target);
    if (unit > 0)
        f->chooseTolerance(unit == 1, tolerance);
    run();
    QCOMPARE(f->msgs.prompts(), QStringList({message}));
    QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Fehler"));
    QCOMPARE(form().txtSumme->text(), target);
    QCOMPARE(form().txtToleranz->text(), tolerance);
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(form().Text1[i]->text(), values[i]);
    f->verifyIdle();
}

QTEST_MAIN(TestSearchRun)
#include "tst_search_run.moc"
