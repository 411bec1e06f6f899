// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestEntry : public FormTest {
    Q_OBJECT

private slots:
    void valueFieldsAndTotal_data();
    void valueFieldsAndTotal();
    void targetField_data();
    void targetField();
    void toleranceField_data();
    void toleranceField();
    void searchModeShowsToleranceControls();
    void enterWalksTheFields_data();
    void enterWalksTheFields();
    void enterThroughAllValueFields();
    void clearEmptiesValueAndTargetFields();
    void messageBoxIsNoFocusLoss();
};

void TestEntry::valueFieldsAndTotal_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("failure");
    QTest::newRow("worked example") << strings({"1234,5", "abc", "-7"}) << QList<int>{0, 2}
                                    << strings({"1.234,50", "abc", "-7,00"}) << "1.227,50"
                                    << "";
    QTest::newRow("total counts fields not yet left") << strings({"1234,5", "abc", "-7"}) << QList<int>{0}
                                                      << strings({"1.234,50", "abc", "-7"}) << "1.227,50"
                                                      << "";
    QTest::newRow("empty field, all empty") << strings({""}) << QList<int>{5} << strings({""}) << "0,00"
                                            << "";
    QTest::newRow("zero") << strings({"0"}) << QList<int>{0} << strings({"0,00"}) << "0,00"
                          << "";
    QTest::newRow("more decimals than shown")
        << strings({"2,675", "0,125"}) << QList<int>{0, 1} << strings({"2,68", "0,13"}) << "2,81"
        << "";
    QTest::newRow("negative lowers the total")
        << strings({"10", "-2,5"}) << QList<int>{1} << strings({"10", "-2,50"}) << "7,50"
        << "";
    QTest::newRow("value beyond the range")
        << strings({"1", "1e20"}) << QList<int>{0} << strings({"1,00", "1e20"}) << ""
        << "Der Betrag in „2.Wert“ liegt außerhalb des zulässigen Bereichs von ±922.337.203.685.477,58.";
    QTest::newRow("total beyond the range")
        << strings({"900.000.000.000.000", "900.000.000.000.000"}) << QList<int>{1}
        << strings({"900.000.000.000.000", "900.000.000.000.000,00"}) << ""
        << "Die Summe der eingegebenen Zahlen liegt außerhalb des zulässigen Bereichs von "
           "±922.337.203.685.477,58.";
}

void TestEntry::valueFieldsAndTotal() {
    QFETCH(QStringList, typed);
    QFETCH(QList<int>, left);
    QFETCH(QStringList, shown);
    QFETCH(QString, total);
    QFETCH(QString, failure);
    form().Command1->setFocus(Qt::TabFocusReason);
    form().lblSumme->clear();
    f->setValues(typed);
    // Leaving a field through a real focus change runs its handler.
    for (int index : left) {
        form().Text1[index]->setFocus(Qt::TabFocusReason);
        form().Command1->setFocus(Qt::TabFocusReason);
    }
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(form().Text1[i]->text(), shown[i]);
    QCOMPARE(form().lblSumme->text(), total);
    QCOMPARE(f->msgs.prompts(), failure.isEmpty() ? QStringList() : QStringList({failure}));
}

void TestEntry::targetField_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<bool>("failure");
    QTest::newRow("number") << ""
                            << "1500"
                            << "1.500,00" << qint64(15000000) << false;
    QTest::newRow("empty keeps the target") << "100"
                                            << ""
                                            << "" << qint64(1000000) << false;
    QTest::newRow("letters keep the target") << "100"
                                             << "abc"
                                             << "abc" << qint64(1000000) << false;
    QTest::newRow("taken from the shown two decimals") << ""
                                                       << "12,3456"
                                                       << "12,35" << qint64(123500) << false;
    QTest::newRow("beyond the range keeps the target")
        << "100"
        << "1e20"
        << "100.000.000.000.000.000.000,00" << qint64(1000000) << true;
}

void TestEntry::targetField() {
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(qint64, target);
    QFETCH(bool, failure);
    if (!before.isEmpty())
        f->setTarget(before);
    form().txtSumme->setText(typed);
    form().txtSumme->setFocus(Qt::TabFocusReason);
    form().Text1[0]->setFocus(Qt::TabFocusReason);
    QCOMPARE(form().txtSumme->text(), shown);
    QCOMPARE(form().search.curZielwert.count(), target);
    QCOMPARE(f->msgs.count(QStringLiteral("Fehler")), failure ? 1 : 0);
}

void TestEntry::toleranceField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("number") << "5"
                            << "5,00";
    QTest::newRow("letters") << "abc"
                             << "abc";
    QTest::newRow("grouped") << "1000"
                             << "1.000,00";
}

void TestEntry::toleranceField() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    form().txtToleranz->setText(typed);
    form().txtToleranz->setFocus(Qt::TabFocusReason);
    form().Text1[0]->setFocus(Qt::TabFocusReason);
    QCOMPARE(form().txtToleranz->text(), shown);
    QCOMPARE(form().search.curToleranz.count(), qint64(0));
}

void TestEntry::searchModeShowsToleranceControls() {
    const QList<QWidget*> controls = {form().txtToleranz, form().Frame3,     form().Label3,
                                      form().Frame4,      form().Option2[0], form().Option2[1]};
    for (QWidget* w : controls)
        QVERIFY(!w->isVisible());
    QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    for (QWidget* w : controls)
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    form().txtToleranz->setText(QStringLiteral("7,00"));
    form().Option2[0]->setChecked(true);
    QTest::mouseClick(form().Option1[0], Qt::LeftButton);
    for (QWidget* w : controls)
        QVERIFY(!w->isVisible());
    QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    QCOMPARE(form().txtToleranz->text(), QStringLiteral("7,00"));
    QVERIFY(form().Option2[0]->isChecked());
    QCOMPARE(form().search.curZielwert.count(), qint64(0));
}

void TestEntry::enterWalksTheFields_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("total");
    QTest::newRow("Return, number") << int(Qt::Key_Return) << "10"
                                    << "10,00"
                                    << "10,00";
    QTest::newRow("keypad Enter, number") << int(Qt::Key_Enter) << "1234,5"
                                          << "1.234,50"
                                          << "1.234,50";
    QTest::newRow("Return, letters") << int(Qt::Key_Return) << "abc"
                                     << "abc"
                                     << "0,00";
}

void TestEntry::enterWalksTheFields() {
    QFETCH(int, key);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, total);
    QLineEdit* first = form().Text1[0];
    first->setFocus(Qt::OtherFocusReason);
    QSignalSpy returnPressed(first, &QLineEdit::returnPressed);
    QTest::keyClicks(first, typed);
    QTest::keyClick(first, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QTRY_COMPARE(QApplication::focusWidget(), form().Text1[1]);
    QCOMPARE(first->text(), shown);
    QCOMPARE(returnPressed.count(), 0);
    QCOMPARE(form().lblSumme->text(), total);
}

void TestEntry::enterThroughAllValueFields() {
    form().Text1[0]->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < 23; ++i) {
        QCOMPARE(QApplication::focusWidget(), form().Text1[i]);
        QTest::keyClicks(form().Text1[i], QString::number(i + 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QCOMPARE(QApplication::focusWidget(), form().txtSumme);
    QCOMPARE(form().lblSumme->text(), QStringLiteral("276,00"));
    QCOMPARE(form().Text1[22]->text(), QStringLiteral("23,00"));
    QTest::keyClicks(form().txtSumme, QStringLiteral("3"));
    QTest::keyClick(form().txtSumme, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), form().Command1);
    QCOMPARE(form().txtSumme->text(), QStringLiteral("3,00"));
    QCOMPARE(form().search.curZielwert.count(), qint64(30000));
    // Enter on "Berechnen" moves on; it does not start a run.
    QTest::keyClick(form().Command1, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), form().Option1[0]);
    QVERIFY(f->msgs.boxes.isEmpty());
}

void TestEntry::clearEmptiesValueAndTargetFields() {
    f->setValues(strings({"1,00", "abc", "3,00"}));
    f->setTarget(QStringLiteral("4"));
    form().Text1[0]->setFocus(Qt::TabFocusReason);
    form().txtSumme->setFocus(Qt::TabFocusReason);
    QCOMPARE(form().lblSumme->text(), QStringLiteral("4,00"));
    QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    form().txtToleranz->setText(QStringLiteral("5,00"));

    form().cmdClear->click();
    for (QLineEdit* field : form().Text1)
        QVERIFY(field->text().isEmpty());
    QVERIFY(form().txtSumme->text().isEmpty());
    QCOMPARE(form().lblSumme->text(), QStringLiteral("4,00"));
    QCOMPARE(form().search.curZielwert.count(), qint64(40000));
    QCOMPARE(form().txtToleranz->text(), QStringLiteral("5,00"));
    QVERIFY(form().Option1[1]->isChecked());

    form().Command1_Click();
    QCOMPARE(f->msgs.prompts(), QStringList({QStringLiteral("Es muß ein Zielwert angegeben werden")}));
}

void TestEntry::messageBoxIsNoFocusLoss() {
    // A window losing activation is not a field being left.
    form().Text1[3]->setFocus(Qt::OtherFocusReason);
    form().Text1[3]->setText(QStringLiteral("5"));
    form().lblSumme->clear();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(form().Text1[3]->text(), QStringLiteral("5"));
    QVERIFY(form().lblSumme->text().isEmpty());
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
