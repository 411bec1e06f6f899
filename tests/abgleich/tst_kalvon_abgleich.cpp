// SPDX-License-Identifier: GPL-3.0-or-later
// kalvon-abgleich as a user runs it, in-process: its output, messages, exit status and workbook.
#include "abgleich/abgleich_command.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <csignal>
#include <sys/stat.h>

namespace {

struct Result {
    int status = -1;
    QString out, err;
    QByteArray bytes; // standard output as written
};

Result run(QStringList arguments, bool cancel = false) {
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    arguments.prepend(QStringLiteral("kalvon-abgleich"));
    const int status =
        AbgleichCommand::run(arguments, AbgleichCommand::Streams{out, err}, [cancel] { return cancel; });
    return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data()), out.data()};
}

QString data(const char* name) {
    return QStringLiteral(KALVON_TEST_DATA "/") + QLatin1String(name);
}

// A camt.053.001.08 statement in EUR, one entry for each booking "amount|payer|text"; a leading
// '-' makes it a debit, a trailing "|USD" books it in that currency.
QByteArray camt(const QStringList& bookings, const QString& accountCurrency = QStringLiteral("EUR")) {
    QString entries;
    for (const QString& booking : bookings) {
        const QStringList f = booking.split(QLatin1Char('|'));
        const bool debit = f[0].startsWith(QLatin1Char('-'));
        const QString ccy = f.value(3, accountCurrency);
        entries +=
            QStringLiteral("<Ntry><Amt Ccy=\"%1\">%2</Amt><CdtDbtInd>%3</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>"
                           "<BookgDt><Dt>2026-12-07</Dt></BookgDt><ValDt><Dt>2026-12-07</Dt></ValDt>"
                           "<NtryDtls><TxDtls><RltdPties><%4><Pty><Nm>%5</Nm></Pty></%4></RltdPties>"
                           "<RmtInf><Ustrd>%6</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>\n")
                .arg(ccy, f[0].mid(debit ? 1 : 0), debit ? QStringLiteral("DBIT") : QStringLiteral("CRDT"),
                     debit ? QStringLiteral("Cdtr") : QStringLiteral("Dbtr"), f.value(1).toHtmlEscaped(),
                     f.value(2).toHtmlEscaped());
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\"><BkToCstmrStmt>"
               "<GrpHdr><MsgId>T1</MsgId><CreDtTm>2026-12-08T06:00:00</CreDtTm></GrpHdr><Stmt><Id>S1</Id>"
               "<Acct><Id><IBAN>DE15370501980001234567</IBAN></Id><Ccy>%1</Ccy></Acct>\n%2</Stmt>"
               "</BkToCstmrStmt></Document>\n")
        .arg(accountCurrency, entries)
        .toUtf8();
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return file.fileName();
}

// Per payment "status[rows]", the rows of its items, or of its candidates for an ambiguous one.
QStringList outline(const QString& json) {
    QStringList lines;
    for (const QJsonValue& payment :
         QJsonDocument::fromJson(json.toUtf8())[QLatin1String("payments")].toArray()) {
        QStringList rows;
        const QString status = payment[QLatin1String("status")].toString();
        const QJsonArray items = status == QLatin1String("ambiguous")
                                     ? payment[QLatin1String("candidates")].toArray()
                                     : QJsonArray{payment[QLatin1String("items")]};
        for (const QJsonValue& set : items) {
            QStringList one;
            for (const QJsonValue& row : set.toArray())
                one << QString::number(row.toInt());
            rows << one.join(QLatin1Char('+'));
        }
        lines << QStringLiteral("%1[%2]").arg(status, rows.join(QLatin1Char('/')));
    }
    return lines;
}

// The text of a zip member.
QString member(const QString& zip, const QString& name) {
    QuaZip archive(zip);
    if (!archive.open(QuaZip::mdUnzip) || !archive.setCurrentFile(name))
        return QString();
    QuaZipFile file(&archive);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

const char* const Items = "Belegnr;Kunde;Betrag\n"
                          "RE-1;Alpha GmbH;100,00\n"
                          "RE-10;Beta KG;50,00\n"
                          "RE-2;Gamma AG;200,00\n"
                          "RE-3;Gamma AG;200,00\n"
                          "GS-1;Alpha GmbH;-20,00\n";

} // namespace

class TestKalvonAbgleich : public QObject {
    Q_OBJECT
private slots:
    void example();
    void exampleJson();
    void cases_data();
    void cases();
    void customersAndDates_data();
    void customersAndDates();
    void badInput_data();
    void badInput();
    void zipOfStatements();
    void duplicateInvoices();
    void usage_data();
    void usage();
    void workbook();
    void workbookNotWritten();
    void csv();
    void cancelled();
    void interrupted();
};

// The README's example, word for word.
void TestKalvonAbgleich::example() {
    const Result r =
        run({QStringLiteral("--locale=de_DE"), data("kontoauszug.xml"), data("offene_posten.xlsx")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(1),
             QStringLiteral("Zahlungen: 13 gelesen, 7 zugeordnet, davon 2 mit Skonto, 1 Teilzahlung, 1 "
                            "mehrdeutig, 1 nicht zugeordnet, 3 ausgelassen; offene Posten: 7 von 15 "
                            "bleiben offen."));
    const QString skonto = QStringLiteral("\nBuchung 2 vom 07.12.2026: 2.430,40 von Bäckerei Schröder e.K.\n"
                                          "  Status: zugeordnet mit Skonto\n"
                                          "  Posten: RE-2026-0102 (Zeile 3, 2.480,00)\n"
                                          "  Skonto: 2 % = 49,60\n"
                                          "  Differenz: 0,00\n"
                                          "  Grundlage: Verwendungszweck\n");
    QVERIFY2(r.out.contains(skonto), qPrintable(r.out));
    const QString partial = QStringLiteral("\nBuchung 4 vom 07.12.2026: 500,00 von Autohaus Krämer AG\n"
                                           "  Status: Teilzahlung\n"
                                           "  Posten: RE-2026-0105 (Zeile 6, 1.500,00)\n"
                                           "  Differenz: -1.000,00\n"
                                           "  Offener Rest: 1.000,00\n"
                                           "  Grundlage: Verwendungszweck\n");
    QVERIFY2(r.out.contains(partial), qPrintable(r.out));
    const QString ambiguous = QStringLiteral("\nBuchung 7 vom 07.12.2026: 450,00 von Elektro Nowak UG "
                                             "(haftungsbeschränkt)\n"
                                             "  Status: mehrdeutig, 2 mögliche Zuordnungen\n"
                                             "  Möglich: RE-2026-0108 (Zeile 9)\n"
                                             "  Möglich: RE-2026-0109 (Zeile 10)\n");
    QVERIFY2(r.out.contains(ambiguous), qPrintable(r.out));
    QVERIFY(r.out.endsWith(QStringLiteral("\nBuchung 13 vom 07.12.2026: -89,90 an Kiosk am Markt\n"
                                          "  Status: ausgelassen: eine Stornobuchung\n")));
}

void TestKalvonAbgleich::exampleJson() {
    const Result r =
        run({QStringLiteral("--json"), QStringLiteral("--locale=en_US"), QStringLiteral("--currency=EUR"),
             data("kontoauszug.xml"), data("offene_posten.csv")});
    QCOMPARE(r.status, 0);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.keys(), (QStringList{QStringLiteral("open_items"), QStringLiteral("payments"),
                                       QStringLiteral("source"), QStringLiteral("summary")}));
    const QJsonArray payments = json[QLatin1String("payments")].toArray();
    QCOMPARE(payments.size(), 13);
    const QJsonObject skonto = payments[1].toObject();
    QCOMPARE(
        skonto.keys(),
        (QStringList{QStringLiteral("alternatives"), QStringLiteral("amount"), QStringLiteral("basis"),
                     QStringLiteral("candidates"), QStringLiteral("date"), QStringLiteral("difference"),
                     QStringLiteral("discount"), QStringLiteral("entry"), QStringLiteral("items"),
                     QStringLiteral("payer"), QStringLiteral("remainder"), QStringLiteral("skonto_percent"),
                     QStringLiteral("status"), QStringLiteral("text")}));
    QCOMPARE(
        QJsonDocument(skonto).toJson(QJsonDocument::Compact),
        QByteArray(
            R"({"alternatives":1,"amount":"2430.4000","basis":"reference","candidates":[[3]],)"
            R"("date":"2026-12-07","difference":"0.0000","discount":"49.6000","entry":2,"items":[3],)"
            R"("payer":"Bäckerei Schröder e.K.","remainder":null,"skonto_percent":"2","status":"matched",)"
            R"("text":"Rechnung RE-2026-0102 abzgl. 2% Skonto"})"));
    const QJsonObject partial = payments[3].toObject();
    QCOMPARE(partial[QLatin1String("remainder")].toString(), QStringLiteral("1000.0000"));
    QCOMPARE(partial[QLatin1String("status")].toString(), QStringLiteral("partial"));
    QCOMPARE(payments[10][QLatin1String("status")].toString(), QStringLiteral("left-out"));
    QVERIFY(payments[10][QLatin1String("basis")].isNull());
    QCOMPARE(QJsonDocument(json[QLatin1String("open_items")].toObject()).toJson(QJsonDocument::Compact),
             QByteArray(R"({"open":[6,9,10,11,14,15,16],"settled":[2,3,4,5,7,8,12,13]})"));
    QCOMPARE(QJsonDocument(json[QLatin1String("summary")].toObject()).toJson(QJsonDocument::Compact),
             QByteArray(R"({"ambiguous":1,"left_out":3,"matched":7,"open_items":15,"open_items_left":7,)"
                        R"("partial":1,"payments":13,"skonto":2,"unmatched":1})"));
}

// Small statements against the open items above: statuses, rows and exit status.
void TestKalvonAbgleich::cases_data() {
    QTest::addColumn<QStringList>("bookings");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("status");

    const QStringList none;
    QTest::newRow("by reference") << QStringList{QStringLiteral("100.00|Alpha GmbH|Rechnung RE-1")} << none
                                  << QStringList{QStringLiteral("matched[2]")} << 0;
    QTest::newRow("a number as a whole token") << QStringList{QStringLiteral("50.00|Beta KG|RE-10")} << none
                                               << QStringList{QStringLiteral("matched[3]")} << 0;
    QTest::newRow("nothing fits: status 1") << QStringList{QStringLiteral("999.99|Omega|Danke")} << none
                                            << QStringList{QStringLiteral("unmatched[]")} << 1;
    QTest::newRow("only outgoing: status 1") << QStringList{QStringLiteral("-100.00|Alpha GmbH|RE-1")} << none
                                             << QStringList{QStringLiteral("left-out[]")} << 1;
    QTest::newRow("foreign currency left out")
        << QStringList{QStringLiteral("100.00|Alpha GmbH|RE-1|USD"), QStringLiteral("50.00|Beta KG|RE-10")}
        << none << QStringList{QStringLiteral("left-out[]"), QStringLiteral("matched[3]")} << 0;
    QTest::newRow("Skonto 2 %") << QStringList{QStringLiteral("98.00|Alpha GmbH|RE-1")} << none
                                << QStringList{QStringLiteral("matched[2]")} << 0;
    QTest::newRow("Skonto off: a partial payment")
        << QStringList{QStringLiteral("98.00|Alpha GmbH|RE-1")} << QStringList{QStringLiteral("--skonto=0")}
        << QStringList{QStringLiteral("partial[2]")} << 0;
    QTest::newRow("within the tolerance")
        << QStringList{QStringLiteral("99.97|Alpha GmbH|RE-1")}
        << QStringList{QStringLiteral("--tolerance=0,05"), QStringLiteral("--skonto=0")}
        << QStringList{QStringLiteral("matched[2]")} << 0;
    QTest::newRow("equal invoices: ambiguous, status 1")
        << QStringList{QStringLiteral("200.00|Gamma AG|Zahlung")} << none
        << QStringList{QStringLiteral("ambiguous[4/5]")} << 1;
    QTest::newRow("two payments share out the equal invoices")
        << QStringList{QStringLiteral("200.00|Gamma AG|Zahlung"), QStringLiteral("200.00|Gamma AG|Zahlung 2")}
        << none << QStringList{QStringLiteral("ambiguous[4/5]"), QStringLiteral("ambiguous[4/5]")} << 1;
    QTest::newRow("with a credit note")
        << QStringList{QStringLiteral("80.00|Alpha GmbH|Danke")} << QStringList{QStringLiteral("--skonto=0")}
        << QStringList{QStringLiteral("matched[2+6]")} << 0;
}

void TestKalvonAbgleich::cases() {
    QFETCH(QStringList, bookings);
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QString statement = write(dir, QStringLiteral("auszug.xml"), camt(bookings));
    const QString items = write(dir, QStringLiteral("op.csv"), Items);
    const Result r = run(
        options + QStringList{QStringLiteral("--json"), QStringLiteral("--locale=de_DE"), statement, items});
    QCOMPARE(r.err, QString());
    QCOMPARE(outline(r.out), expected);
    QCOMPARE(r.status, status);
}

// Open items with customers and invoice dates: the payer's name finds the customer, and items
// dated outside the window before the booking date take no part.
void TestKalvonAbgleich::customersAndDates_data() {
    QTest::addColumn<QString>("booking");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected");

    const QStringList none;
    QTest::newRow("the payer's customer decides")
        << QStringLiteral("300.00|Gamma AG|Danke") << none << QStringLiteral("matched[4+5]");
    QTest::newRow("legal form and umlauts aside")
        << QStringLiteral("100.00|MUELLER KG|Danke") << none << QStringLiteral("matched[2]");
    QTest::newRow("too old for the window")
        << QStringLiteral("100.00|Mueller KG|Danke") << QStringList{QStringLiteral("--days=30")}
        << QStringLiteral("unmatched[]");
    QTest::newRow("after the booking date")
        << QStringLiteral("50.00|Gamma AG|Danke") << none << QStringLiteral("unmatched[]");
}

void TestKalvonAbgleich::customersAndDates() {
    QFETCH(QString, booking);
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString statement = write(dir, QStringLiteral("auszug.xml"), camt({booking}));
    const QString items = write(dir, QStringLiteral("op.csv"),
                                "Belegnr;Kunde;Datum;Betrag\n"
                                "RE-1;Müller GmbH;01.10.2026;100,00\n"
                                "RE-2;Alpha GmbH;01.12.2026;100,00\n"
                                "RE-3;Gamma AG;01.12.2026;100,00\n"
                                "RE-4;Gamma AG;02.12.2026;200,00\n"
                                "RE-5;Gamma AG;08.12.2026;50,00\n");
    const Result r = run(
        options + QStringList{QStringLiteral("--json"), QStringLiteral("--locale=de_DE"), statement, items});
    QCOMPARE(r.err, QString());
    QCOMPARE(outline(r.out), QStringList{expected});
}

// Input that does not fit: a German message naming the file, status 2, nothing on standard output.
void TestKalvonAbgleich::badInput_data() {
    QTest::addColumn<QByteArray>("statement");
    QTest::addColumn<QByteArray>("items");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("messages"); // each a part of the message

    const QByteArray statement = camt({QStringLiteral("100.00|Alpha GmbH|RE-1")});
    const QStringList none;
    QTest::newRow("XML that is no statement")
        << QByteArray("<?xml version=\"1.0\"?>\n<Rechnung><Betrag>5</Betrag></Rechnung>\n")
        << QByteArray(Items) << none << QStringList{QStringLiteral("auszug.xml")};
    QTest::newRow("malformed XML") << statement.left(statement.size() - 40) << QByteArray(Items) << none
                                   << QStringList{QStringLiteral("auszug.xml")};
    QTest::newRow("bank CSV without an amount column")
        << QByteArray("Buchungstag;Verwendungszweck;Name\n07.12.2026;RE-1;Alpha GmbH\n") << QByteArray(Items)
        << none << QStringList{QStringLiteral("auszug.xml“ hat keine Betragsspalte")};
    QTest::newRow("open items without an amount column")
        << statement << QByteArray("Belegnr;Kunde\nRE-1;Alpha GmbH\nRE-2;Beta KG\n") << none
        << QStringList{QStringLiteral("Die offenen Posten in „"), QStringLiteral("op.csv“: Keine Spalte")};
    QTest::newRow("statement in another currency")
        << camt({QStringLiteral("100.00|Alpha GmbH|RE-1")}, QStringLiteral("CHF")) << QByteArray(Items)
        << none
        << QStringList{QStringLiteral("auszug.xml"), QStringLiteral("CHF"), QStringLiteral("EUR"),
                       QStringLiteral("--currency CHF")};
    QTest::newRow("another currency than --currency")
        << statement << QByteArray(Items) << QStringList{QStringLiteral("--currency=chf")}
        << QStringList{QStringLiteral("in EUR, die offenen Posten in CHF.")};
    QTest::newRow("swapped arguments") << QByteArray(Items) << statement << none
                                       << QStringList{QStringLiteral("Die Dateien sind vertauscht"),
                                                      QStringLiteral("op.csv“ ist ein Kontoauszug, „")};
    QTest::newRow("two statements") << statement << statement << none
                                    << QStringList{QStringLiteral("op.csv“ ist ein Kontoauszug")};
}

void TestKalvonAbgleich::badInput() {
    QFETCH(QByteArray, statement);
    QFETCH(QByteArray, items);
    QFETCH(QStringList, options);
    QFETCH(QStringList, messages);
    QTemporaryDir dir;
    const Result r = run(options + QStringList{QStringLiteral("--locale=de_DE"),
                                               write(dir, QStringLiteral("auszug.xml"), statement),
                                               write(dir, QStringLiteral("op.csv"), items)});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QLatin1String("kalvon-abgleich: ")) && r.err.count(QLatin1Char('\n')) == 1,
             qPrintable(r.err));
    for (const QString& part : messages)
        QVERIFY2(r.err.contains(part), qPrintable(r.err));
}

// A ZIP of daily statements: read in name order, entries counted on over the files.
void TestKalvonAbgleich::zipOfStatements() {
    QTemporaryDir dir;
    const QString zip = dir.filePath(QStringLiteral("auszuege.zip"));
    {
        QuaZip archive(zip);
        QVERIFY(archive.open(QuaZip::mdCreate));
        const QList<QPair<QString, QByteArray>> days{
            {QStringLiteral("2026-12-08.xml"), camt({QStringLiteral("50.00|Beta KG|RE-10")})},
            {QStringLiteral("2026-12-07.xml"),
             camt({QStringLiteral("100.00|Alpha GmbH|RE-1"), QStringLiteral("-9.99|Bank|Gebühr")})}};
        for (const auto& [name, bytes] : days) {
            QuaZipFile file(&archive);
            QVERIFY(file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)));
            file.write(bytes);
            file.close();
        }
        archive.close();
    }
    const QString items = write(dir, QStringLiteral("op.csv"), Items);
    Result r = run({QStringLiteral("--json"), QStringLiteral("--locale=de_DE"), zip, items});
    QCOMPARE(outline(r.out), (QStringList{QStringLiteral("matched[2]"), QStringLiteral("left-out[]"),
                                          QStringLiteral("matched[3]")}));
    r = run({QStringLiteral("--locale=de_DE"), zip, items});
    QVERIFY2(
        r.out.startsWith(
            QStringLiteral("Kontoauszug: %1 (camt.053.001.08, EUR, ZIP-Datei mit 2 Auszügen); ").arg(zip)),
        qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("\nBuchung 3 vom 07.12.2026: 50,00 von Beta KG\n")));
}

// An invoice number on two rows is named; the amount then decides which row a reference means.
void TestKalvonAbgleich::duplicateInvoices() {
    QTemporaryDir dir;
    const QString statement =
        write(dir, QStringLiteral("auszug.xml"), camt({QStringLiteral("150.00|Alpha GmbH|RE-1")}));
    const QString items =
        write(dir, QStringLiteral("op.csv"), "Belegnr;Betrag\nRE-1;100\nRE-1;150\nRE-2;150\n");
    const Result r = run({QStringLiteral("--json"), QStringLiteral("--locale=de_DE"), statement, items});
    QCOMPARE(r.status, 0);
    QCOMPARE(outline(r.out), QStringList{QStringLiteral("matched[3]")});
    QCOMPARE(r.err,
             QStringLiteral("kalvon-abgleich: Hinweis: Die Belegnummer „RE-1“ steht in „%1“ mehrfach, in den "
                            "Zeilen 2, 3; nach Belegnummer entscheidet dort der Betrag.\n")
                 .arg(items));
}

// A wrong call: the message, the pointer to --help, status 2.
void TestKalvonAbgleich::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString a = data("kontoauszug.xml"), b = data("offene_posten.csv");
    QTest::newRow("one file") << QStringList{a} << QStringLiteral("Es fehlt die Datei der offenen Posten");
    QTest::newRow("three files") << QStringList{a, b, b} << QStringLiteral("angegeben sind 3");
    QTest::newRow("max-items beyond 8") << QStringList{QStringLiteral("--max-items=9"), a, b}
                                        << QStringLiteral("höchstens 8 Posten je Zahlung, nicht 9");
    QTest::newRow("max-items 0") << QStringList{QStringLiteral("--max-items=0"), a, b}
                                 << QStringLiteral("--max-items erwartet eine ganze Zahl ab 1, nicht „0“");
    QTest::newRow("Skonto rate of 100")
        << QStringList{QStringLiteral("--skonto=2,100"), a, b} << QStringLiteral("nicht „2,100“");
    QTest::newRow("negative tolerance")
        << QStringList{QStringLiteral("--tolerance=-1"), a, b} << QStringLiteral("nicht negativ");
    QTest::newRow("json and csv") << QStringList{QStringLiteral("--json"), QStringLiteral("--csv"), a, b}
                                  << QStringLiteral("--json und --csv schließen einander aus.");
    QTest::newRow("unknown statement role") << QStringList{QStringLiteral("--statement-column=saldo=F"), a, b}
                                            << QStringLiteral("nicht „saldo=F“");
    QTest::newRow("currency code") << QStringList{QStringLiteral("--currency=Euro"), a, b}
                                   << QStringLiteral("nicht „Euro“");
    QTest::newRow("header row 0") << QStringList{QStringLiteral("--header-row=0"), a, b}
                                  << QStringLiteral(
                                         "--header-row erwartet eine Zeilennummer ab 1, nicht „0“.");
    QTest::newRow("sheet twice") << QStringList{QStringLiteral("--sheet=1"), QStringLiteral("--sheet=2"), a,
                                                b}
                                 << QStringLiteral("--sheet ist mehrfach angegeben.");
}

void TestKalvonAbgleich::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result r = run(QStringList{QStringLiteral("--locale=de_DE")} + arguments);
    QCOMPARE(r.status, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.err.endsWith(QStringLiteral("\nEine Übersicht gibt: kalvon-abgleich --help\n")));
}

// The workbook read back: its sheets, their header rows frozen and filtered, numbers as numbers
// in a currency format, dates as dates, matched rows in the windows' hit colour.
void TestKalvonAbgleich::workbook() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("abgleich.xlsx"));
    write(dir, QStringLiteral("abgleich.xlsx"), "an older file");
    const Result r = run({QStringLiteral("--locale=de_DE"), QStringLiteral("--xlsx"), path,
                          data("kontoauszug.xml"), data("offene_posten.xlsx")});
    QCOMPARE(r.status, 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("abgleich.xlsx")});
    const QString workbook = member(path, QStringLiteral("xl/workbook.xml"));
    QStringList sheets;
    static const QRegularExpression sheet(QStringLiteral("<sheet name=\"([^\"]+)\""));
    for (const QRegularExpressionMatch& m : sheet.globalMatch(workbook))
        sheets << m.captured(1);
    QCOMPARE(sheets, (QStringList{QStringLiteral("Zugeordnet"), QStringLiteral("Mehrdeutig"),
                                  QStringLiteral("Teilzahlungen"), QStringLiteral("Nicht zugeordnet"),
                                  QStringLiteral("Offene Posten")}));
    const QString matched = member(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY(matched.contains(QLatin1String("<pane ySplit=\"1\" topLeftCell=\"A2\"")));
    QVERIFY(matched.contains(QLatin1String("<autoFilter ref=\"A1:K9\"/>"))); // 7 payments, 8 items
    QVERIFY2(matched.contains(QLatin1String("<c r=\"D3\" s=\"5\"><v>2430.4</v></c>")), qPrintable(matched));
    QVERIFY(matched.contains(QLatin1String("<c r=\"G3\" s=\"5\"><v>2480</v></c>")));
    QVERIFY(matched.contains(QLatin1String("<c r=\"B3\" s=\"3\"><v>46363</v></c>"))); // 2026-12-07
    const QString styles = member(path, QStringLiteral("xl/styles.xml"));
    QVERIFY(styles.contains(QLatin1String("<fgColor rgb=\"FFC0FFC0\"/>")));
    QVERIFY(styles.contains(QStringLiteral("formatCode=\"#,##0.00 [$€-407]\"")));
    const QString strings = member(path, QStringLiteral("xl/sharedStrings.xml"));
    for (const char* text : {"RE-2026-0102", "Bäckerei Schröder e.K.", "Verwendungszweck", "ausgeglichen",
                             "ausgelassen: eine Stornobuchung"})
        QVERIFY2(strings.contains(QString::fromUtf8(text)), text);
}

// A workbook that cannot be written: the message, status 2, no report and no file left behind.
void TestKalvonAbgleich::workbookNotWritten() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fehlt/abgleich.xlsx"));
    const Result r = run({QStringLiteral("--locale=de_DE"), QStringLiteral("--xlsx"), path,
                          data("kontoauszug.xml"), data("offene_posten.xlsx")});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(
        r.err.startsWith(
            QStringLiteral("kalvon-abgleich: Die Arbeitsmappe „%1“ lässt sich nicht schreiben").arg(path)),
        qPrintable(r.err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

// The CSV for spreadsheets: byte-order mark, the region's delimiter, a formula in a payer's name
// guarded, a line per item.
void TestKalvonAbgleich::csv() {
    QTemporaryDir dir;
    const QString statement = write(
        dir, QStringLiteral("auszug.xml"),
        camt({QStringLiteral("300.00|=HYPERLINK(\"x\")|RE-1 RE-2"), QStringLiteral("-5.00|Bank|Gebühr")}));
    // Whole amounts read alike in both regions.
    const QString items = write(dir, QStringLiteral("op.csv"), "Belegnr;Betrag\nRE-1;100\nRE-2;200\n");
    Result r = run({QStringLiteral("--csv"), QStringLiteral("--locale=de_DE"), statement, items});
    QCOMPARE(r.status, 0);
    QVERIFY(r.bytes.startsWith("\xEF\xBB\xBF"
                               "Buchung;"));
    QCOMPARE(
        r.out.split(QStringLiteral("\r\n")),
        (QStringList{
            QStringLiteral("Buchung;Datum;Zahler;Betrag;Status;Möglichkeit;Zeile;Belegnr;"
                           "Postenbetrag;Skonto %;Skonto;Differenz;Rest;Grundlage;Verwendungszweck"),
            QStringLiteral("1;07.12.2026;\"'=HYPERLINK(\"\"x\"\")\";300,00;zugeordnet;;2;RE-1;100,00;;;0,00;;"
                           "Verwendungszweck;RE-1 RE-2"),
            QStringLiteral("1;07.12.2026;\"'=HYPERLINK(\"\"x\"\")\";300,00;zugeordnet;;3;RE-2;200,00;;;0,00;;"
                           "Verwendungszweck;RE-1 RE-2"),
            QStringLiteral("2;07.12.2026;Bank;-5,00;ausgelassen: eine ausgehende Zahlung (Soll);;;;;;;;;;"
                           "Gebühr"),
            QString()}));
    r = run({QStringLiteral("--csv"), QStringLiteral("--locale=en_US"), QStringLiteral("--currency=EUR"),
             statement, items});
    QVERIFY2(r.out.contains(QStringLiteral("\r\n1,12/7/2026,\"'=HYPERLINK(\"\"x\"\")\",300.00,")),
             qPrintable(r.out));
}

// Ctrl+C: status 130, a message, and no report.
void TestKalvonAbgleich::cancelled() {
    const Result r =
        run({QStringLiteral("--locale=de_DE"), data("kontoauszug.xml"), data("offene_posten.xlsx")}, true);
    QCOMPARE(r.status, 130);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("kalvon-abgleich: abgebrochen.\n"));
}

// Ctrl+C in the real program, while it waits to open a statement that is a named pipe nobody
// writes, ends it at once with nothing written and the status a shell reports as 130. Ctrl+C while
// matching is the cancellation above.
void TestKalvonAbgleich::interrupted() {
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("auszug.xml"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QProcess process;
    process.start(QStringLiteral(KALVON_ABGLEICH), {pipe, data("offene_posten.xlsx")});
    QVERIFY(process.waitForStarted());
    // Until the program waits in openat(2): system call 257.
    const QString syscall = QStringLiteral("/proc/%1/syscall").arg(process.processId());
    auto waitsForPipe = [&] {
        QFile file(syscall);
        return file.open(QIODevice::ReadOnly) && file.readAll().startsWith("257 ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(waitsForPipe(), 10000);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(5000));
    const bool endedBySignal = process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGINT;
    const bool endedItself = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 130;
    QVERIFY2(endedBySignal || endedItself, qPrintable(QString::number(process.exitCode())));
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestKalvonAbgleich)
#include "tst_kalvon_abgleich.moc"
