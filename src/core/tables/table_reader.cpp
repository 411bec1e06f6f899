// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/table_reader.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/cell_grid.h"
#include "core/tables/item_rows.h"
#include "core/tables/sheet_columns.h"
#include "core/tables/workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>

#include <algorithm>

namespace TableReader {
namespace {

constexpr qint64 ReadChunk = qint64(1) << 20;

[[noreturn]] void tooLarge(const QString& what, qint64 maxBytes) {
    throw KalvonError::unreadable(
        QStringLiteral("%1 ist größer als %2; so große Dateien werden nicht gelesen.")
            .arg(what, CellGrid::sizeText(maxBytes)));
}

// At most maxBytes + 1 bytes of the device; throws `unreadable` when reading fails.
QByteArray readBounded(QIODevice& device, qint64 maxBytes, const QString& unreadable) {
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        throw KalvonError::unreadable(unreadable);
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const qsizetype old = bytes.size();
        const qint64 want = std::min(ReadChunk, maxBytes + 1 - old);
        if (bytes.capacity() < old + want)
            bytes.reserve(std::max(2 * bytes.capacity(), qsizetype(old + want)));
        bytes.resize(old + qsizetype(want));
        const qint64 got = device.read(bytes.data() + old, want);
        bytes.resize(old + qsizetype(std::max<qint64>(got, 0)));
        if (got < 0)
            throw KalvonError::unreadable(unreadable);
        if (got == 0 && !device.waitForReadyRead(-1))
            break;
    }
    return bytes;
}

bool namesColumns(const Options& options) {
    return !options.column.isEmpty() || !options.labels.isEmpty() || !options.delimiter.isNull() ||
           options.headerRow > 0 || !options.customerColumns.isEmpty() || !options.dateColumn.isEmpty() ||
           !options.ibanColumn.isEmpty();
}

// One column, or a single row, that is not a header above numbers: a list of amounts with a typo
// rather than a table.
bool isListWithTypo(const TypedSheet::Sheet& sheet) {
    const bool oneColumn = std::all_of(sheet.rows.begin(), sheet.rows.end(),
                                       [](const TypedSheet::Row& row) { return row.cells.size() <= 1; });
    if (!oneColumn && sheet.rows.size() != 1)
        return false;
    int cells = 0;
    for (const TypedSheet::Row& row : sheet.rows) {
        for (const TypedSheet::Cell& cell : row.cells) {
            if (cells++ > 0 && !cell.isNumberLike())
                return true;
        }
    }
    return cells < 2;
}

// Names of the roles' columns, as headers say them (case and blanks aside).
const QStringList& labelNames() {
    static const QStringList names{
        QStringLiteral("Belegnr"),     QStringLiteral("Belegnummer"),     QStringLiteral("Rechnung"),
        QStringLiteral("Rechnungsnr"), QStringLiteral("Rechnungsnummer"), QStringLiteral("Beleg"),
        QStringLiteral("Re-Nr")};
    return names;
}

const QStringList& customerNumberNames() {
    static const QStringList names{QStringLiteral("Kundennr"),     QStringLiteral("Kunden-Nr"),
                                   QStringLiteral("Kundennummer"), QStringLiteral("Debitor"),
                                   QStringLiteral("Debitornr"),    QStringLiteral("Debitorennummer"),
                                   QStringLiteral("Konto"),        QStringLiteral("Kontonr")};
    return names;
}

const QStringList& customerNameNames() {
    static const QStringList names{QStringLiteral("Kunde"), QStringLiteral("Kundenname"),
                                   QStringLiteral("Name"), QStringLiteral("Debitorname"),
                                   QStringLiteral("Firma")};
    return names;
}

const QStringList& dateNames() {
    static const QStringList names{QStringLiteral("Datum"), QStringLiteral("Belegdatum"),
                                   QStringLiteral("Rechnungsdatum"), QStringLiteral("Rechnungs-datum")};
    return names;
}

// The leftmost column of the data rows other than those given and the hidden ones; -1 when none.
int leftmostOther(const TypedSheet::Sheet& sheet, const SheetColumns& columns, const QList<int>& besides) {
    int leftmost = sheet.columnCount;
    for (const TypedSheet::Row& row : sheet.rows) {
        if (!columns.isDataRow(row))
            continue;
        for (const TypedSheet::Cell& cell : row.cells) {
            if (cell.column >= leftmost)
                break;
            if (!besides.contains(cell.column) && !sheet.isHiddenColumn(cell.column)) {
                leftmost = cell.column;
                break;
            }
        }
    }
    return leftmost < sheet.columnCount ? leftmost : -1;
}

// The customer columns given: a header that says number or name decides, else digits make a number.
void chooseCustomers(const SheetColumns& columns, const Options& options, Selection& s) {
    for (const QString& name : options.customerColumns) {
        const int column = columns.resolve(name);
        const QString header = normalizedHeader(columns.header(column));
        const bool number = columns.named(customerNumberNames()) == column ||
                            header.contains(QLatin1String("nr")) || header.contains(QLatin1String("nummer"));
        const bool customerName =
            columns.named(customerNameNames()) == column || header.contains(QLatin1String("name"));
        if (number || (!customerName && columns.isDigits(column)))
            s.customerNumberColumn = column;
        else
            s.customerNameColumn = column;
    }
}

void chooseRoles(const SheetColumns& columns, const Options& options, Selection& s) {
    const QList<int> amount{s.amountColumn};
    if (options.roles) {
        s.customerNumberColumn = columns.named(customerNumberNames(), amount);
        s.customerNameColumn =
            columns.named(customerNameNames(), amount + QList<int>{s.customerNumberColumn});
        s.ibanColumn = columns.named({QStringLiteral("IBAN")}, amount);
        s.dateColumn = columns.named(dateNames(), amount);
    }
    chooseCustomers(columns, options, s);
    if (!options.dateColumn.isEmpty())
        s.dateColumn = columns.resolve(options.dateColumn);
    if (!options.ibanColumn.isEmpty())
        s.ibanColumn = columns.resolve(options.ibanColumn);
}

void chooseLabels(const TypedSheet::Sheet& sheet, const SheetColumns& columns, const Options& options,
                  Selection& s) {
    if (options.noLabel)
        return;
    for (const QString& name : options.labels)
        s.labelColumns << columns.resolve(name);
    if (!options.labels.isEmpty())
        return;
    const QList<int> besides{s.amountColumn, s.debitCreditColumn};
    int column = options.roles ? columns.named(labelNames(), besides) : -1;
    if (column < 0)
        column = leftmostOther(sheet, columns, besides);
    if (column >= 0)
        s.labelColumns << column;
}

void describe(const SheetColumns& columns, int columnCount, Layout* layout) {
    if (!layout)
        return;
    layout->columnTitles.clear();
    for (int column = 0; column < columnCount; ++column)
        layout->columnTitles << columns.header(column);
    layout->amountColumns = columns.amountCandidates();
}

// sheet, amountColumn: indices that take the place of options.sheet and options.column; -1: as
// the options say.
Selection selectIn(OpenedSource& source, const Options& options, int sheetIndex, int amountColumn,
                   Layout* layout) {
    Selection s;
    const bool named = namesColumns(options) || amountColumn >= 0;
    if (!source.isWorkbook() && !named && source.plainList()) {
        s.plainList = true;
        return s;
    }
    s.sheet = sheetIndex >= 0 ? sheetIndex : source.sheetIndex(options.sheet);
    const TypedSheet::Sheet& sheet = source.sheet(s.sheet);
    if (sheet.rows.empty())
        throw KalvonError::unreadable(
            sheet.name.isEmpty() ? QStringLiteral("Die Tabelle ist leer.")
                                 : QStringLiteral("Das Tabellenblatt „%1“ ist leer.").arg(sheet.name));
    if (!source.isWorkbook() && !named && isListWithTypo(sheet))
        source.failAsPlainList();
    const SheetColumns columns(sheet, options.headerRow, options.allRows);
    describe(columns, sheet.columnCount, layout);
    s.headerRow = columns.headerRow() > 0 ? columns.headerRow() : -1;
    s.allRows = options.allRows;
    if (amountColumn >= sheet.columnCount)
        throw KalvonError::unreadable(
            QStringLiteral("Eine Spalte %1 gibt es%2 nicht. %3")
                .arg(columnLetter(amountColumn), columns.where(), columns.columnList()));
    if (amountColumn >= 0)
        s.amountColumn = amountColumn;
    else
        s.amountColumn =
            options.column.isEmpty() ? columns.defaultAmountColumn() : columns.resolve(options.column);
    for (int column = 0; column < sheet.columnCount && s.debitCreditColumn < 0; ++column) {
        if (column != s.amountColumn && columns.isDebitCredit(column))
            s.debitCreditColumn = column;
    }
    chooseRoles(columns, options, s);
    chooseLabels(sheet, columns, options, s);
    return s;
}

} // namespace

Selection select(OpenedSource& source, const Options& options, Layout* layout) {
    return selectIn(source, options, -1, -1, layout);
}

Selection select(OpenedSource& source, const Options& options, int sheet, int amountColumn, Layout* layout) {
    return selectIn(source, options, sheet, amountColumn, layout);
}

ItemTable read(OpenedSource& source, const Selection& selection) {
    if (selection.plainList) {
        ItemTable table;
        table.items = source.plainList().value_or(std::vector<Item>());
        return table;
    }
    const TypedSheet::Sheet& sheet = source.sheet(selection.sheet);
    const SheetColumns columns(sheet, selection.headerRow, selection.allRows);
    return readRows(sheet, columns, selection);
}

ItemTable read(OpenedSource& source, const Options& options, Layout* layout) {
    return read(source, select(source, options, layout));
}

namespace {

ItemTable readOpened(OpenedSource source, const Options& options, Layout* layout) {
    return read(source, select(source, options, layout));
}

} // namespace

ItemTable read(const QByteArray& bytes, const Options& options, Layout* layout) {
    if (layout)
        *layout = Layout();
    if (bytes.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Eingabe"), options.maxBytes);
    return readOpened(OpenedSource::fromBytes(bytes, options, layout), options, layout);
}

OpenedSource open(QIODevice& device, const Options& options, Layout* layout) {
    const QByteArray bytes =
        readBounded(device, options.maxBytes, QStringLiteral("Die Eingabe lässt sich nicht lesen."));
    if (layout)
        *layout = Layout();
    if (bytes.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Eingabe"), options.maxBytes);
    return OpenedSource::fromBytes(bytes, options, layout);
}

ItemTable read(QIODevice& device, const Options& options, Layout* layout) {
    return readOpened(open(device, options, layout), options, layout);
}

OpenedSource openFile(const QString& path, const Options& options, Layout* layout) {
    if (path == QLatin1String("-")) {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            throw KalvonError::unreadable(QStringLiteral("Die Standardeingabe lässt sich nicht lesen."));
        return open(input, options, layout);
    }
    const QFileInfo info(path);
    if (!info.exists())
        throw KalvonError::unreadable(QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(path));
    if (info.isDir())
        throw KalvonError::unreadable(QStringLiteral("„%1“ ist ein Ordner, keine Datei.").arg(path));
    const QString unreadable = QStringLiteral("Die Datei „%1“ lässt sich nicht lesen.").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw KalvonError::unreadable(unreadable);
    const QString name = QStringLiteral("Die Datei „%1“").arg(path);
    if (info.isFile() && info.size() > options.maxBytes)
        tooLarge(name, options.maxBytes);
    const QByteArray bytes = readBounded(file, options.maxBytes, unreadable);
    if (bytes.size() > options.maxBytes)
        tooLarge(name, options.maxBytes);
    static const QRegularExpression workbookName(QStringLiteral("\\.(xlsx|xlsm|ods)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (!Workbook::isZip(bytes) && workbookName.match(path).hasMatch())
        throw KalvonError::unreadable(
            QStringLiteral("Die Datei „%1“ ist keine gültige Arbeitsmappe: Sie ist kein ZIP-Archiv.")
                .arg(path));
    if (layout)
        *layout = Layout();
    return OpenedSource::fromBytes(bytes, options, layout);
}

ItemTable readFile(const QString& path, const Options& options, Layout* layout) {
    return readOpened(openFile(path, options, layout), options, layout);
}

ItemTable readText(const QString& text, const Options& options, Layout* layout) {
    if (layout)
        *layout = Layout();
    if (text.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Eingabe"), options.maxBytes);
    return readOpened(OpenedSource::fromText(text, options), options, layout);
}

QString columnLetter(int column) {
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

} // namespace TableReader
