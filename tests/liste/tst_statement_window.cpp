// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's page "Kontoauszug": a bank statement opened beside the open items, matched, and
// worked through by mouse and keyboard as a user would.
#include "core/numbers/kalvon_error.h"
#include "list_fixture.h"
#include "liste/item_model.h"
#include "liste/list_window.h"
#include "liste/reconciliation_controller.h"
#include "liste/statement_input.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Data = QStringLiteral(KALVON_ABGLEICH_DATA);
const QString Statement = Data + QStringLiteral("/kontoauszug.xml");
const QString Items = Data + QStringLiteral("/offene_posten.xlsx");

// The colours of the payments' statuses, as the legend shows them.
const QString Green = QStringLiteral("#c0ffc0");
const QString Doubtful = QStringLiteral("#ffe8a0");
const QString Grey = QStringLiteral("#e0e0e0");

// The statement's payments as matched against the open items, each with its status.
QStringList matchedPayments() {
    return strings({"Buchung 1|zugeordnet", "Buchung 2|zugeordnet mit Skonto", "Buchung 3|zugeordnet",
                    "Buchung 4|Teilzahlung", "Buchung 5|zugeordnet", "Buchung 6|zugeordnet mit Skonto",
                    "Buchung 7|mehrdeutig, 2 mögliche Zuordnungen", "Buchung 8|nicht zugeordnet",
                    "Buchung 9|zugeordnet", "Buchung 10|zugeordnet",
                    "Buchung 11|ausgelassen: eine ausgehende Zahlung (Soll)",
                    "Buchung 12|ausgelassen: eine ausgehende Zahlung (Soll)",
                    "Buchung 13|ausgelassen: eine Stornobuchung"});
}

} // namespace

class TestStatementWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void paymentsShown();
    void filter_data();
    void filter();
    void choosingShowsItems_data();
    void choosingShowsItems();
    void acceptAllThenUndo();
    void acceptCandidate();
    void assignByHand();
    void badSettingsTold_data();
    void badSettingsTold();
    void badStatementChangesNothing_data();
    void badStatementChangesNothing();
    void savingAsksBeforeReplacing_data();
    void savingAsksBeforeReplacing();
    void customerColumn();
    void closeWhileMatching();
    void cancelAndResponsive();
    void savedRoundTrip();
    void reportSaved_data();
    void reportSaved();
    void statementBeforeList();
    void dropped_data();
    void dropped();
    void automationNames();
    void settingsRead_data();
    void settingsRead();

private:
    template <class T> T* child(const char* name) const {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    // Opens the open items and the statement as a user does and waits until the matching ended.
    void openAndMatch();
    QTableView* payments() const { return child<QTableView>("tablePayments"); }
    int column(const QTableView* view, const QString& header) const;
    // The payments as shown: "entry|status", and each row's colour.
    QStringList shownPayments(QStringList* colours = nullptr) const;
    void choosePayment(int entry);
    // The item rows shown in the hit colour, as the spreadsheet numbers them.
    QList<int> greenRows() const;
    void dropFile(const QString& path);
    QString write(const QString& name, const QByteArray& bytes) const;
    void openLongCase();

    std::optional<ListFixture> f;
    std::unique_ptr<ListWindow> window;
    QTemporaryDir folder;
    QTimer dialogs; // takes the column dialog's choice as offered
    QString longStatement;
};

void TestStatementWindow::init() {
    f.emplace();
    connect(&dialogs, &QTimer::timeout, this, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    dialogs.start(20);
    window = std::make_unique<ListWindow>();
    window->resize(1280, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestStatementWindow::cleanup() {
    dialogs.stop();
    dialogs.disconnect(this);
    f->answers.clear();
    window.reset();
    f.reset();
}

void TestStatementWindow::openAndMatch() {
    window->openFile(Items);
    QTRY_COMPARE(window->itemModel()->itemCount(), 15);
    child<QAction>("actionOpenStatement"); // the menu's command, whose dialog gives this file
    QSignalSpy matched(window->reconciliation(), &ReconciliationController::matched);
    window->openStatement(Statement);
    QTRY_COMPARE(matched.size(), 1);
    QVERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QCOMPARE(payments()->model()->rowCount(), 13);
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
}

int TestStatementWindow::column(const QTableView* view, const QString& header) const {
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->model()->headerData(c, Qt::Horizontal).toString() == header)
            return c;
    qFatal("no column %s", qPrintable(header));
}

QStringList TestStatementWindow::shownPayments(QStringList* colours) const {
    QStringList out;
    const QAbstractItemModel* model = payments()->model();
    const int status = column(payments(), QStringLiteral("Status"));
    for (int r = 0; r < model->rowCount(); ++r) {
        out << model->index(r, 0).data().toString() + QLatin1Char('|') +
                   model->index(r, status).data().toString();
        if (colours) {
            const QVariant colour = model->index(r, status).data(Qt::BackgroundRole);
            *colours << (colour.isValid() ? colour.value<QColor>().name() : QStringLiteral("none"));
        }
    }
    return out;
}

void TestStatementWindow::choosePayment(int entry) {
    const QAbstractItemModel* model = payments()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 0).data().toString() == QStringLiteral("Buchung %1").arg(entry)) {
            payments()->setFocus();
            payments()->setCurrentIndex(model->index(r, 0));
            return;
        }
    }
    qFatal("no payment %d", entry);
}

QList<int> TestStatementWindow::greenRows() const {
    QList<int> rows;
    const ItemModel* items = window->itemModel();
    for (int r = 0; r < items->itemCount(); ++r) {
        const QVariant colour = items->index(r, ItemModel::AmountColumn).data(Qt::BackgroundRole);
        if (colour.isValid() && colour.value<QColor>().name() == Green)
            rows << items->item(r).row;
    }
    return rows;
}

void TestStatementWindow::dropFile(const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
}

QString TestStatementWindow::write(const QString& name, const QByteArray& bytes) const {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Every payment of the statement in the order of the statement, with its status in the words of
// kalvon-abgleich's report and its colour: matched green as hits are, partial and ambiguous in
// the colour of doubt, unmatched plain, left out grey.
void TestStatementWindow::paymentsShown() {
    openAndMatch();
    QStringList colours;
    QCOMPARE(shownPayments(&colours), matchedPayments());
    QCOMPARE(colours, QStringList({Green, Green, Green, Doubtful, Green, Green, Doubtful,
                                   QStringLiteral("none"), Green, Green, Grey, Grey, Grey}));
    QVERIFY(window->findChild<QTabWidget*>()->currentWidget()->isAncestorOf(payments()));
    // The legend names the colours the table uses.
    QStringList legend;
    for (const QLabel* label :
         window->findChild<QWidget*>(QStringLiteral("legendPayments"))->findChildren<QLabel*>())
        legend << label->text() + QLatin1Char(' ') + label->palette().color(label->backgroundRole()).name();
    QVERIFY2(legend.size() >= 3, qPrintable(legend.join(QLatin1Char(','))));
}

void TestStatementWindow::filter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("Alle") << "Alle"
                          << strings({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"});
    QTest::newRow("zugeordnet") << "zugeordnet" << strings({"1", "2", "3", "5", "6", "9", "10"});
    QTest::newRow("Teilzahlung") << "Teilzahlung" << strings({"4"});
    QTest::newRow("mehrdeutig") << "mehrdeutig" << strings({"7"});
    QTest::newRow("nicht zugeordnet") << "nicht zugeordnet" << strings({"8"});
    QTest::newRow("ausgelassen") << "ausgelassen" << strings({"11", "12", "13"});
}

void TestStatementWindow::filter() {
    QFETCH(QString, filter);
    QFETCH(QStringList, entries);
    openAndMatch();
    auto* combo = child<QComboBox>("comboPaymentFilter");
    QCOMPARE(combo->count(), 6);
    combo->setCurrentIndex(combo->findText(filter));
    QStringList shown;
    for (int r = 0; r < payments()->model()->rowCount(); ++r)
        shown << payments()->model()->index(r, 0).data().toString().remove(QStringLiteral("Buchung "));
    QCOMPARE(shown, entries);
}

void TestStatementWindow::choosingShowsItems_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QList<int>>("rows"); // as the spreadsheet numbers them
    QTest::addColumn<QString>("details"); // a part of the details
    QTest::newRow("by reference") << 1 << QList<int>{2} << "Verwendungszweck";
    QTest::newRow("two invoices") << 3 << QList<int>{4, 5} << "Verwendungszweck";
    QTest::newRow("Skonto") << 6 << QList<int>{8} << "3";
    QTest::newRow("partial") << 4 << QList<int>{6} << "1.000,00";
    QTest::newRow("last item, by amount") << 10 << QList<int>{13} << "";
    QTest::newRow("ambiguous") << 7 << QList<int>{} << "";
}

void TestStatementWindow::choosingShowsItems() {
    QFETCH(int, entry);
    QFETCH(QList<int>, rows);
    QFETCH(QString, details);
    window->resize(1000, 560);
    openAndMatch();
    auto* items = child<QTableView>("tableItems");
    items->scrollToTop();
    choosePayment(entry);
    QCOMPARE(greenRows(), rows);
    QVERIFY(child<QLabel>("labelPaymentDetails")->text().contains(details));
    for (const int row : rows) {
        const QRect shown = items->visualRect(window->itemModel()->index(row - 2, ItemModel::AmountColumn));
        QVERIFY2(items->viewport()->rect().contains(shown), qPrintable(QString::number(row)));
    }
}

void TestStatementWindow::acceptAllThenUndo() {
    openAndMatch();
    ItemModel* items = window->itemModel();
    QTest::mouseClick(child<QPushButton>("buttonAcceptAll"), Qt::LeftButton);
    QList<int> settled;
    for (int r = 0; r < items->itemCount(); ++r)
        if (items->isSettled(r))
            settled << items->item(r).row;
    QCOMPARE(settled, (QList<int>{2, 3, 4, 5, 7, 8, 12, 13}));
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonAcceptAll")->isEnabled()); // nothing left to accept
    // The payments left are matched again without the settled items; then the step can be undone.
    QTRY_VERIFY(child<QAction>("actionUndo")->isEnabled());
    child<QAction>("actionUndo")->trigger();
    QCOMPARE(items->settledCount(), 0);
    QVERIFY(!child<QAction>("actionUndo")->isEnabled());
    QTRY_VERIFY(child<QPushButton>("buttonAcceptAll")->isEnabled());
}

void TestStatementWindow::acceptCandidate() {
    openAndMatch();
    choosePayment(7);
    auto* candidates = child<QTableView>("tableCandidates");
    QCOMPARE(candidates->model()->rowCount(), 2);
    QVERIFY(!child<QPushButton>("buttonAcceptCandidate")->isEnabled());
    candidates->setCurrentIndex(candidates->model()->index(1, 0));
    QVERIFY(child<QPushButton>("buttonAcceptCandidate")->isEnabled());
    QTest::mouseClick(child<QPushButton>("buttonAcceptCandidate"), Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
    const Abgleich::Report report = window->reconciliation()->report();
    QCOMPARE(report.payments[6].status, Abgleich::Status::Matched);
    QCOMPARE(report.openItems[std::size_t(report.payments[6].items.at(0))].row, 10);
}

void TestStatementWindow::assignByHand() {
    openAndMatch();
    choosePayment(8); // 777,77, matched to nothing
    auto* items = child<QTableView>("tableItems");
    auto* button = child<QPushButton>("buttonAssign");
    QVERIFY(!button->isEnabled());
    items->selectionModel()->select(window->itemModel()->index(9, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QString one = child<QLabel>("labelAssignSum")->text();
    QVERIFY2(!one.isEmpty(), "no sum shown");
    items->selectionModel()->select(window->itemModel()->index(13, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY2(child<QLabel>("labelAssignSum")->text() != one, qPrintable(one));
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
    const Abgleich::PaymentResult paid = window->reconciliation()->report().payments[7];
    QCOMPARE(paid.items.size(), std::size_t(2));
    child<QAction>("actionUndo")->trigger();
    QCOMPARE(window->reconciliation()->report().payments[7].status, Abgleich::Status::Unmatched);
}

void TestStatementWindow::badSettingsTold_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("Skonto")
        << "editSkonto"
        << "2; drei"
        << "Skonto erwartet Prozentsätze unter 100, getrennt durch Semikolons (etwa „2; 3“ "
           "oder „1,5; 3“), nicht „2; drei“.";
    QTest::newRow("tolerance") << "editMatchTolerance"
                               << "-5"
                               << "Die Toleranz darf nicht negativ sein: „-5“.";
}

// Options that cannot be read are told before anything is matched; the results stay.
void TestStatementWindow::badSettingsTold() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    openAndMatch();
    child<QLineEdit>(field.toLatin1().constData())->setText(text);
    QTest::mouseClick(child<QPushButton>("buttonMatch"), Qt::LeftButton);
    QCOMPARE(f->texts(), QStringList{message});
    QVERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QCOMPARE(shownPayments(), matchedPayments());
}

void TestStatementWindow::badStatementChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // a part of the message
    QTest::newRow("XML that is no statement")
        << "fremd.xml" << QByteArray("<?xml version=\"1.0\"?><Rechnung><Betrag>5</Betrag></Rechnung>\n")
        << "fremd.xml";
    QTest::newRow("broken camt") << "kaputt.xml"
                                 << QByteArray(
                                        "<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:"
                                        "xsd:camt.053.001.08\"><BkToCstmrStmt><Stmt>")
                                 << "kaputt.xml";
    QTest::newRow("missing file") << "" << QByteArray() << "fehlt.xml";
}

void TestStatementWindow::badStatementChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    openAndMatch();
    QStringList colours;
    const QStringList before = shownPayments(&colours);
    const QString path = name.isEmpty() ? folder.filePath(QStringLiteral("fehlt.xml")) : write(name, bytes);
    f->answers << true; // replace the statement that is open
    window->openStatement(path);
    QCOMPARE(f->messages.size(), 2);
    QVERIFY2(f->messages.last().prompt.contains(message), qPrintable(f->messages.last().prompt));
    QCOMPARE(shownPayments(), before);
    QCOMPARE(window->reconciliation()->statementFile(), Statement);
    QCOMPARE(window->itemModel()->itemCount(), 15);
}

void TestStatementWindow::savingAsksBeforeReplacing_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("written");
    QTest::newRow("new file") << false << true << 0 << true;
    QTest::newRow("existing, Nein") << true << false << 1 << false;
    QTest::newRow("existing, Ja") << true << true << 1 << true;
}

void TestStatementWindow::savingAsksBeforeReplacing() {
    QFETCH(bool, exists);
    QFETCH(bool, answer);
    QFETCH(int, questions);
    QFETCH(bool, written);
    openAndMatch();
    const QString path = folder.filePath(QStringLiteral("kontoauszug.abgleich.json"));
    QFile::remove(path);
    if (exists)
        write(QStringLiteral("kontoauszug.abgleich.json"), "alt");
    f->answers << answer;
    window->saveReconciliation(path);
    QCOMPARE(f->messages.size(), questions);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll() != "alt", written);
}

// 50 payments by amount alone against 1,000 items of no customer: seconds of matching.
void TestStatementWindow::openLongCase() {
    QString csv = QStringLiteral("Belegnr;Betrag\n");
    QString entries;
    for (int i = 0; i < 1000; ++i)
        csv += QStringLiteral("R-%1;%2,%3\n")
                   .arg(i)
                   .arg(50 + i * 7919 % 5000)
                   .arg(i * 31 % 100, 2, 10, QLatin1Char('0'));
    for (int p = 0; p < 50; ++p)
        entries +=
            QStringLiteral("<Ntry><Amt Ccy=\"EUR\">%1.00</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts><Cd>BOOK</Cd>"
                           "</Sts><BookgDt><Dt>2026-12-07</Dt></BookgDt><NtryDtls><TxDtls><RltdPties><Dbtr>"
                           "<Pty><Nm>Kunde</Nm></Pty></Dbtr></RltdPties><RmtInf><Ustrd>Zahlung</Ustrd>"
                           "</RmtInf></TxDtls></NtryDtls></Ntry>\n")
                .arg(3000 + p * 137);
    const QString xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document xmlns=\"urn:iso:std:iso:"
                       "20022:tech:xsd:camt.053.001.08\"><BkToCstmrStmt><GrpHdr><MsgId>B</MsgId>"
                       "<CreDtTm>2026-12-08T06:00:00</CreDtTm></GrpHdr><Stmt><Id>B</Id><Acct><Id>"
                       "<IBAN>DE15370501980001234567</IBAN></Id><Ccy>EUR</Ccy></Acct>\n%1</Stmt>"
                       "</BkToCstmrStmt></Document>\n")
            .arg(entries);
    window->openFile(write(QStringLiteral("posten.csv"), csv.toUtf8()));
    QTRY_COMPARE(window->itemModel()->itemCount(), 1000);
    longStatement = write(QStringLiteral("auszug.xml"), xml.toUtf8());
}

void TestStatementWindow::closeWhileMatching() {
    openLongCase();
    QPointer<ListWindow> shown = window.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->openStatement(longStatement);
    QTRY_VERIFY(shown->findChild<QPushButton*>(QStringLiteral("buttonStopMatch"))->isEnabled());
    QTest::qWait(50);
    QVERIFY(shown->findChild<QPushButton*>(QStringLiteral("buttonStopMatch"))->isEnabled()); // still matching
    QElapsedTimer closing;
    closing.start();
    QVERIFY(shown->close());
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
    QTRY_VERIFY(shown.isNull());
}

// The list's columns are offered as the customer column; the one the list names the customer by
// gives the same result as the automatic choice.
void TestStatementWindow::customerColumn() {
    openAndMatch();
    const QStringList automatic = shownPayments();
    auto* combo = child<QComboBox>("comboCustomerColumn");
    QTRY_COMPARE(combo->count(), 6);
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    QCOMPARE(offered, strings({"automatisch", "A – Belegnr", "B – Kundennr", "C – Kunde", "D – Belegdatum",
                               "E – Betrag"}));
    combo->setCurrentIndex(3);
    QTest::mouseClick(child<QPushButton>("buttonMatch"), Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
    QCOMPARE(window->reconciliation()->settings().customerColumn, 2);
    QCOMPARE(shownPayments(), automatic);
}

// "Abbrechen" ends the matching; meanwhile the event loop keeps turning.
void TestStatementWindow::cancelAndResponsive() {
    openLongCase();
    QElapsedTimer clock;
    qint64 last = 0, largestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        largestGap = std::max(largestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    ticker.start(5);
    clock.start();
    window->openStatement(longStatement);
    QTRY_VERIFY(child<QPushButton>("buttonStopMatch")->isEnabled());
    last = clock.elapsed(); // reading the statement is the window's; the matching is the worker's
    largestGap = 0;
    QVERIFY(!child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY(!child<QAction>("actionOpen")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonSearch")->isEnabled()); // search and matching never at once
    QTest::qWait(300);
    QVERIFY(child<QPushButton>("buttonStopMatch")->isEnabled()); // still matching
    QTest::mouseClick(child<QPushButton>("buttonStopMatch"), Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    ticker.stop();
    QVERIFY2(largestGap < 250,
             qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(largestGap)));
    QVERIFY(child<QAction>("actionOpen")->isEnabled());
    QVERIFY(child<QPushButton>("buttonSearch")->isEnabled());
}

// A decision saved, then the statement and the list opened again from the saved file in a new window.
void TestStatementWindow::savedRoundTrip() {
    openAndMatch();
    choosePayment(7);
    auto* candidates = child<QTableView>("tableCandidates");
    candidates->setCurrentIndex(candidates->model()->index(1, 0));
    QTest::mouseClick(child<QPushButton>("buttonAcceptCandidate"), Qt::LeftButton);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    const QString saved = folder.filePath(QStringLiteral("gespeichert.abgleich.json"));
    QFile::remove(saved);
    window->saveReconciliation(saved);
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));

    window = std::make_unique<ListWindow>();
    window->show();
    window->openReconciliation(saved);
    QTRY_VERIFY(child<QPushButton>("buttonMatch")->isEnabled());
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
    QCOMPARE(window->itemModel()->itemCount(), 15);
    QCOMPARE(window->reconciliation()->statementFile(), Statement);
    const Abgleich::Report report = window->reconciliation()->report();
    QCOMPARE(report.payments[6].status, Abgleich::Status::Matched);
    QCOMPARE(report.openItems[std::size_t(report.payments[6].items.at(0))].row, 10);
    QVERIFY(window->reconciliation()->isDecided(6));
    QVERIFY(window->itemModel()->isSettled(8)); // row 10
}

void TestStatementWindow::reportSaved_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start"); // the file's first bytes
    QTest::newRow("workbook") << "bericht.xlsx" << QByteArray("PK");
    QTest::newRow("CSV") << "bericht.csv" << QByteArray();
}

void TestStatementWindow::reportSaved() {
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    openAndMatch();
    window->saveReport(folder.filePath(name));
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
    QFile file(folder.filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(start));
    if (start.isEmpty())
        QVERIFY2(bytes.contains("RE-2026-0101"), bytes.left(200).constData());
}

// A statement opened before the list is matched as soon as the list is there.
void TestStatementWindow::statementBeforeList() {
    window->openStatement(Statement);
    QCOMPARE(payments()->model()->rowCount(), 13);
    QVERIFY(!child<QPushButton>("buttonMatch")->isEnabled()); // nothing to match against
    window->openFile(Items);
    QTRY_COMPARE(shownPayments(), matchedPayments());
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
}

void TestStatementWindow::dropped_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("payments");
    QTest::addColumn<int>("items");
    QTest::newRow("a statement opens as one") << Statement << 13 << 0;
    QTest::newRow("a table opens as the list") << Items << 0 << 15;
}

void TestStatementWindow::dropped() {
    QFETCH(QString, file);
    QFETCH(int, payments);
    QFETCH(int, items);
    dropFile(file);
    QTRY_COMPARE(window->reconciliation()->hasStatement(), payments > 0);
    QTRY_COMPARE(window->itemModel()->itemCount(), items);
    QCOMPARE(this->payments()->model()->rowCount(), payments);
    QVERIFY2(f->messages.isEmpty(), qPrintable(f->texts().join(QLatin1Char('\n'))));
}

// Every new control is found by its name, has an accessible name, and is reached by a mnemonic,
// its label's mnemonic or a key.
void TestStatementWindow::automationNames() {
    const QStringList widgets = strings(
        {"tablePayments", "comboPaymentFilter", "spinMatchMaxItems", "editMatchTolerance", "editSkonto",
         "spinDays", "comboCustomerColumn", "buttonMatch", "buttonStopMatch", "labelPaymentDetails",
         "tableCandidates", "buttonAcceptCandidate", "buttonAcceptAll", "buttonAssign", "labelAssignSum"});
    QStringList buddies;
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy() && label->text().contains(QLatin1Char('&')))
            buddies << label->buddy()->objectName();
    for (const QString& name : widgets) {
        const QWidget* w = window->findChild<QWidget*>(name);
        QVERIFY2(w && !w->accessibleName().isEmpty(), qPrintable(name));
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const bool reached = qobject_cast<const QLabel*>(w) || buddies.contains(name) ||
                             (button && button->text().contains(QLatin1Char('&')));
        QVERIFY2(reached, qPrintable(name));
    }
    const QStringList actions = strings(
        {"actionOpenStatement", "actionSaveReport", "actionSaveReconciliation", "actionOpenReconciliation"});
    for (const QString& name : actions) {
        const auto* action = window->findChild<QAction*>(name);
        QVERIFY2(action && action->text().contains(QLatin1Char('&')), qPrintable(name));
    }
    QVERIFY(!child<QAction>("actionOpenStatement")->shortcut().isEmpty());
    // The pages switch by their mnemonics; Tab then goes through the page's controls ("Abgleichen"
    // waits for a statement).
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto* pages = window->findChild<QTabWidget*>();
    QTest::keyClick(window.get(), Qt::Key_K, Qt::AltModifier);
    QVERIFY(pages->currentWidget()->isAncestorOf(payments()));
    child<QSpinBox>("spinMatchMaxItems")->setFocus();
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, strings({"editMatchTolerance", "editSkonto", "spinDays", "comboCustomerColumn",
                               "comboPaymentFilter"}));
    QTest::keyClick(window.get(), Qt::Key_E, Qt::AltModifier);
    QVERIFY(pages->currentWidget()->isAncestorOf(child<QPushButton>("buttonSearch")));
    QCOMPARE(child<QSpinBox>("spinMatchMaxItems")->value(), 4);
    QCOMPARE(child<QSpinBox>("spinMatchMaxItems")->maximum(), 8);
    QCOMPARE(child<QSpinBox>("spinDays")->value(), 180);
    QCOMPARE(child<QLineEdit>("editSkonto")->text(), QStringLiteral("2; 3"));
}

void TestStatementWindow::settingsRead_data() {
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("skonto");
    QTest::addColumn<QString>("read"); // tolerance, then the rates in ten-thousandths; or the message
    QTest::newRow("defaults") << ""
                              << "2; 3"
                              << "0 | 20000 30000";
    QTest::newRow("decimal rate, unsorted, twice") << "0,50"
                                                   << "3;1,5; 3"
                                                   << "5000 | 15000 30000";
    QTest::newRow("0 switches Skonto off") << "1.000"
                                           << "0"
                                           << "10000000 |";
    QTest::newRow("empty switches Skonto off") << ""
                                               << " "
                                               << "0 |";
    QTest::newRow("amount with currency") << "2,00 €"
                                          << "2"
                                          << "20000 | 20000";
    QTest::newRow("rate of 100")
        << ""
        << "100"
        << "Skonto erwartet Prozentsätze unter 100, getrennt durch Semikolons (etwa „2; 3“ "
           "oder „1,5; 3“), nicht „100“.";
    QTest::newRow("no rate") << ""
                             << "2, 3x"
                             << "Skonto erwartet Prozentsätze unter 100, getrennt durch "
                                "Semikolons (etwa „2; 3“ oder „1,5; 3“), nicht „2, 3x“.";
    QTest::newRow("negative tolerance") << "-1"
                                        << "2"
                                        << "Die Toleranz darf nicht negativ sein: „-1“.";
    QTest::newRow("tolerance no number") << "zehn"
                                         << "2"
                                         << "Die Toleranz ist keine gültige Zahl: „zehn“.";
}

void TestStatementWindow::settingsRead() {
    QFETCH(QString, tolerance);
    QFETCH(QString, skonto);
    QFETCH(QString, read);
    StatementInput::Fields fields;
    fields.tolerance = tolerance;
    fields.skonto = skonto;
    QString shown;
    try {
        const MatchSettings settings = StatementInput::read(fields);
        shown = QString::number(settings.tolerance.count()) + QStringLiteral(" |");
        for (const Currency rate : settings.skontoPercents)
            shown += QLatin1Char(' ') + QString::number(rate.count());
    } catch (const KalvonError& e) {
        shown = e.userMessage();
    }
    QCOMPARE(shown, read);
}

QTEST_MAIN(TestStatementWindow)
#include "tst_statement_window.moc"
