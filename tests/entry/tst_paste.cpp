// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QTranslator>
#include <QtTest>

// Pasting lists of amounts into the value fields, through the keyboard and the context menu.
class TestPaste : public FormTest {
    Q_OBJECT

private slots:
    void pasteList_data();
    void pasteList();
    void singleAmount_data();
    void singleAmount();
    void undo_data();
    void undo();
    void contextMenu_data();
    void contextMenu();
    void shiftInsert();
    void totalOverflow();
    void pasteDuringRun();

private:
    QStringList fieldTexts() const {
        QStringList texts;
        for (const QLineEdit* field : f->form->Text1)
            texts << field->text();
        return texts;
    }
    void pasteByKey(int index, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        form().Text1[index]->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(form().Text1[index], Qt::Key_V, Qt::ControlModifier);
    }
};

// All 23 field texts: `texts` from field `start` on, the rest taken from `base` (empty by default).
static QStringList fields(int start, const QStringList& texts, QStringList base = {}) {
    while (base.size() < 23)
        base << QString();
    for (int i = 0; i < texts.size(); ++i)
        base[start + i] = texts[i];
    return base;
}

static QString notFitting(int count) {
    if (count == 1)
        return QStringLiteral(
            "1 Betrag passte nicht mehr in die Felder bis „23.Wert“ und wurde nicht übernommen.");
    return QStringLiteral(
               "%1 Beträge passten nicht mehr in die Felder bis „23.Wert“ und wurden nicht übernommen.")
        .arg(count);
}

void TestPaste::pasteList_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QStringList>("messages");

    QStringList thirty;
    QStringList shownFirst23;
    for (int i = 1; i <= 30; ++i) {
        thirty << QString::number(i);
        if (i <= 23)
            shownFirst23 << QStringLiteral("%1,00").arg(i);
    }

    QTest::newRow("column") << QStringList() << 0 << QStringLiteral("12,5\n7\n3,25\n")
                            << fields(0, strings({"12,50", "7,00", "3,25"})) << QStringLiteral("22,75")
                            << QStringList();
    QTest::newRow("column with CR LF")
        << QStringList() << 0 << QStringLiteral("1.000\r\n2,5\r\n")
        << fields(0, strings({"1.000,00", "2,50"})) << QStringLiteral("1.002,50") << QStringList();
    QTest::newRow("row into 5.Wert") << QStringList() << 4 << QStringLiteral("1\t2\t3,456")
                                     << fields(4, strings({"1,00", "2,00", "3,46"})) << QStringLiteral("6,46")
                                     << QStringList();
    QTest::newRow("CSV line") << QStringList() << 0 << QStringLiteral("-7;0,5;1.234,5")
                              << fields(0, strings({"-7,00", "0,50", "1.234,50"}))
                              << QStringLiteral("1.228,00") << QStringList();
    QTest::newRow("empty pieces skipped")
        << QStringList() << 0 << QStringLiteral("1\n\n;\t2\n  \n 3 \n\n")
        << fields(0, strings({"1,00", "2,00", "3,00"})) << QStringLiteral("6,00") << QStringList();
    QTest::newRow("not-a-number pieces")
        << QStringList() << 0 << QStringLiteral("abc\n5\n12 Euro\n1,2,3")
        << fields(0, strings({"abc", "5,00", "12 Euro", "1,2,3"})) << QStringLiteral("5,00") << QStringList();
    const QStringList filled = strings({"99", "88", "77", "abc"});
    QTest::newRow("replaces texts, counts the others")
        << filled << 0 << QStringLiteral("1;2") << fields(0, strings({"1,00", "2,00"}), filled)
        << QStringLiteral("80,00") << QStringList();
    QTest::newRow("fills up to 23.Wert exactly")
        << QStringList() << 21 << QStringLiteral("1;2") << fields(21, strings({"1,00", "2,00"}))
        << QStringLiteral("3,00") << QStringList();
    QTest::newRow("30 amounts into 1.Wert")
        << QStringList() << 0 << thirty.join(QLatin1Char('\n')) << fields(0, shownFirst23)
        << QStringLiteral("276,00") << QStringList({notFitting(7)});
    QTest::newRow("one too many") << QStringList() << 22 << QStringLiteral("5\t6")
                                  << fields(22, strings({"5,00"})) << QStringLiteral("5,00")
                                  << QStringList({notFitting(1)});
    QTest::newRow("empty pieces are not counted as left over")
        << QStringList() << 21 << QStringLiteral("1\n2\n\n\n3\n\n4\n")
        << fields(21, strings({"1,00", "2,00"})) << QStringLiteral("3,00") << QStringList({notFitting(2)});
}

void TestPaste::pasteList() {
    QFETCH(QStringList, before);
    QFETCH(int, start);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, after);
    QFETCH(QString, total);
    QFETCH(QStringList, messages);

    f->setValues(before);
    pasteByKey(start, clipboard);
    QCOMPARE(fieldTexts(), after);
    QCOMPARE(form().lblSumme->text(), total);
    QCOMPARE(f->msgs.prompts(), messages);
    for (const MsgRequest& box : f->msgs.boxes) {
        QCOMPARE(box.title, QStringLiteral("Projekt1"));
        QCOMPARE(box.buttons, MsgButtons::Ok);
    }
    QCOMPARE(QApplication::focusWidget(), form().Text1[start]);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
}

void TestPaste::singleAmount_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");

    QTest::newRow("at the cursor, not reformatted")
        << QStringLiteral("3") << false << QStringLiteral("12,5") << QStringLiteral("312,5");
    QTest::newRow("replaces the selection")
        << QStringLiteral("100") << true << QStringLiteral("12,5") << QStringLiteral("12,5");
    QTest::newRow("copied cell: line break dropped")
        << QStringLiteral("3") << false << QStringLiteral("12,5\r\n") << QStringLiteral("312,5");
    QTest::newRow("amount between separators")
        << QString() << false << QStringLiteral(";\t 4 \n") << QStringLiteral("4");
    QTest::newRow("letters") << QStringLiteral("x") << false << QStringLiteral("abc")
                             << QStringLiteral("xabc");
    QTest::newRow("only separators") << QStringLiteral("7") << false << QStringLiteral("\n;\n")
                                     << QStringLiteral("7");
}

void TestPaste::singleAmount() {
    QFETCH(QString, before);
    QFETCH(bool, selectAll);
    QFETCH(QString, clipboard);
    QFETCH(QString, after);

    QLineEdit* field = form().Text1[3];
    field->setFocus(Qt::OtherFocusReason);
    field->setText(before);
    form().Text1[4]->setText(QStringLiteral("5"));
    const QString total = form().lblSumme->text();
    if (selectAll)
        field->selectAll();
    QGuiApplication::clipboard()->setText(clipboard);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), after);
    QCOMPARE(form().Text1[4]->text(), QStringLiteral("5"));
    QCOMPARE(form().lblSumme->text(), total); // counted when the field is left, as typed text
    QVERIFY(f->msgs.boxes.isEmpty());

    field->undo();
    QCOMPARE(field->text(), before);
}

void TestPaste::undo_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("total");
    QTest::newRow("field pasted into") << 1 << QStringLiteral("109,00");
    QTest::newRow("following field") << 2 << QStringLiteral("9,00");
    QTest::newRow("last filled field") << 3 << QStringLiteral("8,00");
}

void TestPaste::undo() {
    QFETCH(int, index);
    QFETCH(QString, total);
    const QStringList before = strings({"5,00", "99", "", "abc"});
    f->setValues(before);
    pasteByKey(1, QStringLiteral("1\n2\n3"));
    QCOMPARE(fieldTexts(), fields(1, strings({"1,00", "2,00", "3,00"}), before));
    QCOMPARE(form().lblSumme->text(), QStringLiteral("11,00"));

    QLineEdit* field = form().Text1[index];
    field->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);

    QStringList expected = fields(1, strings({"1,00", "2,00", "3,00"}), before);
    expected[index] = before[index];
    QCOMPARE(fieldTexts(), expected);

    // Leaving the field counts the restored text.
    form().Text1[10]->setFocus(Qt::OtherFocusReason);
    QCOMPARE(form().lblSumme->text(), total);
}

void TestPaste::contextMenu_data() {
    QTest::addColumn<bool>("german");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("list") << false << QStringLiteral("4\n5,5") << fields(2, strings({"4,00", "5,50"}));
    QTest::newRow("single amount") << false << QStringLiteral("4") << fields(2, strings({"14"}));
    QTest::newRow("list, German Qt texts")
        << true << QStringLiteral("4\n5,5") << fields(2, strings({"4,00", "5,50"}));
}

void TestPaste::contextMenu() {
    QFETCH(bool, german);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, after);

    // With Qt's own German texts the entry reads "Einf&ügen".
    QTranslator translator;
    if (german) {
        QVERIFY(translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    const QString caption = german ? QStringLiteral("Einf&ügen") : QStringLiteral("&Paste");

    QLineEdit* field = form().Text1[2];
    field->setText(QStringLiteral("1"));
    field->setFocus(Qt::OtherFocusReason);
    QGuiApplication::clipboard()->setText(clipboard);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4), field->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(field, &event);
    QVERIFY(event.isAccepted());

    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith(caption))
            paste = action;
    }
    QVERIFY(paste);
    QVERIFY(paste->isEnabled());
    paste->trigger();
    menu->close();
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(fieldTexts(), after);
}

void TestPaste::shiftInsert() {
    pasteByKey(0, QStringLiteral("1\n2"));
    QCOMPARE(fieldTexts(), fields(0, strings({"1,00", "2,00"})));
    QGuiApplication::clipboard()->setText(QStringLiteral("7;8;9"));
    QTest::keyClick(form().Text1[1], Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(fieldTexts(), fields(0, strings({"1,00", "7,00", "8,00", "9,00"})));
    QCOMPARE(form().lblSumme->text(), QStringLiteral("25,00"));
}

void TestPaste::totalOverflow() {
    // Each amount fits the fixed-point range, their sum does not.
    pasteByKey(0, QStringLiteral("900.000.000.000.000\n900.000.000.000.000\n1"));
    QCOMPARE(fieldTexts(), fields(0, strings({"900.000.000.000.000,00", "900.000.000.000.000,00", "1,00"})));
    QCOMPARE(form().lblSumme->text(), QString());
    QCOMPARE(f->msgs.titles(), QStringList({QStringLiteral("Fehler")}));
    QCOMPARE(f->msgs.boxes[0].icon, MsgIcon::Critical);
    QVERIFY(f->msgs.prompts()[0].contains(QLatin1String("Die Summe der eingegebenen Zahlen")));
}

void TestPaste::pasteDuringRun() {
    f->setValues(powersOfTwo(9));
    f->setTarget(QStringLiteral("300"));
    int pumps = 0;
    EventPump::setPumpHook([&] {
        if (++pumps == 1)
            pasteByKey(0, QStringLiteral("100\n200"));
    });
    form().Command1_Click();
    QVERIFY(pumps > 0);
    // The run keeps the values of its start: 300 is only 4 + 8 + 32 + 256, never 100 + 200.
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("300")}));
    QCOMPARE(form().Text1[0]->text(), QStringLiteral("100,00"));
    QCOMPARE(form().Text1[1]->text(), QStringLiteral("200,00"));
    QCOMPARE(form().Text1[2]->text(), QStringLiteral("4"));
    QCOMPARE(form().lblSumme->text(), QStringLiteral("808,00"));
    QCOMPARE(form().search.dblWerte[0], 0.0);
    QVERIFY(!form().isRunning());
}

QTEST_MAIN(TestPaste)
#include "tst_paste.moc"
