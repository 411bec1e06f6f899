// SPDX-License-Identifier: GPL-3.0-or-later
// Reading lists and tables: plain lists, text tables in their encodings, workbooks, and the bounds.
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"
#include "core/tables/text_table.h"
#include "core/tables/workbook.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using TableReader::Options;

namespace {

const QString Data = QStringLiteral(KALVON_TEST_DATA);

QByteArray withBom16(const QString& text, bool bigEndian) {
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

// "column=Betrag;labels=Datum,A;nolabel;delimiter=,;sheet=2"
Options optionsOf(const QString& text) {
    Options options;
    for (const QString& setting : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = setting.section(QLatin1Char('='), 0, 0),
                      value = setting.section(QLatin1Char('='), 1);
        if (key == QLatin1String("column"))
            options.column = value;
        else if (key == QLatin1String("labels"))
            options.labels = value.split(QLatin1Char(','));
        else if (key == QLatin1String("nolabel"))
            options.noLabel = true;
        else if (key == QLatin1String("delimiter"))
            options.delimiter = value == QLatin1String("tab") ? QChar(u'\t') : value.at(0);
        else if (key == QLatin1String("sheet"))
            options.sheet = value;
        else if (key == QLatin1String("roles"))
            options.roles = true;
        else if (key == QLatin1String("customers"))
            options.customerColumns = value.split(QLatin1Char(','));
        else if (key == QLatin1String("date"))
            options.dateColumn = value;
        else if (key == QLatin1String("iban"))
            options.ibanColumn = value;
        else if (key == QLatin1String("header"))
            options.headerRow = value.toInt();
        else if (key == QLatin1String("allrows"))
            options.allRows = true;
    }
    return options;
}

QString itemText(const Item& item) {
    return QStringLiteral("%1:%2=%3").arg(item.row).arg(item.label, NumberText::formatAmount(item.amount));
}

// "Text C(Betrag) L:A 2:R1=12,50 3:R2=7,00 Summe 4:Summe=19,50"
QString describe(const ItemTable& table) {
    static const char* const formats[] = {"Liste", "Text", "Xlsx", "Ods"};
    QStringList parts{QLatin1String(formats[int(table.format)])};
    if (!table.sheet.isEmpty())
        parts << table.sheet;
    if (table.isTable()) {
        QString column = TableReader::columnLetter(table.amountColumn);
        if (table.hasHeader)
            column += QStringLiteral("(%1)").arg(table.amountHeader);
        parts << column;
        QStringList labels;
        for (const int c : table.labelColumns)
            labels << TableReader::columnLetter(c);
        if (!labels.isEmpty())
            parts << QStringLiteral("L:") + labels.join(QLatin1Char(','));
    }
    for (const Item& item : table.items)
        parts << itemText(item);
    if (!table.sumRows.empty()) {
        parts << QStringLiteral("Zwischensummen");
        for (const Item& item : table.sumRows)
            parts << itemText(item);
    }
    if (table.totalRow)
        parts << QStringLiteral("Summe ") + itemText(*table.totalRow);
    if (table.hiddenRows > 0)
        parts << QStringLiteral("ausgeblendet %1").arg(table.hiddenRows);
    return parts.join(QLatin1Char(' '));
}

// "L:A N:C K:D I:E D:B 2:RE-1|10001|Müller|DE02…|2026-11-03=1.234,50": the role columns by letter
// (label, customer number, customer name, IBAN, date) and each item with its roles.
QString describeRoles(const ItemTable& table) {
    const auto letter = [](int column) {
        return column < 0 ? QStringLiteral("-") : TableReader::columnLetter(column);
    };
    QStringList labels;
    for (const int c : table.labelColumns)
        labels << TableReader::columnLetter(c);
    QStringList parts{QStringLiteral("L:") + (labels.isEmpty() ? QStringLiteral("-") : labels.join(u',')),
                      QStringLiteral("N:") + letter(table.customerNumberColumn),
                      QStringLiteral("K:") + letter(table.customerNameColumn),
                      QStringLiteral("I:") + letter(table.ibanColumn),
                      QStringLiteral("D:") + letter(table.dateColumn)};
    for (const Item& item : table.items)
        parts << QStringLiteral("%1:%2|%3|%4|%5|%6=%7")
                     .arg(item.row)
                     .arg(item.label, item.customerNumber, item.customerName, item.iban,
                          item.date.toString(Qt::ISODate), NumberText::formatAmount(item.amount));
    return parts.join(QLatin1Char(' '));
}

template <class F> QString outcome(F&& read) {
    try {
        return describe(read());
    } catch (const KalvonError& e) {
        return e.userMessage();
    }
}

// A sheet as a workbook parser gives it: rows by line from row 1, cells by '|' from column A. A row
// "~…" is hidden; a cell "#12.5" is a numeric value, "=#30" one that a sum formula gives, "?=B2*2" a
// formula without a stored value, "@03.11.2026" a date; other cells are text.
CellGrid::Grid gridOf(const QString& text, const QString& hiddenColumns) {
    CellGrid::Grid grid;
    int number = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        CellGrid::Row row{++number, line.startsWith(u'~'), {}};
        if (row.hidden)
            line.remove(0, 1);
        const QStringList cells = line.split(QLatin1Char('|'));
        for (qsizetype column = 0; column < cells.size(); ++column) {
            QString value = cells[column];
            if (value.isEmpty())
                continue;
            CellGrid::Cell cell;
            cell.column = int(column);
            cell.totalFormula = value.startsWith(u'=');
            if (cell.totalFormula)
                value.remove(0, 1);
            if (value.startsWith(u'#')) {
                cell.kind = CellGrid::Cell::Kind::Value;
                cell.value = value.mid(1).toDouble();
            } else if (value.startsWith(u'?')) {
                cell.kind = CellGrid::Cell::Kind::Missing;
                cell.text = value.mid(1);
            } else if (value.startsWith(u'@')) {
                cell.kind = CellGrid::Cell::Kind::Date;
                cell.text = value.mid(1);
            } else {
                cell.text = value;
            }
            row.cells.push_back(cell);
            grid.columnCount = std::max(grid.columnCount, cell.column + 1);
        }
        if (!row.cells.empty())
            grid.rows.push_back(row);
    }
    for (const QString& letter : hiddenColumns.split(QLatin1Char(','), Qt::SkipEmptyParts))
        grid.hiddenColumns.push_back(letter.at(0).unicode() - u'A');
    return grid;
}

// A device that never ends, as a pipe from `yes` is.
class EndlessDevice : public QIODevice {
public:
    EndlessDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 size) override {
        for (qint64 i = 0; i < size; ++i)
            data[i] = i % 2 ? '\n' : '1';
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

QByteArray fixture(const QString& name) {
    QFile file(Data + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// The fixture with the uncompressed size of every entry, in its local header and in the central
// directory, declared as `size`.
QByteArray withDeclaredSize(QByteArray zip, quint32 size) {
    const auto patch = [&](const QByteArray& signature, int offset) {
        for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4))
            qToLittleEndian(size, zip.data() + at + offset);
    };
    patch(QByteArray("PK\x03\x04"), 22);
    patch(QByteArray("PK\x01\x02"), 24);
    return zip;
}

// A workbook of one sheet: an .xlsx with the worksheet's sheetData (and the shared strings' items,
// and what comes before sheetData), or an .ods with the table's rows.
QByteArray xlsxOf(const QByteArray& sheetData, const QByteArray& sharedItems = {},
                  const QByteArray& columns = {}) {
    const QByteArray ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QList<std::pair<QString, QByteArray>> parts{
        {QStringLiteral("xl/workbook.xml"),
         "<workbook xmlns:r=\"urn:r\"><sheets><sheet name=\"S\" r:id=\"r1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships><Relationship Id=\"r1\" Type=\"" + ns + "worksheet\" Target=\"s.xml\"/>" +
             "<Relationship Id=\"r2\" Type=\"" + ns + "sharedStrings\" Target=\"t.xml\"/></Relationships>"},
        {QStringLiteral("xl/s.xml"),
         "<worksheet>" + columns + "<sheetData>" + sheetData + "</sheetData></worksheet>"}};
    if (!sharedItems.isEmpty())
        parts.append({QStringLiteral("xl/t.xml"), "<sst>" + sharedItems + "</sst>"});
    return zipOf(parts);
}

QByteArray odsOf(const QByteArray& rows) {
    return zipOf(
        {{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
         {QStringLiteral("content.xml"),
          "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
          "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
          "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
          "<table:table table:name=\"T\">" +
              rows + "</table:table></office:spreadsheet></office:body></office:document-content>"}});
}

// "verborgen C | 4 A:Beleg D:Betrag | 6h A:RE-2 D#200 | 11 D#136.5Σ | 12 A!=B2*2": the hidden
// columns, then per row its number (h: hidden) and cells: text after ':', a value after '#', a date
// after '@', a formula without a value after '!'; Σ marks a total formula.
QString describeGrid(const CellGrid::Grid& grid) {
    QStringList parts;
    QStringList hidden;
    for (const int column : grid.hiddenColumns)
        hidden << TableReader::columnLetter(column);
    if (!hidden.isEmpty())
        parts << QStringLiteral("verborgen ") + hidden.join(QLatin1Char(','));
    static const char* const marks[] = {":", "#", "@", "!"};
    for (const CellGrid::Row& row : grid.rows) {
        QStringList cells{QString::number(row.number) + (row.hidden ? QStringLiteral("h") : QString())};
        for (const CellGrid::Cell& cell : row.cells) {
            cells << TableReader::columnLetter(cell.column) + QLatin1String(marks[int(cell.kind)]) +
                         (cell.kind == CellGrid::Cell::Kind::Value ? QString::number(cell.value)
                                                                   : cell.text) +
                         (cell.totalFormula ? QStringLiteral("Σ") : QString());
        }
        parts << cells.join(QLatin1Char(' '));
    }
    return parts.join(QStringLiteral(" | "));
}

QString gridOutcome(const QByteArray& bytes, const QString& sheet = {}) {
    Workbook::Sheet read;
    try {
        Workbook::read(bytes, sheet, {}, read);
        return describeGrid(read.grid);
    } catch (const KalvonError& e) {
        return e.userMessage();
    }
}

// Counts the bytes it hands out.
class CountingDevice : public EndlessDevice {
public:
    qint64 handedOut = 0;

protected:
    qint64 readData(char* data, qint64 size) override {
        handedOut += size;
        return EndlessDevice::readData(data, size);
    }
};

} // namespace

class TestTableReader : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void textInputs_data();
    void textInputs();
    void roles_data();
    void roles();
    void rolesFromWorkbookCells();
    void sheetShapes_data();
    void sheetShapes();
    void exportShapes_data();
    void exportShapes();
    void workbooks_data();
    void workbooks();
    void workbookGrids_data();
    void workbookGrids();
    void hostileWorkbooks_data();
    void hostileWorkbooks();
    void layout();
    void openedSourceReadsAgain();
    void randomTextTables();
    void files();
    void convertsEachAmountOnce_data();
    void convertsEachAmountOnce();
    void bounds_data();
    void bounds();
    void hostileText_data();
    void hostileText();
    void hugeFieldKeepsACell();
};

void TestTableReader::textInputs_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    const QString table = QStringLiteral("Text C(Betrag) L:A 2:R1=12,50 3:R2=7,00");

    // Plain lists, as kalvon-find has always read them.
    QTest::newRow("plain list") << QByteArray("12,50\n7\t0;1e2\r\n\r -3 ") << ""
                                << "Liste 1:=12,50 2:=7,00 3:=0,00 4:=100,00 5:=-3,00";
    QTest::newRow("empty") << QByteArray("") << ""
                           << "Liste";
    QTest::newRow("typo in a column") << QByteArray("12,50\n7 S\n3,00") << ""
                                      << "Der Betrag Nr. 2 ist keine gültige Zahl: „7 S“.";
    QTest::newRow("typo in a column with decimal commas")
        << QByteArray("12,50\n7,00 € €\n3,00") << ""
        << "Der Betrag Nr. 2 ist keine gültige Zahl: „7,00 € €“.";
    // A column of amounts with currency marks and credit notes is a list, never split at its commas.
    QTest::newRow("currency marks and credits in a column")
        << QByteArray("1.234,50 €\nEUR 11.174,13\n11.174,13 EUR\n4.885,96-\n(4.885,96)\n\xE2\x88\x92"
                      "4.885,96")
        << ""
        << "Liste 1:=1.234,50 2:=11.174,13 3:=11.174,13 4:=-4.885,96 5:=-4.885,96 6:=-4.885,96";
    QTest::newRow("currency marks below a header")
        << QByteArray("Betrag\n1.234,50 €\nEUR 11.174,13\n11.174,13 EUR\n") << ""
        << "Text A(Betrag) 2:=1.234,50 3:=11.174,13 4:=11.174,13";
    QTest::newRow("typo in a row") << QByteArray("12,50;abc;3") << ""
                                   << "Der Betrag Nr. 2 ist keine gültige Zahl: „abc“.";
    QTest::newRow("typo below a header") << QByteArray("Betrag\n12,50\nabc") << ""
                                         << "Der Betrag Nr. 1 ist keine gültige Zahl: „Betrag“.";
    QTest::newRow("out of range") << QByteArray("5\n1e15") << ""
                                  << "Der Betrag Nr. 2, „1e15“, liegt außerhalb des zulässigen Bereichs von "
                                     "±922.337.203.685.477,58.";
    QTest::newRow("Windows-1252 in a list") << QByteArray("5 \x80\n7 \x80\x80") << ""
                                            << "Der Betrag Nr. 2 ist keine gültige Zahl: „7 €€“.";

    // Text tables.
    QTest::newRow("column with a header") << QByteArray("Betrag\n12,50\n7,00") << ""
                                          << "Text A(Betrag) 2:=12,50 3:=7,00";
    QTest::newRow("semicolons, CRLF, total")
        << QByteArray(
               "Rechnung;Datum;Betrag\r\nR1;05.01.2026;12,50\r\nR2;06.01.2026;7,00\r\nGesamtsumme;;19,50\r\n")
        << "" << table + QStringLiteral(" Summe 4:Gesamtsumme=19,50");
    QTest::newRow("total that does not add up")
        << QByteArray("Rechnung;Datum;Betrag\nR1;x;12,50\nR2;x;7,00\nSumme;;19\n") << ""
        << table + QStringLiteral(" 4:Summe=19,00");
    QTest::newRow("sum without the word")
        << QByteArray("Rechnung;Datum;Betrag\nR1;x;12,50\nR2;x;7,00\nR3;;19,50") << ""
        << table + QStringLiteral(" 4:R3=19,50");
    QTest::newRow("commas, quoted amounts")
        << QByteArray("Nr,Kunde,Betrag\n1,\"Müller, Hans\",\"12,50\"\n2,Meier,\"7,00\"\n") << ""
        << "Text C(Betrag) L:A 2:1=12,50 3:2=7,00";
    QTest::newRow("tabs, CR") << QByteArray("Rechnung\tBetrag\rR1\t12,50\rR2\t7,00") << ""
                              << "Text B(Betrag) L:A 2:R1=12,50 3:R2=7,00";
    QTest::newRow("quotes: doubled, line breaks")
        << QByteArray("Text;Betrag\n\"Zeile 1\nZeile 2\";5\n\"Ein \"\"X\"\"\";6\n") << ""
        << "Text B(Betrag) L:A 2:Zeile 1 Zeile 2=5,00 3:Ein \"X\"=6,00";
    QTest::newRow("quote never closed") << QByteArray("\"R1;5\nR2;6") << ""
                                        << "Text B L:A 1:\"R1=5,00 2:R2=6,00";
    QTest::newRow("empty rows count") << QByteArray("\n\nRechnung;Betrag\n\nR1;5\n") << ""
                                      << "Text B(Betrag) L:A 5:R1=5,00";
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFKunde;Betrag\nMüller;5\n") << ""
                                    << "Text B(Betrag) L:A 2:Müller=5,00";
    QTest::newRow("UTF-16 LE") << withBom16(QStringLiteral("Kunde\tBetrag\r\nMüller €\t5\r\n"), false) << ""
                               << "Text B(Betrag) L:A 2:Müller €=5,00";
    QTest::newRow("UTF-16 BE") << withBom16(QStringLiteral("Kunde\tBetrag\nMüller €\t5\n"), true) << ""
                               << "Text B(Betrag) L:A 2:Müller €=5,00";
    QTest::newRow("Windows-1252") << QByteArray("Kunde;Betrag\nM\xFCller \x80\x96\x84;5\n") << ""
                                  << "Text B(Betrag) L:A 2:Müller €–„=5,00";

    // The amount column and the labels.
    const QByteArray prices("Nr;Netto;Brutto;Datum\n1;10;11,9;05.01.2026\n2;20;23,8;06.01.2026\n");
    QTest::newRow("rightmost number column") << prices << ""
                                             << "Text C(Brutto) L:A 2:1=11,90 3:2=23,80";
    QTest::newRow("column by header") << prices << "column= NETTO "
                                      << "Text B(Netto) L:A 2:1=10,00 3:2=20,00";
    QTest::newRow("column by letter") << prices << "column=b"
                                      << "Text B(Netto) L:A 2:1=10,00 3:2=20,00";
    QTest::newRow("column by number") << prices << "column=2"
                                      << "Text B(Netto) L:A 2:1=10,00 3:2=20,00";
    QTest::newRow("header before letter") << QByteArray("X;C;Y\nr;1;2\n") << "column=C"
                                          << "Text B(C) L:A 2:r=1,00";
    QTest::newRow("labels") << prices << "labels=datum,A"
                            << "Text C(Brutto) L:D,A 2:05.01.2026 / 1=11,90 3:06.01.2026 / 2=23,80";
    QTest::newRow("no label") << prices << "nolabel"
                              << "Text C(Brutto) 2:=11,90 3:=23,80";
    QTest::newRow("no header") << QByteArray("R1;5\nR2;0\n") << ""
                               << "Text B L:A 1:R1=5,00 2:R2=0,00";
    QTest::newRow("delimiter given") << QByteArray("a;x,1\nb;y,3\n") << "delimiter=,"
                                     << "Text B L:A 1:a;x=1,00 2:b;y=3,00";

    // Shapes of real exports.
    const QByteArray titled("Offene Posten Debitoren\nStand: 30.11.2026\n\nBelegnr;Datum;Kunde;Betrag\n"
                            "RE-1;03.11.2026;Müller;1.234,50\nRE-2;04.11.2026;Meier;50\n");
    QTest::newRow("title rows above the header") << titled << ""
                                                 << "Text D(Betrag) L:A 5:RE-1=1.234,50 6:RE-2=50,00";
    QTest::newRow("header row given") << titled << "header=4"
                                      << "Text D(Betrag) L:A 5:RE-1=1.234,50 6:RE-2=50,00";
    QTest::newRow("header row given too high")
        << titled << "header=1"
        << "Keine Spalte enthält unter der Überschrift nur Zahlen, davon mindestens eine ungleich null. Die "
           "erste Zelle, die keine Zahl ist: Zeile 4, Spalte D: „Betrag“. Die Tabelle hat die Spalten A "
           "(„Offene Posten Debitoren“), B, C, D.";
    QTest::newRow("a first line far below a double is an amount") << QByteArray("1e-400\n5\n7") << ""
                                                                  << "Liste 1:=0,00 2:=5,00 3:=7,00";
    QTest::newRow("discount percentage right of the amount")
        << QByteArray("Belegnr;Betrag;Skonto %\nR1;100;2\nR2;50;3\n") << ""
        << "Text B(Betrag) L:A 2:R1=100,00 3:R2=50,00";
    QTest::newRow("quantity right of the price") << QByteArray("Artikel;Preis;Menge\nA;10;2\n") << ""
                                                 << "Text B(Preis) L:A 2:A=10,00";
    QTest::newRow("ragged row: a text grew by a delimiter")
        << QByteArray("Belegnr;Kunde;Betrag\nR1;Müller; Söhne;50\nR2;Meier;60\nR3;Schulz;70\n") << ""
        << "Text C(Betrag) L:A 2:R1=50,00 3:R2=60,00 4:R3=70,00";
    QTest::newRow("a trailing delimiter is no field that grew")
        << QByteArray("Belegnr;Kunde;Betrag\nR1;Müller;50;\nR2;Meier;60\nR3;Schulz;70\n") << ""
        << "Text C(Betrag) L:A 2:R1=50,00 3:R2=60,00 4:R3=70,00";
    QTest::newRow("ragged row: text on both sides of the amount")
        << QByteArray("Text;Betrag;Notiz\na;5;6;b\nc;7;d\ne;8;f\n") << ""
        << "Zeile 2 hat 4 Felder, die übrigen Zeilen haben 3; welches Feld dort der Betrag ist, lässt sich "
           "nicht sicher sagen. Ein Text, der das Trennzeichen „;“ enthält, muss in Anführungszeichen "
           "stehen.";
    QTest::newRow("ragged row: an amount moved left")
        << QByteArray(
               "Belegnr;Datum;Kunde;Betrag\nR1;03.11.2026;Müller;50\nR2;Meier;60\nR3;04.11.2026;Schulz;70\n")
        << ""
        << "Zeile 3 hat 3 Felder, die übrigen Zeilen haben 4; welches Feld dort der Betrag ist, lässt sich "
           "nicht sicher sagen. Ein Text, der das Trennzeichen „;“ enthält, muss in Anführungszeichen "
           "stehen.";
    QTest::newRow("S/H column") << QByteArray("Belegnr;Betrag;S/H\nR1;100;S\nR2;30;H\nR3;5;Soll\n") << ""
                                << "Text B(Betrag) L:A 2:R1=100,00 3:R2=-30,00 4:R3=5,00";
    QTest::newRow("S/H mark missing") << QByteArray("Belegnr;Betrag;S/H\nR1;100;S\nR2;30;\nR3;5;H\n") << ""
                                      << "Zeile 3, Spalte C ist weder S (Soll) noch H (Haben): „“.";
    QTest::newRow("debit letter in the amount cell is named")
        << QByteArray("Belegnr;Datum;Betrag\nR1;x;100,00\nR2;x;4.885,96 S\n") << ""
        << "Keine Spalte enthält unter der Überschrift nur Zahlen, davon mindestens eine ungleich null. Die "
           "erste Zelle, die keine Zahl ist: Zeile 3, Spalte C: „4.885,96 S“. Die Tabelle hat die Spalten A "
           "(„Belegnr“), B („Datum“), C („Betrag“).";
    QTest::newRow("subtotals and a balance by their labels")
        << QByteArray(
               "Kunde;Rechnung;Betrag\nMüller;R1;10\nMüller;R2;20\nZwischensumme Müller;;30\nMeier;R3;5\n"
               "Zwischensumme Meier;;5\nSaldo;;35\n")
        << ""
        << "Text C(Betrag) L:A 2:Müller=10,00 3:Müller=20,00 5:Meier=5,00 Zwischensummen 4:Zwischensumme "
           "Müller=30,00 6:Zwischensumme Meier=5,00 Summe 7:Saldo=35,00";

    // Failures.
    QTest::newRow("missing column")
        << prices << "column=Z"
        << "Eine Spalte „Z“ gibt es nicht. Die Tabelle hat die Spalten A („Nr“), B "
           "(„Netto“), C („Brutto“), D („Datum“).";
    QTest::newRow("missing label column")
        << prices << "labels=Kunde"
        << "Eine Spalte „Kunde“ gibt es nicht. Die Tabelle hat die Spalten A "
           "(„Nr“), B („Netto“), C („Brutto“), D („Datum“).";
    QTest::newRow("text in the column")
        << QByteArray("Rechnung;Betrag\nR1;5\n\nR2;abc\n") << "column=Betrag"
        << "Der Betrag in Zeile 4, Spalte B („Betrag“) ist keine gültige Zahl: „abc“.";
    QTest::newRow("out of range in a table")
        << QByteArray("R1;1e15\nR2;5\n") << ""
        << "Der Betrag in Zeile 1, Spalte B, „1e15“, liegt außerhalb des zulässigen Bereichs von "
           "±922.337.203.685.477,58.";
    QTest::newRow("no amount column")
        << QByteArray("Kunde;Betrag\nx;0\ny;abc\n") << ""
        << "Keine Spalte enthält unter der Überschrift nur Zahlen, davon mindestens "
           "eine ungleich null. Die erste Zelle, die keine Zahl ist: Zeile 3, Spalte B: „abc“. Die Tabelle "
           "hat "
           "die Spalten A („Kunde“), B („Betrag“).";
    QTest::newRow("binary") << QByteArray("a\0b", 3) << ""
                            << "Die Eingabe ist weder Text noch eine Arbeitsmappe (.xlsx, .ods).";
    QTest::newRow(".xls")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest") << ""
        << "Die Eingabe ist eine Excel-Arbeitsmappe im alten Format (.xls) oder verschlüsselt; "
           "lesen lassen sich .xlsx, .ods und Textdateien wie CSV.";
}

void TestTableReader::textInputs() {
    QFETCH(QByteArray, input);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return TableReader::read(input, optionsOf(options)); }), expected);
}

void TestTableReader::sheetShapes_data() {
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("hiddenColumns");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    const QString hiddenRow = QStringLiteral("Rechnung|Betrag\nR1|#10\n~R2|#20\nR3|#30");
    QTest::newRow("hidden rows left out") << hiddenRow << ""
                                          << ""
                                          << "Xlsx S B(Betrag) L:A 2:R1=10,00 4:R3=30,00 ausgeblendet 1";
    QTest::newRow("hidden rows taken in") << hiddenRow << ""
                                          << "allrows"
                                          << "Xlsx S B(Betrag) L:A 2:R1=10,00 3:R2=20,00 4:R3=30,00";
    QTest::newRow("hidden amount column never by default") << "Rechnung|Wert|Intern\nR1|#10|#1\nR2|#20|#2"
                                                           << "C"
                                                           << ""
                                                           << "Xlsx S B(Wert) L:A 2:R1=10,00 3:R2=20,00";
    QTest::newRow("hidden column named") << "Rechnung|Wert|Intern\nR1|#10|#1\nR2|#20|#2"
                                         << "C"
                                         << "column=Intern"
                                         << "Xlsx S C(Intern) L:A 2:R1=1,00 3:R2=2,00";
    QTest::newRow("hidden label column never by default") << "Intern|Rechnung|Betrag\nx|R1|#10"
                                                          << "A"
                                                          << ""
                                                          << "Xlsx S C(Betrag) L:B 2:R1=10,00";
    QTest::newRow("subtotal and total formulas")
        << "Kunde|Rechnung|Betrag\nMüller|R1|#10\nMüller|R2|#20\n|Zwischensumme|=#30\nMeier|R3|#5\n||=#5\n"
           "|Gesamt|=#35"
        << ""
        << ""
        << "Xlsx S C(Betrag) L:A 2:Müller=10,00 3:Müller=20,00 5:Meier=5,00 Zwischensummen 4:=30,00 6:=5,00 "
           "Summe 7:=35,00";
    QTest::newRow("a sum formula in every row adds up the row")
        << "Rechnung|Netto|Steuer|Brutto\nR1|#10|#1.9|=#11.9\nR2|#20|#3.8|=#23.8"
        << ""
        << ""
        << "Xlsx S D(Brutto) L:A 2:R1=11,90 3:R2=23,80";
    QTest::newRow("formulas without values")
        << "Rechnung|Betrag\nR1|#10\nR2|?=B2*2\nR3|?=B2*3"
        << ""
        << ""
        << "In Spalte B („Betrag“) im Tabellenblatt „S“ stehen Formeln ohne gespeichertes Ergebnis: B3, B4. "
           "Die Datei wurde von einem Programm geschrieben, das nicht rechnet; öffnen und speichern Sie sie "
           "mit einer Tabellenkalkulation.";
    QTest::newRow("NaN is no number") << "Rechnung|Betrag\nR1|#10\nR2|#nan"
                                      << ""
                                      << "column=B"
                                      << "Der Betrag in Zeile 3, Spalte B („Betrag“) ist keine gültige Zahl: "
                                         "„nan“.";
    QTest::newRow("title rows above the header")
        << "Offene Posten "
           "Debitoren\n@30.11.2026\n\nBelegnr|Datum|Betrag\nR1|@03.11.2026|#10\nR2|@04.11.2026|#20"
        << ""
        << ""
        << "Xlsx S C(Betrag) L:A 5:R1=10,00 6:R2=20,00";
}

void TestTableReader::sheetShapes() {
    QFETCH(QString, grid);
    QFETCH(QString, hiddenColumns);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    const Options o = optionsOf(options);
    QCOMPARE(outcome([&] {
                 OpenedSource source = OpenedSource::fromGrid(
                     gridOf(grid, hiddenColumns), ItemTable::Format::Xlsx, QStringLiteral("S"), o);
                 return TableReader::read(source, o);
             }),
             expected);
}

// Exports as accounting programs and spreadsheets write them, each a small file made for the tests
// (data/exports/README.md says how).
void TestTableReader::exportShapes_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    QTest::newRow("currency signs") << "exports/waehrung.csv"
                                    << ""
                                    << "Text C(Betrag) L:A 2:RE-2026-0101=1.234,50 3:RE-2026-0102=11.174,13 "
                                       "4:RE-2026-0103=11.174,13 5:RE-2026-0104=80,00";
    QTest::newRow("pasted column with currency signs") << "exports/spalte_euro.txt"
                                                       << ""
                                                       << "Liste 1:=1.234,50 2:=11.174,13 3:=250,00 4:=19,90";
    QTest::newRow("trailing minus, parentheses, U+2212")
        << "exports/gutschriften.csv"
        << ""
        << "Text C(Betrag) L:A 2:RE-1=4.885,96 3:GS-1=-4.885,96 4:GS-2=-120,00 5:GS-3=-35,50 6:RE-2=1.000,00";
    QTest::newRow("S/H column, Windows-1252, CRLF")
        << "exports/soll_haben.csv"
        << ""
        << "Text D(Umsatz) L:A 2:10001=1.234,50 3:10001=-150,00 4:10002=980,00 5:10003=2.480,00";
    QTest::newRow("S/H column with roles")
        << "exports/soll_haben.csv"
        << "roles;labels=Belegfeld 1"
        << "Text D(Umsatz) L:C 2:RE-0101=1.234,50 3:GS-0007=-150,00 4:RE-0102=980,00 5:RE-0103=2.480,00";
    QTest::newRow("S or H inside the amount cell is named")
        << "exports/sh_im_betrag.csv"
        << ""
        << "Keine Spalte enthält unter der Überschrift nur Zahlen, davon mindestens eine ungleich null. Die "
           "erste Zelle, die keine Zahl ist: Zeile 2, Spalte C: „1.234,50 S“. Die Tabelle hat die Spalten A "
           "(„Belegnr“), B („Datum“), C („Betrag“).";
    const QString subtotals = QStringLiteral(
        "D(Offen) L:A 2:Müller GmbH=100,00 3:Müller GmbH=250,00 5:Schulz KG=80,00 6:Schulz KG=20,00 "
        "Zwischensummen 4:Zwischensumme Müller GmbH=350,00 7:Zwischensumme Schulz KG=100,00 Summe "
        "8:Saldo=450,00");
    QTest::newRow("subtotals and a balance, CSV") << "exports/zwischensummen.csv"
                                                  << "" << QStringLiteral("Text ") + subtotals;
    QTest::newRow("subtotals and a balance, .ods") << "exports/zwischensummen.ods"
                                                   << "" << QStringLiteral("Ods zwischensummen ") + subtotals;
    QTest::newRow("ragged row aligned") << "exports/verrutscht.csv"
                                        << ""
                                        << "Text D(Betrag) L:A 2:RE-1=1.200,00 3:RE-2=50,00 4:RE-3=75,00";
    QTest::newRow("ragged row refused")
        << "exports/verrutscht_unklar.csv"
        << ""
        << "Zeile 2 hat 4 Felder, die übrigen Zeilen haben 3; welches Feld dort der Betrag ist, lässt sich "
           "nicht sicher sagen. Ein Text, der das Trennzeichen „;“ enthält, muss in Anführungszeichen "
           "stehen.";
    const QString titled = QStringLiteral("D(Betrag) L:A 5:RE-1=1.234,50 6:RE-2=80,00 7:RE-3=19,50");
    QTest::newRow("title rows, CSV") << "exports/titelzeilen.csv"
                                     << "" << QStringLiteral("Text ") + titled;
    QTest::newRow("title rows, .xlsx") << "exports/titelzeilen.xlsx"
                                       << "" << QStringLiteral("Xlsx titelzeilen ") + titled;
    QTest::newRow("percentage and quantity right of the amount")
        << "exports/skonto.csv"
        << ""
        << "Text C(Betrag) L:A 2:RE-1=1.000,00 3:RE-2=500,00 4:RE-3=250,00";
    QTest::newRow("formulas without values")
        << "exports/ohne_werte.xlsx"
        << ""
        << "In Spalte C („Betrag“) im Tabellenblatt „Export“ stehen Formeln ohne gespeichertes Ergebnis: C3, "
           "C4. Die Datei wurde von einem Programm geschrieben, das nicht rechnet; öffnen und speichern Sie "
           "sie "
           "mit einer Tabellenkalkulation.";
    const QString filtered =
        QStringLiteral("D(Betrag) L:A 5:RE-1=100,00 7:RE-3=30,50 10:RE-6=6,00 Summe 11:=136,50");
    QTest::newRow("filtered rows, hidden column, SUBTOTAL, .xlsx")
        << "gefiltert.xlsx"
        << "" << QStringLiteral("Xlsx Gefiltert ") + filtered + QStringLiteral(" ausgeblendet 3");
    QTest::newRow("filtered rows, hidden column, SUBTOTAL, .ods")
        << "gefiltert.ods"
        << "" << QStringLiteral("Ods Gefiltert ") + filtered + QStringLiteral(" ausgeblendet 3");
    QTest::newRow("filtered rows taken in")
        << "gefiltert.xlsx"
        << "allrows"
        << "Xlsx Gefiltert D(Betrag) L:A 5:RE-1=100,00 6:RE-2=200,00 7:RE-3=30,50 8:RE-4=40,00 9:RE-4=40,00 "
           "10:RE-6=6,00 Summe 11:=136,50";
}

void TestTableReader::exportShapes() {
    QFETCH(QString, file);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    const QByteArray bytes = fixture(file);
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(outcome([&] { return TableReader::read(bytes, optionsOf(options)); }), expected);
}

void TestTableReader::roles_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    const QByteArray statement("Belegnr;Datum;Kundennr;Kunde;IBAN;Betrag\n"
                               "RE-1;03.11.2026;10001;Müller GmbH;DE02 1203 0000 0000 2020 51;1.234,50\n"
                               "RE-2;2026-11-04;10002;Meier;;50\n");
    QTest::newRow("every role by its header")
        << statement << "roles"
        << "L:A N:C K:D I:E D:B 2:RE-1|10001|Müller GmbH|DE02120300000000202051|2026-11-03=1.234,50 "
           "3:RE-2|10002|Meier||2026-11-04=50,00";
    QTest::newRow("without roles") << statement << ""
                                   << "L:A N:- K:- I:- D:- 2:RE-1||||=1.234,50 3:RE-2||||=50,00";
    QTest::newRow("invoice number as the label")
        << QByteArray("Kunde;Rechnungsnr;Betrag\nMüller;R1;5\n") << "roles"
        << "L:B N:- K:A I:- D:- 2:R1||Müller||=5,00";
    QTest::newRow("the label without roles stays leftmost")
        << QByteArray("Kunde;Rechnungsnr;Betrag\nMüller;R1;5\n") << ""
        << "L:A N:- K:- I:- D:- 2:Müller||||=5,00";
    QTest::newRow("headers, case and blanks aside")
        << QByteArray("KUNDEN-NR ;Firma; Rechnungs-datum;Re-Nr;Offen\n0815;Meier KG;03.11.26;R9;7\n")
        << "roles"
        << "L:D N:A K:B I:- D:C 2:R9|0815|Meier KG||2026-11-03=7,00";
    QTest::newRow("Debitor and Name")
        << QByteArray("Debitor;Name;Beleg;Belegdatum;Betrag\n4711;Schulz;B1;01.02.2026;3\n") << "roles"
        << "L:C N:A K:B I:- D:D 2:B1|4711|Schulz||2026-02-01=3,00";
    QTest::newRow("customer columns given: number by header, name by text")
        << QByteArray("Nummer;Bezeichnung;Betrag\n0815;Müller;5\n") << "customers=A,B"
        << "L:A N:A K:B I:- D:- 2:0815|0815|Müller||=5,00";
    QTest::newRow("customer column given: digits make a number")
        << QByteArray("Ref;Betrag\n4711;5\n0815;6\n") << "customers=Ref"
        << "L:A N:A K:- I:- D:- 2:4711|4711|||=5,00 3:0815|0815|||=6,00";
    QTest::newRow("customer column given: text makes a name")
        << QByteArray("Ref;Betrag\n4711;5\nab;6\n") << "customers=1"
        << "L:A N:- K:A I:- D:- 2:4711||4711||=5,00 3:ab||ab||=6,00";
    QTest::newRow("date and IBAN given by letter")
        << QByteArray("Text;Wann;Konto IBAN;Betrag\nx;03.11.26;de89 3704 0044 0532 0130 00;5\n")
        << "date=B;iban=c"
        << "L:A N:- K:- I:C D:B 2:x|||DE89370400440532013000|2026-11-03=5,00";
    QTest::newRow("date column given that holds no date")
        << QByteArray("Text;Wann;Betrag\nx;morgen;5\n") << "date=Wann"
        << "L:A N:- K:- I:- D:B 2:x||||=5,00";
    QTest::newRow("missing role column")
        << statement << "iban=Konto"
        << "Eine Spalte „Konto“ gibt es nicht. Die Tabelle hat die Spalten A "
           "(„Belegnr“), B („Datum“), C („Kundennr“), D („Kunde“), E („IBAN“), F "
           "(„Betrag“).";
    QTest::newRow("workbook dates")
        << fixture(QStringLiteral("offene_posten.xlsx")) << "sheet=2;roles"
        << "L:A N:- K:C I:- D:B 2:R-101||Schmidt  & Co||2026-12-07=120,00 3:R-102||||2026-12-08=80,50 "
           "4:R-103||Weber GmbH||2027-01-15=240,00 5:R-104||Text als Betrag||2027-01-16=19,50 "
           "6:R-105||Wiederholt||=5,00 7:R-105||Wiederholt||=5,00";
}

void TestTableReader::roles() {
    QFETCH(QByteArray, input);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    QString result;
    try {
        result = describeRoles(TableReader::read(input, optionsOf(options)));
    } catch (const KalvonError& e) {
        result = e.userMessage();
    }
    QCOMPARE(result, expected);
}

// A workbook's customer numbers are numeric cells and its dates date cells: the number as written,
// without separators or decimals, and the day.
void TestTableReader::rolesFromWorkbookCells() {
    Options options;
    options.roles = true;
    OpenedSource source = OpenedSource::fromGrid(
        gridOf(QStringLiteral("Kundennr|Kunde|Rechnungsdatum|Re-Nr|Betrag\n#10001|Müller|@03.11.2026|R1|#10\n"
                              "#10002|Schulz|@4.11.2026|R2|#1234.5"),
               {}),
        ItemTable::Format::Xlsx, QStringLiteral("S"), options);
    QCOMPARE(describeRoles(TableReader::read(source, options)),
             QStringLiteral("L:D N:A K:B I:- D:C 2:R1|10001|Müller||2026-11-03=10,00 "
                            "3:R2|10002|Schulz||2026-11-04=1.234,50"));
}

void TestTableReader::workbooks_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    const QString items = QStringLiteral(
        "L:B,C 2:07.12.2026 / Schmidt  & Co=120,00 3:08.12.2026=80,50 4:15.01.2027 / Weber GmbH=240,00 "
        "5:16.01.2027 / Text als Betrag=19,50 6:Wiederholt=5,00 7:Wiederholt=5,00 Summe "
        "8:Gesamtsumme=470,00");
    const QByteArray ods = fixture(QStringLiteral("offene_posten.ods"));
    const QByteArray xlsx = fixture(QStringLiteral("offene_posten.xlsx"));
    QTest::newRow("ods, first visible sheet")
        << ods << ""
        << "Ods Offene Posten D(Betrag) L:A 2:R-101=120,00 3:R-102=80,50 4:R-103=240,00 "
           "5:R-104=19,50 6:R-105=5,00 7:R-105=5,00 Summe 8:=470,00";
    QTest::newRow("ods, labels") << ods << "labels=Datum,Kunde"
                                 << QStringLiteral("Ods Offene Posten D(Betrag) ") + items;
    QTest::newRow("xlsx, labels") << xlsx << "sheet=offene posten;labels=Datum,Kunde"
                                  << QStringLiteral("Xlsx Offene Posten D(Betrag) ") + items;
    QTest::newRow("xlsx, sheet by number") << xlsx << "sheet=3"
                                           << "Xlsx Zweites Blatt B(Summe netto) L:A 2:A=0,10 3:B=0,20";
    QTest::newRow("ods, missing sheet")
        << ods << "sheet=9"
        << "Ein Tabellenblatt „9“ gibt es nicht. Die Arbeitsmappe hat: „Vorlage“ "
           "(ausgeblendet), „Offene Posten“, „Zweites Blatt“, „Archiv“ (ausgeblendet).";
    QTest::newRow("date column named") << xlsx << "sheet=2;column=Datum"
                                       << "Der Betrag in Zeile 2, Spalte B („Datum“) ist keine gültige Zahl: "
                                          "„07.12.2026“.";
    // As other programs write .xlsx: the 1904 date system, a built-in date format, inline strings
    // in runs, booleans, formula strings, rows and cells without a reference, an absolute target.
    const QByteArray rels =
        "<Relationships><Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/"
        "officeDocument/2006/relationships/worksheet\" Target=\"/xl/s.xml\"/></Relationships>";
    QTest::newRow("xlsx of another program")
        << zipOf(
               {{QStringLiteral("xl/workbook.xml"),
                 "<workbook xmlns:r=\"urn:r\"><workbookPr date1904=\"1\"/><sheets><sheet name=\"S\" "
                 "r:id=\"r1\"/></sheets></workbook>"},
                {QStringLiteral("xl/_rels/workbook.xml.rels"), rels},
                {QStringLiteral("xl/styles.xml"), "<styleSheet><numFmts><numFmt numFmtId=\"170\" "
                                                  "formatCode=\"[Red]0.00&quot;d&quot;\"/></numFmts>"
                                                  "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf "
                                                  "numFmtId=\"170\"/></cellXfs></styleSheet>"},
                {QStringLiteral("xl/s.xml"),
                 "<worksheet><sheetData><row><c t=\"inlineStr\"><is><r><t>W</t></r><r><t>as</t></r></is></c>"
                 "<c t=\"str\"><f>X</f><v>Wert</v></c></row><row r=\"3\"><c r=\"A3\" t=\"b\"><v>1</v></c>"
                 "<c s=\"2\"><v>12.5</v></c></row><row><c s=\"1\"><v>45000</v></c><c><v>7</v></c></row>"
                 "</sheetData></worksheet>"}})
        << ""
        << "Xlsx S B(Wert) L:A 3:WAHR=12,50 4:16.03.2027=7,00";
    QTest::newRow("truncated") << xlsx.left(xlsx.size() / 2) << ""
                               << "Die Arbeitsmappe ist beschädigt: Das ZIP-Archiv lässt sich nicht öffnen.";
    QTest::newRow("zip without the parts")
        << zipOf({{QStringLiteral("a.txt"), "5"}}) << ""
        << "Das ZIP-Archiv ist weder eine Excel-Arbeitsmappe (.xlsx) noch eine OpenDocument-Tabelle (.ods).";
    QTest::newRow("sheet part missing")
        << zipOf({{QStringLiteral("xl/workbook.xml"), "<workbook/>"}}) << ""
        << "Die Arbeitsmappe ist beschädigt: Der Teil „xl/_rels/workbook.xml.rels“ fehlt.";
    QTest::newRow("malformed XML")
        << zipOf({{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
                  {QStringLiteral("content.xml"), "<a>\n<b></a>"}})
        << ""
        << "Die Arbeitsmappe ist beschädigt: Der Teil „content.xml“ ist kein gültiges XML (Zeile 2).";
    QTest::newRow("declared size too small") << withDeclaredSize(xlsx, 40) << ""
                                             << "Die Arbeitsmappe ist beschädigt: Der Teil "
                                                "„xl/_rels/workbook.xml.rels“ lässt sich nicht entpacken.";
    QTest::newRow("declared size too large")
        << withDeclaredSize(xlsx, 300u << 20) << ""
        << "Der Teil „xl/_rels/workbook.xml.rels“ der Arbeitsmappe ist entpackt "
           "größer als 256 MiB; so große Arbeitsmappen "
           "werden nicht gelesen.";
}

void TestTableReader::workbooks() {
    QFETCH(QByteArray, input);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    QVERIFY(!input.isEmpty());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(outcome([&] { return TableReader::read(input, optionsOf(options)); }), expected);
    // A sheet filled up with a million empty rows takes milliseconds, not a pass over each row.
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestTableReader::workbookGrids_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");
    // Saved by LibreOffice with an autofilter that shows one customer, a hidden column and a subtotal.
    const QString filtered = QStringLiteral(
        "verborgen C | 1 A:Offene Posten Debitoren | 2 A:Stand: 30.11.2026 | 4 A:Beleg B:Kunde C:Intern "
        "D:Betrag | 5 A:RE-1 B:Müller C#1 D#100 | 6h A:RE-2 B:Schulz C#2 D#200 | 7 A:RE-3 B:Müller C#3 "
        "D#30.5 | "
        "8h A:RE-4 B:Schulz C#4 D#40 | 9h A:RE-4 B:Schulz C#4 D#40 | 10 A:RE-6 B:Müller C#6 D#6 | "
        "11 B:Summe D#136.5Σ");
    QTest::newRow("xlsx, filtered") << fixture(QStringLiteral("gefiltert.xlsx")) << filtered;
    QTest::newRow("ods, filtered") << fixture(QStringLiteral("gefiltert.ods")) << filtered;
    // As a program writes .xlsx that does not calculate: formulas without a value, empty or missing.
    QTest::newRow("xlsx, formulas without values")
        << xlsxOf(
               "<row r=\"1\"><c r=\"A1\"><v>5</v></c><c r=\"B1\"><f>A1*2</f></c>"
               "<c r=\"C1\"><f>SUM(A1:B1)</f><v></v></c><c r=\"D1\" "
               "t=\"str\"><f>IF(A1,\"\",\"x\")</f><v></v></c>"
               "<c r=\"E1\"><f t=\"shared\" ref=\"E1:E2\" "
               "si=\"0\">_xlfn.AGGREGATE(9,4,A1)</f><v>5</v></c></row>"
               "<row r=\"2\" hidden=\"1\"><c r=\"E2\"><f t=\"shared\" si=\"0\"/></c>"
               "<c r=\"F2\" t=\"str\"><f>\"SUM(\" &amp; A1</f><v>SUM(5</v></c></row>"
               "<row r=\"3\" hidden=\"true\"><c r=\"A3\"><f>TEILERGEBNIS(9;A1)</f><v>5</v></c>"
               "<c r=\"B3\"><f>SUMME (A1)</f><v>5</v></c><c r=\"C3\"><f>SUMIF(A1,1)+DSUM(A1)</f><v>0</v></c>"
               "<c r=\"D3\"><f>'SUM'!A1+[1]SUM!A2</f><v>0</v></c></row>",
               {},
               "<cols><col min=\"2\" max=\"3\" hidden=\"1\"/><col min=\"16382\" max=\"99999\" hidden=\"1\"/>"
               "<col min=\"5\" max=\"5\" hidden=\"0\"/></cols>")
        << "verborgen B,C,XFB,XFC,XFD | 1 A#5 B!=A1*2 C!=SUM(A1:B1)Σ E#5Σ | 2h E!=_xlfn.AGGREGATE(9,4,A1)Σ "
           "F:SUM(5 | 3h A#5Σ B#5Σ C#0 D#0";
    QTest::newRow("ods, formulas without values")
        << odsOf("<table:table-column/><table:table-column table:visibility=\"collapse\" "
                 "table:number-columns-repeated=\"2\"/><table:table-row><table:table-cell "
                 "office:value-type=\"float\" office:value=\"5\"/><table:table-cell "
                 "table:formula=\"of:=[.A1]*2\"/>"
                 "<table:table-cell table:formula=\"of:=SUM([.A1])\" office:value-type=\"float\"/>"
                 "<table:table-cell table:formula=\"of:=&quot;&quot;\" office:value-type=\"string\"/>"
                 "<table:table-cell table:formula=\"of:=SUBTOTAL(9;[.A1])\" office:value-type=\"float\" "
                 "office:value=\"5\"/></table:table-row><table:table-row table:visibility=\"collapse\" "
                 "table:number-rows-repeated=\"2\"><table:table-cell "
                 "office:value-type=\"string\"><text:p>x</text:p>"
                 "</table:table-cell></table:table-row><table:table-row><table:table-cell "
                 "table:formula=\"of:=[.A1]\" office:value-type=\"date\"/></table:table-row>")
        << "verborgen B,C | 1 A#5 B!=[.A1]*2 C!=SUM([.A1])Σ E#5Σ | 2h A:x | 3h A:x | 4 A!=[.A1]";
}

void TestTableReader::workbookGrids() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QVERIFY(!input.isEmpty());
    QCOMPARE(gridOutcome(input), expected);
}

// Workbooks made to exhaust the reader, each refused by its bound with its message.
void TestTableReader::hostileWorkbooks_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("expected");
    const QByteArray nested =
        QByteArray("<r>").repeated(100000) + "<t>x</t>" + QByteArray("</r>").repeated(100000);
    const QByteArray header = "<row r=\"1\"><c t=\"inlineStr\"><is><t>Betrag</t></is></c></row>";
    QTest::newRow("nested inline string")
        << xlsxOf(header + "<row r=\"2\"><c t=\"inlineStr\"><is>" + nested + "</is></c></row>") << ""
        << "Der Teil „xl/s.xml“ der Arbeitsmappe schachtelt Elemente mehr als 100 Ebenen tief; so tief "
           "geschachtelte Zellen werden nicht gelesen.";
    QTest::newRow("nested shared string")
        << xlsxOf(header + "<row r=\"2\"><c t=\"s\"><v>0</v></c></row>", "<si>" + nested + "</si>") << ""
        << "Der Teil „xl/t.xml“ der Arbeitsmappe schachtelt Elemente mehr als 100 Ebenen tief; so tief "
           "geschachtelte Zellen werden nicht gelesen.";
    QTest::newRow("nested spans")
        << odsOf("<table:table-row><table:table-cell><text:p>" + QByteArray("<text:span>").repeated(100000) +
                 QByteArray("</text:span>").repeated(100000) +
                 "</text:p></table:table-cell></table:table-row>")
        << ""
        << "Der Teil „content.xml“ der Arbeitsmappe schachtelt Elemente mehr als 100 Ebenen tief; so tief "
           "geschachtelte Zellen werden nicht gelesen.";
    const QString tooMuchText = QStringLiteral("Die Zellen der Tabelle enthalten zusammen mehr als "
                                               "67.108.864 Zeichen; so viel Text wird nicht gelesen.");
    QTest::newRow("one long shared string everywhere")
        << xlsxOf(header + "<row r=\"2\">" + QByteArray("<c t=\"s\"><v>0</v></c>").repeated(2049) + "</row>",
                  "<si><t>" + QByteArray(32767, 'y') + "</t></si>")
        << "" << tooMuchText;
    QTest::newRow("one long ods text repeated")
        << odsOf("<table:table-row table:number-rows-repeated=\"1000\"><table:table-cell "
                 "table:number-columns-repeated=\"3\"><text:p>x<text:s text:c=\"32000\"/>y</text:p>"
                 "</table:table-cell></table:table-row>")
        << "" << tooMuchText;
    const QString rowBeyond = QStringLiteral(
        "Die Tabelle nennt eine Zeile 9.223.372.036.854.775.807; mehr als 100.000 Zeilen werden "
        "nicht gelesen.");
    QTest::newRow("row number at the integer limit")
        << xlsxOf("<row r=\"9223372036854775807\"/><row><c t=\"inlineStr\"><is><t>Betrag</t></is></c></row>")
        << "" << rowBeyond;
    QTest::newRow("cell row beyond the integer range")
        << xlsxOf("<row r=\"1\"><c r=\"A99999999999999999999\"><v>1</v></c></row>") << ""
        << "Die Tabelle nennt eine Zeile 99.999.999.999.999.999.999; mehr als 100.000 Zeilen werden nicht "
           "gelesen.";
    QTest::newRow("column beyond XFD")
        << xlsxOf("<row r=\"1\"><c r=\"ZZZZZZZZZZZZZZ1\"><v>1</v></c></row>") << ""
        << "Die Tabelle hat mehr als 16.384 Spalten; so breite Tabellen werden nicht gelesen.";
    QTest::newRow("no cell reference")
        << xlsxOf("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>") << ""
        << "Die Arbeitsmappe ist beschädigt: Der Zellbezug „1A“ in „xl/s.xml“ ist ungültig.";
    QTest::newRow("row twice")
        << xlsxOf(header +
                  "<row r=\"2\"><c r=\"A2\"><v>5</v></c></row><row r=\"2\"><c r=\"B2\"><v>7</v></c></row>")
        << ""
        << "Die Arbeitsmappe ist beschädigt: Die Zeile 2 ist in „xl/s.xml“ zweimal angegeben.";
    QTest::newRow("cell twice")
        << xlsxOf(header + "<row r=\"2\"><c r=\"A2\"><v>5</v></c><c r=\"A2\"><v>7</v></c></row>") << ""
        << "Die Tabelle ist beschädigt: Die Zelle A2 ist zweimal angegeben; welcher Inhalt "
           "gilt, ist offen.";
    const QString stretch = QStringLiteral(
        "Der Teil „xl/s.xml“ der Arbeitsmappe enthält mehr als 1 MiB Text oder Leerraum am Stück; so lange "
        "Zellinhalte werden nicht gelesen.");
    QTest::newRow("blanks between rows") << xlsxOf(QByteArray((2 << 20), ' ')) << "" << stretch;
    QTest::newRow("one long value") << xlsxOf(header + "<row r=\"2\"><c><v>" + QByteArray(2 << 20, '0') +
                                              "</v></c></row>")
                                    << "" << stretch;
    QTest::newRow("entities")
        << zipOf({{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
                  {QStringLiteral("content.xml"), "<!DOCTYPE a [<!ENTITY e \"eeeeeeeeee\">]><a>&e;&e;</a>"}})
        << ""
        << "Die Arbeitsmappe ist beschädigt: Der Teil „content.xml“ enthält eine Dokumenttypdefinition "
           "(DTD); "
           "eine Arbeitsmappe hat keine.";
    // The sheet list of a workbook of 100,000 sheets, hidden ones looked up as often as there are.
    QByteArray sheets;
    for (int i = 0; i < 100000; ++i)
        sheets += "<sheet name=\"B" + QByteArray::number(i) + "\" state=\"hidden\" r:id=\"r1\"/>";
    QByteArray many = xlsxOf(header);
    many =
        zipOf({{QStringLiteral("xl/workbook.xml"), "<workbook xmlns:r=\"urn:r\"><sheets>" + sheets +
                                                       "<sheet name=\"S\" r:id=\"r1\"/></sheets></workbook>"},
               {QStringLiteral("xl/_rels/workbook.xml.rels"),
                "<Relationships><Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/"
                "officeDocument/2006/relationships/worksheet\" Target=\"s.xml\"/></Relationships>"},
               {QStringLiteral("xl/s.xml"), "<worksheet><sheetData>" + header + "</sheetData></worksheet>"}});
    QTest::newRow("many sheets, one missing")
        << many << "nope"
        << "Ein Tabellenblatt „nope“ gibt es nicht. Die Arbeitsmappe hat: „B0“ (ausgeblendet), „B1“ "
           "(ausgeblendet), "
           "„B2“ (ausgeblendet), „B3“ (ausgeblendet), „B4“ (ausgeblendet), „B5“ (ausgeblendet), „B6“ "
           "(ausgeblendet), „B7“ (ausgeblendet), „B8“ (ausgeblendet), „B9“ (ausgeblendet) und 99.991 "
           "weitere.";
    QTest::newRow("many hidden sheets before the visible one") << many << ""
                                                               << "1 A:Betrag";
}

void TestTableReader::hostileWorkbooks() {
    QFETCH(QByteArray, input);
    QFETCH(QString, sheet);
    QFETCH(QString, expected);
    QVERIFY(input.size() < (1 << 20)); // a few bytes that unpack or expand beyond a bound
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(gridOutcome(input, sheet), expected);
    // Each takes well under a second; it took minutes, or ended in a crash, when unbounded.
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

void TestTableReader::layout() {
    TableReader::Layout layout;
    TableReader::read(fixture(QStringLiteral("offene_posten.ods")), {}, &layout);
    QCOMPARE(layout.sheets.join(QLatin1Char('|')),
             QStringLiteral("Vorlage|Offene Posten|Zweites Blatt|Archiv"));
    QCOMPARE(layout.hiddenSheets, QList<int>({0, 3}));
    QCOMPARE(layout.sheet, 1);
    QCOMPARE(layout.columnTitles.join(QLatin1Char('|')), QStringLiteral("Rechnung|Datum|Kunde|Betrag"));
    QCOMPARE(layout.amountColumns, QList<int>({3}));
    // LibreOffice stores the first sheet of an .xlsx visible, being the active one.
    TableReader::read(fixture(QStringLiteral("offene_posten.xlsx")), optionsOf(QStringLiteral("sheet=2")),
                      &layout);
    QCOMPARE(layout.hiddenSheets, QList<int>({3}));
    // A failed reading still tells what there is.
    QVERIFY_THROWS_EXCEPTION(KalvonError, TableReader::read(QByteArray("Nr;Netto;Brutto\n1;2;x\n"),
                                                            optionsOf(QStringLiteral("column=Z")), &layout));
    QCOMPARE(layout.columnTitles.join(QLatin1Char('|')), QStringLiteral("Nr|Netto|Brutto"));
    QCOMPARE(layout.amountColumns, QList<int>({0, 1}));
}

// An opened workbook is asked for another sheet and another column without reading it again: each
// sheet is parsed once, on first request, and kept.
void TestTableReader::openedSourceReadsAgain() {
    OpenedSource source = OpenedSource::fromBytes(fixture(QStringLiteral("offene_posten.xlsx")), {});
    QCOMPARE(source.firstSheet(), 0);
    const TypedSheet::Sheet* first = &source.sheet(0);
    Options other;
    other.sheet = QStringLiteral("Zweites Blatt");
    QCOMPARE(describe(TableReader::read(source, other)),
             QStringLiteral("Xlsx Zweites Blatt B(Summe netto) L:A 2:A=0,10 3:B=0,20"));
    const TypedSheet::Sheet* second = &source.sheet(2);
    other.sheet = QStringLiteral("2");
    other.column = QStringLiteral("Betrag");
    other.labels = QStringList{QStringLiteral("Kunde")};
    const TableReader::Selection selection = TableReader::select(source, other);
    QCOMPARE(selection.sheet, 1);
    QCOMPARE(selection.amountColumn, 3);
    QCOMPARE(selection.labelColumns, QList<int>({2}));
    QCOMPARE(TableReader::read(source, selection).items.size(), std::size_t(6));
    QCOMPARE(&source.sheet(0), first);
    QCOMPARE(&source.sheet(2), second);
}

// Random tables written as spreadsheets write CSV and TSV, in every encoding, line end and way
// of quoting, read back against the table as written.
void TestTableReader::randomTextTables() {
    QRandomGenerator random(20261207);
    const QString alphabet = QStringLiteral("aäb€ ;,\t\"\nxy'\r");
    const QList<QChar> delimiters{u';', u',', u'\t'};
    const QStringList lineEnds{QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")};
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]+"));
    for (int round = 0; round < 300; ++round) {
        const QChar delimiter = delimiters[random.bounded(3)];
        const QString lineEnd = lineEnds[random.bounded(3)];
        const bool quoteAll = random.bounded(4) == 0;
        const auto field = [&](const QString& text) {
            const bool quote = quoteAll || text.contains(delimiter) || text.contains(u'"') ||
                               text.contains(u'\n') || text.contains(u'\r') || text != text.trimmed();
            return quote ? QLatin1Char('"') + QString(text).replace(u'"', QLatin1String("\"\"")) +
                               QLatin1Char('"')
                         : text;
        };
        QString csv = field(QStringLiteral("Kunde")) + delimiter + field(QStringLiteral("Betrag")) + lineEnd;
        QStringList expected{QStringLiteral("Text B(Betrag) L:A")};
        const int rows = 1 + random.bounded(20);
        for (int row = 0; row < rows; ++row) {
            QString label;
            for (int n = random.bounded(8); n > 0; --n)
                label += alphabet[random.bounded(alphabet.size())];
            const Currency amount = Currency::fromCount(qint64(random.bounded(2000000000)) - 999999999);
            csv += field(label) + delimiter + field(NumberText::formatAmount(amount)) + lineEnd;
            expected << itemText(
                {amount, row + 2, QString(label).replace(breaks, QStringLiteral(" ")).trimmed()});
        }
        QByteArray bytes;
        switch (random.bounded(5)) {
        case 0:
            bytes = csv.toUtf8();
            break;
        case 1:
            bytes = "\xEF\xBB\xBF" + csv.toUtf8();
            break;
        case 2:
            bytes = withBom16(csv, false);
            break;
        case 3:
            bytes = withBom16(csv, true);
            break;
        default:
            bytes = QString(csv).replace(u'€', QChar(0x80)).toLatin1(); // Windows-1252
        }
        QCOMPARE(outcome([&] { return TableReader::read(bytes, {}); }), expected.join(QLatin1Char(' ')));
    }
}

void TestTableReader::files() {
    QTemporaryDir dir;
    const auto readPath = [](const QString& path) {
        return outcome([&] { return TableReader::readFile(path, {}); });
    };
    QCOMPARE(readPath(dir.filePath(QStringLiteral("fehlt.csv"))),
             QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(dir.filePath(QStringLiteral("fehlt.csv"))));
    QCOMPARE(readPath(dir.path()), QStringLiteral("„%1“ ist ein Ordner, keine Datei.").arg(dir.path()));
    QCOMPARE(readPath(QStringLiteral("/proc/self/mem")),
             QStringLiteral("Die Datei „/proc/self/mem“ lässt sich nicht lesen."));
    QFile text(dir.filePath(QStringLiteral("liste.xlsx")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("5\n") == 2);
    text.close();
    QCOMPARE(readPath(text.fileName()),
             QStringLiteral("Die Datei „%1“ ist keine gültige Arbeitsmappe: Sie ist kein ZIP-Archiv.")
                 .arg(text.fileName()));
    QVERIFY(readPath(Data + QStringLiteral("/offene_posten.ods"))
                .startsWith(QStringLiteral("Ods Offene Posten")));
}

void TestTableReader::convertsEachAmountOnce_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("items");
    QByteArray table("Belegnr;Datum;Kunde;Betrag\n");
    QByteArray list;
    for (int i = 1; i <= 1000; ++i) {
        table += QStringLiteral("RE-2026-%1;%2.11.2026;Kunde %1 GmbH;%3,%4\n")
                     .arg(i, 4, 10, QLatin1Char('0'))
                     .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                     .arg(i * 7)
                     .arg(i % 100, 2, 10, QLatin1Char('0'))
                     .toUtf8();
        list += QByteArray::number(i) + ",50\n";
    }
    QTest::newRow("1,000 rows of 4 columns") << table << 1000;
    QTest::newRow("plain list of 1,000") << list << 1000;
}

// Each amount is converted once: choosing the column, reading it and the plain-list test share one
// typed pass over the cells.
void TestTableReader::convertsEachAmountOnce() {
    QFETCH(QByteArray, input);
    QFETCH(int, items);
    const quint64 before = NumberText::conversions();
    QCOMPARE(int(TableReader::read(input, {}).items.size()), items);
    const quint64 conversions = NumberText::conversions() - before;
    QVERIFY2(conversions <= quint64(items) * 11 / 10, qPrintable(QString::number(conversions)));
}

void TestTableReader::bounds_data() {
    QTest::addColumn<QString>("input"); // a file, or "endless" for a device that never ends
    QTest::addColumn<QString>("expected");
    QTest::newRow("/dev/zero")
        << "/dev/zero"
        << "Die Datei „/dev/zero“ ist größer als 64 MiB; so große Dateien werden nicht gelesen.";
    QTest::newRow("endless device")
        << "endless"
        << "Die Eingabe ist größer als 64 MiB; so große Dateien werden nicht gelesen.";
    QTest::newRow("too many rows")
        << "rows"
        << "Die Eingabe hat mehr als 100.000 Zeilen; so lange Listen werden nicht gelesen.";
    QTest::newRow("too many table rows")
        << "table rows"
        << "Die Eingabe hat mehr als 100.000 Zeilen; so lange Listen werden nicht gelesen.";
}

void TestTableReader::bounds() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QByteArray rows = QByteArray("1\n").repeated(100001);
    if (input == QLatin1String("table rows"))
        rows = "a;b\n" + QByteArray("x;1\n").repeated(100000);
    CountingDevice endless;
    const QString result = outcome([&] {
        if (input == QLatin1String("endless"))
            return TableReader::read(endless, {});
        if (input.endsWith(QLatin1String("rows")))
            return TableReader::read(rows, {});
        return TableReader::readFile(input, {});
    });
    QCOMPARE(result, expected);
    // An endless input is read no further than the bound and one chunk of a megabyte.
    QVERIFY2(endless.handedOut <= (qint64(65) << 20), qPrintable(QString::number(endless.handedOut)));
}

void TestTableReader::hostileText_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected"); // the message, or the number of items read
    QByteArray emptyCells;                 // 3 million empty cells on three lines
    for (int line = 0; line < 3; ++line)
        emptyCells += "1" + QByteArray(1000000, ';') + "\n";
    QTest::newRow("3 million empty cells") << emptyCells << "3";
    QTest::newRow("many amounts on one line")
        << QByteArray("1;").repeated(100001)
        << "Die Eingabe hat mehr als 100.000 Beträge; so lange Listen werden nicht gelesen.";
    QTest::newRow("one line of text fields")
        << QByteArray("a;").repeated(1 << 20)
        << "Die Tabelle hat mehr als 16.384 Spalten; so breite Tabellen werden nicht gelesen.";
    QTest::newRow("one huge field")
        << QByteArray(8 << 20, 'x')
        << "Der Betrag Nr. 1 ist keine gültige Zahl: „xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…“.";
    QTest::newRow("16,384 columns, 100,000 rows")
        << QByteArray("a;").repeated(16383) + "a\n" + QByteArray("1\n").repeated(99999) << "99999";
}

// Work bounded by the input's size, not by its cells times its columns.
void TestTableReader::hostileText() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QElapsedTimer timer;
    timer.start();
    QString result;
    try {
        result = QString::number(TableReader::read(input, {}).items.size());
    } catch (const KalvonError& e) {
        result = e.userMessage();
    }
    QCOMPARE(result, expected);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

// A field as long as a file is kept as long as a spreadsheet cell.
void TestTableReader::hugeFieldKeepsACell() {
    const QString text =
        QStringLiteral("\"") + QString(100000, u'x') + QStringLiteral("\";") + QString(100000, u'y');
    const CellGrid::Grid grid = TextTable::parse(text, u';', CellGrid::Limits());
    QCOMPARE(grid.rows.size(), std::size_t(1));
    QCOMPARE(grid.rows[0].cells.size(), std::size_t(2));
    QCOMPARE(grid.rows[0].cells[0].text.size(), qsizetype(32767));
    QCOMPARE(grid.rows[0].cells[1].text.size(), qsizetype(32767));
}

QTEST_GUILESS_MAIN(TestTableReader)
#include "tst_table_reader.moc"
