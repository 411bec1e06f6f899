// SPDX-License-Identifier: GPL-3.0-or-later
// Getting a list into Kalvon Liste's real window: files, the column choice, the clipboard, a
// dropped file; and what the window remembers and writes.
#include "list_fixture.h"
#include "liste/column_dialog.h"
#include "liste/file_reader.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_window.h"
#include "liste/table_choice.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSemaphore>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <atomic>

class TestListOpen : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void open_data();
    void open();
    void pasteThenDrop();
    void replacingAsks_data();
    void replacingAsks();
    void rememberedAndExported();
    void openedOnce_data();
    void openedOnce();
    void openedAgainOffThread();
    void headerRowChoice();
    void columnDialogNames_data();
    void columnDialogNames();
    void readingKeepsLoopTurning();
    void endedWhileReading_data();
    void endedWhileReading();
    void readerDropsAndEnds();

private:
    QString write(const char* name, const QByteArray& bytes) const {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return path;
    }
    // Each item as "row|label|amount", as the table shows it.
    QStringList shownItems() const {
        QStringList out;
        const ItemModel* items = window->itemModel();
        for (int row = 0; row < items->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < ItemModel::ColumnCount; ++column)
                cells << items->index(row, column).data().toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    // Answers the next column dialog, once the file is read and it shows: picks the sheet and the
    // column whose texts are given (empty: as offered) and notes what it offered.
    void answerColumnDialog(const QString& sheet, const QString& column) {
        auto* poll = new QTimer(this);
        poll->start(5);
        connect(poll, &QTimer::timeout, this, [this, poll, sheet, column] {
            auto* dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            poll->deleteLater();
            poll->stop();
            QVERIFY(dialog->objectName() == QLatin1String("ColumnDialog"));
            auto* sheets = dialog->findChild<QComboBox*>(QStringLiteral("comboSheet"));
            auto* columns = dialog->findChild<QComboBox*>(QStringLiteral("comboColumn"));
            for (int i = 0; i < sheets->count(); ++i)
                offered << QStringLiteral("Blatt ") + sheets->itemText(i);
            if (!sheet.isEmpty())
                sheets->setCurrentText(sheet);
            for (int i = 0; i < columns->count(); ++i)
                offered << QStringLiteral("Spalte ") + columns->itemText(i);
            if (!column.isEmpty())
                columns->setCurrentText(column);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
    }

    QTemporaryDir dir;
    QStringList offered;
    std::optional<ListFixture> f;
    std::unique_ptr<ListWindow> window;
};

void TestListOpen::init() {
    f.emplace();
    offered.clear();
    window = std::make_unique<ListWindow>();
    window->show();
    window->itemModel()->setItems(itemTable({{"alt", "1"}}));
}

void TestListOpen::cleanup() {
    window.reset();
    f.reset();
}

void TestListOpen::open_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("sheet");      // chosen in the column dialog; empty: no dialog, or as offered
    QTest::addColumn<QString>("column");     // likewise
    QTest::addColumn<QStringList>("dialog"); // the sheets it offered, and the columns of the sheet chosen
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("status"); // the status bar; for a failure its message
    const QString workbook = QStringLiteral(KALVON_TEST_DATA "/offene_posten.ods");
    QTest::newRow("CSV with labels and a total row")
        << write("rechnungen.csv", "Rechnung;Kunde;Betrag\nRE-101;M\xC3\xBCller GmbH;1.234,50\n"
                                   "RE-102;Schmidt;99,90\nSumme;;1.334,40\n")
        << ""
        << "" << QStringList() << strings({"2|RE-101|1.234,50", "3|RE-102|99,90"})
        << "rechnungen.csv, Beträge aus Spalte C („Betrag“): 2 Posten; die Summenzeile 4 (1.334,40) ist "
           "nicht übernommen";
    QTest::newRow("plain list with a zero")
        << write("liste.txt", "12,50\n0\n7,25\n") << ""
        << "" << QStringList() << strings({"1||12,50", "2||0,00", "3||7,25"}) << "liste.txt: 3 Posten";
    QTest::newRow("workbook, the sheet offered")
        << workbook << ""
        << "" << strings({"Blatt Offene Posten", "Blatt Zweites Blatt", "Spalte D – Betrag"})
        << strings({"2|R-101|120,00", "3|R-102|80,50", "4|R-103|240,00", "5|R-104|19,50", "6|R-105|5,00",
                    "7|R-105|5,00"})
        << "offene_posten.ods, Blatt „Offene Posten“, Beträge aus Spalte D („Betrag“): 6 Posten; die "
           "Summenzeile 8 (470,00) ist nicht übernommen";
    QTest::newRow("workbook, the second sheet chosen")
        << workbook << "Zweites Blatt"
        << "" << strings({"Blatt Offene Posten", "Blatt Zweites Blatt", "Spalte B – Summe netto"})
        << strings({"2|A|0,10", "3|B|0,20"})
        << "offene_posten.ods, Blatt „Zweites Blatt“, Beträge aus Spalte B („Summe netto“): 2 Posten";
    QTest::newRow("two amount columns, the left one chosen")
        << write("netto.csv", "Rechnung;Netto;Brutto\nRE-1;100,00;119,00\nRE-2;50,00;59,50\n") << ""
        << "B – Netto" << strings({"Spalte B – Netto", "Spalte C – Brutto"})
        << strings({"2|RE-1|100,00", "3|RE-2|50,00"})
        << "netto.csv, Beträge aus Spalte B („Netto“): 2 Posten";
    // The column chosen by its index: a header that spells another column's letter is no matter,
    // and the label column is chosen anew beside the amount column.
    QTest::newRow("headers that spell letters, the column under \"B\" chosen")
        << write("buchstaben.csv", "Rechnung;C;B\nRE-1;1,00;2,00\nRE-2;3,00;4,00\n") << ""
        << "C – B" << strings({"Spalte B – C", "Spalte C – B"}) << strings({"2|RE-1|2,00", "3|RE-2|4,00"})
        << "buchstaben.csv, Beträge aus Spalte C („B“): 2 Posten";
    QTest::newRow("no label column, the left amounts chosen")
        << write("zwei.csv", "Netto;Brutto\n100;119\n50;59,5\n") << ""
        << "A – Netto" << strings({"Spalte A – Netto", "Spalte B – Brutto"})
        << strings({"2|119|100,00", "3|59,5|50,00"}) << "zwei.csv, Beträge aus Spalte A („Netto“): 2 Posten";
    QTest::newRow("missing file")
        << dir.filePath(QStringLiteral("fehlt.csv")) << ""
        << "" << QStringList() << strings({"2|alt|1,00"})
        << QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(dir.filePath(QStringLiteral("fehlt.csv")));
    QTest::newRow("no amount column") << write("kaputt.csv", "Rechnung;Betrag\nRE-1;12,5x\n") << ""
                                      << "" << QStringList() << strings({"2|alt|1,00"})
                                      << "Keine Spalte enthält unter der Überschrift nur Zahlen";
}

void TestListOpen::open() {
    QFETCH(QString, path);
    QFETCH(QString, sheet);
    QFETCH(QString, column);
    QFETCH(QStringList, dialog);
    QFETCH(QStringList, items);
    QFETCH(QString, status);
    if (!dialog.isEmpty())
        answerColumnDialog(sheet, column);
    window->openFile(path);
    QVERIFY(waitForIdle(window->controller()));
    QCOMPARE(offered, dialog);
    QCOMPARE(shownItems(), items);
    if (items.constFirst() == QLatin1String("2|alt|1,00")) {
        QCOMPARE(f->messages.size(), 1);
        QVERIFY2(f->messages[0].prompt.startsWith(status), qPrintable(f->messages[0].prompt));
    } else {
        QCOMPARE(window->statusBar()->findChild<QLabel*>()->text(), status);
        QVERIFY(f->messages.isEmpty());
    }
}

void TestListOpen::pasteThenDrop() {
    QGuiApplication::clipboard()->setText(QStringLiteral("R-1\t10,50\nR-2\t-20\n"));
    window->findChild<QAction*>(QStringLiteral("actionPaste"))->trigger();
    QVERIFY(waitForIdle(window->controller()));
    QCOMPARE(shownItems(), strings({"1|R-1|10,50", "2|R-2|-20,00"}));

    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(write("gezogen.csv", "Beleg\tBetrag\nB-7\t3,5\n"))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    QTRY_COMPARE(shownItems(), strings({"2|B-7|3,50"}));
    QVERIFY(f->messages.isEmpty());
    delete mime;
}

void TestListOpen::replacingAsks_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("Nein keeps the settled list") << false << strings({"2|alt|1,00"});
    QTest::newRow("Ja replaces it") << true << strings({"1||5,00"});
}

void TestListOpen::replacingAsks() {
    QFETCH(bool, answer);
    QFETCH(QStringList, items);
    window->itemModel()->settle({0});
    f->answers << answer;
    window->openFile(write("neu.txt", "5\n"));
    QVERIFY(waitForIdle(window->controller()));
    QCOMPARE(f->messages.size(), 1);
    QVERIFY(f->messages[0].buttons == MsgButtons::YesNo);
    QCOMPARE(shownItems(), items);
}

void TestListOpen::rememberedAndExported() {
    window->openFile(write("rechnungen.csv", "Rechnung;Betrag\nRE-1;1.234,50\nRE-2;99,9\nRE-3;1334,4\n"));
    QVERIFY(waitForIdle(window->controller()));
    window->findChild<QLineEdit*>(QStringLiteral("editTarget"))->setText(QStringLiteral("1.334,40"));
    window->findChild<QPushButton*>(QStringLiteral("buttonSearch"))->click();
    QTRY_COMPARE(window->hitModel()->rowCount(), 2);
    const QString csv = dir.filePath(QStringLiteral("ausgabe/treffer.csv"));
    QVERIFY(QDir().mkpath(QFileInfo(csv).absolutePath()));
    window->exportHits(csv);
    QFile written(csv);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("\xEF\xBB\xBFTreffer;Zeile;Bezeichnung;Betrag;Summe\r\n"
                                           "1;2;RE-1;1234,50;1334,40\r\n1;3;RE-2;99,90;1334,40\r\n"
                                           "2;4;RE-3;1334,40;1334,40\r\n"));
    QCOMPARE(QSettings().value(QStringLiteral("lastFolder")).toString(), QFileInfo(csv).absolutePath());

    window->setGeometry(40, 50, 900, 600);
    window->close();
    ListWindow again;
    QCOMPARE(again.size(), QSize(900, 600));
}

void TestListOpen::openedOnce_data() {
    QTest::addColumn<QString>("sheet"); // chosen in the column dialog; empty: as offered
    QTest::addColumn<QStringList>("items");
    QTest::newRow("the sheet offered") << ""
                                       << strings({"2|R-101|120,00", "3|R-102|80,50", "4|R-103|240,00",
                                                   "5|R-104|19,50", "6|R-105|5,00", "7|R-105|5,00"});
    QTest::newRow("the second sheet chosen") << "Zweites Blatt" << strings({"2|A|0,10", "3|B|0,20"});
}

// A workbook is read from its file once, however the user chooses in the column dialog.
void TestListOpen::openedOnce() {
    QFETCH(QString, sheet);
    QFETCH(QStringList, items);
    std::atomic<int> opened = 0;
    std::atomic<QThread*> openedOn = nullptr;
    const QString path = QStringLiteral(KALVON_TEST_DATA "/offene_posten.ods");
    const TableChoice::Open open = [&](const TableReader::Options& options, TableReader::Layout* layout) {
        ++opened;
        openedOn = QThread::currentThread();
        return TableReader::openFile(path, options, layout);
    };
    answerColumnDialog(sheet, {});
    window->readTable(open, path);
    QVERIFY(waitForIdle(window->controller()));
    QCOMPARE(opened.load(), 1);
    QVERIFY(openedOn != QThread::currentThread());
    QCOMPARE(shownItems(), items);
}

// A workbook whose first sheet could not be parsed is opened again at the sheet the user switches
// to in the column dialog, off the window's thread, and that sheet is read from it.
void TestListOpen::openedAgainOffThread() {
    TableChoice::Reading first;
    first.layout.sheets = strings({"Vorlage", "Offene Posten", "Zweites Blatt", "Archiv"});
    first.layout.hiddenSheets = {0, 3};
    first.layout.sheet = 1;
    first.failure = QStringLiteral("Das Tabellenblatt „Offene Posten“ lässt sich nicht lesen.");
    std::atomic<int> opened = 0;
    std::atomic<QThread*> openedOn = nullptr;
    const TableChoice::Open open = [&](const TableReader::Options& options, TableReader::Layout* layout) {
        ++opened;
        openedOn = QThread::currentThread();
        return TableReader::openFile(QStringLiteral(KALVON_TEST_DATA "/offene_posten.ods"), options, layout);
    };
    answerColumnDialog(QStringLiteral("Zweites Blatt"), {});
    const std::optional<TableChoice::Chosen> chosen = TableChoice::choose(first, open, window.get());
    QVERIFY(chosen);
    QCOMPARE(offered, strings({"Blatt Offene Posten", "Blatt Zweites Blatt", "Spalte B – Summe netto"}));
    QCOMPARE(opened.load(), 1);
    QVERIFY(openedOn != QThread::currentThread());
    const TableChoice::Reading read = TableChoice::readChosen(first.source, *chosen);
    QVERIFY2(read.failure.isEmpty(), qPrintable(read.failure));
    QStringList items;
    for (const Item& item : read.table->items)
        items << QStringLiteral("%1|%2|%3")
                     .arg(item.row)
                     .arg(item.label, NumberText::formatAmount(item.amount));
    QCOMPARE(items, strings({"2|A|0,10", "3|B|0,20"}));
}

// The header row chosen in the column dialog lays the sheet out anew and is read with the column.
void TestListOpen::headerRowChoice() {
    TableReader::Layout layout;
    layout.columnTitles = strings({"Offene Posten", "", ""});
    layout.amountColumns = {1, 2};
    QList<int> asked;
    ColumnDialog dialog(layout, 1, {}, [&](int, int headerRow) {
        asked << headerRow;
        TableReader::Layout other = layout;
        other.columnTitles = strings({"Rechnung", "Netto", "Brutto"});
        return other;
    });
    auto* headerRow = dialog.findChild<QSpinBox*>(QStringLiteral("spinHeaderRow"));
    auto* columns = dialog.findChild<QComboBox*>(QStringLiteral("comboColumn"));
    QCOMPARE(headerRow->text(), QStringLiteral("automatisch"));
    QCOMPARE(columns->itemText(1), QStringLiteral("C"));
    headerRow->setValue(2);
    QCOMPARE(asked, QList<int>{2});
    QCOMPARE(columns->itemText(1), QStringLiteral("C – Brutto"));
    columns->setCurrentIndex(1);
    QCOMPARE(dialog.choice().headerRow, 2);
    QCOMPARE(dialog.choice().amountColumn, 2);
}

void TestListOpen::columnDialogNames_data() {
    QTest::addColumn<QString>("sheet");   // the name of the first of two sheets
    QTest::addColumn<QString>("title");   // the header of the second amount column
    QTest::addColumn<QString>("shown");   // the sheet as the dialog lists it
    QTest::addColumn<QString>("tooltip"); // the same, whole
    const QString longName = QStringLiteral("Offene Posten ") + QString(186, QLatin1Char('x'));
    QTest::newRow("short names") << "Offene Posten"
                                 << "Brutto"
                                 << "Offene Posten"
                                 << "Offene Posten";
    QTest::newRow("200 characters") << longName << longName << "" << longName;
    QTest::newRow("control characters")
        << QStringLiteral("Blatt\x1B[2J\u202E1") << "Brutto" << QStringLiteral("Blatt\\x1B[2J\\u202E1")
        << QStringLiteral("Blatt\\x1B[2J\\u202E1");
}

// However long the names of sheets and columns, the dialog fits a screen 1024 pixels wide and its
// buttons can be reached; the names are shortened in the middle and whole in their tooltips.
void TestListOpen::columnDialogNames() {
    QFETCH(QString, sheet);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QFETCH(QString, tooltip);
    TableReader::Layout layout;
    layout.sheets = QStringList{sheet, sheet + QStringLiteral(" 2")};
    layout.sheet = 0;
    layout.columnTitles = QStringList{QStringLiteral("Beleg"), QStringLiteral("Netto"), title};
    layout.amountColumns = {1, 2};
    ColumnDialog dialog(layout, 1, {}, [&](int, int) { return layout; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY2(dialog.width() <= 1024, qPrintable(QString::number(dialog.width())));
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        const QRect inDialog(button->mapTo(&dialog, QPoint(0, 0)), button->size());
        QVERIFY2(dialog.rect().contains(inDialog), qPrintable(button->text()));
    }
    auto* sheets = dialog.findChild<QComboBox*>(QStringLiteral("comboSheet"));
    auto* columns = dialog.findChild<QComboBox*>(QStringLiteral("comboColumn"));
    QCOMPARE(sheets->itemData(0, Qt::ToolTipRole).toString(), tooltip);
    if (shown.isEmpty()) {
        QVERIFY2(sheets->itemText(0).contains(QChar(0x2026)) && sheets->itemText(0).size() < 150,
                 qPrintable(sheets->itemText(0)));
        QVERIFY(columns->itemText(1).contains(QChar(0x2026)));
        QCOMPARE(columns->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("C – ") + title);
    } else {
        QCOMPARE(sheets->itemText(0), shown);
    }
    sheets->setCurrentIndex(1);
    QCOMPARE(dialog.choice().sheet, 1); // the sheet by its index, however it is shown
}

// While a large file is read, the window's event loop keeps turning, the status says what is
// read and the commands that would change the list wait.
void TestListOpen::readingKeepsLoopTurning() {
    const QString path = write("gross.csv", largeCsv(100000));
    auto* open = window->findChild<QAction*>(QStringLiteral("actionOpen"));
    int ticks = 0, readingTicks = 0;
    qint64 longest = 0, last = 0;
    QElapsedTimer clock;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] {
        ++ticks;
        readingTicks += window->controller()->isBusy();
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    timer.start(10);
    window->openFile(path);
    const qint64 started = clock.elapsed();
    QCOMPARE(window->statusBar()->findChild<QLabel*>()->text(), QStringLiteral("„gross.csv“ wird gelesen…"));
    QVERIFY(!open->isEnabled());
    QVERIFY(waitForIdle(window->controller()));
    const qint64 read = clock.elapsed();
    QTest::qWait(50);
    qInfo("read in %lld ms (openFile returned after %lld ms), %d ticks of 10 ms while reading, the "
          "longest gap %lld ms",
          read, started, readingTicks, longest);
    // Read on the window's thread, the timer would not tick at all until the list is shown.
    QVERIFY2(readingTicks >= std::min<qint64>(5, read / 40), qPrintable(QString::number(readingTicks)));
    QCOMPARE(window->itemModel()->rowCount(), 99999);
    QVERIFY(open->isEnabled());
    QVERIFY(f->messages.isEmpty());
}

void TestListOpen::endedWhileReading_data() {
    QTest::addColumn<bool>("close"); // else "Abbrechen"
    QTest::newRow("window closed") << true;
    QTest::newRow("reading cancelled") << false;
}

// A reading that is not waited for is dropped: the window closes at once and nothing of the
// reading is shown later; cancelled, the list stays as it was.
void TestListOpen::endedWhileReading() {
    QFETCH(bool, close);
    window->openFile(write("gross.csv", largeCsv(100000)));
    QVERIFY(window->controller()->isBusy());
    QElapsedTimer clock;
    clock.start();
    if (close) {
        window->close();
        window.reset();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    } else {
        window->findChild<QAction*>(QStringLiteral("actionStop"))->trigger();
        QVERIFY(!window->controller()->isBusy());
        QCOMPARE(window->statusBar()->findChild<QLabel*>()->text(), QStringLiteral("1 Posten"));
    }
    QVERIFY(FileReader::endAll(30000));
    QTest::qWait(20);
    if (window)
        QCOMPARE(shownItems(), strings({"2|alt|1,00"}));
    QVERIFY(f->messages.isEmpty());
}

// A dropped reading runs to its end unreported; the program's end waits for it as long as told.
void TestListOpen::readerDropsAndEnds() {
    QSemaphore go;
    int done = 0;
    {
        FileReader reader;
        QVERIFY(reader.start([&go] { go.acquire(); }, [&done] { ++done; }));
        QVERIFY(!reader.start([] {}, [&done] { ++done; })); // one at a time
        reader.drop();
        QVERIFY(reader.start([] {}, [&done] { done += 10; })); // the next while the first still runs
        QTRY_COMPARE(done, 10);
        QVERIFY(!FileReader::endAll(20)); // the first is still blocked
        go.release();
    }
    QVERIFY(FileReader::endAll(30000));
    QTest::qWait(20);
    QCOMPARE(done, 10);
}

QTEST_MAIN(TestListOpen)
#include "tst_list_open.moc"
