// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's bank statement without widgets: the controller's report against kalvon-abgleich on
// the same files, the decisions and their undo, cancellation, bad statements and the saved
// reconciliation.
#include "abgleich/abgleich_command.h"
#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"
#include "frontend/reconciliation/report_writer.h"
#include "list_fixture.h"
#include "liste/candidate_model.h"
#include "liste/item_model.h"
#include "liste/payment_model.h"
#include "liste/reconciliation_controller.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <memory>
#include <random>

namespace {

QString data(const char* name) {
    return QStringLiteral(KALVON_ABGLEICH_DATA "/") + QLatin1String(name);
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A camt.053.001.08 statement of 07.12.2026 in `currency`, one credit entry for each booking
// "amount|payer|text", the amount with a decimal point.
QByteArray camt(const QStringList& bookings, const QString& currency = QStringLiteral("EUR")) {
    QString entries;
    for (const QString& booking : bookings) {
        const QStringList f = booking.split(QLatin1Char('|'));
        entries += QStringLiteral(
                       "<Ntry><Amt Ccy=\"%4\">%1</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>"
                       "<BookgDt><Dt>2026-12-07</Dt></BookgDt><ValDt><Dt>2026-12-07</Dt></ValDt><NtryDtls>"
                       "<TxDtls><RltdPties><Dbtr><Pty><Nm>%2</Nm></Pty></Dbtr></RltdPties><RmtInf><Ustrd>%3"
                       "</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>\n")
                       .arg(f[0], f[1].toHtmlEscaped(), f[2].toHtmlEscaped(), currency);
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document "
                          "xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\"><BkToCstmrStmt><GrpHdr>"
                          "<MsgId>T</MsgId><CreDtTm>2026-12-08T06:00:00</CreDtTm></GrpHdr><Stmt><Id>T</Id>"
                          "<Acct><Id><IBAN>DE15370501980001234567</IBAN></Id><Ccy>%2</Ccy></Acct>\n%1</Stmt>"
                          "</BkToCstmrStmt></Document>\n")
        .arg(entries, currency)
        .toUtf8();
}

// The same statement with entry `entry` (from 1) booked as a debit: left out, the others keep
// their numbers.
QByteArray withDebit(QByteArray xml, int entry) {
    qsizetype at = -1;
    for (int i = 0; i < entry; ++i)
        at = xml.indexOf("<Ntry>", at + 1);
    const qsizetype end = xml.indexOf("</Ntry>", at);
    QByteArray part = xml.mid(at, end - at);
    part.replace("<CdtDbtInd>CRDT", "<CdtDbtInd>DBIT");
    return xml.replace(at, end - at, part);
}

// The same CSV list with the amounts of these rows (as a spreadsheet numbers them) left empty: the
// rows are no items any more, the others keep their numbers.
QByteArray withoutRows(const QByteArray& csv, const QList<int>& rows) {
    QList<QByteArray> lines = csv.split('\n');
    for (const int row : rows)
        lines[row - 1].truncate(lines[row - 1].lastIndexOf(';') + 1);
    return lines.join('\n');
}

// A generated list of open items of 12 customers (CSV) and a statement that pays them in the ways a
// bookkeeper meets: by invoice number, with 2 % Skonto, by amount within the customer, partly, by a
// payer that is no customer, and twice the same amount.
void generate(unsigned seed, const QString& statementPath, const QString& itemsPath) {
    std::mt19937 rng(seed);
    const auto customer = [](int c) {
        static const char* const kinds[] = {"Bäckerei", "Autohaus", "Praxis", "Elektro"};
        return QStringLiteral("%1 Nummer %2 GmbH").arg(QString::fromUtf8(kinds[c % 4])).arg(c);
    };
    QString csv = QStringLiteral("Belegnr;Kundennr;Kunde;Belegdatum;Betrag\n");
    std::vector<std::pair<int, qint64>> invoices; // customer, cents
    for (int i = 0; i < 90; ++i) {
        const int c = int(rng() % 12);
        // A few equal amounts per customer, so that sums by amount collide.
        const qint64 cents = i % 7 == 0 ? 50000 : qint64(rng() % 300000 + 1000);
        invoices.push_back({c, cents});
        csv += QStringLiteral("RE-%1;K%2;%3;%4;%5,%6\n")
                   .arg(i + 1, 4, 10, QLatin1Char('0'))
                   .arg(c)
                   .arg(customer(c), QDate(2026, 11, 1).addDays(i % 30).toString(Qt::ISODate))
                   .arg(cents / 100)
                   .arg(cents % 100, 2, 10, QLatin1Char('0'));
    }
    const auto money = [](qint64 cents) {
        return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
    };
    QStringList bookings;
    for (int p = 0; p < 30; ++p) {
        const int first = int(rng() % invoices.size());
        const int c = invoices[std::size_t(first)].first;
        qint64 sum = invoices[std::size_t(first)].second;
        QString text = QStringLiteral("Zahlung");
        const int kind = p % 6;
        if (kind == 0 || kind == 4)
            text = QStringLiteral("Rechnung RE-%1").arg(first + 1, 4, 10, QLatin1Char('0'));
        if (kind == 1)
            sum -= (sum * 2 + 50) / 100;
        if (kind == 4)
            sum /= 2;
        if (kind == 2) { // a second invoice of the customer, by amount
            for (std::size_t j = std::size_t(first) + 1; j < invoices.size(); ++j) {
                if (invoices[j].first == c) {
                    sum += invoices[j].second;
                    break;
                }
            }
        }
        bookings << QStringLiteral("%1|%2|%3")
                        .arg(money(sum), kind == 3 ? QStringLiteral("Unbekannt") : customer(c), text);
    }
    bookings << QStringLiteral("500.00|%1|Zahlung").arg(customer(0));
    writeFile(statementPath, camt(bookings));
    writeFile(itemsPath, csv.toUtf8());
}

// kalvon-abgleich on the files, in-process: what it writes to standard output.
QByteArray run(const QString& statement, const QString& items, const QStringList& options) {
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QStringList arguments{QStringLiteral("kalvon-abgleich"), QStringLiteral("--locale=de_DE")};
    arguments << options << statement << items;
    const int status =
        AbgleichCommand::run(arguments, AbgleichCommand::Streams{out, err}, [] { return false; });
    if (status > 1)
        qWarning() << err.data();
    return out.data();
}

// kalvon-abgleich --json on the files.
QJsonObject abgleich(const QString& statement, const QString& items, const QStringList& options = {}) {
    return QJsonDocument::fromJson(run(statement, items, QStringList{QStringLiteral("--json")} + options))
        .object();
}

// The parts of a workbook under xl/ (its sheets, styles, strings), by name; the document's
// properties, which hold when it was written, are left out.
QMap<QString, QByteArray> sheetsOf(const QString& path) {
    QMap<QString, QByteArray> sheets;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return sheets;
    for (const QString& name : zip.getFileNameList()) {
        if (!name.startsWith(QLatin1String("xl/")))
            continue;
        zip.setCurrentFile(name);
        QuaZipFile part(&zip);
        if (part.open(QIODevice::ReadOnly))
            sheets.insert(name, part.readAll());
    }
    return sheets;
}

// The report's source names the files by name alone; the program names them as given.
QJsonObject normalised(QJsonObject report) {
    QJsonObject source = report.value(QStringLiteral("source")).toObject();
    for (const QString& key : {QStringLiteral("statement"), QStringLiteral("open_items")}) {
        QJsonObject file = source.value(key).toObject();
        file.insert(QStringLiteral("file"),
                    QFileInfo(file.value(QStringLiteral("file")).toString()).fileName());
        source.insert(key, file);
    }
    report.insert(QStringLiteral("source"), source);
    return report;
}

// An open-item list read as Kalvon Liste reads it, and a statement beside it.
struct Session {
    ItemModel items;
    std::unique_ptr<ReconciliationController> controller = std::make_unique<ReconciliationController>(&items);

    void load(const QString& path, const TableReader::Options& given = {}) {
        TableReader::Options options = given;
        options.roles = true;
        TableReader::Layout layout;
        items.setItems(TableReader::readFile(path, options, &layout));
        controller->setItemsSource(path);
        controller->setItemsColumns(layout.columnTitles);
    }
    // Matches, or waits for the matching that a decision started; false when it did not end well.
    bool matched() {
        QSignalSpy spy(controller.get(), &ReconciliationController::matched);
        if (!controller->isRunning() && !controller->startMatching())
            return false;
        return spy.wait(60000) && !spy.constLast().first().toBool();
    }
    QJsonObject json() const {
        return QJsonDocument::fromJson(Abgleich::jsonReport(controller->report()).toUtf8()).object();
    }
    // The payment of this entry, as its index in the report.
    int payment(int entry) const {
        const Abgleich::Report report = controller->report();
        for (std::size_t i = 0; i < report.payments.size(); ++i) {
            if (report.payments[i].entry == entry)
                return int(i);
        }
        return -1;
    }
    // The candidate of the chosen payment with these rows (as the spreadsheet shows them), or -1.
    int candidate(const QList<int>& rows) const {
        CandidateModel* c = controller->candidates();
        for (int i = 0; i < c->candidateCount(); ++i) {
            if (QList<int>(c->candidate(i).rows.begin(), c->candidate(i).rows.end()) == rows)
                return i;
        }
        return -1;
    }
};

QJsonObject paymentOf(const QJsonObject& report, int entry) {
    for (const QJsonValue p : report.value(QStringLiteral("payments")).toArray()) {
        if (p.toObject().value(QStringLiteral("entry")).toInt() == entry)
            return p.toObject();
    }
    return {};
}

} // namespace

class TestReconciliation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void differential_data();
    void differential();
    void acceptAllThenUndo();
    void acceptCandidate_data();
    void acceptCandidate();
    void decisionsBeforeMatchingAgain();
    void decisionsKeptWhileListEdited();
    void statusColoursAndFilter_data();
    void statusColoursAndFilter();
    void chooseAndAssign();
    void refusedSettings_data();
    void refusedSettings();
    void endDuringMatching_data();
    void endDuringMatching();
    void badStatement_data();
    void badStatement();
    void roundTrip();
    void saveReport();
    void recognisesStatements_data();
    void recognisesStatements();

private:
    std::unique_ptr<ListFixture> m_fixture;
    QTemporaryDir m_dir;
};

void TestReconciliation::initTestCase() {
    m_fixture = std::make_unique<ListFixture>();
    QVERIFY(m_dir.isValid());
    generate(1, m_dir.filePath(QStringLiteral("auszug1.xml")), m_dir.filePath(QStringLiteral("posten1.csv")));
    generate(2, m_dir.filePath(QStringLiteral("auszug2.xml")), m_dir.filePath(QStringLiteral("posten2.csv")));
    writeFile(m_dir.filePath(QStringLiteral("posten3.csv")),
              bytesOf(m_dir.filePath(QStringLiteral("posten1.csv")))
                  .replace("Belegnr;Kundennr;Kunde;", "Belegnr;Nummer;Partner;"));
    // The fixture's CSV with decimal commas, as a German export writes it.
    QList<QByteArray> lines = bytesOf(data("offene_posten.csv")).split('\n');
    for (QByteArray& line : lines) {
        const qsizetype last = line.lastIndexOf(';');
        line = line.left(last) + line.mid(last).replace('.', ',');
    }
    writeFile(m_dir.filePath(QStringLiteral("offene_posten.csv")), lines.join('\n'));
}

void TestReconciliation::differential_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("items");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<qint64>("tolerance"); // ten-thousandths
    QTest::addColumn<int>("skonto");       // one rate in percent; 0: the default 2 and 3
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("customerColumn");
    const QStringList none;
    QTest::newRow("camt and workbook")
        << data("kontoauszug.xml") << data("offene_posten.xlsx") << none << 4 << qint64(0) << 0 << 180 << -1;
    QTest::newRow("camt and CSV") << data("kontoauszug.xml")
                                  << m_dir.filePath(QStringLiteral("offene_posten.csv")) << none << 4
                                  << qint64(0) << 0 << 180 << -1;
    QTest::newRow("generated") << m_dir.filePath(QStringLiteral("auszug1.xml"))
                               << m_dir.filePath(QStringLiteral("posten1.csv")) << none << 4 << qint64(0) << 0
                               << 180 << -1;
    QTest::newRow("generated, customers in a column not found by its header")
        << m_dir.filePath(QStringLiteral("auszug1.xml")) << m_dir.filePath(QStringLiteral("posten3.csv"))
        << QStringList{QStringLiteral("--customer-column=Partner")} << 4 << qint64(0) << 0 << 180 << 2;
    QTest::newRow("generated, at most 2, tolerance 0,05, Skonto 3 %, 20 days")
        << m_dir.filePath(QStringLiteral("auszug2.xml")) << m_dir.filePath(QStringLiteral("posten2.csv"))
        << QStringList{QStringLiteral("--max-items=2"), QStringLiteral("--tolerance=0,05"),
                       QStringLiteral("--skonto=3"), QStringLiteral("--days=20")}
        << 2 << qint64(500) << 3 << 20 << -1;
}

void TestReconciliation::differential() {
    QFETCH(QString, statement);
    QFETCH(QString, items);
    QFETCH(QStringList, options);
    QFETCH(int, maxItems);
    QFETCH(qint64, tolerance);
    QFETCH(int, skonto);
    QFETCH(int, days);
    QFETCH(int, customerColumn);
    Session s;
    s.load(items);
    s.controller->openStatement(statement);
    MatchSettings settings;
    settings.maxItems = maxItems;
    settings.tolerance = Currency::fromCount(tolerance);
    if (skonto)
        settings.skontoPercents = {Currency::fromCount(skonto * Currency::Scale)};
    settings.days = days;
    settings.customerColumn = customerColumn;
    s.controller->setSettings(settings);
    QVERIFY(s.matched());
    const QJsonObject expected = normalised(abgleich(statement, items, options));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(normalised(s.json()), expected);
    // The models show the same.
    QCOMPARE(s.controller->payments()->rowCount(),
             int(expected.value(QStringLiteral("payments")).toArray().size()));
}

void TestReconciliation::acceptAllThenUndo() {
    Session s;
    s.load(data("offene_posten.xlsx"));
    s.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY(s.matched());
    const QJsonObject before = s.json();
    const int steps = s.items.undoStack()->count();
    // Entries 1, 2, 3, 5, 6, 9 and 10 are matched: 8 items; the partial payment's item stays open.
    QCOMPARE(s.controller->acceptAll(), 7);
    QCOMPARE(s.items.settledCount(), 8);
    QCOMPARE(s.items.undoStack()->count(), steps + 1);
    QVERIFY(s.matched());
    QVERIFY(s.controller->isDecided(s.payment(3)));
    const QJsonObject accepted = s.json();
    QCOMPARE(accepted.value(QStringLiteral("summary")), before.value(QStringLiteral("summary")));
    QCOMPARE(s.controller->acceptAll(), 0);

    s.items.undoStack()->undo();
    QCOMPARE(s.items.settledCount(), 0);
    QVERIFY(!s.controller->isDecided(s.payment(3)));
    QVERIFY(s.matched());
    QCOMPARE(s.json(), before);
    s.items.undoStack()->redo();
    QCOMPARE(s.items.settledCount(), 8);
    QVERIFY(s.matched());
    QCOMPARE(s.json(), accepted);
}

void TestReconciliation::acceptCandidate_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("items");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QList<int>>("rows"); // the candidate accepted
    QTest::addColumn<int>("other");       // a payment whose answer changes with it, checked by hand
    QTest::addColumn<QString>("otherStatus");
    QTest::addColumn<QList<int>>("otherItems");
    // Two payments of one customer over the items 100, 100, 50, 50: both ambiguous; once 150 takes
    // the first 100 and the first 50, the 100 is the other 100.
    const QString statement = m_dir.filePath(QStringLiteral("kranich.xml"));
    const QString items = m_dir.filePath(QStringLiteral("kranich.csv"));
    writeFile(statement, camt({QStringLiteral("100.00|Kranich GmbH|Zahlung"),
                               QStringLiteral("150.00|Kranich GmbH|Zahlung"),
                               QStringLiteral("75.00|Specht KG|RE-0006")}));
    writeFile(items, "Belegnr;Kunde;Belegdatum;Betrag\n"
                     "RE-0001;Kranich GmbH;2026-11-02;100,00\n"
                     "RE-0002;Kranich GmbH;2026-11-03;100,00\n"
                     "RE-0003;Kranich GmbH;2026-11-04;50,00\n"
                     "RE-0004;Kranich GmbH;2026-11-05;50,00\n"
                     "RE-0005;Specht KG;2026-11-05;100,00\n"
                     "RE-0006;Specht KG;2026-11-06;75,00\n");
    QTest::newRow("150 takes 100 + 50, the 100 is left one invoice")
        << statement << items << 2 << QList<int>{2, 4} << 1 << QStringLiteral("matched") << QList<int>{3};
    QTest::newRow("100 takes 50 + 50: nothing is left for 150")
        << statement << items << 1 << QList<int>{4, 5} << 2 << QStringLiteral("unmatched") << QList<int>{};
    QTest::newRow("kontoauszug: Nowak's second invoice")
        << data("kontoauszug.xml") << m_dir.filePath(QStringLiteral("offene_posten.csv")) << 7
        << QList<int>{10} << 8 << QStringLiteral("unmatched") << QList<int>{};
}

// Accepting a candidate set: the payment takes it, and the others come out as kalvon-abgleich gives
// them on the statement without that payment and the list without those items.
void TestReconciliation::acceptCandidate() {
    QFETCH(QString, statement);
    QFETCH(QString, items);
    QFETCH(int, entry);
    QFETCH(QList<int>, rows);
    QFETCH(int, other);
    QFETCH(QString, otherStatus);
    QFETCH(QList<int>, otherItems);
    Session s;
    s.load(items);
    s.controller->openStatement(statement);
    QVERIFY(s.matched());
    QCOMPARE(paymentOf(s.json(), entry).value(QStringLiteral("status")).toString(),
             QStringLiteral("ambiguous"));
    s.controller->choosePayment(s.payment(entry));
    const int candidate = s.candidate(rows);
    QVERIFY(candidate >= 0);
    s.controller->acceptCandidate(candidate);
    QVERIFY(s.matched());
    const QJsonObject after = s.json();

    const QString reducedStatement = m_dir.filePath(QStringLiteral("ohne.xml"));
    const QString reducedItems = m_dir.filePath(QStringLiteral("ohne.csv"));
    writeFile(reducedStatement, withDebit(bytesOf(statement), entry));
    writeFile(reducedItems, withoutRows(bytesOf(items), rows));
    const QJsonObject reference = abgleich(reducedStatement, reducedItems);
    for (const QJsonValue p : reference.value(QStringLiteral("payments")).toArray()) {
        const int e = p.toObject().value(QStringLiteral("entry")).toInt();
        if (e != entry)
            QCOMPARE(paymentOf(after, e), p.toObject());
    }
    const QJsonObject accepted = paymentOf(after, entry);
    QCOMPARE(accepted.value(QStringLiteral("status")).toString(), QStringLiteral("matched"));
    QCOMPARE(accepted.value(QStringLiteral("items")).toVariant().value<QVariantList>().size(), rows.size());
    QCOMPARE(s.items.settledCount(), int(rows.size()));
    const QJsonObject checked = paymentOf(after, other);
    QCOMPARE(checked.value(QStringLiteral("status")).toString(), otherStatus);
    QList<int> itemsOfOther;
    for (const QJsonValue row : checked.value(QStringLiteral("items")).toArray())
        itemsOfOther << row.toInt();
    QCOMPARE(itemsOfOther, otherItems);
}

// Decisions made before the matching after the last one has ended never give an item to two payments.
void TestReconciliation::decisionsBeforeMatchingAgain() {
    const QString statement = m_dir.filePath(QStringLiteral("zweimal.xml"));
    const QString items = m_dir.filePath(QStringLiteral("zweimal.csv"));
    writeFile(statement, camt({QStringLiteral("100.00|Kranich GmbH|RE-0001"),
                               QStringLiteral("100.00|Kranich GmbH|Zahlung")}));
    writeFile(items, "Belegnr;Kunde;Belegdatum;Betrag\n"
                     "RE-0001;Kranich GmbH;2026-11-02;100,00\n"
                     "RE-0002;Kranich GmbH;2026-11-03;100,00\n");
    Session s;
    s.load(items);
    s.controller->openStatement(statement);
    QVERIFY(s.matched());
    // The second payment takes the invoice that the first one names.
    s.controller->choosePayment(s.payment(2));
    const int candidate = s.candidate({2});
    QVERIFY(candidate >= 0);
    s.controller->acceptCandidate(candidate);
    QVERIFY(s.controller->isRunning());
    QCOMPARE(s.controller->acceptAll(), 0);
    s.controller->choosePayment(s.payment(1));
    QCOMPARE(s.controller->candidates()->candidateCount(), 1);
    QVERIFY_THROWS_EXCEPTION(KalvonError, s.controller->acceptCandidate(0));
    QCOMPARE(s.items.settledCount(), 1);
    QVERIFY(s.matched());
    // Matched again, the first payment takes the invoice that is left.
    QCOMPARE(paymentOf(s.json(), 1).value(QStringLiteral("items")).toArray(), QJsonArray{3});
}

// Deleting many rows here and there resets the item model; the decisions stay, until another list.
void TestReconciliation::decisionsKeptWhileListEdited() {
    ItemTable table;
    table.format = ItemTable::Format::Text;
    for (int i = 0; i < 200; ++i)
        table.items.push_back(
            {Currency::fromCount((i + 1) * 1000000), i + 2, QStringLiteral("RE-%1").arg(i + 1)});
    const QString statement = m_dir.filePath(QStringLiteral("zwei.xml"));
    writeFile(statement, camt({QStringLiteral("100.00|A|RE-1"), QStringLiteral("300.00|B|RE-3")}));
    Session s;
    s.items.setItems(table);
    s.controller->openStatement(statement);
    QVERIFY(s.matched());
    QCOMPARE(s.controller->acceptAll(), 2);
    QVERIFY(s.matched());
    std::vector<int> scattered;
    for (int row = 10; row < 150; row += 2)
        scattered.push_back(row);
    QSignalSpy reset(&s.items, &QAbstractItemModel::modelReset);
    s.items.removeItems(scattered);
    QCOMPARE(reset.count(), 1);
    QVERIFY(s.controller->isDecided(s.payment(1)));
    QVERIFY(s.controller->isDecided(s.payment(2)));
    s.items.setItems(table);
    QVERIFY(!s.controller->isDecided(s.payment(1)));
}

void TestReconciliation::statusColoursAndFilter_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("colour"); // empty: none
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("shown"); // the payments that filter shows
    using F = ReconciliationController::Filter;
    QTest::newRow("matched") << 1 << QStringLiteral("zugeordnet") << QStringLiteral("#c0ffc0")
                             << int(F::Matched) << 7;
    QTest::newRow("Skonto") << 2 << QStringLiteral("zugeordnet mit Skonto") << QStringLiteral("#c0ffc0")
                            << int(F::All) << 13;
    QTest::newRow("partial") << 4 << QStringLiteral("Teilzahlung") << QStringLiteral("#ffe8a0")
                             << int(F::Partial) << 1;
    QTest::newRow("ambiguous") << 7 << QStringLiteral("mehrdeutig, 2 mögliche Zuordnungen")
                               << QStringLiteral("#ffe8a0") << int(F::Ambiguous) << 1;
    QTest::newRow("unmatched") << 8 << QStringLiteral("nicht zugeordnet") << QString() << int(F::Unmatched)
                               << 1;
    QTest::newRow("left out") << 11 << QStringLiteral("ausgelassen: eine ausgehende Zahlung (Soll)")
                              << QStringLiteral("#e0e0e0") << int(F::LeftOut) << 3;
}

void TestReconciliation::statusColoursAndFilter() {
    QFETCH(int, entry);
    QFETCH(QString, status);
    QFETCH(QString, colour);
    QFETCH(int, filter);
    QFETCH(int, shown);
    Session s;
    s.load(data("offene_posten.xlsx"));
    s.controller->openStatement(data("kontoauszug.xml"));
    // Until the matching has run, an incoming payment has no status yet.
    PaymentModel* model = s.controller->payments();
    const int row = s.payment(entry);
    QCOMPARE(model->index(row, PaymentModel::StatusColumn).data().toString(),
             status.startsWith(QLatin1String("ausgelassen")) ? status
                                                             : QStringLiteral("noch nicht abgeglichen"));
    QCOMPARE(s.controller->summaryText(),
             QStringLiteral("Zahlungen: 13 gelesen, 10 noch nicht abgeglichen, 3 ausgelassen."));
    QVERIFY(s.matched());
    QCOMPARE(model->index(row, PaymentModel::StatusColumn).data().toString(), status);
    const QColor background =
        model->index(row, PaymentModel::TextColumn).data(Qt::BackgroundRole).value<QColor>();
    QCOMPARE(background.isValid() ? background.name() : QString(), colour);
    s.controller->setFilter(ReconciliationController::Filter(filter));
    QCOMPARE(s.controller->filteredPayments()->rowCount(), shown);
}

void TestReconciliation::chooseAndAssign() {
    Session s;
    s.load(data("offene_posten.xlsx"));
    s.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY(s.matched());
    QCOMPARE(s.controller->choosePayment(s.payment(2)), 1);
    QCOMPARE(s.items.highlighted(), std::vector<int>{1});
    QCOMPARE(s.controller->detailsText(),
             QStringLiteral("Buchung 2 vom 07.12.2026: 2.430,40 von Bäckerei Schröder e.K.\n"
                            "  Status: zugeordnet mit Skonto\n"
                            "  Posten: RE-2026-0102 (Zeile 3, 2.480,00)\n"
                            "  Skonto: 2 % = 49,60\n"
                            "  Differenz: 0,00\n"
                            "  Grundlage: Verwendungszweck\n"));
    QCOMPARE(s.controller->assignText({0}), QStringLiteral("Summe 1.234,50, Differenz +1.195,90"));

    QCOMPARE(s.controller->choosePayment(s.payment(7)), -1);
    QCOMPARE(s.controller->candidates()->candidateCount(), 2);
    QCOMPARE(s.controller->candidates()->countText(), QStringLiteral("2 mögliche Zuordnungen"));
    QCOMPARE(s.controller->candidates()->index(1, CandidateModel::ItemsColumn).data().toString(),
             QStringLiteral("RE-2026-0109 (Zeile 10)"));
    QCOMPARE(s.controller->chooseCandidate(1), 8);

    // Hotel Seeblick's 777,77 against its invoice of 640,00 by hand: an overpayment, settled.
    s.controller->choosePayment(s.payment(8));
    QCOMPARE(s.controller->assignText({9}), QStringLiteral("Summe 640,00, Differenz +137,77"));
    s.controller->assign({9});
    QVERIFY(s.items.isSettled(9));
    QVERIFY(s.matched());
    QCOMPARE(paymentOf(s.json(), 8).value(QStringLiteral("status")).toString(), QStringLiteral("matched"));
    QCOMPARE(paymentOf(s.json(), 8).value(QStringLiteral("difference")).toString(),
             QStringLiteral("137.7700"));
    QVERIFY(s.controller->detailsText().endsWith(QStringLiteral("Von Hand zugeordnet.\n")));
    // Neither the same payment twice nor an item that is settled.
    QVERIFY_THROWS_EXCEPTION(KalvonError, s.controller->assign({10}));
    s.controller->choosePayment(s.payment(7));
    QVERIFY_THROWS_EXCEPTION(KalvonError, s.controller->assign({9}));
    QCOMPARE(s.items.settledCount(), 1);
    // While a search runs, the list stays as it is.
    s.items.setLocked(true);
    QVERIFY_THROWS_EXCEPTION(KalvonError, s.controller->acceptAll());
    QCOMPARE(s.items.settledCount(), 1);
}

void TestReconciliation::refusedSettings_data() {
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<qint64>("tolerance");
    QTest::addColumn<int>("days");
    QTest::addColumn<qint64>("skonto");
    QTest::addColumn<QString>("message");
    QTest::newRow("9 items") << 9 << qint64(0) << 180 << qint64(20000)
                             << QStringLiteral(
                                    "Höchstens 9 Posten je Zahlung gehen nicht; erlaubt sind 1 bis 8.");
    QTest::newRow("negative tolerance")
        << 4 << qint64(-1) << 180 << qint64(20000) << QStringLiteral("Die Toleranz darf nicht negativ sein.");
    QTest::newRow("negative days") << 4 << qint64(0) << -1 << qint64(20000)
                                   << QStringLiteral("Die Zahl der Tage darf nicht negativ sein.");
    QTest::newRow("100 % Skonto")
        << 4 << qint64(0) << 180 << qint64(1000000)
        << QStringLiteral("Der Skontosatz 100 % geht nicht; er muss über 0 und unter 100 % liegen.");
}

void TestReconciliation::refusedSettings() {
    QFETCH(int, maxItems);
    QFETCH(qint64, tolerance);
    QFETCH(int, days);
    QFETCH(qint64, skonto);
    QFETCH(QString, message);
    Session s;
    MatchSettings settings;
    settings.maxItems = maxItems;
    settings.tolerance = Currency::fromCount(tolerance);
    settings.days = days;
    settings.skontoPercents = {Currency::fromCount(skonto)};
    try {
        s.controller->setSettings(settings);
        QFAIL("no KalvonError");
    } catch (const KalvonError& e) {
        QCOMPARE(e.userMessage(), message);
    }
    QCOMPARE(s.controller->settings().maxItems, 4);
    QCOMPARE(s.controller->settings().days, 180);
}

void TestReconciliation::endDuringMatching_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("controller destroyed") << 0;
    QTest::newRow("stop") << 1;
    QTest::newRow("another statement opened") << 2;
}

// 60 payments of 1 to 4 items each among 1,500 items of no customer: seconds of matching, ended
// within 2 s.
void TestReconciliation::endDuringMatching() {
    QFETCH(int, how);
    std::mt19937 rng(7);
    ItemTable table;
    table.format = ItemTable::Format::Text;
    for (int i = 0; i < 1500; ++i)
        table.items.push_back({Currency::fromCount(qint64(rng() % 5000000 + 10000) * 100), i + 2,
                               QStringLiteral("RE-%1").arg(i + 1)});
    QStringList bookings;
    for (int p = 0; p < 60; ++p) {
        qint64 cents = 0;
        for (unsigned k = 0; k <= rng() % 4; ++k)
            cents += table.items[rng() % table.items.size()].amount.count() / 100;
        bookings << QStringLiteral("%1.%2|Kunde|Zahlung")
                        .arg(cents / 100)
                        .arg(cents % 100, 2, 10, QLatin1Char('0'));
    }
    const QString statement = m_dir.filePath(QStringLiteral("lang.xml"));
    writeFile(statement, camt(bookings));
    Session s;
    s.items.setItems(table);
    s.controller->openStatement(statement);
    QVERIFY(s.controller->startMatching());
    QTest::qWait(100);
    QVERIFY(s.controller->isRunning());
    QElapsedTimer timer;
    timer.start();
    if (how == 0)
        s.controller.reset();
    else if (how == 1)
        s.controller->stop();
    else
        s.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    if (s.controller)
        QVERIFY(!s.controller->isRunning());
}

void TestReconciliation::badStatement_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes"); // written to file first unless empty
    QTest::addColumn<QString>("message");  // a part of the message
    QTest::newRow("a list of open items")
        << data("offene_posten.csv") << QByteArray() << QStringLiteral("offene_posten.csv");
    QTest::newRow("broken XML") << m_dir.filePath(QStringLiteral("kaputt.xml"))
                                << camt({QStringLiteral("1.00|A|B")}).chopped(40)
                                << QStringLiteral("kaputt.xml");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("fehlt.xml")) << QByteArray()
                             << QStringLiteral("fehlt.xml");
    QTest::newRow("in another currency")
        << m_dir.filePath(QStringLiteral("usd.xml"))
        << camt({QStringLiteral("1.00|A|B")}, QStringLiteral("USD"))
        << QStringLiteral("ist in USD, die offenen Posten nach den regionalen Einstellungen in EUR");
}

void TestReconciliation::badStatement() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    if (!bytes.isEmpty())
        writeFile(file, bytes);
    Session s;
    s.load(data("offene_posten.xlsx"));
    s.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY(s.matched());
    s.controller->choosePayment(s.payment(2));
    const QJsonObject before = s.json();
    QSignalSpy changed(s.controller.get(), &ReconciliationController::changed);
    try {
        s.controller->openStatement(file);
        QFAIL("no KalvonError");
    } catch (const KalvonError& e) {
        QVERIFY2(e.userMessage().contains(message), qPrintable(e.userMessage()));
    }
    QCOMPARE(s.controller->statementFile(), data("kontoauszug.xml"));
    QCOMPARE(s.json(), before);
    QCOMPARE(s.controller->chosenPayment(), s.payment(2));
    QCOMPARE(changed.count(), 0);
}

// Saved with a candidate accepted, everything matched accepted and a hand assignment; read into a
// new window's list and statement, it gives the same report and the same settled items.
void TestReconciliation::roundTrip() {
    const QString statement = m_dir.filePath(QStringLiteral("kontoauszug.xml"));
    const QString items = m_dir.filePath(QStringLiteral("offene_posten.xlsx"));
    QVERIFY(QFile::copy(data("kontoauszug.xml"), statement));
    QVERIFY(QFile::copy(data("offene_posten.xlsx"), items));
    Session s;
    s.load(items);
    s.controller->openStatement(statement);
    MatchSettings settings;
    settings.tolerance = Currency::fromCount(100);
    s.controller->setSettings(settings);
    QVERIFY(s.matched());
    s.controller->choosePayment(s.payment(7));
    s.controller->acceptCandidate(1);
    QVERIFY(s.matched());
    QCOMPARE(s.controller->acceptAll(), 7);
    QVERIFY(s.matched());
    s.controller->choosePayment(s.payment(8));
    s.controller->assign({9});
    QVERIFY(s.matched());
    const QJsonObject saved = s.json();

    const QString path = m_dir.filePath(QStringLiteral("abgleich.json"));
    s.controller->saveReconciliation(path);
    QVERIFY_THROWS_EXCEPTION(KalvonError, s.controller->saveReconciliation(path));
    s.controller->saveReconciliation(path, true);

    const ReconciliationController::Saved read = ReconciliationController::readSaved(path);
    QCOMPARE(read.statementFile, statement);
    QCOMPARE(read.itemsFile, items);
    QCOMPARE(read.itemsColumn, 4);
    QCOMPARE(read.itemsHeaderRow, 1);
    QCOMPARE(read.readOptions().column, QStringLiteral("E"));
    QVERIFY(read.readOptions().roles);
    Session other;
    other.load(read.itemsFile, read.readOptions());
    other.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY_THROWS_EXCEPTION(KalvonError, other.controller->applySaved(path));
    QCOMPARE(other.items.settledCount(), 0);
    Session again;
    again.load(read.itemsFile, read.readOptions());
    again.controller->openStatement(read.statementFile);
    again.controller->applySaved(path);
    QVERIFY(again.matched());
    QCOMPARE(again.json(), saved);
    QCOMPARE(again.items.settledCount(), s.items.settledCount());
    QCOMPARE(again.controller->settings().tolerance, settings.tolerance);

    // A statement changed since is named.
    QFile changed(statement);
    QVERIFY(changed.open(QIODevice::Append));
    changed.write("\n");
    changed.close();
    try {
        ReconciliationController::readSaved(path);
        QFAIL("no KalvonError");
    } catch (const KalvonError& e) {
        QVERIFY2(e.userMessage().contains(QStringLiteral("hat sich geändert")), qPrintable(e.userMessage()));
    }
}

// The report as kalvon-abgleich writes it: the same CSV, the same workbook.
void TestReconciliation::saveReport() {
    Session s;
    s.load(data("offene_posten.xlsx"));
    s.controller->openStatement(data("kontoauszug.xml"));
    QVERIFY(s.matched());
    const QString csv = m_dir.filePath(QStringLiteral("bericht.csv"));
    const QString xlsx = m_dir.filePath(QStringLiteral("bericht.xlsx"));
    const QString reference = m_dir.filePath(QStringLiteral("referenz.xlsx"));
    s.controller->saveReport(csv);
    s.controller->saveReport(xlsx);
    QCOMPARE(bytesOf(csv),
             run(data("kontoauszug.xml"), data("offene_posten.xlsx"), {QStringLiteral("--csv")}));
    run(data("kontoauszug.xml"), data("offene_posten.xlsx"), {QStringLiteral("--xlsx=") + reference});
    const QMap<QString, QByteArray> sheets = sheetsOf(xlsx);
    QVERIFY(sheets.contains(QStringLiteral("xl/worksheets/sheet1.xml")));
    QCOMPARE(sheets, sheetsOf(reference));
    QVERIFY_THROWS_EXCEPTION(KalvonError,
                             s.controller->saveReport(m_dir.filePath(QStringLiteral("fehlt/b.csv"))));
}

void TestReconciliation::recognisesStatements_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("statement");
    QTest::newRow("camt.053") << data("kontoauszug.xml") << true;
    QTest::newRow("MT940") << data("../../core/tables/data/statements/mt940_sparkasse.sta") << true;
    QTest::newRow("bank CSV") << data("../../core/tables/data/statements/sparkasse.csv") << true;
    QTest::newRow("bank CSV, another bank")
        << data("../../core/tables/data/statements/volksbank.csv") << true;
    QTest::newRow("workbook of open items") << data("offene_posten.xlsx") << false;
    QTest::newRow("CSV of open items") << data("offene_posten.csv") << false;
    QTest::newRow("missing") << data("fehlt.xml") << false;
}

void TestReconciliation::recognisesStatements() {
    QFETCH(QString, file);
    QFETCH(bool, statement);
    QCOMPARE(ReconciliationController::looksLikeStatement(file), statement);
}

QTEST_MAIN(TestReconciliation)
#include "tst_reconciliation.moc"
