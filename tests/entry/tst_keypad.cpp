// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"

#include <QLabel>
#include <QtTest>

// The numeric keypad's decimal key in the number fields, under German and US English settings.
class TestKeypad : public FormTest {
    Q_OBJECT

private slots:
    void decimalKey_data();
    void decimalKey();
    void otherFieldsUnchanged();
};

enum Field { Value, Target, Tolerance };

void TestKeypad::decimalKey_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("typed");

    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const int keypad = Qt::KeypadModifier;
    const int none = Qt::NoModifier;
    const QString point = QStringLiteral(".");
    const QString comma = QStringLiteral(",");

    QTest::newRow("de, value field, keypad full stop")
        << de << int(Value) << int(Qt::Key_Period) << point << keypad << QStringLiteral("1,5");
    QTest::newRow("de, target field, keypad full stop")
        << de << int(Target) << int(Qt::Key_Period) << point << keypad << QStringLiteral("1,5");
    QTest::newRow("de, tolerance field, keypad full stop")
        << de << int(Tolerance) << int(Qt::Key_Period) << point << keypad << QStringLiteral("1,5");
    QTest::newRow("de, keypad comma")
        << de << int(Value) << int(Qt::Key_Comma) << comma << keypad << QStringLiteral("1,5");
    QTest::newRow("de, keypad Delete that types a full stop")
        << de << int(Tolerance) << int(Qt::Key_Delete) << point << keypad << QStringLiteral("1,5");
    QTest::newRow("de, keypad Delete without text deletes")
        << de << int(Value) << int(Qt::Key_Delete) << QString() << keypad << QStringLiteral("15");
    QTest::newRow("de, keypad Delete typing DEL deletes")
        << de << int(Value) << int(Qt::Key_Delete) << QStringLiteral("\x7f") << keypad
        << QStringLiteral("15");
    QTest::newRow("de, main full stop key")
        << de << int(Value) << int(Qt::Key_Period) << point << none << QStringLiteral("1.5");
    QTest::newRow("en, value field, keypad full stop")
        << en << int(Value) << int(Qt::Key_Period) << point << keypad << QStringLiteral("1.5");
    QTest::newRow("en, target field, keypad comma")
        << en << int(Target) << int(Qt::Key_Comma) << comma << keypad << QStringLiteral("1.5");
    QTest::newRow("en, tolerance field, keypad comma")
        << en << int(Tolerance) << int(Qt::Key_Comma) << comma << keypad << QStringLiteral("1.5");
    QTest::newRow("en, main comma key")
        << en << int(Target) << int(Qt::Key_Comma) << comma << none << QStringLiteral("1,5");
}

void TestKeypad::decimalKey() {
    QFETCH(QLocale, locale);
    QFETCH(int, field);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(QString, typed);

    QLocale::setDefault(locale);
    if (field == Tolerance)
        QTest::mouseClick(form().Option1[1], Qt::LeftButton);
    QLineEdit* edit = field == Value    ? form().Text1[7]
                      : field == Target ? form().txtSumme
                                        : form().txtToleranz;
    QVERIFY(edit->isVisible());
    edit->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(edit, Qt::Key_1, Qt::KeypadModifier);
    QTest::sendKeyEvent(QTest::Press, edit, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));
    QTest::sendKeyEvent(QTest::Release, edit, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));
    QTest::keyClick(edit, Qt::Key_5, Qt::KeypadModifier);
    QCOMPARE(edit->text(), typed);

    // Typed with the keypad, the amount is read in the regional format.
    if (field == Value && typed.contains(locale.decimalPoint())) {
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(form().lblSumme->text(), locale.toString(1.5, 'f', 2));
    }
}

void TestKeypad::otherFieldsUnchanged() {
    // Only the number fields translate the key; a text field elsewhere types what the key gives.
    QLineEdit other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_Period, Qt::KeypadModifier);
    QCOMPARE(other.text(), QStringLiteral("."));
}

QTEST_MAIN(TestKeypad)
#include "tst_keypad.moc"
