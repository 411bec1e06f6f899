// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/sheet_columns.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace {

using TypedSheet::Cell;
using TypedSheet::Row;

// Rows searched for the header below title rows.
constexpr std::size_t HeaderSearch = 50;

QString oneLine(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]+"));
    return text.replace(breaks, QStringLiteral(" ")).trimmed();
}

bool isDigitsOnly(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isDebitCreditMark(const QString& text) {
    const QString mark = text.trimmed().toLower();
    return mark == QLatin1String("s") || mark == QLatin1String("h") || mark == QLatin1String("soll") ||
           mark == QLatin1String("haben");
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

bool namesAmount(const QString& header) {
    static const QRegularExpression words(QStringLiteral("betrag|saldo|summe|brutto|amount|^offen$"));
    return words.match(header).hasMatch();
}

} // namespace

QString normalizedHeader(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace())
            out += c.toLower();
    }
    while (out.endsWith(u'.'))
        out.chop(1);
    return out;
}

SheetColumns::SheetColumns(const TypedSheet::Sheet& sheet, int headerRow, bool allRows)
    : m_sheet(sheet)
    , m_headerRow(headerRow > 0    ? headerRow
                  : headerRow == 0 ? findHeader()
                                   : 0)
    , m_allRows(allRows) {
    if (!m_sheet.delimiter.isNull()) {
        std::map<int, int> rows; // by number of fields
        for (const Row& row : m_sheet.rows) {
            if (isDataRow(row))
                ++rows[row.fields];
        }
        int most = 0;
        for (const auto& [fields, count] : rows) {
            if (count > most) {
                most = count;
                m_regularFields = fields;
            }
        }
    }
    readHeaders();
    countCells(allRows);
}

// The header is the fullest of the rows above the first row of amounts, the last of them on a tie;
// a row of amounts has a number under which the next row has one too (or is the last row).
int SheetColumns::findHeader() const {
    const std::vector<Row>& rows = m_sheet.rows;
    std::size_t first = 0;
    for (; first < rows.size() && first < HeaderSearch; ++first) {
        const bool amounts =
            std::any_of(rows[first].cells.begin(), rows[first].cells.end(), [&](const Cell& cell) {
                if (!cell.isNumberLike() && cell.type != Cell::Type::Missing)
                    return false;
                if (first + 1 == rows.size())
                    return true;
                const Cell* below = rows[first + 1].at(cell.column);
                return below && (below->isNumberLike() || below->type == Cell::Type::Missing);
            });
        if (amounts)
            break;
    }
    if (first == rows.size() || first == HeaderSearch) // no rows of amounts: the first row heads
        first = rows.empty() || std::any_of(rows.front().cells.begin(), rows.front().cells.end(),
                                            [](const Cell& cell) { return cell.isNumberLike(); })
                    ? 0
                    : 1;
    // Rows with a number in them are rows of amounts the next row does not continue, not headers.
    const auto numberless = [](const Row& row) {
        return std::none_of(row.cells.begin(), row.cells.end(),
                            [](const Cell& cell) { return cell.isNumberLike(); });
    };
    std::size_t header = first;
    for (std::size_t i = 0; i < first; ++i) {
        if (numberless(rows[i]) && (header == first || rows[i].cells.size() >= rows[header].cells.size()))
            header = i;
    }
    return header == first ? 0 : rows[header].number;
}

bool SheetColumns::isDataRow(const Row& row) const {
    return row.number > m_headerRow;
}

bool SheetColumns::isRegular(const Row& row) const {
    return isDataRow(row) && (!row.hidden || m_allRows) &&
           (m_regularFields == 0 || row.fields <= m_regularFields);
}

void SheetColumns::countCells(bool) {
    m_columns.assign(std::size_t(std::max(m_sheet.columnCount, 0)), Column());
    for (const Row& row : m_sheet.rows) {
        if (!isRegular(row))
            continue;
        for (const Cell& cell : row.cells) {
            Column& column = m_columns[std::size_t(cell.column)];
            switch (cell.type) {
            case Cell::Type::Number:
                ++column.numbers;
                column.nonZero += cell.amount.count() != 0;
                column.digits += isDigitsOnly(cell.text);
                continue;
            case Cell::Type::OutOfRange:
                ++column.numbers;
                ++column.nonZero;
                continue;
            case Cell::Type::Missing:
                ++column.missing;
                continue;
            case Cell::Type::Date:
                ++column.dates;
                break;
            case Cell::Type::Text:
                column.debitCredit += isDebitCreditMark(cell.text);
                column.digits += isDigitsOnly(cell.text);
                break;
            }
            if (column.others++ == 0) {
                column.firstOtherRow = row.number;
                column.firstOther = cell.text;
            }
        }
    }
}

QString SheetColumns::header(int column) const {
    return column >= 0 && std::size_t(column) < m_headers.size() ? m_headers[std::size_t(column)] : QString();
}

void SheetColumns::readHeaders() {
    // A header as long as a whole file is shown shortened; messages and labels stay short.
    constexpr qsizetype Longest = 200;
    m_headers.assign(std::size_t(std::max(m_sheet.columnCount, 0)), QString());
    const auto row = std::lower_bound(m_sheet.rows.begin(), m_sheet.rows.end(), m_headerRow,
                                      [](const Row& r, int number) { return r.number < number; });
    if (m_headerRow == 0 || row == m_sheet.rows.end() || row->number != m_headerRow)
        return;
    for (const Cell& cell : row->cells) {
        m_headers[std::size_t(cell.column)] = cell.text.size() > Longest
                                                  ? oneLine(cell.text.left(Longest)) + QStringLiteral("…")
                                                  : oneLine(cell.text);
    }
}

QString SheetColumns::name(int column) const {
    const QString title = header(column);
    const QString letter = TableReader::columnLetter(column);
    return title.isEmpty() ? QStringLiteral("Spalte %1").arg(letter)
                           : QStringLiteral("Spalte %1 („%2“)").arg(letter, title);
}

QString SheetColumns::cellName(int column, int row) const {
    return QStringLiteral("Zeile %1, Spalte %2").arg(row).arg(TableReader::columnLetter(column));
}

QString SheetColumns::columnList() const {
    constexpr int Listed = 30;
    QStringList columns;
    for (int column = 0; column < std::min(m_sheet.columnCount, Listed); ++column) {
        const QString title = header(column);
        columns << (title.isEmpty()
                        ? TableReader::columnLetter(column)
                        : QStringLiteral("%1 („%2“)").arg(TableReader::columnLetter(column), title));
    }
    QString list = QStringLiteral("Die Tabelle hat die Spalten %1").arg(columns.join(QStringLiteral(", ")));
    if (m_sheet.columnCount > Listed)
        list += QStringLiteral(" und %1 weitere").arg(m_sheet.columnCount - Listed);
    return list + QLatin1Char('.');
}

QString SheetColumns::where() const {
    return m_sheet.name.isEmpty() ? QString() : QStringLiteral(" im Tabellenblatt „%1“").arg(m_sheet.name);
}

bool SheetColumns::qualifies(int column) const {
    const Column& c = m_columns[std::size_t(column)];
    return c.others == 0 && (c.nonZero > 0 || c.missing > 0);
}

QList<int> SheetColumns::amountCandidates() const {
    QList<int> columns;
    for (int column = 0; column < int(m_columns.size()); ++column) {
        if (qualifies(column))
            columns << column;
    }
    return columns;
}

SheetColumns::Kind SheetColumns::kind(int column) const {
    const Column& c = m_columns[std::size_t(column)];
    if (qualifies(column))
        return Kind::Number;
    return c.dates > 0 && c.others == c.dates && c.numbers == 0 ? Kind::Date : Kind::Text;
}

bool SheetColumns::isDebitCredit(int column) const {
    const Column& c = m_columns[std::size_t(column)];
    return c.debitCredit > 0 && c.debitCredit == c.others && c.numbers == 0 && c.missing == 0;
}

bool SheetColumns::isDigits(int column) const {
    const Column& c = m_columns[std::size_t(column)];
    return c.digits > 0 && c.digits == c.numbers + c.others;
}

int SheetColumns::resolve(const QString& wanted) const {
    const QString name = wanted.trimmed();
    for (int column = 0; column < m_sheet.columnCount; ++column) {
        const QString title = header(column);
        if (!title.isEmpty() && title.compare(name, Qt::CaseInsensitive) == 0)
            return column;
    }
    int column = letterColumn(name);
    if (column < 0) {
        bool ok = false;
        column = name.toInt(&ok) - 1;
        if (!ok)
            column = -1;
    }
    if (column < 0 || column >= m_sheet.columnCount)
        throw KalvonError::unreadable(
            QStringLiteral("Eine Spalte „%1“ gibt es%2 nicht. %3").arg(wanted, where(), columnList()));
    return column;
}

// Percentages, quantities, dates and numbers of something (invoice, customer, account) are never
// amounts by default.
bool SheetColumns::excludedByHeader(int column) const {
    static const QRegularExpression words(QStringLiteral(
        "%|prozent|percent|menge|anzahl|stück|stk|qty|quantit|datum|date|jahr|monat|year|month|"
        "(nr|nummer|number|id)$|^(konto|plz|no)$"));
    return words.match(normalizedHeader(header(column))).hasMatch();
}

int SheetColumns::defaultAmountColumn() const {
    int eligible = -1, named = -1;
    for (const int column : amountCandidates()) {
        if (m_sheet.isHiddenColumn(column) || excludedByHeader(column))
            continue;
        eligible = column;
        if (namesAmount(normalizedHeader(header(column))))
            named = column;
    }
    if (named >= 0)
        return named;
    if (eligible >= 0)
        return eligible;
    throw KalvonError::unreadable(
        QStringLiteral("Keine Spalte%1 enthält unter der Überschrift nur Zahlen, davon mindestens eine "
                       "ungleich null.%2 %3")
            .arg(where(), firstNonNumber(), columnList()));
}

// " Die erste Zelle, die keine Zahl ist: Zeile 17, Spalte E: „4.885,96 S“." for the column most
// like an amount column: named as one, else the one with the most numbers.
QString SheetColumns::firstNonNumber() const {
    int best = -1;
    for (int column = 0; column < int(m_columns.size()); ++column) {
        if (m_sheet.isHiddenColumn(column) || m_columns[std::size_t(column)].firstOtherRow == 0)
            continue;
        const bool namedAmount = namesAmount(normalizedHeader(header(column)));
        const bool bestNamed = best >= 0 && namesAmount(normalizedHeader(header(best)));
        if (best < 0 || (namedAmount && !bestNamed) ||
            (namedAmount == bestNamed &&
             m_columns[std::size_t(column)].numbers >= m_columns[std::size_t(best)].numbers))
            best = column;
    }
    if (best < 0 ||
        (m_columns[std::size_t(best)].numbers == 0 && !namesAmount(normalizedHeader(header(best)))))
        return {};
    const Column& c = m_columns[std::size_t(best)];
    const QString quoted = KalvonError(KalvonError::Kind::TypeMismatch, {}, c.firstOther).quotedInput();
    return QStringLiteral(" Die erste Zelle, die keine Zahl ist: %1: „%2“.")
        .arg(cellName(best, c.firstOtherRow), quoted);
}

int SheetColumns::named(const QStringList& names, const QList<int>& besides) const {
    for (int column = 0; column < m_sheet.columnCount; ++column) {
        if (besides.contains(column))
            continue;
        const QString title = normalizedHeader(header(column));
        if (!title.isEmpty() && std::any_of(names.begin(), names.end(),
                                            [&](const QString& n) { return normalizedHeader(n) == title; }))
            return column;
    }
    return -1;
}
