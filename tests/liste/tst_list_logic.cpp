// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's logic without a window: the item list and its history, the search request, the
// hit texts and the command line.
#include "core/numbers/kalvon_error.h"
#include "frontend/hit_csv.h"
#include "list_fixture.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_command_line.h"
#include "liste/list_search.h"

#include <QSignalSpy>
#include <QtTest>

class TestListLogic : public QObject {
    Q_OBJECT

private slots:
    void init() { f.emplace(); }
    void cleanup() { f.reset(); }

    void amountEdit_data();
    void amountEdit();
    void changesUndoInOrder_data();
    void changesUndoInOrder();
    void prepare_data();
    void prepare();
    void newItemRow_data();
    void newItemRow();
    void noMethodNamesWindowControls_data();
    void noMethodNamesWindowControls();
    void hitTexts();
    void commandLine_data();
    void commandLine();

private:
    std::optional<ListFixture> f;
};

void TestListLogic::amountEdit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("count");    // the amount afterwards
    QTest::addColumn<QString>("message"); // part of the refusal; empty: accepted
    QTest::newRow("grouped") << "1.234,5" << qint64(12345000) << "";
    QTest::newRow("no number") << "12,3x" << qint64(100000)
                               << "Der Betrag in Zeile 2 ist keine gültige Zahl: „12,3x“.";
    QTest::newRow("empty") << "" << qint64(100000) << "Der bisherige Betrag 10,00 bleibt stehen.";
    QTest::newRow("out of range") << "1e20" << qint64(100000) << "außerhalb des zulässigen Bereichs";
    QTest::newRow("with a euro sign") << "1.234,50 €" << qint64(12345000) << "";
}

void TestListLogic::amountEdit() {
    QFETCH(QString, text);
    QFETCH(qint64, count);
    QFETCH(QString, message);
    ItemModel model;
    model.setItems(itemTable({{"RE-1", "10"}}));
    QSignalSpy refused(&model, &ItemModel::amountRefused);
    QCOMPARE(model.setData(model.index(0, ItemModel::AmountColumn), text), message.isEmpty());
    QCOMPARE(model.item(0).amount.count(), count);
    QCOMPARE(model.undoStack()->count(), message.isEmpty() ? 1 : 0);
    if (!message.isEmpty())
        QVERIFY2(refused.value(0).value(0).toString().contains(message),
                 qPrintable(refused.value(0).value(0).toString()));
}

enum class Change { Settle, RemoveFew, RemoveMany, AddAndEdit };

void TestListLogic::changesUndoInOrder_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<int>("count");      // items afterwards
    QTest::addColumn<int>("searchable"); // open non-zero items afterwards
    QTest::newRow("settle two") << Change::Settle << 200 << 197;
    QTest::newRow("delete a few blocks") << Change::RemoveFew << 189 << 188;
    QTest::newRow("delete every other row") << Change::RemoveMany << 100 << 99;
    QTest::newRow("add, then edit") << Change::AddAndEdit << 201 << 200;
}

void TestListLogic::changesUndoInOrder() {
    QFETCH(Change, change);
    QFETCH(int, count);
    QFETCH(int, searchable);
    ItemTable table;
    for (int i = 0; i < 200; ++i)
        table.items.push_back({Currency::fromCount(i == 5 ? 0 : (i + 1) * 10000), i + 1, QString::number(i)});
    ItemModel model;
    model.setItems(table);
    switch (change) {
    case Change::Settle:
        model.settle({1, 3});
        break;
    case Change::RemoveFew:
        model.removeItems({19, 10, 11, 12, 13, 14, 15, 16, 17, 18, 50});
        break;
    case Change::RemoveMany: {
        std::vector<int> even;
        for (int i = 0; i < 200; i += 2)
            even.push_back(i);
        model.removeItems(even);
        QCOMPARE(model.item(0).row, 2);
        break;
    }
    case Change::AddAndEdit:
        QCOMPARE(model.addItem(), 200);
        QVERIFY(model.setData(model.index(200, ItemModel::AmountColumn), QStringLiteral("7")));
        QCOMPARE(model.item(200).row, 201);
        break;
    }
    QCOMPARE(model.rowCount(), count);
    QCOMPARE(int(model.searchableRows().size()), searchable);
    while (model.undoStack()->canUndo())
        model.undoStack()->undo();
    QCOMPARE(model.rowCount(), 200);
    QCOMPARE(model.settledCount(), 0);
    for (int i = 0; i < 200; ++i) {
        QCOMPARE(model.item(i).row, table.items[std::size_t(i)].row);
        QCOMPARE(model.item(i).amount, table.items[std::size_t(i)].amount);
        QVERIFY(!model.isSettled(i));
    }
}

void TestListLogic::prepare_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("tolerance"); // empty: exact; a trailing % for percent
    QTest::addColumn<QString>("failure");   // part of the refusal or the error; empty: prepared
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::newRow("exact") << "100"
                           << ""
                           << "" << qint64(1000000) << qint64(1000000);
    QTest::newRow("amount") << "100"
                            << "0,5"
                            << "" << qint64(995000) << qint64(1005000);
    QTest::newRow("percent of a negative target") << "-200"
                                                  << "1,5%"
                                                  << "" << qint64(-2030000) << qint64(-1970000);
    QTest::newRow("empty target") << " "
                                  << ""
                                  << "Bitte geben Sie einen Zielwert ein." << qint64(0) << qint64(0);
    QTest::newRow("invalid target") << "12x"
                                    << ""
                                    << "Der Zielwert ist keine gültige Zahl: „12x“." << qint64(0)
                                    << qint64(0);
    QTest::newRow("empty tolerance") << "100"
                                     << "%"
                                     << "Bitte geben Sie eine Toleranz ein" << qint64(0) << qint64(0);
    QTest::newRow("negative tolerance") << "100"
                                        << "-1"
                                        << "nicht negativ sein: „-1“" << qint64(0) << qint64(0);
    QTest::newRow("bound out of range") << "900.000.000.000.000"
                                        << "100.000.000.000.000"
                                        << "Die Obergrenze" << qint64(0) << qint64(0);
}

void TestListLogic::prepare() {
    QFETCH(QString, target);
    QFETCH(QString, tolerance);
    QFETCH(QString, failure);
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    ItemModel model;
    model.setItems(itemTable({{"a", "10"}, {"zero", "0"}, {"settled", "20"}, {"b", "-30"}}));
    model.settle({2});
    SearchInput input;
    input.target = target;
    input.tolerance = !tolerance.isEmpty();
    input.percent = tolerance.endsWith(QLatin1Char('%'));
    input.toleranceText = input.percent ? tolerance.chopped(1) : tolerance;
    PreparedSearch prepared;
    try {
        prepared = ListSearch::prepare(input, model);
    } catch (const KalvonError& e) {
        prepared.refusal = e.userMessage();
    }
    QVERIFY2(failure.isEmpty() ? prepared.refusal.isEmpty() : prepared.refusal.contains(failure),
             qPrintable(prepared.refusal));
    if (!failure.isEmpty())
        return;
    QCOMPARE(prepared.request.lower.count(), lower);
    QCOMPARE(prepared.request.upper.count(), upper);
    QCOMPARE(prepared.rows, std::vector<int>({0, 3}));
    QCOMPARE(prepared.request.amounts,
             std::vector<Currency>({Currency::fromCount(100000), Currency::fromCount(-300000)}));
}

void TestListLogic::newItemRow_data() {
    QTest::addColumn<int>("totalRow"); // 0: none
    QTest::addColumn<int>("row");      // the new item's
    QTest::newRow("no total row") << 0 << 5;
    QTest::newRow("total row below the items") << 5 << 6;
    QTest::newRow("total row far below") << 40 << 41;
    QTest::newRow("total row above the last item") << 3 << 5;
}

void TestListLogic::newItemRow() {
    QFETCH(int, totalRow);
    QFETCH(int, row);
    ItemTable table = itemTable({{"a", "1"}, {"b", "2"}, {"c", "3"}}); // rows 2 to 4
    if (totalRow > 0)
        table.totalRow = Item{Currency::fromCount(60000), totalRow, QStringLiteral("Summe")};
    ItemModel model;
    model.setItems(table);
    QCOMPARE(model.item(model.addItem()).row, row);
    QCOMPARE(model.item(model.addItem()).row, row + 1);
}

void TestListLogic::noMethodNamesWindowControls_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("start");
    QTest::newRow("100 amounts") << 100 << "Für 100 Beträge ungleich null";
    QTest::newRow("1.000 amounts, grouped") << 1000 << "Für 1.000 Beträge ungleich null";
}

void TestListLogic::noMethodNamesWindowControls() {
    QFETCH(int, count);
    QFETCH(QString, start);
    Currency halfTotal;
    ItemModel model;
    model.setItems(longList(count, &halfTotal));
    SearchInput input;
    input.target = NumberText::formatAmount(halfTotal);
    input.order = CombinationSearch::Order::Items;
    const PreparedSearch prepared = ListSearch::prepare(input, model);
    QVERIFY(prepared.refusal.isEmpty()); // whether a method takes it is found out where it runs
    try {
        CombinationSearch::run(prepared.request, {});
        QFAIL("100 amounts in any order without a size limit were taken");
    } catch (const KalvonError& e) {
        QCOMPARE(e.kind(), KalvonError::Kind::Unsupported);
        const QString message = ListSearch::failureText(e);
        QVERIFY2(message.startsWith(start), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral(" Posten“)")) &&
                     message.contains(QStringLiteral("(„Kombinationsnummer“)")) &&
                     !message.contains(QStringLiteral("--")),
                 qPrintable(message));
    }
}

void TestListLogic::hitTexts() {
    ItemModel items;
    items.setItems(itemTable({{"RE-1\x1B[2J", "10,5"}, {"b", "1924,8"}, {"", "-2"}, {"Tab\there", "1,25"}}));
    // Control characters of a label are shown escaped, and edited as they are.
    QCOMPARE(items.index(0, ItemModel::LabelColumn).data().toString(), QStringLiteral("RE-1\\x1B[2J"));
    QCOMPARE(items.index(0, ItemModel::LabelColumn).data(Qt::EditRole).toString(),
             QStringLiteral("RE-1\x1B[2J"));
    HitModel hits(&items);
    hits.append({{{0, 2}, Currency::fromCount(85000), Currency::fromCount(-5000)},
                 {{1, 3}, Currency::fromCount(19260500), Currency::fromCount(2500)}});
    QCOMPARE(hits.data(hits.index(0, HitModel::ItemsColumn)).toString(),
             QStringLiteral("RE-1\\x1B[2J + Zeile 4"));
    QCOMPARE(hits.data(hits.index(0, HitModel::DifferenceColumn)).toString(), QStringLiteral("-0,50"));
    QCOMPARE(hits.data(hits.index(1, HitModel::DifferenceColumn)).toString(), QStringLiteral("+0,25"));
    // Amounts as the list shows them.
    QCOMPARE(hits.clipboardText(1), QStringLiteral("3\tb\t1.924,80\n5\tTab here\t1,25\n"));
    const Item* first[] = {&items.item(0), &items.item(2)};
    const Item* second[] = {&items.item(1), &items.item(3)};
    QCOMPARE(hits.csv(), HitCsv::header() + HitCsv::hitLines(1, first, Currency::fromCount(85000)) +
                             HitCsv::hitLines(2, second, Currency::fromCount(19260500)));
    items.settle({1});
    QCOMPARE(hits.rowCount(), 0); // the hits named rows of the list as it was
}

void TestListLogic::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status"); // -1: the window opens
    QTest::addColumn<QString>("file");
    QTest::newRow("no file") << QStringList() << -1 << "";
    QTest::newRow("a file among Qt's options")
        << strings({"-platform", "offscreen", "a b.xlsx", "-reverse"}) << -1 << "a b.xlsx";
    QTest::newRow("version") << strings({"--version"}) << 0 << "";
    QTest::newRow("two files") << strings({"a.csv", "b.csv"}) << 2 << "";
    QTest::newRow("unknown option") << strings({"--bogus"}) << 2 << "";
}

void TestListLogic::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, file);
    std::vector<QByteArray> bytes{"kalvon-liste"};
    for (const QString& a : arguments)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    const ListCommandLine parsed = ListCommandLine::parse(int(argv.size()), argv.data());
    QCOMPARE(parsed.exitStatus.value_or(-1), status);
    QCOMPARE(parsed.file, file);
}

QTEST_GUILESS_MAIN(TestListLogic)
#include "tst_list_logic.moc"
