// SPDX-License-Identifier: GPL-3.0-or-later
// kalvon-find as a user runs it: its output, messages and exit status. Most cases run the command
// in this process with streams of their own; a few run the real program, for its exit status, its
// standard input, Ctrl+C and what only a process shows.
#include "core/numbers/number_text.h"
#include "find/find_command.h"
#include "form_fixture.h"
#include "ui/colors.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

// Standard output as the tests read it: UTF-8, a byte-order mark kept as U+FEFF.
QString outputText(const QByteArray& bytes) {
    return QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom).decode(bytes);
}

// A stream that writes into memory, for a run's standard output or standard error.
class MemoryStream {
public:
    MemoryStream() = default;
    ~MemoryStream() {
        if (m_file != nullptr)
            std::fclose(m_file);
        std::free(m_data);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* file() const { return m_file; }
    QByteArray bytes() const {
        std::fflush(m_file);
        return QByteArray(m_data, qsizetype(m_size));
    }

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file = open_memstream(&m_data, &m_size);
};

// The command in this process, as a fresh process runs it: numbers in the format of the
// environment unless --locale says otherwise, `input` on its standard input.
Result run(const QStringList& arguments, QIODevice& input) {
    QLocale::setDefault(QLocale::system());
    const MemoryStream out, err;
    if (out.file() == nullptr || err.file() == nullptr)
        qFatal("no memory stream");
    const int status = FindCommand::run(QStringList{QStringLiteral("kalvon-find")} + arguments,
                                        {out.file(), err.file(), &input});
    return {status, outputText(out.bytes()), QString::fromUtf8(err.bytes())};
}

Result find(const QStringList& arguments, const QString& input = {}) {
    QBuffer buffer;
    buffer.setData(input.toUtf8());
    buffer.open(QIODevice::ReadOnly);
    return run(arguments, buffer);
}

// The real program, its standard input closed after `input`.
Result runProgram(const QStringList& arguments, const QString& input = {}) {
    QProcess process;
    process.start(QStringLiteral(KALVON_FIND), arguments);
    process.write(input.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            outputText(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// Standard input without end, "1" on every line as `yes 1` writes it; counts what is read.
class EndlessInput : public QIODevice {
public:
    EndlessInput() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 served() const { return m_served; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        static const QByteArray lines = QByteArray("1\n").repeated(1 << 16);
        for (qint64 done = 0; done < maxSize;) {
            const qint64 from = (m_served + done) % 2;
            const qint64 size = std::min(maxSize - done, qint64(lines.size()) - from);
            std::memcpy(data + done, lines.constData() + from, std::size_t(size));
            done += size;
        }
        m_served += maxSize;
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_served = 0;
};

// "items" and "sum" of each listed hit, as one line each.
QStringList jsonHits(const QJsonObject& json) {
    QStringList hits;
    for (const QJsonValue& hit : json[QLatin1String("hits")].toArray()) {
        QStringList items;
        for (const QJsonValue& item : hit[QLatin1String("items")].toArray())
            items << QString::number(item.toInt());
        hits << items.join(QLatin1Char(' ')) + QLatin1Char('=') + hit[QLatin1String("sum")].toString();
    }
    return hits;
}

QString plain(qint64 count) {
    return QStringLiteral("%1%2.%3")
        .arg(count < 0 ? QStringLiteral("-") : QString())
        .arg(qAbs(count) / 10000)
        .arg(qAbs(count) % 10000, 4, 10, QLatin1Char('0'));
}

} // namespace

class TestKalvonFind : public QObject {
    Q_OBJECT

private slots:
    void sameAsEnumeration();
    void sameHitsAsWindow();
    void output_data();
    void output();
    void program_data();
    void program();
    void endlessInput();
    void endlessPipe();
    void interrupted();
};

// Random lists of up to 20 amounts against trying every combination one by one.
void TestKalvonFind::sameAsEnumeration() {
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 120; ++round) {
        QList<qint64> counts; // every amount in ten-thousandths, zeros included
        const int n = int(rng.bounded(21));
        for (int i = 0; i < n; ++i)
            counts << (rng.bounded(6) == 0 ? 0
                       : rng.bounded(4)    ? rng.bounded(-4, 10) * 10000
                                           : rng.bounded(-99999, 99999));
        qint64 target = 0;
        for (qint64 c : counts)
            target += rng.bounded(2) ? c : 0;
        QStringList arguments{QStringLiteral("--locale"), QStringLiteral("C"), QStringLiteral("--json"),
                              QStringLiteral("--target=") + plain(target)};
        qint64 lower = target, upper = target;
        const int mode = int(rng.bounded(3)), limit = QList<int>{0, 1, 7, 1000}[rng.bounded(4)];
        if (mode == 1) {
            const qint64 t = rng.bounded(3) * 5000;
            arguments << QStringLiteral("--tolerance=") + plain(t);
            lower -= t, upper += t;
        } else if (mode == 2) { // an exact percentage whose amount needs rounding: 12.5 % of 0.0001 is a tie
            const qint64 percent = rng.bounded(40) * 12500, product = qAbs(target) * percent;
            const qint64 t =
                product / 1000000 + (2 * (product % 1000000) + (product / 1000000 % 2) > 1000000);
            arguments << QStringLiteral("--tolerance=%1%").arg(plain(percent));
            lower -= t, upper += t;
        }
        if (limit != 1000 || rng.bounded(2))
            arguments << QStringLiteral("--limit=%1").arg(limit);
        QStringList input, expected;
        QList<int> numbers;
        for (int i = 0; i < n; ++i) {
            input << plain(counts[i]);
            if (counts[i] != 0)
                numbers << i + 1;
        }
        quint64 total = 0;
        for (quint32 x = 1; x < (quint32(1) << numbers.size()); ++x) {
            qint64 sum = 0;
            for (int bit = 0; bit < numbers.size(); ++bit)
                sum += x >> bit & 1 ? counts[numbers[bit] - 1] : 0;
            if (lower <= sum && sum <= upper && ++total <= quint64(limit)) {
                QStringList items;
                for (int bit = 0; bit < numbers.size(); ++bit) {
                    if (x >> bit & 1)
                        items << QString::number(numbers[bit]);
                }
                expected << items.join(QLatin1Char(' ')) + QLatin1Char('=') + plain(sum);
            }
        }
        const Result r =
            find(arguments, input.join(rng.bounded(2) ? QStringLiteral("\n") : QStringLiteral(" ; ")));
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QString scenario =
            arguments.join(QLatin1Char(' ')) + QStringLiteral(" amounts ") + input.join(QLatin1Char('|'));
        if (n == 0) { // nothing read is said as such, not as a search without hits
            QCOMPARE(r.status, 2);
            continue;
        }
        QVERIFY2(r.status == (total > 0 ? 0 : 1), qPrintable(scenario + r.err));
        QCOMPARE(json[QLatin1String("amounts")].toInt(), n);
        QCOMPARE(quint64(json[QLatin1String("total")].toDouble()), total);
        QVERIFY2(jsonHits(json) == expected, qPrintable(scenario));
    }
}

// The same 23 amounts: kalvon-find lists exactly the hits the window presents, in its order.
void TestKalvonFind::sameHitsAsWindow() {
    FormFixture f;
    QStringList values;
    for (int i = 0; i < 23; ++i)
        values << (i % 7 == 3 ? QStringLiteral("0,00")
                              : QStringLiteral("%1,50").arg((i % 5) * 125 + 250 + i));
    f.setValues(values);
    f.setTarget(QStringLiteral("1.546"));
    QStringList windowHits;
    f.msgs.onBox = [&](const MsgRequest& r) {
        if (r.title != QLatin1String("Ergebnis"))
            return;
        QStringList green;
        for (int i = 0; i < 23; ++i) {
            if (Colors::backColor(f.form->Text1[i]) == Colors::HitGreen)
                green << QString::number(i + 1);
        }
        QString sum = r.prompt.section(QLatin1Char('\r'), 1, 1).mid(15).chopped(1);
        windowHits << green.join(QLatin1Char(' ')) + QLatin1Char('=') +
                          plain(NumberText::toCurrency(sum).count());
    };
    f.form->Command1_Click();
    QVERIFY(windowHits.size() > 20);

    const Result r = find({QStringLiteral("--locale"), QStringLiteral("de_DE"), QStringLiteral("--json"),
                           QStringLiteral("--target"), f.form->txtSumme->text()},
                          values.join(QLatin1Char('\t')));
    QCOMPARE(r.status, 0);
    QCOMPARE(jsonHits(QJsonDocument::fromJson(r.out.toUtf8()).object()), windowHits);
}

void TestKalvonFind::output_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString data = QStringLiteral(KALVON_TEST_DATA);
    auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char(' '));
    };
    QTest::newRow("German invoices") << args("--locale de_DE --target 1.250,40") +
                                            QStringList{data + QStringLiteral("/rechnungen_de.txt")}
                                     << QString() << 0
                                     << QStringLiteral(
                                            "Treffer 1: Nr. 1 (1.000,00) + Nr. 4 (250,40) = 1.250,40\n"
                                            "Treffer 2: Nr. 2 (1.234,5678) + Nr. 5 (15,8322) = 1.250,40\n"
                                            "Insgesamt 2 Treffer.\n")
                                     << QString();
    QTest::newRow("Swiss invoices, 1 % tolerance, one listed")
        << args("--locale de_CH --target 2'000 --tolerance 1% --limit 1") +
               QStringList{data + QStringLiteral("/rechnungen_ch.txt")}
        << QString() << 0
        << QStringLiteral("Treffer 1: Nr. 1 (1’500.00) + Nr. 3 (480.05) = 1’980.05 (Differenz -19.95)\n"
                          "Insgesamt 3 Treffer, davon 2 nicht aufgeführt.\n")
        << QString();
    QTest::newRow("labels with control characters")
        << args("--locale de_DE --target 15")
        << QString::fromUtf16(u"Beleg;Betrag\nRE-1\x1B[2J;10\nRE-\u202E2\x07;5\n") << 0
        << QStringLiteral("Gelesen: Beträge aus Spalte B („Betrag“), Bezeichnung aus Spalte A („Beleg“), 2 "
                          "Beträge.\nTreffer 1: RE-1\\x1B[2J (10,00) + RE-\\u202E2\\x07 (5,00) = 15,00\n"
                          "Insgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("no hit") << args("--locale de_DE --target 7") << QStringLiteral("5\n0\n3") << 1
                            << QStringLiteral("Es wurde keine Kombination gefunden.\n") << QString();
    QTest::newRow("not a number") << args("--locale de_DE --target 7") << QStringLiteral("5\n\n3,5\n7 S") << 2
                                  << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Der Betrag Nr. 3 ist keine gültige Zahl: „7 S“.\n");
    QTest::newRow("empty input") << args("--locale de_DE --target 7") << QString() << 2 << QString()
                                 << QStringLiteral(
                                        "kalvon-find: Es wurde kein Betrag gelesen: Die Eingabe ist leer.\n");
    QTest::newRow("a pasted column with currency signs")
        << args("--locale de_DE --target 12.408,63")
        << QStringLiteral("1.234,50 €\nEUR 11.174,13\n11.174,13 EUR\n") << 0
        << QStringLiteral("Treffer 1: Nr. 1 (1.234,50) + Nr. 2 (11.174,13) = 12.408,63\n"
                          "Treffer 2: Nr. 1 (1.234,50) + Nr. 3 (11.174,13) = 12.408,63\n"
                          "Insgesamt 2 Treffer.\n")
        << QString();
    QTest::newRow("subtotals left out and named")
        << args("--locale de_DE --target 15")
        << QStringLiteral(
               "Kunde;Rechnung;Betrag\nMüller;R1;10\nMüller;R2;20\nZwischensumme Müller;;30\nMeier;R3;5\n"
               "Zwischensumme Meier;;5\nSaldo;;35\n")
        << 0
        << QStringLiteral(
               "Gelesen: Beträge aus Spalte C („Betrag“), Bezeichnung aus Spalte A („Kunde“), 3 Beträge; "
               "die Summenzeilen 4 (30,00), 6 (5,00) und 7 (35,00) zählen nicht mit.\n"
               "Treffer 1: Müller (10,00) + Meier (5,00) = 15,00\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("header row given below a title")
        << args("--locale de_DE --target 150 --header-row 2")
        << QStringLiteral("Offene Posten\nBelegnr;Betrag;Skonto %\nR1;100;2\nR2;50;3\n") << 0
        << QStringLiteral(
               "Gelesen: Beträge aus Spalte B („Betrag“), Bezeichnung aus Spalte A („Belegnr“), 2 Beträge.\n"
               "Treffer 1: R1 (100,00) + R2 (50,00) = 150,00\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("filtered rows left out and counted")
        << args("--locale de_DE --target 106") +
               QStringList{data + QStringLiteral("/../../core/tables/data/gefiltert.xlsx")}
        << QString() << 0
        << QStringLiteral(
               "Gelesen: Tabellenblatt „Gefiltert“, Beträge aus Spalte D („Betrag“), Bezeichnung aus Spalte "
               "A („Beleg“), 3 Beträge; die Summenzeile 11 (136,50) zählt nicht mit; 3 ausgeblendete Zeilen "
               "zählen nicht mit (--all-rows nimmt sie auf).\n"
               "Treffer 1: RE-1 (100,00) + RE-6 (6,00) = 106,00\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("filtered rows taken in")
        << args("--locale de_DE --target 240 --all-rows") +
               QStringList{data + QStringLiteral("/../../core/tables/data/gefiltert.xlsx")}
        << QString() << 0
        << QStringLiteral(
               "Gelesen: Tabellenblatt „Gefiltert“, Beträge aus Spalte D („Betrag“), Bezeichnung aus Spalte "
               "A („Beleg“), 6 Beträge; die Summenzeile 11 (136,50) zählt nicht mit.\n"
               "Treffer 1: RE-2 (200,00) + RE-4 (40,00) = 240,00\nTreffer 2: RE-2 (200,00) + RE-4 (40,00) = "
               "240,00\nInsgesamt 2 Treffer.\n")
        << QString();
    QTest::newRow("bad header row") << args("--target 7 --header-row 0") << QString() << 2 << QString()
                                    << QStringLiteral(
                                           "kalvon-find: --header-row erwartet eine Zeilennummer ab 1, "
                                           "nicht „0“.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("out of range") << args("--locale de_DE --target 7") << QStringLiteral("1e15") << 2
                                  << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Der Betrag Nr. 1, „1e15“, liegt außerhalb des "
                                         "zulässigen Bereichs von ±922.337.203.685.477,58.\n");
    QTest::newRow("possible sum out of range")
        << args("--locale de_DE --target 7") << QStringLiteral("900.000.000.000.000;-1;22.337.203.685.478")
        << 2 << QString()
        << QStringLiteral("kalvon-find: Eine mögliche Summe der Beträge liegt außerhalb des zulässigen "
                          "Bereichs von ±922.337.203.685.477,58.\n");
    QStringList large; // 100 four-decimal amounts up to a hundred million, no common divisor
    for (qint64 i = 1; i <= 100; ++i)
        large << QStringLiteral("%1,%2")
                     .arg(i * 2654435761 % 99999989)
                     .arg(i * 7907 % 10000, 4, 10, QLatin1Char('0'));
    QTest::newRow("no method fits")
        << args("--locale de_DE --target 2.500.000.000") << large.join(QLatin1Char('\n')) << 2 << QString()
        << QStringLiteral("kalvon-find: Für 100 Beträge ungleich null passt keine Methode in Zeit und "
                          "Arbeitsspeicher. Abhilfe: die Zahl der Beträge einer Kombination auf höchstens 7 "
                          "begrenzen (--max-items 7), weniger Beträge angeben oder einen kleineren Zielwert "
                          "suchen.\n");
    // More amounts than any search takes, 30 on each of 4,000 lines: refused as they are read.
    QStringList tooMany;
    for (int line = 0; line < 4000; ++line) {
        QStringList numbers;
        for (int i = 1; i <= 30; ++i)
            numbers << QString::number(line * 30 + i);
        tooMany << numbers.join(QLatin1Char(';'));
    }
    QTest::newRow("too many amounts")
        << args("--locale de_DE --target 7 --max-items 2") << tooMany.join(QLatin1Char('\n')) << 2
        << QString()
        << QStringLiteral(
               "kalvon-find: Die Eingabe hat mehr als 100.000 Beträge; so lange Listen werden nicht "
               "gelesen.\n");
    QTest::newRow("the smallest amount between two of the smallest")
        << args("--locale de_DE --target 0,0002") << QStringLiteral("0,0001\n-922337203685477,5808\n0,0001")
        << 0 << QStringLiteral("Treffer 1: Nr. 1 (0,0001) + Nr. 3 (0,0001) = 0,0002\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("sums of two out of range, at most one amount")
        << args("--locale de_DE --target 7 --max-items 1")
        << QStringLiteral("900.000.000.000.000\n900.000.000.000.000\n5\n7") << 0
        << QStringLiteral("Treffer 1: Nr. 4 (7,00) = 7,00\nInsgesamt 1 Treffer.\n") << QString();
    QTest::newRow("negative tolerance")
        << args("--locale de_DE --target 7 --tolerance -1%") << QStringLiteral("7") << 2 << QString()
        << QStringLiteral("kalvon-find: Die Toleranz darf nicht negativ sein: „-1%“.\nEine Übersicht gibt: "
                          "kalvon-find --help\n");
    QTest::newRow("no target")
        << args("--locale de_DE") << QStringLiteral("7") << 2 << QString()
        << QStringLiteral(
               "kalvon-find: Der Zielwert fehlt: --target TEXT.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("bad limit") << args("--target 7 --limit -1") << QStringLiteral("7") << 2 << QString()
                               << QStringLiteral("kalvon-find: --limit erwartet eine ganze Zahl ab 0, nicht "
                                                 "„-1“.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("unknown locale") << args("--locale xx_YY --target 7") << QStringLiteral("7") << 2
                                    << QString()
                                    << QStringLiteral(
                                           "kalvon-find: Unbekanntes regionales Format für --locale: "
                                           "„xx_YY“.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("missing file")
        << args("--target 7 /nonexistent/rechnungen.txt") << QString() << 2 << QString()
        << QStringLiteral("kalvon-find: Die Datei „/nonexistent/rechnungen.txt“ gibt es nicht.\n");

    // An open-items export in Windows-1252, and the same list saved by LibreOffice as .xlsx and .ods.
    const QString exported = data + QStringLiteral("/offene_posten");
    const QString read =
        QStringLiteral("Beträge aus Spalte D („Betrag“), Bezeichnung aus Spalte A („Belegnr“), "
                       "10 Beträge; die Summenzeile 12 (10.622,90) zählt nicht mit.\n");
    QTest::newRow("CSV export") << args("--locale de_DE --target 3.499,30") +
                                       QStringList{exported + QStringLiteral(".csv")}
                                << QString() << 0
                                << QStringLiteral("Gelesen: ") + read +
                                       QStringLiteral("Treffer 1: RE-2026-0117 (2.480,00) + RE-2026-0131 "
                                                      "(1.019,30) = 3.499,30\nInsgesamt 1 Treffer.\n")
                                << QString();
    QTest::newRow("xlsx, two label columns, a credit note")
        << args("--locale de_DE --target 3.349,30 --label A --label Datum") +
               QStringList{exported + QStringLiteral(".xlsx")}
        << QString() << 0
        << QStringLiteral(
               "Gelesen: Tabellenblatt „offene_posten“, Beträge aus Spalte D („Betrag“), Bezeichnung "
               "aus den Spalten A („Belegnr“) und B („Datum“), 10 Beträge; die Summenzeile 12 "
               "(10.622,90) zählt nicht mit.\nTreffer 1: RE-2026-0117 / 09.11.2026 (2.480,00) + "
               "GS-2026-0007 / 12.11.2026 (-150,00) + RE-2026-0131 / 18.11.2026 (1.019,30) = "
               "3.349,30\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("ods, at most 2 items, closest first")
        << args("--locale de_DE --target 3.500 --tolerance 10 --max-items 2 --order difference") +
               QStringList{exported + QStringLiteral(".ods")}
        << QString() << 0
        << QStringLiteral("Gelesen: Tabellenblatt „offene_posten“, ") + read +
               QStringLiteral("Treffer 1: RE-2026-0117 (2.480,00) + RE-2026-0131 (1.019,30) = 3.499,30 "
                              "(Differenz -0,70)\nInsgesamt 1 Treffer.\n")
        << QString();
    QTest::newRow("hits as CSV") << args("--locale de_DE --target 3.499,30 --csv") +
                                        QStringList{exported + QStringLiteral(".xlsx")}
                                 << QString() << 0
                                 << QStringLiteral("\uFEFFTreffer;Zeile;Bezeichnung;Betrag;Summe\r\n"
                                                   "1;4;RE-2026-0117;2480,00;3499,30\r\n"
                                                   "1;8;RE-2026-0131;1019,30;3499,30\r\n")
                                 << QString();
    QStringList oneToTwoHundred;
    for (int i = 1; i <= 200; ++i)
        oneToTwoHundred << QString::number(i);
    QTest::newRow("200 amounts, at most 2 items, fewest first")
        << args("--locale de_DE --target 7 --max-items 2 --order items")
        << oneToTwoHundred.join(QLatin1Char('\n')) << 0
        << QStringLiteral(
               "Treffer 1: Nr. 7 (7,00) = 7,00\nTreffer 2: Nr. 3 (3,00) + Nr. 4 (4,00) = 7,00\n"
               "Treffer 3: Nr. 2 (2,00) + Nr. 5 (5,00) = 7,00\nTreffer 4: Nr. 1 (1,00) + Nr. 6 (6,00) "
               "= 7,00\nInsgesamt 4 Treffer.\n")
        << QString();
    QTest::newRow("text in the amount column")
        << args("--locale de_DE --target 7 --column Betrag")
        << QStringLiteral("Beleg;Betrag\nRE-1;12,50\nRE-2;abc") << 2 << QString()
        << QStringLiteral(
               "kalvon-find: Der Betrag in Zeile 3, Spalte B („Betrag“) ist keine gültige Zahl: „abc“.\n");
    QTest::newRow("a folder") << args("--target 7 /") << QString() << 2 << QString()
                              << QStringLiteral("kalvon-find: „/“ ist ein Ordner, keine Datei.\n");
    QTest::newRow("fewer items than at least")
        << args("--target 7 --min-items 3 --max-items 2") << QString() << 2 << QString()
        << QStringLiteral("kalvon-find: --min-items 3 ist größer als --max-items 2.\nEine Übersicht gibt: "
                          "kalvon-find --help\n");
    QTest::newRow("unknown order") << args("--target 7 --order closest") << QString() << 2 << QString()
                                   << QStringLiteral(
                                          "kalvon-find: --order erwartet window, items oder difference, "
                                          "nicht „closest“.\nEine Übersicht gibt: kalvon-find --help\n");
}

void TestKalvonFind::output() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    const Result r = find(arguments, input);
    QTEST(r.err, "err");
    QTEST(r.out, "out");
    QTEST(r.status, "status");
}

// The real program: each exit status, standard input, an endless file, Qt's own messages in German.
void TestKalvonFind::program_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char(' '));
    };
    QTest::newRow("found, from standard input")
        << args("--locale de_DE --target 200") << QStringLiteral("120,00\n80,00\n0\n19,50\n200,00\n0,50\n")
        << 0
        << QStringLiteral("Treffer 1: Nr. 1 (120,00) + Nr. 2 (80,00) = 200,00\nTreffer 2: Nr. 5 (200,00) = "
                          "200,00\nInsgesamt 2 Treffer.\n")
        << QString();
    QTest::newRow("standard input named -")
        << args("--locale de_DE --target 7 -") << QStringLiteral("5\n0\n3") << 1
        << QStringLiteral("Es wurde keine Kombination gefunden.\n") << QString();
    QTest::newRow("not a number") << args("--locale de_DE --target 7") << QStringLiteral("5\n\n3,5\n7 S") << 2
                                  << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Der Betrag Nr. 3 ist keine gültige Zahl: „7 S“.\n");
    QTest::newRow("endless file") << args("--target 7 /dev/zero") << QString() << 2 << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Die Datei „/dev/zero“ ist größer als 64 MiB; so "
                                         "große Dateien werden nicht gelesen.\n");
    QTest::newRow("unknown option, in Qt's German")
        << args("--target 7 --frobnicate") << QString() << 2 << QString()
        << QStringLiteral(
               "kalvon-find: Unbekannte Option 'frobnicate'.\nEine Übersicht gibt: kalvon-find --help\n");
}

void TestKalvonFind::program() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    const Result r = runProgram(arguments, input);
    QTEST(r.err, "err");
    QTEST(r.out, "out");
    QTEST(r.status, "status");
}

// Endless standard input ends at the input bound, having read no more than one piece beyond it.
void TestKalvonFind::endlessInput() {
    EndlessInput input;
    const Result r = run({QStringLiteral("--target"), QStringLiteral("1")}, input);
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, QStringLiteral("kalvon-find: Die Eingabe ist größer als 64 MiB; so große Dateien werden "
                                   "nicht gelesen.\n"));
    QCOMPARE(r.out, QString());
    const qint64 bound = qint64(64) << 20;
    QVERIFY2(input.served() > bound && input.served() <= bound + (qint64(1) << 20),
             qPrintable(QString::number(input.served())));
}

// The real program on an endless pipe ends by itself, with the message of the bound.
void TestKalvonFind::endlessPipe() {
    QProcess process;
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("yes 1 | \"$0\" --target 1"),
                                           QStringLiteral(KALVON_FIND)});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             QStringLiteral("kalvon-find: Die Eingabe ist größer als 64 MiB; so große Dateien werden "
                            "nicht gelesen.\n"));
}

// Ctrl+C while kalvon-find still waits for the rest of its input ends it at once, with nothing
// written and the status a shell reports as 130 (128 + SIGINT), however fast the machine. Ctrl+C
// during the search itself is the cancellation the core library's tests cover.
void TestKalvonFind::interrupted() {
    QProcess process;
    process.start(QStringLiteral(KALVON_FIND), {QStringLiteral("--locale=C"), QStringLiteral("--target=1")});
    QVERIFY(process.waitForStarted());
    process.write("17.25\n3.5\n"); // the write channel stays open: the program waits for more
    QVERIFY(process.waitForBytesWritten());
    // Until the program waits in read(2) on its standard input: system call 0, file descriptor 0.
    const QString syscall = QStringLiteral("/proc/%1/syscall").arg(process.processId());
    auto waitsForInput = [&] {
        QFile file(syscall);
        return file.open(QIODevice::ReadOnly) && file.readAll().startsWith("0 0x0 ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(waitsForInput(), 30000);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(30000));
    const bool endedBySignal = process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGINT;
    const bool endedItself = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 130;
    QVERIFY2(endedBySignal || endedItself, qPrintable(QString::number(process.exitCode())));
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_MAIN(TestKalvonFind)
#include "tst_kalvon_find.moc"
