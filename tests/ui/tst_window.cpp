// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"
#include "ui/command_button.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class TestWindow : public FormTest {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void initialState();
    void windowSettings();
    void focusCycle_data();
    void focusCycle();
    void clearIsClickableButNoTabStop();
    void framesInsideInTheirColour_data();
    void framesInsideInTheirColour();
    void menu();
    void infoBox();
    void infoDuringRunHoldsTheRun();
    void endingDuringRun_data();
    void endingDuringRun();
    void progressBarToleratesSmallerMaximum();
};

void TestWindow::controls_data() {
    // The row names the control.
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry"); // in pixels
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shownAtStart");
    QTest::addColumn<QString>("color"); // empty: the platform's
    QTest::newRow("Text1_0") << "client" << QRect(88, 8, 121, 19) << "" << true << "#FFE0C0";
    QTest::newRow("Text1_22") << "client" << QRect(88, 360, 121, 19) << "" << true << "#FFE0C0";
    QTest::newRow("Label1_0") << "client" << QRect(40, 8, 49, 17) << "1.Wert" << true << "#FFE0C0";
    QTest::newRow("Label1_22") << "client" << QRect(40, 360, 49, 17) << "23.Wert" << true << "#FFE0C0";
    QTest::newRow("Frame2") << "client" << QRect(240, 16, 145, 73) << "Optionen" << true << "#FFC080";
    QTest::newRow("Option1_0") << "Frame2" << QRect(8, 16, 113, 25) << "genaue Suche" << true << "#FFC080";
    QTest::newRow("Option1_1") << "Frame2" << QRect(8, 40, 113, 25) << "Toleranzsuche" << true << "#FFC080";
    QTest::newRow("Frame1") << "client" << QRect(224, 104, 305, 81) << "Fortschritt der Berechnung" << false
                            << "#FFE0C0";
    QTest::newRow("ProgressBar1") << "Frame1" << QRect(16, 16, 273, 17) << "-" << false << "";
    QTest::newRow("cmdStop") << "Frame1" << QRect(216, 40, 81, 33) << "Stop" << false << "";
    QTest::newRow("Command1") << "client" << QRect(240, 192, 81, 33) << "Berechnen" << true << "#C0C0C0";
    QTest::newRow("cmdClear") << "client" << QRect(376, 192, 81, 33) << "Clear" << true << "#FFE0C0";
    QTest::newRow("Label4") << "client" << QRect(224, 248, 169, 17) << "Summe der eingegebenen Zahlen" << true
                            << "#FFC080";
    QTest::newRow("lblSumme") << "client" << QRect(392, 240, 121, 25) << "" << true << "#FFE0C0";
    QTest::newRow("Label2") << "client" << QRect(320, 272, 65, 33) << "Zielwert (Summe)" << true << "#FFE0C0";
    QTest::newRow("txtSumme") << "client" << QRect(392, 272, 121, 33) << "" << true << "#C0FFC0";
    QTest::newRow("Frame3") << "client" << QRect(240, 312, 273, 81) << "Suche im Toleranzbereich" << false
                            << "#FFC080";
    QTest::newRow("Label3") << "Frame3" << QRect(24, 32, 49, 33) << "Toleranz- bereich" << false << "#FFC080";
    QTest::newRow("txtToleranz") << "Frame3" << QRect(88, 32, 81, 33) << "" << false << "#FFE0C0";
    QTest::newRow("Frame4") << "Frame3" << QRect(176, 16, 89, 57) << "Betrag/Prozent" << false << "#FFC080";
    QTest::newRow("Option2_1") << "Frame4" << QRect(8, 16, 97, 17) << "Betrag" << false << "#FFC080";
    QTest::newRow("Option2_0") << "Frame4" << QRect(8, 32, 97, 17) << "Prozent" << false << "#FFC080";
}

void TestWindow::controls() {
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, shownAtStart);
    QFETCH(QString, color);
    auto* w = form().findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), container);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->isVisible(), shownAtStart);
    if (caption != QLatin1String("-"))
        QCOMPARE(w->property(qobject_cast<QGroupBox*>(w) ? "title" : "text").toString(), caption);
    if (!color.isEmpty())
        QCOMPARE(colourOf(w), color);
    QVERIFY(w->isEnabled());
}

void TestWindow::initialState() {
    QCOMPARE(QApplication::focusWidget(), form().Text1[0]);
    QVERIFY(form().Option1[0]->isChecked());
    QVERIFY(form().Option2[1]->isChecked());
    // Hidden in their own right, so showing a frame alone shows it empty.
    for (QWidget* w : QList<QWidget*>{form().cmdStop, form().Label3, form().txtToleranz, form().Frame4})
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    QCOMPARE(form().ProgressBar1->minimum(), 0);
    QCOMPARE(form().ProgressBar1->maximum(), 100);
    QCOMPARE(form().ProgressBar1->value(), 0);
    QCOMPARE(form().cmdStop->tag(), QStringLiteral("False"));
    QCOMPARE(form().cmdStop->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(form().cmdStop->testAttribute(Qt::WA_SetCursor));
    QVERIFY(form().Frame1->testAttribute(Qt::WA_SetCursor));
    QVERIFY(form().lblSumme->text().isEmpty());
    for (QLineEdit* field : form().Text1)
        QVERIFY(field->text().isEmpty());
    QCOMPARE(form().search.bytAnzahl, quint8(0));
    QCOMPARE(form().search.curZielwert.count(), qint64(0));
}

void TestWindow::windowSettings() {
    QCOMPARE(form().windowTitle(), QStringLiteral("Kalvon"));
    QCOMPARE(form().centralWidget()->size(), QSize(537, 399));
    QCOMPARE(form().minimumSize(), form().maximumSize());
    const Qt::WindowFlags flags = form().windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    const QList<QSize> sizes = form().windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    QCOMPARE(colourOf(form().centralWidget()), QStringLiteral("#FFC080"));
    // Every caption fits its control in the chosen font.
    for (QLabel* label : form().findChildren<QLabel*>()) {
        if (!label->wordWrap())
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(label->objectName()));
    }
}

void TestWindow::focusCycle_data() {
    QTest::addColumn<bool>("tolerance");
    QTest::addColumn<bool>("percent");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("exact search") << false << false << false
                                  << strings({"txtSumme", "Command1", "Option1_0"});
    QTest::newRow("tolerance search")
        << true << false << false
        << strings({"txtSumme", "Command1", "Option1_1", "Option2_1", "txtToleranz"});
    QTest::newRow("tolerance in percent")
        << true << true << false
        << strings({"txtSumme", "Command1", "Option1_1", "Option2_0", "txtToleranz"});
    QTest::newRow("during a run") << false << false << true << strings({"txtSumme", "cmdStop", "Option1_0"});
}

void TestWindow::focusCycle() {
    QFETCH(bool, tolerance);
    QFETCH(bool, percent);
    QFETCH(bool, running);
    QFETCH(QStringList, after);
    if (tolerance)
        form().Option1[1]->setChecked(true);
    if (percent)
        form().Option2[0]->setChecked(true);
    if (running) { // the window as a run shows it
        form().Command1->setEnabled(false);
        form().cmdClear->setEnabled(false);
        form().Frame1->show();
        form().cmdStop->show();
    }
    QStringList expected;
    for (int i = 0; i < 23; ++i)
        expected << QStringLiteral("Text1_%1").arg(i);
    expected << after << QStringLiteral("Text1_0");

    form().Text1[0]->setFocus(Qt::OtherFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestWindow::clearIsClickableButNoTabStop() {
    f->setValues(strings({"5"}));
    QCOMPARE(form().cmdClear->focusPolicy(), Qt::ClickFocus);
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) { // after a click, on as from "Stop"
        QTest::mouseClick(form().cmdClear, Qt::LeftButton);
        QVERIFY(form().Text1[0]->text().isEmpty());
        QTest::keyClick(QApplication::focusWidget(), key);
        QCoreApplication::processEvents(); // the Tab that Enter sends
        QCOMPARE(QApplication::focusWidget(), form().Option1[0]);
    }
}

void TestWindow::framesInsideInTheirColour_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("color");
    QTest::newRow("Optionen") << "Frame2"
                              << "#FFC080";
    QTest::newRow("Suche im Toleranzbereich") << "Frame3"
                                              << "#FFC080";
    QTest::newRow("Betrag/Prozent") << "Frame4"
                                    << "#FFC080";
    QTest::newRow("Fortschritt der Berechnung") << "Frame1"
                                                << "#FFE0C0";
}

// Inside its line and below its caption, a frame shows its colour wherever no control covers
// it; the line shows on both sides, also beside the cut-off option buttons.
void TestWindow::framesInsideInTheirColour() {
    QFETCH(QString, name);
    QFETCH(QString, color);
    form().Option1[1]->setChecked(true);
    form().Frame1->show();
    auto* frame = form().findChild<QGroupBox*>(name);
    QImage image = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb left = image.pixel(0, frame->height() / 2),
               right = image.pixel(frame->width() - 1, frame->height() / 2);
    QPainter painter(&image);
    for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        painter.fillRect(child->isVisible() ? child->geometry() : QRect(), QColor(color));
    painter.end();
    const QRect inside = frame->rect().adjusted(1, frame->fontMetrics().height(), -1, -1);
    QImage expected(inside.size(), QImage::Format_RGB32);
    expected.fill(QColor(color));
    QCOMPARE(image.copy(inside), expected);
    QVERIFY(left != QColor(color).rgb());
    QVERIFY(right != QColor(color).rgb());
}

void TestWindow::menu() {
    QMenu* datei = form().findChild<QMenu*>(QStringLiteral("mnuDatei"));
    QVERIFY(datei);
    QCOMPARE(datei->title(), QStringLiteral("Datei"));
    QCOMPARE(form().menuBar()->actions().size(), 1);
    const QList<QAction*> items = datei->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->objectName(), QStringLiteral("mnuEnd"));
    QCOMPARE(items[0]->text(), QStringLiteral("Beenden"));
    QCOMPARE(items[1]->objectName(), QStringLiteral("mnuInfo"));
    QCOMPARE(items[1]->text(), QStringLiteral("Info"));
    for (QAction* a : items) {
        QVERIFY(a->shortcut().isEmpty());
        QVERIFY(a->isEnabled());
        QVERIFY(!a->isCheckable());
    }
}

void TestWindow::infoBox() {
    f->setValues(strings({"5"}));
    form().mnuInfo->trigger();
    QCOMPARE(f->msgs.boxes.size(), 1);
    const MsgRequest& box = f->msgs.boxes[0];
    QCOMPARE(box.prompt,
             QStringLiteral("Programm Kalvon\rSucht mögliche Kombinationen der eingegebenen Zahlen\r"
                            "und vergleicht die Summe mit dem Zielwert\r"
                            "Info: https://kalvon.example.org"));
    QCOMPARE(box.title, QStringLiteral("Info"));
    QCOMPARE(box.buttons, MsgButtons::Ok);
    QCOMPARE(box.icon, MsgIcon::None);
    QCOMPARE(form().Text1[0]->text(), QStringLiteral("5"));
    QVERIFY(form().isVisible());
}

void TestWindow::infoDuringRunHoldsTheRun() {
    f->setValues(powersOfTwo(9));
    f->setTarget(QStringLiteral("401"));
    int pumps = 0;
    EventPump::setPumpHook([&] {
        if (++pumps == 1)
            form().mnuInfo->trigger();
    });
    form().Command1_Click();
    QCOMPARE(f->msgs.titles(), strings({"Info", "Ergebnis", "Ende"}));
    QCOMPARE(f->hitSums(), QStringList({QStringLiteral("401")}));
}

void TestWindow::endingDuringRun_data() {
    QTest::addColumn<bool>("viaMenu");
    QTest::newRow("closing the window") << false;
    QTest::newRow("Beenden") << true;
}

void TestWindow::endingDuringRun() {
    QFETCH(bool, viaMenu);
    f->setValues(powersOfTwo(23));
    f->setTarget(QStringLiteral("0,5")); // never reached
    int pumps = 0;
    int pumpsAfterEnd = 0;
    bool ended = false;
    EventPump::setPumpHook([&] {
        if (ended)
            ++pumpsAfterEnd;
        if (++pumps == 3) {
            ended = true;
            if (viaMenu)
                form().mnuEnd->trigger();
            else
                form().close();
        }
    });
    form().Command1_Click();
    QCOMPARE(f->msgs.titles(), strings({"Achtung"}));
    QCOMPARE(pumpsAfterEnd, 0);
    QVERIFY(!form().isRunning());
    QVERIFY(!form().isVisible());
}

void TestWindow::progressBarToleratesSmallerMaximum() {
    f->setValues(powersOfTwo(5));
    f->setTarget(QStringLiteral("0,5"));
    form().Command1_Click();
    QCOMPARE(form().ProgressBar1->value(), 5);
    form().Text1[2]->clear();
    form().Text1[3]->clear();
    form().Text1[4]->clear();
    form().Command1_Click();
    QCOMPARE(form().ProgressBar1->maximum(), 2);
    QCOMPARE(form().ProgressBar1->value(), 2);
    f->setValues(strings({"", ""}));
    form().Command1_Click();
    QCOMPARE(form().ProgressBar1->maximum(), 0);
    QCOMPARE(f->msgs.count(QStringLiteral("Ende")), 3);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
