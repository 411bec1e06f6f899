// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's controller without a window: what the status line and the hit count say as a list
// is loaded, searched, settled and changed.
#include "list_fixture.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"

#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>

class TestListController : public QObject {
    Q_OBJECT

private slots:
    void init() { f.emplace(); }
    void cleanup() { f.reset(); }

    void loaded_data();
    void loaded();
    void search_data();
    void search();
    void settleAndUndo();

private:
    // Starts a search for target and waits until it has ended; the refusal, if any.
    QString searchFor(ListController& controller, const SearchInput& input);

    std::optional<ListFixture> f;
};

static ItemTable sixItems() {
    return itemTable(
        {{"RE-1", "10"}, {"RE-2", "20"}, {"RE-3", "5"}, {"Null", "0"}, {"RE-5", "15"}, {"RE-6", "1"}});
}

void TestListController::loaded_data() {
    QTest::addColumn<QString>("source"); // empty: nothing loaded
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("amountColumn");
    QTest::addColumn<int>("totalRow"); // 0: none
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("status");
    QTest::newRow("nothing yet")
        << ""
        << "" << -1 << 0 << "Kalvon Liste"
        << "Noch keine Liste: Datei > Öffnen… (Strg+O), eine Datei hierher ziehen oder "
           "einen kopierten Bereich einfügen (Strg+V).";
    QTest::newRow("pasted plain list") << "Zwischenablage"
                                       << "" << -1 << 0 << "Zwischenablage – Kalvon Liste"
                                       << "Zwischenablage: 6 Posten";
    QTest::newRow("workbook with a total row")
        << "op.xlsx"
        << "Offene Posten" << 3 << 8 << "op.xlsx – Kalvon Liste"
        << "op.xlsx, Blatt „Offene Posten“, Beträge aus Spalte D („Betrag“): 6 Posten; die Summenzeile 8 "
           "(1.234,50) ist nicht übernommen";
}

void TestListController::loaded() {
    QFETCH(QString, source);
    QFETCH(QString, sheet);
    QFETCH(int, amountColumn);
    QFETCH(int, totalRow);
    QFETCH(QString, title);
    QFETCH(QString, status);
    ListController controller;
    if (!source.isEmpty()) {
        ItemTable table = sixItems();
        table.sheet = sheet;
        table.amountColumn = amountColumn;
        table.amountHeader = QStringLiteral("Betrag");
        if (totalRow > 0)
            table.totalRow = Item{Currency::fromCount(12345000), totalRow, QStringLiteral("Summe")};
        QSignalSpy statusShown(&controller, &ListController::statusChanged);
        controller.load(table, source);
        QCOMPARE(statusShown.constLast().value(0).toString(), status);
    }
    QCOMPARE(controller.windowTitle(), title);
    QCOMPARE(controller.statusText(), status);
    QCOMPARE(controller.totalText(), QString());
    QVERIFY(!controller.hasChanges());
}

QString TestListController::searchFor(ListController& controller, const SearchInput& input) {
    QSignalSpy ended(&controller, &ListController::searchEnded);
    const QString refusal = controller.startSearch(input);
    if (refusal.isEmpty())
        [&] {
            QVERIFY(ended.wait(10000));
        }();
    return refusal;
}

void TestListController::search_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("tolerance"); // empty: exact
    QTest::addColumn<bool>("percent");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("hits");
    QTest::newRow("two hits") << "25"
                              << "" << false << ""
                              << "Insgesamt 2 Treffer" << 2;
    QTest::newRow("none") << "1.000"
                          << "" << false << ""
                          << "Es wurde keine Kombination gefunden." << 0;
    QTest::newRow("tolerance as an amount") << "26"
                                            << "1" << false << ""
                                            << "Insgesamt 4 Treffer" << 4;
    QTest::newRow("target with a euro sign after") << "25,00 €"
                                                   << "" << false << ""
                                                   << "Insgesamt 2 Treffer" << 2;
    QTest::newRow("target with EUR before") << "EUR 25"
                                            << "" << false << ""
                                            << "Insgesamt 2 Treffer" << 2;
    QTest::newRow("tolerance typed with %") << "26"
                                            << "4%" << false << ""
                                            << "Insgesamt 4 Treffer" << 4;
    QTest::newRow("tolerance with a blank before %") << "26"
                                                     << "1,5 %" << false << ""
                                                     << "Insgesamt 2 Treffer" << 2;
    QTest::newRow("tolerance with a euro sign") << "26"
                                                << "1 €" << false << ""
                                                << "Insgesamt 4 Treffer" << 4;
    QTest::newRow("no target") << " "
                               << "" << false << "Bitte geben Sie einen Zielwert ein."
                               << "" << 0;
}

void TestListController::search() {
    QFETCH(QString, target);
    QFETCH(QString, tolerance);
    QFETCH(bool, percent);
    QFETCH(QString, refusal);
    QFETCH(QString, total);
    QFETCH(int, hits);
    ListController controller;
    controller.load(sixItems(), QStringLiteral("Zwischenablage"));
    QSignalSpy busy(&controller, &ListController::busyChanged);
    SearchInput input;
    input.target = target;
    input.tolerance = !tolerance.isEmpty();
    input.toleranceText = tolerance;
    input.percent = percent;
    QCOMPARE(searchFor(controller, input), refusal);
    QCOMPARE(controller.totalText(), total);
    QCOMPARE(controller.hits()->hitCount(), hits);
    QCOMPARE(busy.size(), refusal.isEmpty() ? 2 : 0); // on, then off again
    QVERIFY(!controller.isBusy());
    QVERIFY(!controller.items()->isLocked());
}

void TestListController::settleAndUndo() {
    ListController controller;
    controller.load(sixItems(), QStringLiteral("Zwischenablage"));
    SearchInput input;
    input.target = QStringLiteral("25");
    QCOMPARE(searchFor(controller, input), QString());
    QCOMPARE(controller.chooseHit(1), 0); // RE-1 + RE-5: the first of its rows
    QCOMPARE(controller.items()->highlighted(), std::vector<int>({0, 4}));
    QCOMPARE(controller.settle(1), QStringLiteral("2 Posten ausgeglichen; „Rückgängig“ nimmt es zurück."));
    QCOMPARE(controller.statusText(), QStringLiteral("Zwischenablage: 6 Posten, davon 2 ausgeglichen"));
    QCOMPARE(controller.totalText(),
             QStringLiteral("Die Liste hat sich geändert; die Treffer sind entfernt."));
    QCOMPARE(controller.hits()->hitCount(), 0);
    QCOMPARE(controller.settle(0), QString()); // no hit left to settle
    QVERIFY(controller.hasChanges());
    controller.items()->undoStack()->undo();
    QVERIFY(!controller.hasChanges());
    QCOMPARE(controller.statusText(), QStringLiteral("Zwischenablage: 6 Posten"));
}

QTEST_GUILESS_MAIN(TestListController)
#include "tst_list_controller.moc"
