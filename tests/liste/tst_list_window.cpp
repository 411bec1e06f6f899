// SPDX-License-Identifier: GPL-3.0-or-later
// The real Kalvon Liste window, driven by mouse and keyboard as a user would.
#include "list_fixture.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QtTest>

class TestListWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hitGreenSettleUndo();
    void searchOptions_data();
    void searchOptions();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void undoKeyInSearchField_data();
    void undoKeyInSearchField();
    void closingAsks_data();
    void closingAsks();
    void invalidAmountEdit();
    void amountBeingTypedCounts();
    void cancelMidSearch();
    void closeMidSearch();
    void preparedOffTheWindowThread();
    void closeWhilePreparing();
    void staysResponsive();
    void automationNames();
    void tabOrder_data();
    void tabOrder();
    void realMessageBox_data();
    void realMessageBox();

private:
    template <class T> T* child(const char* name) const {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    // Types the target, presses Enter and waits until the search has ended.
    void search(const QString& target);
    // Hit i's items as the hit list names them.
    QStringList hitItems() const;
    QString rowColour(int row) const; // #rrggbb, or none
    // count amounts that meet in the middle takes, and half their total as the target.
    void loadLongList(int count);
    // Keys as typed: each goes to the widget that has the focus then.
    static void type(const QString& keys) {
        for (const QChar c : keys) {
            if (c == QLatin1Char('\r'))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            else
                QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }

    std::optional<ListFixture> f;
    std::unique_ptr<ListWindow> window;
};

void TestListWindow::init() {
    f.emplace();
    window = std::make_unique<ListWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->itemModel()->setItems(itemTable(
        {{"RE-1", "10"}, {"RE-2", "20"}, {"RE-3", "5"}, {"Null", "0"}, {"RE-5", "15"}, {"RE-6", "1"}}));
}

void TestListWindow::cleanup() {
    window.reset();
    f.reset();
}

void TestListWindow::search(const QString& target) {
    auto* edit = child<QLineEdit>("editTarget");
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, target);
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(child<QPushButton>("buttonSearch")->isEnabled());
}

QStringList TestListWindow::hitItems() const {
    QStringList out;
    for (int i = 0; i < window->hitModel()->rowCount(); ++i)
        out << window->hitModel()->index(i, HitModel::ItemsColumn).data().toString();
    return out;
}

QString TestListWindow::rowColour(int row) const {
    const QVariant colour = window->itemModel()->index(row, ItemModel::AmountColumn).data(Qt::BackgroundRole);
    return colour.isValid() ? colour.value<QColor>().name() : QStringLiteral("none");
}

void TestListWindow::loadLongList(int count) {
    Currency target;
    window->itemModel()->setItems(longList(count, &target));
    child<QLineEdit>("editTarget")->setText(NumberText::formatAmount(target));
}

void TestListWindow::hitGreenSettleUndo() {
    search(QStringLiteral("25"));
    QCOMPARE(child<QLabel>("labelTotal")->text(), QStringLiteral("Insgesamt 2 Treffer"));
    QCOMPARE(hitItems(), strings({"RE-2 + RE-3", "RE-1 + RE-5"}));
    // The first hit is chosen: its items are green, the others are not.
    QCOMPARE(rowColour(1), QStringLiteral("#c0ffc0"));
    QCOMPARE(rowColour(2), QStringLiteral("#c0ffc0"));
    QCOMPARE(rowColour(0), QStringLiteral("none"));
    auto* hits = child<QTableView>("tableHits");
    hits->setFocus();
    QTest::keyClick(hits, Qt::Key_Down);
    QCOMPARE(rowColour(0), QStringLiteral("#c0ffc0"));
    QCOMPARE(rowColour(4), QStringLiteral("#c0ffc0"));
    QCOMPARE(rowColour(1), QStringLiteral("none"));

    child<QAction>("actionCopyHit")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2\tRE-1\t10,00\n6\tRE-5\t15,00\n"));

    QTest::mouseClick(child<QPushButton>("buttonSettle"), Qt::LeftButton);
    ItemModel* items = window->itemModel();
    QVERIFY(items->isSettled(0) && items->isSettled(4) && !items->isSettled(1));
    QCOMPARE(items->index(0, 1).data(Qt::ForegroundRole).value<QColor>().name(), QStringLiteral("#a0a0a4"));
    QCOMPARE(window->hitModel()->rowCount(), 0);
    QCOMPARE(rowColour(0), QStringLiteral("none")); // no hit is chosen any more
    search(QStringLiteral("25"));
    QCOMPARE(hitItems(), strings({"RE-2 + RE-3"})); // settled items take no part

    child<QAction>("actionUndo")->trigger();
    QVERIFY(!items->isSettled(0) && !items->isSettled(4));
    QCOMPARE(window->hitModel()->rowCount(), 0);
    QVERIFY(!child<QAction>("actionUndo")->isEnabled());
}

void TestListWindow::searchOptions_data() {
    QTest::addColumn<QString>("tolerance"); // empty: exact; a trailing % for percent
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("hits");
    QTest::newRow("exact, window order")
        << "" << 0 << 0 << strings({"RE-2 + RE-3 + RE-6", "RE-1 + RE-5 + RE-6"});
    QTest::newRow("amount, fewest items first")
        << "1" << 0 << 1
        << strings({"RE-2 + RE-3", "RE-1 + RE-5", "RE-2 + RE-3 + RE-6", "RE-1 + RE-5 + RE-6"});
    QTest::newRow("percent, at most two items") << "4%" << 2 << 0 << strings({"RE-2 + RE-3", "RE-1 + RE-5"});
    QTest::newRow("closest sum first")
        << "10%" << 0 << 2
        << strings({"RE-2 + RE-3 + RE-6", "RE-1 + RE-5 + RE-6", "RE-2 + RE-3", "RE-1 + RE-5"});
}

void TestListWindow::searchOptions() {
    QFETCH(QString, tolerance);
    QFETCH(int, maxItems);
    QFETCH(int, order);
    QFETCH(QStringList, hits);
    if (!tolerance.isEmpty()) {
        QTest::mouseClick(child<QRadioButton>("optionTolerance"), Qt::LeftButton);
        const bool percent = tolerance.endsWith(QLatin1Char('%'));
        QTest::mouseClick(child<QRadioButton>(percent ? "optionPercent" : "optionAmount"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>("editTolerance"), percent ? tolerance.chopped(1) : tolerance);
    }
    child<QSpinBox>("spinMaxItems")->setValue(maxItems);
    child<QComboBox>("comboOrder")->setCurrentIndex(order);
    search(QStringLiteral("26"));
    QCOMPARE(hitItems(), hits);
    QVERIFY(f->messages.isEmpty());
}

void TestListWindow::badInputChangesNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "Bitte geben Sie einen Zielwert ein.";
    QTest::newRow("no number") << "25x"
                               << "Der Zielwert ist keine gültige Zahl: „25x“.";
}

void TestListWindow::badInputChangesNothing() {
    QFETCH(QString, target);
    QFETCH(QString, message);
    search(QStringLiteral("25"));
    const QString total = child<QLabel>("labelTotal")->text();
    search(target);
    QCOMPARE(f->texts(), QStringList{message});
    QCOMPARE(window->hitModel()->rowCount(), 2);
    QCOMPARE(child<QLabel>("labelTotal")->text(), total);
}

void TestListWindow::undoKeyInSearchField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("settle");
    QTest::addColumn<bool>("settledAfter"); // after Ctrl+Z
    QTest::addColumn<QString>("text");      // the field's text after Ctrl+Z
    QTest::newRow("target, after settling: the settlement") << "editTarget" << true << false << "25";
    QTest::newRow("tolerance, after settling: the settlement") << "editTolerance" << true << false << "25";
    QTest::newRow("target, nothing to take back: the typing") << "editTarget" << false << false << "";
}

void TestListWindow::undoKeyInSearchField() {
    QFETCH(QString, field);
    QFETCH(bool, settle);
    QFETCH(bool, settledAfter);
    QFETCH(QString, text);
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    child<QRadioButton>("optionTolerance")->setChecked(true);
    child<QLineEdit>("editTolerance")->setText(QStringLiteral("0"));
    search(QStringLiteral("25"));
    if (settle) {
        QTest::mouseClick(child<QPushButton>("buttonSettle"), Qt::LeftButton);
        QVERIFY(window->itemModel()->isSettled(1));
        QCOMPARE(child<QAction>("actionUndo")->text(), QStringLiteral("&Rückgängig: Ausgleichen"));
    }
    auto* edit = window->findChild<QLineEdit*>(field);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("25"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window->itemModel()->isSettled(1), settledAfter);
    QCOMPARE(window->itemModel()->settledCount(), 0);
    QCOMPARE(edit->text(), text);
}

void TestListWindow::closingAsks_data() {
    QTest::addColumn<bool>("change"); // an item settled first
    QTest::addColumn<bool>("byQuit"); // "Datei > Beenden" (Strg+Q)
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("closed");
    QTest::newRow("nothing changed: no question") << false << false << false << 0 << true;
    QTest::newRow("settled, closed, Nein keeps the window") << true << false << false << 1 << false;
    QTest::newRow("settled, Beenden, Nein keeps the window") << true << true << false << 1 << false;
    QTest::newRow("settled, Beenden, Ja closes") << true << true << true << 1 << true;
}

void TestListWindow::closingAsks() {
    QFETCH(bool, change);
    QFETCH(bool, byQuit);
    QFETCH(bool, answer);
    QFETCH(int, questions);
    QFETCH(bool, closed);
    if (change)
        window->itemModel()->settle({0});
    f->answers << answer;
    if (byQuit)
        child<QAction>("actionQuit")->trigger();
    else
        window->close();
    QCOMPARE(f->messages.size(), questions);
    if (questions > 0) {
        QCOMPARE(f->messages[0].prompt,
                 QStringLiteral("Beim Beenden gehen die Änderungen und die ausgeglichenen "
                                "Posten dieser Liste verloren. Trotzdem beenden?"));
        QCOMPARE(f->messages[0].defaultAnswer, MsgAnswer::No);
    }
    QCOMPARE(window->isVisible(), !closed);
    QCOMPARE(window->itemModel()->isSettled(0), change); // the work is kept either way until the end
}

void TestListWindow::invalidAmountEdit() {
    auto* table = child<QTableView>("tableItems");
    table->setFocus();
    table->setCurrentIndex(window->itemModel()->index(1, ItemModel::AmountColumn));
    type(QStringLiteral("12,3x\r")); // typing opens the editor
    QTRY_COMPARE(f->messages.size(), 1);
    QVERIFY2(f->messages[0].prompt.contains(QStringLiteral("„12,3x“")), qPrintable(f->messages[0].prompt));
    QCOMPARE(window->itemModel()->index(1, ItemModel::AmountColumn).data().toString(),
             QStringLiteral("20,00"));

    type(QStringLiteral("7,5\r")); // the delegate commits on the next turn of the event loop
    QTRY_COMPARE(window->itemModel()->item(1).amount.count(), 75000);
    QCOMPARE(f->messages.size(), 1);
}

void TestListWindow::amountBeingTypedCounts() {
    child<QLineEdit>("editTarget")->setText(QStringLiteral("27"));
    auto* table = child<QTableView>("tableItems");
    table->setFocus();
    table->setCurrentIndex(window->itemModel()->index(5, ItemModel::AmountColumn));
    type(QStringLiteral("2"));                   // RE-6 from 1 to 2, its editor still open
    child<QPushButton>("buttonSearch")->click(); // as Alt+S does it: the focus stays in the editor
    QTRY_VERIFY(child<QPushButton>("buttonSearch")->isEnabled());
    QCOMPARE(hitItems(), strings({"RE-2 + RE-3 + RE-6", "RE-1 + RE-5 + RE-6"}));
}

void TestListWindow::cancelMidSearch() {
    loadLongList(52);
    QTest::mouseClick(child<QPushButton>("buttonSearch"), Qt::LeftButton);
    QVERIFY(child<QPushButton>("buttonStop")->isEnabled());
    QVERIFY(!child<QAction>("actionOpen")->isEnabled());
    QTest::mouseClick(child<QPushButton>("buttonStop"), Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonSearch")->isEnabled());
    QVERIFY2(child<QLabel>("labelTotal")->text().startsWith(QStringLiteral("Abgebrochen")),
             qPrintable(child<QLabel>("labelTotal")->text()));
    QVERIFY(!child<QPushButton>("buttonStop")->isEnabled());
    QVERIFY(child<QAction>("actionOpen")->isEnabled());
}

void TestListWindow::closeMidSearch() {
    loadLongList(52);
    QPointer<ListWindow> shown = window.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("buttonSearch")), Qt::LeftButton);
    QTest::qWait(20);
    QElapsedTimer closing;
    closing.start();
    QVERIFY(shown->close());
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
    QTRY_VERIFY(shown.isNull());
}

// 20,000 amounts and no size limit: the window says at once that the search is being prepared and
// can cancel it; the method is chosen on the worker, which refuses in the window's terms.
void TestListWindow::preparedOffTheWindowThread() {
    loadLongList(20000);
    QTest::mouseClick(child<QPushButton>("buttonSearch"), Qt::LeftButton);
    QCOMPARE(child<QLabel>("labelTotal")->text(), QStringLiteral("Suche wird vorbereitet…"));
    QVERIFY(child<QPushButton>("buttonStop")->isEnabled());
    QTRY_VERIFY(child<QPushButton>("buttonSearch")->isEnabled());
    QCOMPARE(f->texts().size(), 1);
    const QString message = f->texts().constFirst();
    QVERIFY2(message.startsWith(QStringLiteral("Für 20.000 Beträge ungleich null passt keine Methode")) &&
                 message.contains(QStringLiteral(" Posten“)")) && !message.contains(QStringLiteral("--")),
             qPrintable(message));
}

void TestListWindow::closeWhilePreparing() {
    loadLongList(20000);
    QPointer<ListWindow> shown = window.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("buttonSearch")), Qt::LeftButton);
    QCOMPARE(shown->findChild<QLabel*>(QStringLiteral("labelTotal"))->text(),
             QStringLiteral("Suche wird vorbereitet…"));
    QElapsedTimer closing;
    closing.start();
    QVERIFY(shown->close());
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
    QTRY_VERIFY(shown.isNull());
}

void TestListWindow::staysResponsive() {
    loadLongList(48); // about half a second's work for the worker
    QElapsedTimer clock;
    qint64 last = 0, largestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        largestGap = std::max(largestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    ticker.start(5);
    clock.start();
    QTest::mouseClick(child<QPushButton>("buttonSearch"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("buttonSearch")->isEnabled(), 20000);
    ticker.stop();
    QVERIFY2(largestGap < 250,
             qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(largestGap)));
}

void TestListWindow::automationNames() {
    QCOMPARE(window->objectName(), QStringLiteral("ListWindow"));
    const QStringList widgets =
        strings({"tableItems", "editTarget", "optionExact", "optionTolerance", "editTolerance",
                 "optionAmount", "optionPercent", "spinMaxItems", "comboOrder", "buttonSearch", "buttonStop",
                 "progressSearch", "tableHits", "labelTotal", "buttonSettle"});
    for (const QString& name : widgets)
        QVERIFY2(window->findChild<QWidget*>(name), qPrintable(name));
    const QStringList actions = strings({"actionOpen", "actionPaste", "actionCopyHit", "actionExport",
                                         "actionSettle", "actionUndo", "actionInfo", "actionQuit"});
    for (const QString& name : actions)
        QVERIFY2(window->findChild<QAction*>(name), qPrintable(name));
}

void TestListWindow::tabOrder_data() {
    QTest::addColumn<bool>("tolerance");
    // From the target field on, each with its accessible name. Tab enters a group of options at its
    // first, arrow keys move within it.
    QTest::addColumn<QStringList>("stops");
    QTest::newRow("exact search") << false
                                  << strings({"optionExact genaue Suche",
                                              "spinMaxItems höchstens so viele Posten je Treffer",
                                              "comboOrder Reihenfolge der Treffer", "buttonSearch Suchen",
                                              "tableHits Treffer", "tableItems Posten",
                                              "editTarget Zielwert"});
    QTest::newRow("tolerance search")
        << true
        << strings({"optionExact genaue Suche", "editTolerance Toleranz", "optionAmount Toleranz als Betrag",
                    "spinMaxItems höchstens so viele Posten je Treffer", "comboOrder Reihenfolge der Treffer",
                    "buttonSearch Suchen", "tableHits Treffer", "tableItems Posten", "editTarget Zielwert"});
}

void TestListWindow::tabOrder() {
    QFETCH(bool, tolerance);
    QFETCH(QStringList, stops);
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    child<QRadioButton>(tolerance ? "optionTolerance" : "optionExact")->setChecked(true);
    child<QLineEdit>("editTarget")->setFocus();
    QStringList visited;
    for (int i = 0; i < stops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName() + QLatin1Char(' ') +
                       QApplication::focusWidget()->accessibleName();
    }
    QCOMPARE(visited, stops);
}

void TestListWindow::realMessageBox_data() {
    QTest::addColumn<bool>("question");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("answer");
    QTest::newRow("note, Enter") << false << "Enter" << strings({"OK"}) << true;
    QTest::newRow("question, Enter is Nein") << true << "Enter" << strings({"Ja", "Nein"}) << false;
    QTest::newRow("question, Ja clicked") << true << "Ja" << strings({"Ja", "Nein"}) << true;
}

void TestListWindow::realMessageBox() {
    QFETCH(bool, question);
    QFETCH(QString, action);
    QFETCH(QStringList, buttons);
    QFETCH(bool, answer);
    QStringList shown;
    QString text;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        text = box->text();
        for (QAbstractButton* b : box->buttons())
            shown << b->text();
        if (action == QLatin1String("Enter"))
            QTest::keyClick(box, Qt::Key_Return);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == action)
                b->click();
    });
    const MsgRequest message{QStringLiteral("Zeile 1\nZeile 2"),
                             question ? MsgButtons::YesNo : MsgButtons::Ok,
                             MsgIcon::Question,
                             QStringLiteral("Kalvon Liste"),
                             MsgAnswer::No,
                             window.get()};
    const MsgAnswer expected = question ? (answer ? MsgAnswer::Yes : MsgAnswer::No) : MsgAnswer::Ok;
    QCOMPARE(MessageBoxService::showQMessageBox(message), expected);
    QCOMPARE(text, message.prompt);
    QCOMPARE(shown, buttons);
}

QTEST_MAIN(TestListWindow)
#include "tst_list_window.moc"
