// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input through the real window: texts that are not numbers in every field, numbers beyond
// the Currency range when a field is left, and closing the window while a run's box is open.
// Nothing may crash or hang, every failure is told in German naming its field, the fields keep
// what the user typed, and the window ends idle.
#include "form_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {
const QString Range = QStringLiteral("liegt außerhalb des zulässigen Bereichs von ±922.337.203.685.477,58.");
const QString Target = QStringLiteral("Der Zielwert in „Zielwert (Summe)“");
const QString NoTolerance = QStringLiteral("Es muß ein Toleranzbereich angegeben werden");
const QString End = QStringLiteral("Es wurde keine weitere Kombination gefunden");

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

class TestBadInput : public FormTest {
    Q_OBJECT

private slots:
    void notNumbersInEveryField_data();
    void notNumbersInEveryField();
    void focusLossBeyondTheRange_data();
    void focusLossBeyondTheRange();
    void boundLeavesTheRange_data();
    void boundLeavesTheRange();
    void overflowInTheCombinationTest_data();
    void overflowInTheCombinationTest();
    void closingWhileABoxIsOpen_data();
    void closingWhileABoxIsOpen();

private:
    QStringList allTexts() {
        QStringList texts;
        for (QLineEdit* field : form().Text1)
            texts << field->text();
        return texts << form().txtSumme->text() << form().txtToleranz->text();
    }
    // Gives the field the focus, puts the text in as a paste would, and leaves the field.
    void enterAndLeave(QLineEdit* field, const QString& text) {
        field->setFocus(Qt::TabFocusReason);
        field->setText(text);
        form().Command1->setFocus(Qt::TabFocusReason);
    }
};

void TestBadInput::notNumbersInEveryField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted"); // as the message quotes it; empty: out of range

    struct Bad {
        const char* name;
        QString text;
        QString quoted;
    };
    const QList<Bad> texts = {
        {"letters", u("abc"), u("abc")},
        {"blanks", u("   "), u("   ")},
        {"inf", u("inf"), u("inf")},
        {"nan", u("nan"), u("nan")},
        {"beyond double", u("1e400"), QString()},
        {"double minus", u("--5"), u("--5")},
        {"lone decimal separator", u(","), u(",")},
        {"lone group separator", u("."), u(".")},
        {"100,000 digits", QString(100000, QLatin1Char('9')), QString()},
        {"100,000 digits and a letter", QString(99999, QLatin1Char('9')) + u("x"),
         QString(40, QLatin1Char('9')) + u("…")},
        {"bell", u("5\a"), u("5\uFFFD")},
        {"NUL", QChar(0) + u("5"), u("\uFFFD5")},
        {"escape", u("\x1B[2J5"), u("\uFFFD[2J5")},
        {"line break", u("1\n2"), u("1\uFFFD2")},
        {"right-to-left mark", u("\u200F123"), u("\uFFFD123")},
        {"left-to-right mark inside", u("12\u200E3"), u("12\uFFFD3")},
        {"right-to-left override", u("\u202E5,1"), u("\uFFFD5,1")},
        {"Arabic-Indic digits", u("١٢٣"), u("١٢٣")},
        {"Devanagari digits", u("१२३"), u("१२३")},
        {"fullwidth digits", u("１２３"), u("１２３")},
        {"mathematical digits", u("𝟏𝟐𝟑"), u("𝟏𝟐𝟑")},
    };
    const QStringList fields =
        strings({"value field", "target, exact search", "target, amount tolerance",
                 "target, percent tolerance", "tolerance amount", "tolerance percent"});
    for (const QString& field : fields) {
        for (const Bad& bad : texts)
            QTest::addRow("%s: %s", qPrintable(field), bad.name) << field << bad.text << bad.quoted;
    }
}

void TestBadInput::notNumbersInEveryField() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    const bool valueField = field == QLatin1String("value field");
    const bool targetField = field.startsWith(QLatin1String("target"));
    const bool tolerance = field.contains(QLatin1String("tolerance"));
    f->setValues(strings({"10", "20", "5"}));
    f->setTarget(QStringLiteral("25"));
    if (tolerance)
        f->chooseTolerance(field.contains(QLatin1String("amount")), QStringLiteral("0"));
    form().Command1->setFocus(Qt::TabFocusReason);
    form().lblSumme->clear();

    QLineEdit* bad = valueField ? form().Text1[3] : targetField ? form().txtSumme : form().txtToleranz;
    enterAndLeave(bad, text);
    // Leaving a field with text that is not a number keeps the text and tells nothing.
    QCOMPARE(bad->text(), text);
    QVERIFY(f->msgs.boxes.isEmpty());
    QCOMPARE(form().search.curZielwert.count(), qint64(250000));
    QCOMPARE(form().lblSumme->text(), valueField ? QStringLiteral("35,00") : QString());
    const QStringList before = allTexts();
    const QString totalBefore = form().lblSumme->text();

    QTest::mouseClick(form().Command1, Qt::LeftButton);
    if (valueField || field == QLatin1String("target, exact search")) {
        // The field counts nothing; the exact search compares with the last target taken over.
        QCOMPARE(f->msgs.titles(), strings({"Ergebnis", "Ende"}));
        QCOMPARE(f->hitSums(), strings({"25"}));
    } else if (targetField) {
        const QString message = quoted.isEmpty()
                                    ? Target + QLatin1Char(' ') + Range
                                    : Target + QStringLiteral(" ist keine gültige Zahl: „%1“.").arg(quoted);
        QCOMPARE(f->msgs.prompts(), QStringList({message}));
        QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Fehler"));
        QCOMPARE(f->msgs.boxes[0].icon, MsgIcon::Critical);
        QCOMPARE(form().lblSumme->text(), totalBefore); // the run failed before it showed the total
    } else {
        QCOMPARE(f->msgs.prompts(), QStringList({NoTolerance, End}));
    }
    if (!targetField || !tolerance)
        QCOMPARE(form().lblSumme->text(), QStringLiteral("35,00"));
    QCOMPARE(allTexts(), before);
    f->verifyIdle();
}

void TestBadInput::focusLossBeyondTheRange_data() {
    QTest::addColumn<QStringList>("values"); // put into the value fields beforehand
    QTest::addColumn<int>("field");          // 0 … 22 a value field, −1 the target, −2 the tolerance
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<QString>("total");   // lblSumme afterwards
    QTest::addColumn<qint64>("target");   // curZielwert afterwards

    const qint64 before = 250000; // 25
    QTest::newRow("target 1e20") << QStringList() << -1 << u("1e20") << u("100.000.000.000.000.000.000,00")
                                 << Target + u(" ") + Range << u("untouched") << before;
    QTest::newRow("target -1e15") << QStringList() << -1 << u("-1e15") << u("-1.000.000.000.000.000,00")
                                  << Target + u(" ") + Range << u("untouched") << before;
    QTest::newRow("target one above the range")
        << QStringList() << -1 << u("922.337.203.685.478") << u("922.337.203.685.478,00")
        << Target + u(" ") + Range << u("untouched") << before;
    QTest::newRow("target, the largest amount shown with two decimals beyond it")
        << QStringList() << -1 << u("922337203685477,5807") << u("922.337.203.685.477,60")
        << Target + u(" ") + Range << u("untouched") << before;
    QTest::newRow("target within the range")
        << QStringList() << -1 << u("-900000000000000") << u("-900.000.000.000.000,00") << u("")
        << u("untouched") << qint64(-9000000000000000000);
    QTest::newRow("value 1e15 in 1.Wert") << QStringList() << 0 << u("1e15") << u("1.000.000.000.000.000,00")
                                          << u("Der Betrag in „1.Wert“ ") + Range << u("") << before;
    QTest::newRow("value -1e16 in 23.Wert")
        << QStringList() << 22 << u("-1e16") << u("-10.000.000.000.000.000,00")
        << u("Der Betrag in „23.Wert“ ") + Range << u("") << before;
    QTest::newRow("a value beyond the range in another field")
        << strings({"", "", "", "", "1e300"}) << 0 << u("5") << u("5,00")
        << u("Der Betrag in „5.Wert“ ") + Range << u("") << before;
    QTest::newRow("negative total") << strings({"-900.000.000.000.000"}) << 1 << u("-900000000000000")
                                    << u("-900.000.000.000.000,00")
                                    << u("Die Summe der eingegebenen Zahlen ") + Range << u("") << before;
    QTest::newRow("tolerance 1e20, not converted when left")
        << QStringList() << -2 << u("1e20") << u("100.000.000.000.000.000.000,00") << u("") << u("untouched")
        << before;
}

void TestBadInput::focusLossBeyondTheRange() {
    QFETCH(QStringList, values);
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(QString, total);
    QFETCH(qint64, target);
    form().Command1->setFocus(Qt::TabFocusReason);
    f->setValues(values);
    f->setTarget(QStringLiteral("25"));
    f->chooseTolerance(true, QString());
    form().lblSumme->setText(QStringLiteral("untouched"));
    QLineEdit* left = field >= 0 ? form().Text1[field] : field == -1 ? form().txtSumme : form().txtToleranz;
    QStringList expected = allTexts();
    expected[field >= 0 ? field : field == -1 ? 23 : 24] = shown;

    enterAndLeave(left, typed);
    QCOMPARE(allTexts(), expected);
    QCOMPARE(f->msgs.prompts(), message.isEmpty() ? QStringList() : QStringList({message}));
    if (!message.isEmpty()) {
        QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Fehler"));
        QCOMPARE(f->msgs.boxes[0].icon, MsgIcon::Critical);
    }
    QCOMPARE(form().lblSumme->text(), total);
    QCOMPARE(form().search.curZielwert.count(), target);
    f->verifyIdle();
}

void TestBadInput::boundLeavesTheRange_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("amount");
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("message");
    QTest::newRow("upper bound") << u("900.000.000.000.000") << true << u("100.000.000.000.000")
                                 << u("Die Obergrenze des Toleranzbereichs ") + Range;
    QTest::newRow("lower bound") << u("-900.000.000.000.000") << true << u("100.000.000.000.000")
                                 << u("Die Untergrenze des Toleranzbereichs ") + Range;
    QTest::newRow("lower bound, negative tolerance")
        << u("900.000.000.000.000") << true << u("-100.000.000.000.000")
        << u("Die Untergrenze des Toleranzbereichs ") + Range;
    QTest::newRow("percentage of a huge target")
        << u("-900.000.000.000.000") << false << u("-200")
        << u("Die prozentuale Toleranz (-200,00 % des Zielwerts) ") + Range;
}

void TestBadInput::boundLeavesTheRange() {
    QFETCH(QString, target);
    QFETCH(bool, amount);
    QFETCH(QString, tolerance);
    QFETCH(QString, message);
    form().Command1->setFocus(Qt::TabFocusReason);
    f->setValues(strings({"1"}));
    f->setTarget(target);
    f->chooseTolerance(amount, tolerance);
    const QStringList before = allTexts();
    QTest::mouseClick(form().Command1, Qt::LeftButton);
    QCOMPARE(f->msgs.prompts(), QStringList({message}));
    QCOMPARE(f->msgs.boxes[0].title, QStringLiteral("Fehler"));
    QCOMPARE(allTexts(), before);
    f->verifyIdle();
}

void TestBadInput::overflowInTheCombinationTest_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>(
        "hits"); // the sums of the hits before the failure, as their boxes show them
    QTest::addColumn<QString>("message");
    const QString huge = u("900.000.000.000.000");
    const QString negative = u("-900.000.000.000.000");
    // The running total stays in range in field order. Combinations 1 and 4 are hits;
    // combination 5 adds the two negative values.
    QTest::newRow("two huge negative values") << QStringList({negative, huge, negative}) << negative
                                              << strings({"-900000000000000", "-900000000000000"})
                                              << u("Die Summe der Werte aus „1.Wert“, „3.Wert“ ") + Range;
    // Combination 3 (9e14 − 9e14) is a hit; combination 5 adds the first and the third value.
    QTest::newRow("huge values of opposite sign")
        << QStringList({huge, negative, huge}) << u("0") << strings({"0"})
        << u("Die Summe der Werte aus „1.Wert“, „3.Wert“ ") + Range;
    // Within the range as text, but as a Double it rounds to …477,625, beyond it.
    QTest::newRow("a value at the edge of the range") << strings({"922.337.203.685.477,58"}) << u("1")
                                                      << QStringList() << u("Der Wert aus „1.Wert“ ") + Range;
}

void TestBadInput::overflowInTheCombinationTest() {
    QFETCH(QStringList, values);
    QFETCH(QString, target);
    QFETCH(QStringList, hits);
    QFETCH(QString, message);
    form().Command1->setFocus(Qt::TabFocusReason);
    f->setValues(values);
    f->setTarget(target);
    const QStringList before = allTexts();
    QTest::mouseClick(form().Command1, Qt::LeftButton);
    QCOMPARE(f->hitSums(), hits);
    QCOMPARE(f->msgs.prompts().last(), message);
    QCOMPARE(f->msgs.titles().last(), QStringLiteral("Fehler"));
    QCOMPARE(f->msgs.boxes.size(), hits.size() + 1);
    QCOMPARE(allTexts(), before);
    f->verifyIdle();
}

void TestBadInput::closingWhileABoxIsOpen_data() {
    QTest::addColumn<bool>("literal");
    QTest::addColumn<QString>("box"); // the title of the box open when the window is closed
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("tolerance");
    QStringList powers;
    for (int i = 0; i < 17; ++i)
        powers << QString::number(1 << i);
    for (bool literal : {false, true}) {
        const char* count = literal ? "literal count" : "engine";
        // 17 values: the warning comes first; the first combination would be a hit.
        QTest::addRow("%s, long-run warning", count) << literal << "Achtung" << powers << "1" << false;
        QTest::addRow("%s, hit", count)
            << literal << "Ergebnis" << strings({"10", "20", "5"}) << "25" << false;
        QTest::addRow("%s, Info from the event pump", count)
            << literal << "Info" << powers.mid(0, 9) << "0,5" << false;
        QTest::addRow("%s, end message", count) << literal << "Ende" << strings({"5"}) << "7" << false;
        QTest::addRow("%s, failure", count) << literal << "Fehler" << strings({"1e300"}) << "7" << false;
        QTest::addRow("%s, missing tolerance", count)
            << literal << "Projekt1" << strings({"5"}) << "5" << true;
        QTest::addRow("%s, missing target", count) << literal << "Projekt1" << strings({"5"}) << "" << false;
    }
}

void TestBadInput::closingWhileABoxIsOpen() {
    QFETCH(bool, literal);
    QFETCH(QString, box);
    QFETCH(QStringList, values);
    QFETCH(QString, target);
    QFETCH(bool, tolerance);
    f->setValues(values);
    if (target.isEmpty())
        form().txtSumme->clear();
    else
        f->setTarget(target);
    if (tolerance)
        f->chooseTolerance(true, QString());
    int pumps = 0;
    int pumpsAfterClose = 0;
    bool closed = false;
    EventPump::setPumpHook([&] {
        if (closed)
            ++pumpsAfterClose;
        if (++pumps == 1 && box == QLatin1String("Info"))
            form().mnuInfo->trigger();
    });
    f->msgs.onBox = [&](const MsgRequest& r) {
        if (!closed && r.title == box) {
            closed = true;
            form().close();
        }
    };
    form().setLiteralSearch(literal);
    form().Command1_Click();
    QVERIFY(closed);
    QCOMPARE(f->msgs.titles(), QStringList({box}));
    QCOMPARE(pumpsAfterClose, 0);
    QVERIFY(!form().isRunning());
    QVERIFY(!form().isVisible());
}

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
