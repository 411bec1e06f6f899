// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the real QMessageBox: what the user sees and how each answer comes back.
#include "form_fixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void realBox_data();
    void realBox();
    void emptyTargetThroughRealBox();
    void windowBoxes_data();
    void windowBoxes();

private:
    // Reads the open box, then closes it with a key or by clicking the named button.
    void answerWhenOpen(SeenBox& seen, const QString& action) {
        QTimer::singleShot(0, this, [&seen, action] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seen.buttons << b->text();
            seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            if (action == QLatin1String("Enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == action)
                        b->click();
        });
    }
};

void TestMessageBox::realBox_data() {
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<MsgIcon>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<QMessageBox::Icon>("shownIcon");
    QTest::addColumn<QStringList>("shownButtons");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("OK, application title")
        << MsgButtons::Ok << MsgIcon::None << ""
        << "Enter"
        << "Projekt1" << QMessageBox::NoIcon << strings({"OK"}) << MsgAnswer::Ok;
    QTest::newRow("OK closed by Escape") << MsgButtons::Ok << MsgIcon::None << "Info"
                                         << "Escape"
                                         << "Info" << QMessageBox::NoIcon << strings({"OK"}) << MsgAnswer::Ok;
    QTest::newRow("warning, Enter is Yes")
        << MsgButtons::YesNo << MsgIcon::Warning << "Achtung"
        << "Enter"
        << "Achtung" << QMessageBox::Warning << strings({"Ja", "Nein"}) << MsgAnswer::Yes;
    QTest::newRow("question, Nein clicked")
        << MsgButtons::YesNo << MsgIcon::None << "Ergebnis"
        << "Nein"
        << "Ergebnis" << QMessageBox::NoIcon << strings({"Ja", "Nein"}) << MsgAnswer::No;
    QTest::newRow("question, Escape is No")
        << MsgButtons::YesNo << MsgIcon::None << "Ergebnis"
        << "Escape"
        << "Ergebnis" << QMessageBox::NoIcon << strings({"Ja", "Nein"}) << MsgAnswer::No;
}

void TestMessageBox::realBox() {
    QFETCH(MsgButtons, buttons);
    QFETCH(MsgIcon, icon);
    QFETCH(QString, title);
    QFETCH(QString, action);
    QFETCH(QString, shownTitle);
    QFETCH(QMessageBox::Icon, shownIcon);
    QFETCH(QStringList, shownButtons);
    QFETCH(MsgAnswer, answer);
    SeenBox seen;
    answerWhenOpen(seen, action);
    const MsgAnswer got = MessageBoxService::show(QStringLiteral("Zeile 1\rZeile 2"), buttons, icon, title);
    QCOMPARE(got, answer);
    QCOMPARE(seen.title, shownTitle);
    QCOMPARE(seen.text, QStringLiteral("Zeile 1\rZeile 2"));
    QCOMPARE(seen.icon, shownIcon);
    QCOMPARE(seen.buttons, shownButtons);
    QCOMPARE(seen.defaultButton, shownButtons.first());
}

void TestMessageBox::emptyTargetThroughRealBox() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Form2 form;
    form.show();
    SeenBox seen;
    answerWhenOpen(seen, QStringLiteral("Enter"));
    form.Command1_Click();
    QCOMPARE(seen.text, QStringLiteral("Es muß ein Zielwert angegeben werden"));
    QCOMPARE(seen.title, QStringLiteral("Projekt1"));
    QVERIFY(form.Command1->isEnabled());
}

void TestMessageBox::windowBoxes_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("values"); // filled value fields; none: the Info box
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines"); // 0: not counted (beside the icon Qt wraps long lines on narrow screens)
    for (const char* style : {"Fusion", "Windows"}) {
        QTest::addRow("%s, hit", style)
            << style << 2 << "Die Summe der grün markierten\rFelder ergibt: 30.\rWeitersuchen?" << 3;
        QTest::addRow("%s, long run", style)
            << style << 17 << "Achtung, die Berechnung kann mehrere Minuten dauern!\rBerechnung durchführen?"
            << 0;
        QTest::addRow("%s, Info", style)
            << style << 0
            << "Programm Kalvon\rSucht mögliche Kombinationen der eingegebenen Zahlen\r"
               "und vergleicht die Summe mit dem Zielwert\rInfo: https://kalvon.example.org"
            << 4;
    }
}

// The window's own boxes: the text as the program gives it, laid out one line per line of it.
void TestMessageBox::windowBoxes() {
    QFETCH(QString, style);
    QFETCH(int, values);
    QFETCH(QString, text);
    QFETCH(int, lines);
    QApplication::setStyle(style);
    Form2 form;
    form.show();
    QString seenText;
    int seenLines = 0;
    QTimer closer; // reads the first box and closes every box with Escape
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && seenText.isNull()) {
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            seenText = box->text();
            seenLines = qRound(double(label->sizeHint().height()) / label->fontMetrics().lineSpacing());
        }
        if (box)
            QTest::keyClick(box, Qt::Key_Escape);
    });
    closer.start(10);
    for (int i = 0; i < values; ++i)
        form.Text1[i]->setText(QString::number(10 * (i + 1)));
    form.txtSumme->setText(QStringLiteral("30"));
    form.txtSumme_LostFocus();
    values ? form.Command1_Click() : form.mnuInfo->trigger();
    QCOMPARE(seenText, text);
    if (lines != 0)
        QCOMPARE(seenLines, lines);
}

QTEST_MAIN(TestMessageBox)
#include "tst_message_box.moc"
