// SPDX-License-Identifier: GPL-3.0-or-later
// Reading bank statements: camt XML in its versions and message kinds, a ZIP of them, MT940, bank
// CSV layouts, what is left out, bad input and the XML safety bounds.
#include "core/numbers/kalvon_error.h"
#include "core/tables/statement.h"
#include "core/tables/statement_formats.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using StatementReader::Options;
using StatementReader::Role;

namespace {

const QString Data = QStringLiteral(KALVON_TEST_DATA);

QByteArray fixture(const QString& name) {
    QFile file(Data + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString amountText(Currency amount) {
    const qint64 count = amount.count();
    return QStringLiteral("%1.%2")
        .arg(count / Currency::Scale)
        .arg(count % Currency::Scale, 4, 10, QLatin1Char('0'));
}

QString leftOutText(StatementEntry::LeftOut leftOut) {
    static const char* const names[] = {"", " [ausgehend]", " [Storno]", " [Fremdwährung]",
                                        " [nicht gebucht]"};
    return QString::fromUtf8(names[int(leftOut)]);
}

// "2.1 L48 C 1000.0000 EUR 2026-12-01/2026-12-01 Weber & Söhne KG DE… «RE-2026-0092» e2e=… [Storno]"
QString entryText(const StatementEntry& e) {
    QString text = QStringLiteral("%1.%2 L%3 %4 %5 %6 %7/%8 %9")
                       .arg(e.entry)
                       .arg(e.part)
                       .arg(e.line)
                       .arg(QLatin1Char(e.direction == StatementEntry::Direction::Credit ? 'C' : 'D'))
                       .arg(amountText(e.amount), e.currency.isEmpty() ? QStringLiteral("-") : e.currency,
                            e.bookingDate.toString(Qt::ISODate), e.valueDate.toString(Qt::ISODate),
                            e.payerName.isEmpty() ? QStringLiteral("-") : e.payerName);
    if (!e.payerIban.isEmpty())
        text += u' ' + e.payerIban;
    text += QStringLiteral(" «%1»").arg(e.remittance);
    if (e.purpose != e.remittance)
        text += QStringLiteral(" svwz=%1").arg(e.purpose);
    if (!e.endToEndId.isEmpty())
        text += QStringLiteral(" e2e=%1").arg(e.endToEndId);
    return text + leftOutText(e.leftOut);
}

QString describe(const Statement& s) {
    QStringList lines{QStringLiteral("%1 %2 %3 %4")
                          .arg(StatementReader::formatName(s.format), s.version, s.iban, s.currency)
                          .simplified()};
    for (const StatementEntry& e : s.entries)
        lines << entryText(e);
    return lines.join(u'\n');
}

template <class F> QString outcome(F&& read) {
    try {
        return describe(read());
    } catch (const KalvonError& e) {
        return e.userMessage();
    }
}

// UTF-16 LE with a byte-order mark, as Excel saves "Unicode text".
QByteArray utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& parts) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    for (const auto& [name, content] : parts) {
        QuaZipFile file(&zip);
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(name));
        file.write(content);
        file.close();
    }
    zip.close();
    return bytes;
}

// A camt.053 document of the version around the entries' XML.
QByteArray camt(const QByteArray& entries, const QByteArray& version = "001.08") {
    return "<?xml version=\"1.0\"?>\n<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053." + version +
           "\"><BkToCstmrStmt><Stmt><Acct><Id><IBAN>DE15370501980001234567</IBAN></Id><Ccy>EUR</Ccy></"
           "Acct>\n" +
           entries + "</Stmt></BkToCstmrStmt></Document>\n";
}

QByteArray ntry(const QByteArray& amount, const QByteArray& direction, const QByteArray& details = {}) {
    return "<Ntry><Amt Ccy=\"EUR\">" + amount + "</Amt><CdtDbtInd>" + direction +
           "</CdtDbtInd><BookgDt><Dt>2026-12-01</Dt></BookgDt><ValDt><Dt>2026-12-01</Dt></ValDt>" + details +
           "</Ntry>\n";
}

} // namespace

class TestStatementReader : public QObject {
    Q_OBJECT

private slots:
    void fixtures_data();
    void fixtures();
    void exampleStatement();
    void zipOfDailyFiles();
    void sepaTags_data();
    void sepaTags();
    void namedColumns();
    void smallCases_data();
    void smallCases();
    void bounds_data();
    void bounds();
    void badInput_data();
    void badInput();
    void xmlSafety_data();
    void xmlSafety();
    void recognition_data();
    void recognition();
    void randomCamtAndCsv();
};

void TestStatementReader::fixtures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("camt.053 .02: a batch split by its amounts, one booked as a whole, a debit")
        << "camt053_v02.xml"
        << "camt.053 001.02 DE15370501980001234567 EUR\n"
           "1.0 L23 C 480.0000 EUR 2026-12-01/2026-12-01 Fahrradladen Ostwind DE43500105175544332211 "
           "«Rechnung RE-2026-0091 Kundennummer 10233» e2e=RE-2026-0091\n"
           "2.1 L48 C 1000.0000 EUR 2026-12-01/2026-12-01 Weber & Söhne KG «RE-2026-0092»\n"
           "2.2 L48 C 500.2500 EUR 2026-12-01/2026-12-01 Café Lindner «RE-2026-0093» e2e=E2E-77\n"
           "3.0 L71 C 250.0000 EUR 2026-12-01/2026-12-02 Hotel Seeblick GmbH «RE-2026-0094 RE-2026-0095»\n"
           "4.0 L88 D 99.0000 EUR 2026-12-01/2026-12-01 Telefon Nord AG DE84830944950001122334 «Abo "
           "Dezember» "
           "e2e=ABO-12 [ausgehend]";
    QTest::newRow("camt.053 .04: structured reference, foreign currency, reversal")
        << "camt053_v04.xml"
        << "camt.053 001.04 DE15370501980001234567 EUR\n"
           "1.0 L11 C 1234.5000 EUR 2026-12-04/2026-12-04 Autohaus Krämer AG DE58430609670800100200 "
           "«RF18RE20260096» e2e=RE-2026-0096\n"
           "2.0 L32 C 310.0000 USD 2026-12-04/2026-12-04 Lakeside Imports Inc. «Invoice RE-2026-0097» "
           "[Fremdwährung]\n"
           "3.0 L46 C 61.2000 EUR 2026-12-04/2026-12-04 Telefon Nord AG «Storno Lastschrift Abo November» "
           "[Storno]";
    QTest::newRow("camt.052 .08: party names under Pty, SEPA tags in Ustrd, a pending entry")
        << "camt052_v08.xml"
        << "camt.052 001.08 DE15370501980001234567 EUR\n"
           "1.0 L11 C 2000.0000 EUR 2026-12-08/2026-12-08 Gärtnerei Blumenthal GbR DE18250501800000998877 "
           "«EREF+GB-2026-118 SVWZ+RE-2026-0098» svwz=RE-2026-0098 e2e=GB-2026-118\n"
           "2.0 L30 C 75.0000 EUR 2026-12-09/2026-12-09 Kiosk am Markt «RE-2026-0099» [nicht gebucht]";
    QTest::newRow(
        "MT940, Windows-1252: subfields over lines, a reversal, two statements, entry date in the old year")
        << "mt940_sparkasse.sta"
        << "MT940 DE15370501980001234567 EUR\n"
           "1.0 L6 C 1234.5000 EUR 2026-12-07/2026-12-07 Müller Haustechnik GmbH DE43500105175544332211 "
           "«EREF+RE-2026-0101 SVWZ+Rechnung RE-2026-0101 Müller Haustechnik» "
           "svwz=Rechnung RE-2026-0101 Müller Haustechnik e2e=RE-2026-0101\n"
           "2.0 L9 C 2430.4000 EUR 2026-12-07/2026-12-07 Bäckerei Schröder e.K. DE19120300000001004711 "
           "«EREF+NOTPROVIDED SVWZ+RE-2026-0102 abzgl. 2% Skonto» svwz=RE-2026-0102 abzgl. 2% Skonto\n"
           "3.0 L11 D 2500.0000 EUR 2026-12-07/2026-12-07 Immobilien Hartmann GmbH DE84830944950001122334 "
           "«EREF+MIETE-2026-12 SVWZ+Miete Dezember 2026» svwz=Miete Dezember 2026 e2e=MIETE-2026-12 "
           "[ausgehend]\n"
           "4.0 L13 D 89.9000 EUR 2026-12-07/2026-12-07 Kiosk am Markt DE94300606010007744110 "
           "«EREF+RE-2026-0113 MREF+KD-0815 SVWZ+RE-2026-0113 Lastschrift» svwz=RE-2026-0113 Lastschrift "
           "e2e=RE-2026-0113 [Storno]\n"
           "5.0 L22 C 500.0000 EUR 2026-12-30/2027-01-02 - «Abschlag auf RE-2026-0105 Autohaus Kraemer AG "
           "Danke»";
    QTest::newRow("bank CSV, Sparkasse-like: quoted, two-digit years, signed, a noted booking")
        << "sparkasse.csv"
        << "CSV DE15370501980001234567 EUR\n"
           "1.0 L2 C 1234.5000 EUR 2026-12-07/2026-12-07 Müller Haustechnik GmbH DE43500105175544332211 "
           "«RE-2026-0101 Müller Haustechnik» e2e=RE-2026-0101\n"
           "2.0 L3 C 2430.4000 EUR 2026-12-07/2026-12-07 Bäckerei Schröder e.K. DE19120300000001004711 "
           "«Rechnung RE-2026-0102 abzgl. 2% Skonto»\n"
           "3.0 L4 D 2500.0000 EUR 2026-12-07/2026-12-07 Immobilien Hartmann GmbH DE84830944950001122334 "
           "«Miete Dezember 2026» e2e=MIETE-2026-12 [ausgehend]\n"
           "4.0 L5 C 500.0000 EUR 2026-12-08/2026-12-08 Autohaus Krämer AG DE58430609670800100200 "
           "«Abschlag RE-2026-0105» [nicht gebucht]";
    QTest::newRow("bank CSV, Volksbank-like: preamble, Soll/Haben, a line break in a text, balance rows")
        << "volksbank.csv"
        << "CSV EUR\n"
           "1.0 L11 C 3000.0000 EUR 2026-12-07/2026-12-07 Weber & Söhne KG DE45760260000333444555 "
           "«Gutschrift RE-2026-0103 und RE-2026-0104»\n"
           "2.0 L12 D 318.4000 EUR 2026-12-07/2026-12-08 Papier Kunze GmbH DE68500400009988776655 "
           "«Überweisung Lieferantenrechnung 88213» [ausgehend]\n"
           "3.0 L13 C 856.8000 EUR 2026-12-07/2026-12-07 Praxis Dr. med. Lehmann DE90700202706655443322 "
           "«Ihre Rechnung vom 12.11.2026»";
    QTest::newRow("bank CSV, direct bank: long preamble with the IBAN, grouped amounts, BOM")
        << "direktbank.csv"
        << "CSV DE15370501980001234567 EUR\n"
           "1.0 L16 C 1019.3000 EUR 2026-12-07/2026-12-07 Café Lindner «RE-2026-0111»\n"
           "2.0 L17 C 450.0000 EUR 2026-12-07/2026-12-07 Elektro Nowak UG (haftungsbeschränkt) "
           "«Zahlung Elektro Nowak, vielen Dank»\n"
           "3.0 L18 D 318.4000 EUR 2026-12-06/2026-12-06 Papier Kunze GmbH «Lieferantenrechnung 88213» "
           "[ausgehend]";
}

void TestStatementReader::fixtures() {
    QFETCH(QString, file);
    QFETCH(QString, expected);
    const QString path = Data + QStringLiteral("/statements/") + file;
    const Statement statement = StatementReader::readFile(path);
    QCOMPARE(describe(statement).replace(path, file), expected);
    for (const StatementEntry& entry : statement.entries)
        QCOMPARE(entry.file, path);
}

// The example for kalvon-abgleich: ten payments in, two out, one returned direct debit.
void TestStatementReader::exampleStatement() {
    const Statement statement = StatementReader::readFile(QStringLiteral(KALVON_EXAMPLE_STATEMENT));
    QCOMPARE(StatementReader::formatName(statement.format), QStringLiteral("camt.053"));
    QCOMPARE(statement.version, QStringLiteral("001.08"));
    QMap<StatementEntry::LeftOut, int> kinds;
    QStringList references;
    for (const StatementEntry& entry : statement.entries) {
        ++kinds[entry.leftOut];
        if (entry.isIncoming() && entry.remittance.contains(QStringLiteral("RE-2026-01")))
            references << entry.remittance.section(QStringLiteral("RE-2026-01"), 1).left(2);
    }
    QCOMPARE(kinds[StatementEntry::LeftOut::None], 10);
    QCOMPARE(kinds[StatementEntry::LeftOut::Outgoing], 2);
    QCOMPARE(kinds[StatementEntry::LeftOut::Reversal], 1);
    QCOMPARE(references.join(u','), QStringLiteral("01,02,03,05,11,12"));
    QCOMPARE(statement.entries.back().payerName, QStringLiteral("Kiosk am Markt"));
}

void TestStatementReader::zipOfDailyFiles() {
    // Members stored out of order, with a folder and a macOS resource fork that are no statements.
    const QByteArray zip =
        zipOf({{QStringLiteral("2026-12/auszug_2026-12-04.xml"),
                fixture(QStringLiteral("statements/camt053_v04.xml"))},
               {QStringLiteral("__MACOSX/2026-12/._auszug_2026-12-01.xml"), QByteArray("\0\x05\x16\x07", 4)},
               {QStringLiteral("2026-12/auszug_2026-12-01.xml"),
                fixture(QStringLiteral("statements/camt053_v02.xml"))},
               {QStringLiteral("2026-12/auszug_2026-12-07.xml"), camt(ntry("10.00", "CRDT"), "001.08")}});
    const Statement statement = StatementReader::read(zip, QStringLiteral("auszuege.zip"));
    QVERIFY(statement.zip);
    QCOMPARE(statement.files.join(u' '),
             QStringLiteral("2026-12/auszug_2026-12-01.xml 2026-12/auszug_2026-12-04.xml "
                            "2026-12/auszug_2026-12-07.xml"));
    QStringList places;
    for (const StatementEntry& entry : statement.entries)
        places << QStringLiteral("%1.%2 %3").arg(entry.entry).arg(entry.part).arg(entry.file.right(6));
    QCOMPARE(places.join(u','),
             QStringLiteral("1.0 01.xml,2.1 01.xml,2.2 01.xml,3.0 01.xml,4.0 01.xml,5.0 04.xml,"
                            "6.0 04.xml,7.0 04.xml,8.0 07.xml"));

    // A report beside the statements would count the same bookings twice.
    const QByteArray mixed =
        zipOf({{QStringLiteral("a.xml"), fixture(QStringLiteral("statements/camt053_v02.xml"))},
               {QStringLiteral("b.xml"), fixture(QStringLiteral("statements/camt052_v08.xml"))}});
    try {
        StatementReader::read(mixed, QStringLiteral("auszuege.zip"));
        QFAIL("a ZIP of mixed formats was read");
    } catch (const KalvonError& e) {
        QCOMPARE(e.userMessage(), QStringLiteral("Das ZIP-Archiv „auszuege.zip“ mischt Formate: „b.xml“ ist "
                                                 "camt.052, die Dateien davor sind camt.053."));
    }
}

void TestStatementReader::sepaTags_data() {
    QTest::addColumn<QString>("remittance");
    QTest::addColumn<QString>("expected"); // purpose | end-to-end | KREF | MREF

    QTest::newRow("no tags") << "RE-2026-0101 danke"
                             << "RE-2026-0101 danke|||";
    QTest::newRow("all tags, run together as MT940 lines join")
        << "EREF+E-1KREF+K-2MREF+M-3CRED+DE98ZZZ09999999999SVWZ+RE-2026-0101 Miete"
        << "RE-2026-0101 Miete|E-1|K-2|M-3";
    QTest::newRow("NOTPROVIDED is no reference") << "EREF+NOTPROVIDED SVWZ+Text"
                                                 << "Text|||";
    QTest::newRow("text before the first tag, no SVWZ") << "Gutschrift EREF+E-9"
                                                        << "Gutschrift|E-9||";
    QTest::newRow("ABWA ends the purpose") << "SVWZ+RE-7 ABWA+Muster GmbH"
                                           << "RE-7|||";
}

void TestStatementReader::sepaTags() {
    QFETCH(QString, remittance);
    QFETCH(QString, expected);
    StatementEntry entry;
    entry.remittance = remittance;
    StatementFormats::parseSepaTags(entry);
    QCOMPARE(QStringList({entry.purpose, entry.endToEndId, entry.customerReference, entry.mandateReference})
                 .join(u'|'),
             expected);
}

void TestStatementReader::namedColumns() {
    const QByteArray csv = "Tag;Wer;Was;Wieviel;SH;Datum\n"
                           "01.12.2026;Muster GmbH;RE-1;12,50;H;31.12.2026\n"
                           "02.12.2026;Muster GmbH;RE-2;3,00;S;31.12.2026\n";
    Options options;
    options.columns = {{Role::Date, QStringLiteral("tag")},
                       {Role::Payer, QStringLiteral("B")},
                       {Role::Text, QStringLiteral("3")},
                       {Role::Amount, QStringLiteral("Wieviel")},
                       {Role::DebitCredit, QStringLiteral("E")}};
    QCOMPARE(outcome([&] { return StatementReader::read(csv, QStringLiteral("k.csv"), options); }),
             QStringLiteral("CSV\n"
                            "1.0 L2 C 12.5000 - 2026-12-01/2026-12-01 Muster GmbH «RE-1»\n"
                            "2.0 L3 D 3.0000 - 2026-12-02/2026-12-02 Muster GmbH «RE-2» [ausgehend]"));
    options.columns[Role::ValueDate] = QStringLiteral("Valuta");
    QCOMPARE(outcome([&] { return StatementReader::read(csv, QStringLiteral("k.csv"), options); }),
             QStringLiteral("Die Spalte „Valuta“ für valuedate gibt es in der Datei „k.csv“ nicht."));
    QCOMPARE(StatementReader::roleName(Role::DebitCredit), QStringLiteral("debitcredit"));
    Role role = Role::Date;
    QVERIFY(StatementReader::roleFromName(QStringLiteral("ValueDate"), role) && role == Role::ValueDate);
    QVERIFY(!StatementReader::roleFromName(QStringLiteral("betrag"), role));
}

void TestStatementReader::smallCases_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("MT940 day without bookings")
        << QByteArray(":20:STARTUMSE\r\n:25:DE15370501980001234567EUR\r\n:28C:1/1\r\n:60F:C261207CHF5,00\r\n"
                      ":62F:C261207CHF5,00\r\n-\r\n")
        << "MT940 DE15370501980001234567 CHF";
    QTest::newRow("MT940 free-text :86:, separator other than '?'")
        << QByteArray(":20:X\n:25:1/2\n:60F:C261207EUR0,\n:61:261207C5,NMSCNONREF\n:86:Bar\neinzahlung\n"
                      ":61:261207D1,5NTRFKREF-7//B\n:86:177@00UEBERWEISUNG@20SVWZ+Gebuehr@32Bank\n")
        << "MT940 EUR\n"
           "1.0 L4 C 5.0000 EUR 2026-12-07/2026-12-07 - «Bar einzahlung»\n"
           "2.0 L7 D 1.5000 EUR 2026-12-07/2026-12-07 Bank «SVWZ+Gebuehr» svwz=Gebuehr [ausgehend]";
    QTest::newRow("camt.054 notification, no version, balance currency")
        << QByteArray(
               "<Document><BkToCstmrDbtCdtNtfctn><Ntfctn><Bal><Amt Ccy=\"CHF\">1</Amt></Bal>"
               "<Ntry><Amt Ccy=\"CHF\">7.5</Amt><CdtDbtInd>CRDT</CdtDbtInd><ValDt><DtTm>2026-12-07T10:00:00"
               "</DtTm></ValDt></Ntry></Ntfctn></BkToCstmrDbtCdtNtfctn></Document>")
        << "camt.054 CHF\n1.0 L1 C 7.5000 CHF 2026-12-07/2026-12-07 - «»";
    QTest::newRow("CSV: the most telling names win over earlier columns")
        << QByteArray("Datum;Name;Buchungstag;Auftraggeber/Empfänger;Betrag\n"
                      "08.12.2026;Konto 1;01.12.2026;Muster KG;5,00\n")
        << "CSV\n1.0 L2 C 5.0000 - 2026-12-01/2026-12-01 Muster KG «»";
    QTest::newRow("CSV in UTF-16, tabs")
        << utf16(QStringLiteral("Buchungstag\tName\tBetrag (EUR)\n01.12.2026\tMüller\t5,00\n"))
        << "CSV EUR\n1.0 L2 C 5.0000 EUR 2026-12-01/2026-12-01 Müller «»";
    QTest::newRow("CSV: Soll and Haben amounts, a note below, a foreign currency")
        << QByteArray("Buchungstag;Empfänger;Verwendungszweck;Soll;Haben;Währung\n"
                      "01.12.2026;A;x;;1.234,50;EUR\n02.12.2026;B;y;-20,00;;EUR\n03.12.2026;C;z;;99,00;USD\n"
                      ";;* vorläufige Umsätze;;;\n")
        << "CSV EUR\n"
           "1.0 L2 C 1234.5000 EUR 2026-12-01/2026-12-01 A «x»\n"
           "2.0 L3 D 20.0000 EUR 2026-12-02/2026-12-02 B «y» [ausgehend]\n"
           "3.0 L4 C 99.0000 USD 2026-12-03/2026-12-03 C «z» [Fremdwährung]";
}

void TestStatementReader::smallCases() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return StatementReader::read(input, QStringLiteral("k")); }), expected);
}

void TestStatementReader::bounds_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("bound");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    const QByteArray three = camt(ntry("1.00", "CRDT") + ntry("2.00", "CRDT") + ntry("3.00", "DBIT"));
    QTest::newRow("bytes")
        << three << "bytes" << 100
        << "Die Datei „k“ ist größer als 100 Bytes; so große Kontoauszüge werden nicht gelesen.";
    QTest::newRow("entries")
        << three << "entries" << 2
        << "Der Kontoauszug hat mehr als 2 Buchungen; so große Auszüge werden nicht gelesen.";
    QTest::newRow("files in a ZIP")
        << zipOf({{QStringLiteral("a.xml"), three}, {QStringLiteral("b.xml"), three}}) << "files" << 1
        << "Das ZIP-Archiv „k“ enthält mehr als 1 Dateien; so große Archive werden nicht "
           "gelesen.";
    QTest::newRow("unpacked member")
        << zipOf({{QStringLiteral("a.xml"), three}}) << "unpacked" << 100
        << "Die Datei „a.xml“ im ZIP-Archiv „k“ ist entpackt größer als 100 Bytes; so "
           "große Kontoauszüge werden nicht gelesen.";
    const int oneAndAHalf = int(three.size() * 3 / 2);
    QTest::newRow("all members unpacked")
        << zipOf({{QStringLiteral("a.xml"), three}, {QStringLiteral("b.xml"), three}}) << "total"
        << oneAndAHalf
        << QStringLiteral(
               "Das ZIP-Archiv „k“ ist entpackt größer als %1 Bytes; so große Archive werden nicht gelesen.")
               .arg(oneAndAHalf);
    QTest::newRow("CSV rows")
        << QByteArray("Buchungstag;Betrag\n01.12.2026;1\n01.12.2026;2\n") << "rows" << 2
        << "Die Datei „k“ lässt sich nicht lesen: Die Eingabe hat mehr als 2 Zeilen; so lange "
           "Listen werden nicht gelesen.";
}

void TestStatementReader::bounds() {
    QFETCH(QByteArray, input);
    QFETCH(QString, bound);
    QFETCH(int, value);
    QFETCH(QString, expected);
    Options options;
    if (bound == QLatin1String("bytes"))
        options.maxBytes = value;
    else if (bound == QLatin1String("entries"))
        options.maxEntries = value;
    else if (bound == QLatin1String("files"))
        options.maxFiles = value;
    else if (bound == QLatin1String("total"))
        options.maxUnpackedTotal = value;
    else if (bound == QLatin1String("unpacked"))
        options.maxUnpackedBytes = value;
    else
        options.maxRows = value;
    QCOMPARE(outcome([&] { return StatementReader::read(input, QStringLiteral("k"), options); }), expected);
}

void TestStatementReader::badInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("XML that is no statement")
        << QByteArray(
               "<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03\">"
               "<CstmrCdtTrfInitn/></Document>")
        << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Die Nachricht „CstmrCdtTrfInitn“ ist kein "
           "Kontoauszug; gelesen werden camt.053 (BkToCstmrStmt), camt.052 (BkToCstmrAcctRpt) und camt.054 "
           "(BkToCstmrDbtCdtNtfctn).";
    QTest::newRow("XML of another kind") << QByteArray("<html><body/></html>")
                                         << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Das XML ist "
                                            "keine ISO-20022-Nachricht (camt.052, "
                                            "camt.053 oder camt.054), sondern „html“.";
    QTest::newRow("malformed XML")
        << camt(ntry("10.00", "CRDT")).left(200)
        << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Sie ist kein gültiges "
           "XML (Zeile 3, Spalte 20).";
    QTest::newRow("empty message")
        << QByteArray("<Document/>")
        << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Sie enthält keine Nachricht.";
    QTest::newRow("entry without amount")
        << camt(ntry("10.00", "CRDT") + "<Ntry><CdtDbtInd>CRDT</CdtDbtInd></Ntry>")
        << "Die Buchung 2 (Zeile 4) in der Datei „k.xml“ ist unlesbar: Sie hat keinen Betrag (Amt).";
    QTest::newRow("amount with a comma")
        << camt(ntry("10,00", "CRDT"))
        << "Die Buchung 1 (Zeile 3) in der Datei „k.xml“ ist unlesbar: „10,00“ "
           "ist kein Betrag.";
    QTest::newRow("neither credit nor debit")
        << camt(ntry("10.00", "CRDX"))
        << "Die Buchung 1 (Zeile 3) in der Datei „k.xml“ ist unlesbar: Sie ist weder Gutschrift noch "
           "Lastschrift (CdtDbtInd „CRDX“).";
    QTest::newRow("bad date")
        << camt(ntry("10.00", "CRDT").replace("2026-12-01", "2026-13-01"))
        << "Die Buchung 1 (Zeile 3) in der Datei „k.xml“ ist unlesbar: „2026-13-01“ ist kein "
           "Datum.";
    QTest::newRow("CSV without an amount column")
        << QByteArray(
               "Konto;DE15370501980001234567\n\nBuchungstag;Verwendungszweck;Name\n01.12.2026;RE-1;X\n")
        << "Die Datei „k.xml“ hat keine Betragsspalte: Keine Spalte heißt Betrag oder Umsatz (oder Soll und "
           "Haben). Mit --statement-column amount=SPALTE lässt sie sich nennen.";
    QTest::newRow("text that is no statement") << QByteArray("Belegnr;Kunde\nRE-1;Muster\n")
                                               << "Die Datei „k.xml“ ist kein Kontoauszug: weder camt-XML "
                                                  "noch MT940, und keine Zeile nennt als Spalten "
                                                  "ein Buchungsdatum und einen Betrag.";
    QTest::newRow("CSV amount")
        << QByteArray("Buchungstag;Betrag\n01.12.2026;12,5x\n")
        << "Zeile 2 der Datei „k.xml“ ist keine lesbare Buchung: „12,5x“ ist kein Betrag.";
    QTest::newRow("CSV amount missing")
        << QByteArray("Buchungstag;Betrag;Text\n01.12.2026;;x\n")
        << "Zeile 2 der Datei „k.xml“ ist keine lesbare Buchung: Sie hat keinen "
           "Betrag.";
    QTest::newRow("CSV date")
        << QByteArray("Buchungstag;Betrag\n31.11.2026;12,50\n")
        << "Zeile 2 der Datei „k.xml“ ist keine lesbare Buchung: „31.11.2026“ ist kein Datum.";
    QTest::newRow("CSV booking without date")
        << QByteArray("Buchungstag;Betrag;Text\n;12,50;x\n")
        << "Zeile 2 der Datei „k.xml“ ist keine lesbare Buchung: Sie hat kein "
           "Buchungsdatum.";
    QTest::newRow("CSV Soll/Haben mark")
        << QByteArray("Buchungstag;Betrag;S/H\n01.12.2026;12,50;X\n")
        << "Zeile 2 der Datei „k.xml“ ist keine lesbare Buchung: „X“ sagt weder Soll "
           "noch Haben.";
    QTest::newRow("MT940 booking line")
        << QByteArray(
               ":20:X\r\n:25:DE15370501980001234567\r\n:60F:C261204EUR1,00\r\n:61:261207C12.50NTRF\r\n")
        << "Die Buchung in Zeile 4 der Datei „k.xml“ ist unlesbar: Die Zeile :61: hat nicht die Form Datum, "
           "Soll/Haben, Betrag, Buchungsart.";
    QTest::newRow("binary")
        << QByteArray("\x01\x02\0\0abc", 7)
        << "Die Datei „k.xml“ ist weder Text noch ein ZIP-Archiv; sie ist kein Kontoauszug.";
    QTest::newRow("a workbook") << zipOf({{QStringLiteral("xl/workbook.xml"), "<workbook/>"}})
                                << "Die Datei „k.xml“ ist eine Arbeitsmappe, kein Kontoauszug.";
    QTest::newRow("a ZIP member that is no statement")
        << zipOf(
               {{QStringLiteral("a.xml"), camt(ntry("1.00", "CRDT"))}, {QStringLiteral("b.pdf"), "%PDF-1.4"}})
        << "Im ZIP-Archiv „k.xml“: Die Datei „b.pdf“ ist kein Kontoauszug: weder camt-XML noch MT940, und "
           "keine Zeile nennt als "
           "Spalten "
           "ein Buchungsdatum und einen Betrag.";
    QTest::newRow("an empty ZIP") << zipOf({}) << "Die Datei „k.xml“ ist ein beschädigtes ZIP-Archiv.";
}

void TestStatementReader::badInput() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return StatementReader::read(input, QStringLiteral("k.xml")); }), expected);
}

void TestStatementReader::xmlSafety_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");
    const QString dtd =
        QStringLiteral("Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Sie enthält eine "
                       "Dokumenttypdefinition (DTD); solche Dateien werden aus Sicherheitsgründen "
                       "nicht gelesen.");
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE Document [\n<!ENTITY l0 \"ha\">\n";
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;\">\n")
                      .arg(i)
                      .arg(i - 1)
                      .toLatin1();
    laughs += "]>\n" + camt(ntry("1.00", "CRDT", "<AddtlNtryInf>&l9;</AddtlNtryInf>")).mid(22);
    QTest::newRow("entity expansion") << laughs << dtd;
    QTest::newRow("external entity") << QByteArray(
                                            "<?xml version=\"1.0\"?>\n<!DOCTYPE Document [<!ENTITY x SYSTEM "
                                            "\"file:///etc/passwd\">]>\n<Document>&x;</Document>")
                                     << dtd;
    QTest::newRow("undeclared entity")
        << camt(ntry("1.00", "CRDT", "<AddtlNtryInf>&x;</AddtlNtryInf>"))
        << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Sie ist kein gültiges XML "
           "(Zeile 3, Spalte 147).";
    QByteArray deep = "<Document><BkToCstmrStmt><Stmt>";
    for (int i = 0; i < 100; ++i)
        deep += "<a>";
    QTest::newRow("deep nesting")
        << deep
        << "Die Datei „k.xml“ ist kein lesbarer Kontoauszug: Sie ist tiefer als 64 Ebenen "
           "verschachtelt.";
}

void TestStatementReader::xmlSafety() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return StatementReader::read(input, QStringLiteral("k.xml")); }), expected);
}

void TestStatementReader::recognition_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("statement");
    for (const char* name : {"camt053_v02.xml", "camt053_v04.xml", "camt052_v08.xml", "mt940_sparkasse.sta",
                             "sparkasse.csv", "volksbank.csv", "direktbank.csv"})
        QTest::newRow(name) << fixture(QStringLiteral("statements/") + QLatin1String(name)) << true;
    QTest::newRow("ZIP of camt") << zipOf({{QStringLiteral("a.xml"), camt(ntry("1.00", "CRDT"))}}) << true;
    QTest::newRow("open items CSV") << QByteArray(
                                           "Belegnr;Datum;Kunde;Betrag\nRE-2026-0101;03.11.2026;Müller GmbH;"
                                           "1.234,50\n")
                                    << false;
    QTest::newRow("open items workbook") << fixture(QStringLiteral("offene_posten.xlsx")) << false;
    QTest::newRow("plain list") << QByteArray("12,50\n7,00\n") << false;
    QTest::newRow("other XML") << QByteArray("<Document><CstmrCdtTrfInitn/></Document>") << false;
}

void TestStatementReader::recognition() {
    QFETCH(QByteArray, input);
    QFETCH(bool, statement);
    QVERIFY(!input.isEmpty());
    QCOMPARE(StatementReader::looksLikeStatement(input), statement);
}

namespace {

struct Payment {
    qint64 cents = 0;
    bool credit = true;
    QDate date;
    QString payer, text;
};

QString germanAmount(qint64 cents) {
    QString whole = QString::number(cents / 100);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, u'.');
    return QStringLiteral("%1,%2").arg(whole).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QByteArray xmlAmount(qint64 cents, bool shortForm) {
    QByteArray text =
        QByteArray::number(cents / 100) + '.' + QByteArray::number(cents % 100).rightJustified(2, '0');
    while (shortForm && (text.endsWith('0') || text.endsWith('.')))
        text.chop(1);
    return text;
}

QByteArray escaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

// Random payments as a camt.053 of a random version; runs of payments go into one entry as a
// batch, each with its amount, and come back one by one.
QByteArray camtOf(const std::vector<Payment>& payments, QRandomGenerator& random) {
    const QByteArray versions[] = {"001.02", "001.04", "001.08"};
    const QByteArray version = versions[random.bounded(3)];
    const bool pty = version == "001.08";
    QByteArray entries;
    for (std::size_t i = 0; i < payments.size();) {
        std::size_t batch =
            payments[i].credit ? std::min<std::size_t>(1 + random.bounded(3), payments.size() - i) : 1;
        while (batch > 1 &&
               (!payments[i + batch - 1].credit || payments[i + batch - 1].date != payments[i].date))
            --batch;
        qint64 sum = 0;
        QByteArray details;
        for (std::size_t k = i; k < i + batch; ++k) {
            const Payment& p = payments[k];
            sum += p.cents;
            const QByteArray party = p.credit ? "Dbtr" : "Cdtr";
            const QByteArray name =
                pty ? "<Pty><Nm>" + escaped(p.payer) + "</Nm></Pty>" : "<Nm>" + escaped(p.payer) + "</Nm>";
            const QByteArray amount = batch > 1 ? "<AmtDtls><TxAmt><Amt Ccy=\"EUR\">" +
                                                      xmlAmount(p.cents, k % 2) + "</Amt></TxAmt></AmtDtls>"
                                                : QByteArray();
            details += "<TxDtls>" + amount + "<RltdPties><" + party + ">" + name + "</" + party +
                       "></RltdPties><RmtInf><Ustrd>" + escaped(p.text) + "</Ustrd></RmtInf></TxDtls>";
        }
        const Payment& first = payments[i];
        entries += "<Ntry><Amt Ccy=\"EUR\">" + xmlAmount(sum, i % 2) + "</Amt><CdtDbtInd>" +
                   (first.credit ? "CRDT" : "DBIT") + "</CdtDbtInd><BookgDt><Dt>" +
                   first.date.toString(Qt::ISODate).toLatin1() + "</Dt></BookgDt><NtryDtls>" + details +
                   "</NtryDtls></Ntry>\n";
        i += batch;
    }
    return camt(entries, version);
}

// The same payments as a bank CSV: signed amounts or a Soll/Haben column, quoted or not.
QByteArray csvOf(const std::vector<Payment>& payments, QRandomGenerator& random) {
    const bool mark = random.bounded(2);
    QString text = QStringLiteral("Kontoumsätze\nIBAN;DE15370501980001234567\n\n");
    text +=
        mark ? QStringLiteral("Buchungstag;Auftraggeber/Empfänger;Verwendungszweck;Umsatz (EUR);Soll/Haben\n")
             : QStringLiteral("Buchungsdatum;Name;Verwendungszweck;Betrag (€)\n");
    for (const Payment& p : payments) {
        const QString amount = germanAmount(p.cents);
        QString quotedText = p.text;
        quotedText.replace(u'"', QStringLiteral("\"\""));
        text += QStringLiteral("%1;%2;\"%3\";")
                    .arg(p.date.toString(QStringLiteral("dd.MM.yyyy")), p.payer, quotedText);
        text += mark ? amount + (p.credit ? QStringLiteral(";H\n") : QStringLiteral(";S\n"))
                     : (p.credit ? QString() : QStringLiteral("-")) + amount + u'\n';
    }
    return text.toUtf8();
}

} // namespace

void TestStatementReader::randomCamtAndCsv() {
    QRandomGenerator random(20261208);
    const QStringList names = {QStringLiteral("Müller & Söhne GmbH"), QStringLiteral("Bäckerei \"Zum Korn\""),
                               QStringLiteral("Café <Lindner>"), QStringLiteral("Nowak UG")};
    for (int round = 0; round < 200; ++round) {
        std::vector<Payment> payments(1 + random.bounded(12));
        for (Payment& p : payments) {
            p.cents = 1 + random.bounded(qint64(1) << (1 + random.bounded(40)));
            p.credit = random.bounded(4) != 0;
            p.date = QDate(2026, 1, 1).addDays(random.bounded(365));
            p.payer = names[random.bounded(int(names.size()))];
            p.text = QStringLiteral("RE-2026-%1; \"Skonto\" 2 %")
                         .arg(random.bounded(10000), 4, 10, QLatin1Char('0'));
        }
        for (const bool asCsv : {false, true}) {
            const QByteArray bytes = asCsv ? csvOf(payments, random) : camtOf(payments, random);
            const Statement statement = StatementReader::read(bytes, QStringLiteral("zufall"));
            QCOMPARE(statement.entries.size(), payments.size());
            for (std::size_t i = 0; i < payments.size(); ++i) {
                const Payment& p = payments[i];
                const StatementEntry& e = statement.entries[i];
                const QString where = QStringLiteral("round %1 %2 payment %3:\n%4")
                                          .arg(round)
                                          .arg(asCsv ? QStringLiteral("CSV") : QStringLiteral("camt"))
                                          .arg(i)
                                          .arg(QString::fromUtf8(bytes));
                QVERIFY2(e.amount.count() == p.cents * 100, qPrintable(where));
                QVERIFY2(e.isIncoming() == p.credit, qPrintable(where));
                QVERIFY2(e.bookingDate == p.date && e.currency == QLatin1String("EUR"), qPrintable(where));
                QVERIFY2(e.payerName == p.payer && e.remittance == p.text, qPrintable(where));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestStatementReader)
#include "tst_statement_reader.moc"
