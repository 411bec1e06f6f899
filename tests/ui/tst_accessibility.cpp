// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"
#include "ui/accessibility.h"

#include <QAccessible>
#include <QLabel>
#include <QtTest>

// What assistive technology learns about the window's controls.
class TestAccessibility : public FormTest {
    Q_OBJECT

public:
    TestAccessibility()
        : FormTest(Show::Shown) {}

private slots:
    void names_data();
    void names();
    void fieldsLabelledByCaptions();
    void runningTotalValue();
    void cachedTotalInterfaceReplaced();
};

void TestAccessibility::names_data() {
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");

    for (int i = 0; i < 23; ++i) {
        QTest::addRow("value field %d", i + 1)
            << QStringLiteral("Text1_%1").arg(i) << QStringLiteral("%1.Wert").arg(i + 1)
            << int(QAccessible::EditableText);
    }
    QTest::newRow("target field") << QStringLiteral("txtSumme") << QStringLiteral("Zielwert (Summe)")
                                  << int(QAccessible::EditableText);
    QTest::newRow("tolerance field") << QStringLiteral("txtToleranz") << QStringLiteral("Toleranzbereich")
                                     << int(QAccessible::EditableText);
    QTest::newRow("running total") << QStringLiteral("lblSumme")
                                   << QStringLiteral("Summe der eingegebenen Zahlen")
                                   << int(QAccessible::StaticText);
    QTest::newRow("Berechnen") << QStringLiteral("Command1") << QStringLiteral("Berechnen")
                               << int(QAccessible::Button);
    QTest::newRow("Clear") << QStringLiteral("cmdClear") << QStringLiteral("Clear")
                           << int(QAccessible::Button);
    QTest::newRow("Stop") << QStringLiteral("cmdStop") << QStringLiteral("Stop") << int(QAccessible::Button);
    QTest::newRow("genaue Suche") << QStringLiteral("Option1_0") << QStringLiteral("genaue Suche")
                                  << int(QAccessible::RadioButton);
    QTest::newRow("Toleranzsuche") << QStringLiteral("Option1_1") << QStringLiteral("Toleranzsuche")
                                   << int(QAccessible::RadioButton);
    QTest::newRow("Betrag") << QStringLiteral("Option2_1") << QStringLiteral("Betrag")
                            << int(QAccessible::RadioButton);
    QTest::newRow("Prozent") << QStringLiteral("Option2_0") << QStringLiteral("Prozent")
                             << int(QAccessible::RadioButton);
    QTest::newRow("progress bar") << QStringLiteral("ProgressBar1")
                                  << QStringLiteral("Fortschritt der Berechnung")
                                  << int(QAccessible::ProgressBar);
}

void TestAccessibility::names() {
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    QFETCH(int, role);

    auto* widget = form().findChild<QWidget*>(objectName);
    QVERIFY(widget);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(int(iface->role()), role);
}

void TestAccessibility::fieldsLabelledByCaptions() {
    QList<QPair<QLineEdit*, QLabel*>> pairs;
    for (int i = 0; i < 23; ++i)
        pairs.append({form().Text1[i], form().Label1[i]});
    pairs.append({form().txtSumme, form().Label2});
    pairs.append({form().txtToleranz, form().Label3});
    for (const auto& [field, caption] : pairs) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(field);
        QList<QObject*> labels;
        for (const auto& relation : iface->relations(QAccessible::Label))
            labels << relation.first->object();
        QVERIFY2(labels.contains(caption), qPrintable(caption->text()));
    }
}

void TestAccessibility::runningTotalValue() {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(form().lblSumme);
    QCOMPARE(iface->text(QAccessible::Value), QString());
    form().Text1[0]->setText(QStringLiteral("1234,5"));
    form().Text1[2]->setText(QStringLiteral("-7"));
    form().Text1_LostFocus(2);
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("1.227,50"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Summe der eingegebenen Zahlen"));
}

void TestAccessibility::cachedTotalInterfaceReplaced() {
    // A screen reader that asked for the label before it was named got the plain label interface.
    QLabel* total = form().lblSumme;
    total->setProperty("kalvonRunningTotal", QVariant());
    QAccessible::deleteAccessibleInterface(
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(total)));
    total->setText(QStringLiteral("5,00"));
    QCOMPARE(QAccessible::queryAccessibleInterface(total)->text(QAccessible::Value), QString());

    Accessibility::nameControls(form());
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(total);
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("5,00"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Summe der eingegebenen Zahlen"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
