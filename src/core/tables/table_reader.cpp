// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/table_reader.h"

#include "core/numbers/amount_list.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/cell_grid.h"
#include "core/tables/text_table.h"
#include "core/tables/workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>

#include <algorithm>

namespace TableReader {
namespace {

using CellGrid::Cell;
using CellGrid::Grid;
using CellGrid::Row;
using Kind = KalvonError::Kind;

constexpr qint64 ReadChunk = qint64(1) << 20;

CellGrid::Limits limitsOf(const Options& options) {
    return {options.maxRows, options.maxCells, options.maxUnpackedBytes};
}

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

// ---- Plain lists

// True when every piece of the text is a number; refuses a list beyond the limits.
bool isPlainList(QStringView text, const Options& options) {
    bool numeric = true;
    qint64 pieces = 0;
    AmountList::forEachAmount(text, [&](QStringView piece, qint64 line) {
        if (++pieces > options.maxCells)
            CellGrid::tooManyCells(options.maxCells);
        if (line > options.maxRows)
            CellGrid::tooManyRows(options.maxRows);
        numeric = NumberText::isNumeric(piece.toString());
        return numeric;
    });
    return numeric;
}

// The amounts numbered from 1 in input order; the first that is no amount fails.
ItemTable readPlainList(QStringView text) {
    ItemTable table;
    int number = 0;
    AmountList::forEachAmount(text, [&](QStringView piece, qint64) {
        ++number;
        try {
            table.items.push_back({NumberText::toCurrency(piece.toString()), number, {}});
        } catch (KalvonError& e) {
            // A text that is no number is quoted by the message itself; a number out of range too.
            const QString subject = QStringLiteral("Der Betrag Nr. %1").arg(number);
            e.setSubject(e.kind() == Kind::Overflow
                             ? QStringLiteral("%1, „%2“,").arg(subject, e.quotedInput())
                             : subject);
            throw;
        }
        return true;
    });
    return table;
}

// One column, or a single row, that is not a header above numbers: a list of amounts with a typo
// rather than a table.
bool isListWithTypo(const Grid& grid) {
    const bool oneColumn =
        std::all_of(grid.rows.begin(), grid.rows.end(), [](const Row& row) { return row.cells.size() <= 1; });
    if (!oneColumn && grid.rows.size() != 1)
        return false;
    int cells = 0;
    for (const Row& row : grid.rows) {
        for (const Cell& cell : row.cells) {
            if (cells++ > 0 && !cell.isNumber())
                return true;
        }
    }
    return cells < 2;
}

bool namesColumns(const Options& options) {
    return !options.column.isEmpty() || !options.labels.isEmpty() || !options.delimiter.isNull();
}

// ---- Tables

bool isZero(const Cell& cell) {
    try {
        return cell.amount().count() == 0;
    } catch (const KalvonError&) {
        return false; // out of range
    }
}

QString oneLine(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]+"));
    return text.replace(breaks, QStringLiteral(" ")).trimmed();
}

bool saysTotal(const QString& text) {
    static const QRegularExpression words(QStringLiteral("summe|gesamt|total"),
                                          QRegularExpression::CaseInsensitiveOption);
    return words.match(text).hasMatch();
}

// Column letters: 0 is "A", 26 is "AA"; -1 when the text is no column letter.
int letterColumn(const QString& text) {
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z]{1,3}$"));
    if (!letters.match(text).hasMatch())
        return -1;
    int column = 0;
    for (const QChar c : text)
        column = column * 26 + (c.toUpper().unicode() - u'A' + 1);
    return column - 1;
}

// Chooses the columns of a grid and reads its items.
class GridReader {
public:
    GridReader(const Grid& grid, const Options& options, const QString& sheet, Layout* layout);
    ItemTable read(ItemTable::Format format);

private:
    const Cell* headerCell(int column) const { return m_grid.rows.front().at(column); }
    bool headerAbove(int column) const;
    bool qualifies(int column) const;
    QString headerText(int column) const;
    QString columnName(int column) const;
    QString columnList() const;
    QString where() const;
    int resolve(const QString& name) const;
    int detectAmountColumn() const;
    QList<int> labelColumns(int amountColumn) const;
    void readItems(ItemTable& table) const;
    void separateTotal(ItemTable& table) const;

    const Grid& m_grid;
    const Options& m_options;
    QString m_sheet;
    Layout* m_layout;
    QList<int> m_amountColumns;
    bool m_hasHeader = false;
};

GridReader::GridReader(const Grid& grid, const Options& options, const QString& sheet, Layout* layout)
    : m_grid(grid)
    , m_options(options)
    , m_sheet(sheet)
    , m_layout(layout) {
    if (grid.rows.empty()) {
        throw KalvonError::unreadable(sheet.isEmpty()
                                          ? QStringLiteral("Die Tabelle ist leer.")
                                          : QStringLiteral("Das Tabellenblatt „%1“ ist leer.").arg(sheet));
    }
    // Until the amount column is known, the first row is taken for a header when it holds no number.
    const std::vector<Cell>& first = grid.rows.front().cells;
    m_hasHeader = std::none_of(first.begin(), first.end(), [](const Cell& cell) { return cell.isNumber(); });
    for (int column = 0; column < grid.columnCount; ++column) {
        if (qualifies(column))
            m_amountColumns << column;
    }
    if (m_layout) {
        m_layout->amountColumns = m_amountColumns;
        for (int column = 0; column < grid.columnCount; ++column)
            m_layout->columnTitles << headerText(column);
    }
}

// The first row is a header for a column when its cell there is not a number.
bool GridReader::headerAbove(int column) const {
    const Cell* cell = headerCell(column);
    return !cell || !cell->isNumber();
}

// Every cell below the header a number or empty, at least one not zero.
bool GridReader::qualifies(int column) const {
    bool nonZero = false;
    for (std::size_t i = headerAbove(column) ? 1 : 0; i < m_grid.rows.size(); ++i) {
        const Cell* cell = m_grid.rows[i].at(column);
        if (!cell)
            continue;
        if (!cell->isNumber())
            return false;
        nonZero = nonZero || !isZero(*cell);
    }
    return nonZero;
}

QString GridReader::headerText(int column) const {
    const Cell* cell = headerCell(column);
    return m_hasHeader && cell ? oneLine(cell->shown()) : QString();
}

// "Spalte C („Betrag“)", or "Spalte C" without a header.
QString GridReader::columnName(int column) const {
    const QString header = headerText(column);
    const QString letter = columnLetter(column);
    return header.isEmpty() ? QStringLiteral("Spalte %1").arg(letter)
                            : QStringLiteral("Spalte %1 („%2“)").arg(letter, header);
}

QString GridReader::columnList() const {
    constexpr int Listed = 30;
    QStringList columns;
    for (int column = 0; column < std::min(m_grid.columnCount, Listed); ++column) {
        const QString header = headerText(column);
        columns << (header.isEmpty() ? columnLetter(column)
                                     : QStringLiteral("%1 („%2“)").arg(columnLetter(column), header));
    }
    QString list = QStringLiteral("Die Tabelle hat die Spalten %1").arg(columns.join(QStringLiteral(", ")));
    if (m_grid.columnCount > Listed)
        list += QStringLiteral(" und %1 weitere").arg(m_grid.columnCount - Listed);
    return list + QLatin1Char('.');
}

QString GridReader::where() const {
    return m_sheet.isEmpty() ? QString() : QStringLiteral(" im Tabellenblatt „%1“").arg(m_sheet);
}

int GridReader::resolve(const QString& name) const {
    const QString wanted = name.trimmed();
    for (int column = 0; column < m_grid.columnCount; ++column) {
        const Cell* cell = headerCell(column);
        if (cell && !cell->isNumber() && oneLine(cell->shown()).compare(wanted, Qt::CaseInsensitive) == 0)
            return column;
    }
    int column = letterColumn(wanted);
    if (column < 0) {
        bool ok = false;
        column = wanted.toInt(&ok) - 1;
        if (!ok)
            column = -1;
    }
    if (column < 0 || column >= m_grid.columnCount)
        throw KalvonError::unreadable(
            QStringLiteral("Eine Spalte „%1“ gibt es%2 nicht. %3").arg(name, where(), columnList()));
    return column;
}

int GridReader::detectAmountColumn() const {
    if (m_amountColumns.isEmpty())
        throw KalvonError::unreadable(
            QStringLiteral("Keine Spalte%1 enthält unter der Überschrift nur Zahlen, davon mindestens eine "
                           "ungleich null. %2")
                .arg(where(), columnList()));
    return m_amountColumns.back();
}

// The named label columns, or the leftmost column other than the amount column.
QList<int> GridReader::labelColumns(int amountColumn) const {
    QList<int> columns;
    if (m_options.noLabel)
        return columns;
    for (const QString& name : m_options.labels)
        columns << resolve(name);
    if (!m_options.labels.isEmpty())
        return columns;
    int leftmost = m_grid.columnCount;
    for (const Row& row : m_grid.rows) {
        for (const Cell& cell : row.cells) {
            if (cell.column != amountColumn) {
                leftmost = std::min(leftmost, cell.column);
                break;
            }
        }
    }
    if (leftmost < m_grid.columnCount)
        columns << leftmost;
    return columns;
}

ItemTable GridReader::read(ItemTable::Format format) {
    ItemTable table;
    table.format = format;
    table.sheet = m_sheet;
    table.amountColumn = m_options.column.isEmpty() ? detectAmountColumn() : resolve(m_options.column);
    m_hasHeader = headerAbove(table.amountColumn);
    if (m_layout) {
        for (int column = 0; column < m_grid.columnCount; ++column)
            m_layout->columnTitles[column] = headerText(column);
    }
    table.hasHeader = m_hasHeader;
    table.amountHeader = headerText(table.amountColumn);
    table.labelColumns = labelColumns(table.amountColumn);
    for (const int column : table.labelColumns)
        table.labelHeaders << headerText(column);
    readItems(table);
    separateTotal(table);
    return table;
}

void GridReader::readItems(ItemTable& table) const {
    for (std::size_t i = m_hasHeader ? 1 : 0; i < m_grid.rows.size(); ++i) {
        const Row& row = m_grid.rows[i];
        const Cell* cell = row.at(table.amountColumn);
        if (!cell)
            continue;
        const QString subject =
            QStringLiteral("Der Betrag in Zeile %1, %2").arg(row.number).arg(columnName(table.amountColumn));
        if (!cell->isNumber())
            throw KalvonError(Kind::TypeMismatch, subject, cell->shown());
        Item item;
        try {
            item.amount = cell->amount();
        } catch (const KalvonError&) {
            const QString quoted = KalvonError(Kind::TypeMismatch, {}, cell->shown()).quotedInput();
            throw KalvonError(Kind::Overflow, QStringLiteral("%1, „%2“,").arg(subject, quoted));
        }
        item.row = row.number;
        QStringList labels;
        for (const int column : table.labelColumns) {
            const Cell* label = row.at(column);
            const QString text = label ? oneLine(label->shown()) : QString();
            if (!text.isEmpty())
                labels << text;
        }
        item.label = labels.join(QStringLiteral(" / "));
        table.items.push_back(std::move(item));
    }
}

// A last row whose amount is the sum of those above and one of whose texts says it is a total.
void GridReader::separateTotal(ItemTable& table) const {
    if (table.items.size() < 2)
        return;
    const Item& last = table.items.back();
    Currency sum;
    try {
        for (std::size_t i = 0; i + 1 < table.items.size(); ++i)
            sum += table.items[i].amount;
    } catch (const KalvonError&) {
        return;
    }
    const auto row = std::find_if(m_grid.rows.begin(), m_grid.rows.end(),
                                  [&](const Row& r) { return r.number == last.row; });
    const bool says = std::any_of(row->cells.begin(), row->cells.end(), [&](const Cell& cell) {
        return cell.column != table.amountColumn && !cell.isNumber() && saysTotal(cell.text);
    });
    if (sum == last.amount && says) {
        table.totalRow = last;
        table.items.pop_back();
    }
}

// ---- Text and bytes

ItemTable readDecoded(const QString& text, const Options& options, Layout* layout) {
    if (text.contains(QChar(u'\0')))
        throw KalvonError::unreadable(
            QStringLiteral("Die Eingabe ist weder Text noch eine Arbeitsmappe (.xlsx, .ods)."));
    if (!namesColumns(options) && isPlainList(text, options))
        return readPlainList(text);
    const QChar delimiter = options.delimiter.isNull() ? TextTable::detectDelimiter(text) : options.delimiter;
    const Grid grid = TextTable::parse(text, delimiter, limitsOf(options));
    if (!namesColumns(options) && isListWithTypo(grid))
        return readPlainList(text); // fails with the message for the first amount that is none
    return GridReader(grid, options, {}, layout).read(ItemTable::Format::Text);
}

ItemTable readWorkbook(const QByteArray& bytes, const Options& options, Layout* layout) {
    Workbook::Sheet sheet;
    const auto describe = [&] {
        if (layout) {
            layout->sheets = sheet.names;
            layout->hiddenSheets = sheet.hidden;
            layout->sheet = sheet.index;
        }
    };
    try {
        Workbook::read(bytes, options.sheet, limitsOf(options), sheet);
    } catch (const KalvonError&) {
        describe();
        throw;
    }
    describe();
    return GridReader(sheet.grid, options, sheet.names[sheet.index], layout).read(sheet.format);
}

} // namespace

ItemTable read(const QByteArray& bytes, const Options& options, Layout* layout) {
    if (layout)
        *layout = Layout();
    if (bytes.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Eingabe"), options.maxBytes);
    if (Workbook::isZip(bytes))
        return readWorkbook(bytes, options, layout);
    if (Workbook::isCompoundFile(bytes))
        throw KalvonError::unreadable(QStringLiteral(
            "Die Eingabe ist eine Excel-Arbeitsmappe im alten Format (.xls) oder verschlüsselt; "
            "lesen lassen sich .xlsx, .ods und Textdateien wie CSV."));
    return readDecoded(TextTable::decode(bytes), options, layout);
}

ItemTable read(QIODevice& device, const Options& options, Layout* layout) {
    return read(readBounded(device, options.maxBytes, QStringLiteral("Die Eingabe lässt sich nicht lesen.")),
                options, layout);
}

ItemTable readFile(const QString& path, const Options& options, Layout* layout) {
    if (path == QLatin1String("-")) {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            throw KalvonError::unreadable(QStringLiteral("Die Standardeingabe lässt sich nicht lesen."));
        return read(input, options, layout);
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
    return read(bytes, options, layout);
}

ItemTable readText(const QString& text, const Options& options, Layout* layout) {
    if (layout)
        *layout = Layout();
    if (text.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Eingabe"), options.maxBytes);
    return readDecoded(text, options, layout);
}

QString columnLetter(int column) {
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

} // namespace TableReader
