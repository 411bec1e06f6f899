// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/item_rows.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

using Kind = KalvonError::Kind;
using TypedSheet::Cell;
using TypedSheet::Row;

// Ragged rows are aligned by trying each text column as the one that grew, within this much work.
constexpr qint64 AlignmentWork = 1000000;
// Formulas without a value named in a message.
constexpr int NamedCells = 10;

QString oneLine(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]+"));
    return text.replace(breaks, QStringLiteral(" ")).trimmed();
}

bool saysSum(const QString& text) {
    static const QRegularExpression words(QStringLiteral("summe|gesamt|total|saldo"),
                                          QRegularExpression::CaseInsensitiveOption);
    return words.match(text).hasMatch();
}

class RowReader {
public:
    RowReader(const TypedSheet::Sheet& sheet, const SheetColumns& columns,
              const TableReader::Selection& selection, ItemTable& table)
        : m_sheet(sheet)
        , m_columns(columns)
        , m_selection(selection)
        , m_table(table) {}

    void run();

private:
    const Row& aligned(const Row& row);
    bool fits(const Row& row, int grown, int extra) const;
    [[noreturn]] void ragged(const Row& row) const;
    Currency amountOf(const Row& row, const Cell& cell) const;
    Item itemOf(const Row& row, Currency amount) const;
    bool isSum(const Row& row, const Cell& cell, Currency amount) const;
    void take(Item item, bool sum);
    void countFormulas();
    void refuseMissing() const;
    void separateTotal();

    const TypedSheet::Sheet& m_sheet;
    const SheetColumns& m_columns;
    const TableReader::Selection& m_selection;
    ItemTable& m_table;
    Row m_scratch;
    bool m_rowWiseFormulas = false;
    Currency m_groupSum, m_allSum;
    int m_groupItems = 0;
    bool m_sumsValid = true;
    std::vector<int> m_missing;
};

void RowReader::countFormulas() {
    int formulas = 0, cells = 0;
    for (const Row& row : m_sheet.rows) {
        const Cell* cell = m_columns.isDataRow(row) ? row.at(m_selection.amountColumn) : nullptr;
        if (cell) {
            ++cells;
            formulas += cell->totalFormula;
        }
    }
    // A sum formula in most rows adds up each row's own cells: those rows are items.
    m_rowWiseFormulas = formulas * 2 > cells;
}

void RowReader::run() {
    countFormulas();
    const int amountColumn = m_selection.amountColumn;
    for (const Row& original : m_sheet.rows) {
        if (!m_columns.isDataRow(original))
            continue;
        if (original.hidden && !m_selection.allRows) {
            m_table.hiddenRows += original.at(amountColumn) != nullptr;
            continue;
        }
        const Row& row = aligned(original);
        const Cell* cell = row.at(amountColumn);
        if (!cell)
            continue;
        if (cell->type == Cell::Type::Missing) {
            m_missing.push_back(row.number);
            continue;
        }
        const Currency amount = amountOf(row, *cell);
        take(itemOf(row, amount), isSum(row, *cell, amount));
    }
    refuseMissing();
    separateTotal();
}

// The row itself, or a ragged row with its fields moved under their header.
const Row& RowReader::aligned(const Row& row) {
    const int regular = m_columns.regularFields();
    if (regular == 0 || row.fields == regular)
        return row;
    if (row.fields < regular) {
        // Missing fields at the end, as some programs write them; an amount moved left is refused.
        const bool moved =
            !row.at(m_selection.amountColumn) &&
            std::any_of(row.cells.begin(), row.cells.end(), [&](const Cell& cell) {
                return cell.isNumberLike() && m_columns.kind(cell.column) != SheetColumns::Kind::Number;
            });
        if (moved)
            ragged(row);
        return row;
    }
    const int extra = row.fields - regular;
    if (qint64(regular) * qint64(row.cells.size()) > AlignmentWork)
        ragged(row);
    std::vector<int> grown;
    for (int column = 0; column < regular; ++column) {
        if (m_columns.kind(column) == SheetColumns::Kind::Text && fits(row, column, extra))
            grown.push_back(column);
    }
    const int amount = m_selection.amountColumn;
    const bool left = !grown.empty() && grown.back() < amount,
               right = !grown.empty() && grown.front() > amount;
    if (!left && !right)
        ragged(row);
    const int at = grown.back(); // free text grows more often than the invoice number before it
    m_scratch = Row{row.number, row.hidden, regular, {}};
    for (const Cell& cell : row.cells) {
        const int column = cell.column < at            ? cell.column
                           : cell.column <= at + extra ? at
                                                       : cell.column - extra;
        if (!m_scratch.cells.empty() && m_scratch.cells.back().column == column) {
            m_scratch.cells.back().text += m_sheet.delimiter + cell.text;
            m_scratch.cells.back().type = Cell::Type::Text;
            continue;
        }
        m_scratch.cells.push_back(cell);
        m_scratch.cells.back().column = column;
    }
    return m_scratch;
}

// True when the row's fields, with the text column `grown` holding extra more of them, each lie
// under a column of their kind.
bool RowReader::fits(const Row& row, int grown, int extra) const {
    return std::all_of(row.cells.begin(), row.cells.end(), [&](const Cell& cell) {
        const int column = cell.column < grown            ? cell.column
                           : cell.column <= grown + extra ? grown
                                                          : cell.column - extra;
        switch (m_columns.kind(column)) {
        case SheetColumns::Kind::Number:
            return cell.isNumberLike() || cell.type == Cell::Type::Missing;
        case SheetColumns::Kind::Date:
            return cell.type == Cell::Type::Date;
        case SheetColumns::Kind::Text:
            return true;
        }
        return true;
    });
}

void RowReader::ragged(const Row& row) const {
    const QChar d = m_sheet.delimiter;
    const QString delimiter = d == u'\t' ? QStringLiteral("Tabulator") : QStringLiteral("„%1“").arg(d);
    throw KalvonError::unreadable(
        QStringLiteral(
            "Zeile %1 hat %2 Felder, die übrigen Zeilen haben %3; welches Feld dort der Betrag ist, "
            "lässt sich nicht sicher sagen. Ein Text, der das Trennzeichen %4 enthält, muss in "
            "Anführungszeichen stehen.")
            .arg(row.number)
            .arg(row.fields)
            .arg(m_columns.regularFields())
            .arg(delimiter));
}

Currency RowReader::amountOf(const Row& row, const Cell& cell) const {
    const QString subject = QStringLiteral("Der Betrag in Zeile %1, %2")
                                .arg(row.number)
                                .arg(m_columns.name(m_selection.amountColumn));
    const auto overflow = [&] {
        const QString quoted = KalvonError(Kind::TypeMismatch, {}, cell.text).quotedInput();
        return KalvonError(Kind::Overflow, QStringLiteral("%1, „%2“,").arg(subject, quoted));
    };
    if (cell.type == Cell::Type::OutOfRange)
        throw overflow();
    if (cell.type != Cell::Type::Number)
        throw KalvonError(Kind::TypeMismatch, subject, cell.text);
    if (m_selection.debitCreditColumn < 0)
        return cell.amount;
    const Cell* mark = row.at(m_selection.debitCreditColumn);
    const QString text = mark ? mark->text.trimmed().toLower() : QString();
    if (text == QLatin1String("s") || text == QLatin1String("soll"))
        return cell.amount;
    if (text != QLatin1String("h") && text != QLatin1String("haben"))
        throw KalvonError::unreadable(
            QStringLiteral("%1 ist weder S (Soll) noch H (Haben): „%2“.")
                .arg(m_columns.cellName(m_selection.debitCreditColumn, row.number),
                     KalvonError(Kind::TypeMismatch, {}, mark ? mark->text : QString()).quotedInput()));
    if (cell.amount == Currency::min())
        throw overflow();
    return Currency() - cell.amount;
}

Item RowReader::itemOf(const Row& row, Currency amount) const {
    Item item;
    item.amount = amount;
    item.row = row.number;
    QStringList labels;
    for (const int column : m_selection.labelColumns) {
        const Cell* label = row.at(column);
        const QString text = label ? oneLine(label->text) : QString();
        if (!text.isEmpty())
            labels << text;
    }
    item.label = labels.join(QStringLiteral(" / "));
    const auto text = [&](int column) {
        const Cell* cell = column >= 0 ? row.at(column) : nullptr;
        return cell ? oneLine(cell->text) : QString();
    };
    item.customerNumber = text(m_selection.customerNumberColumn);
    item.customerName = text(m_selection.customerNameColumn);
    item.iban = text(m_selection.ibanColumn).remove(QLatin1Char(' ')).toUpper();
    const Cell* date = m_selection.dateColumn >= 0 ? row.at(m_selection.dateColumn) : nullptr;
    if (date && date->type == Cell::Type::Date)
        item.date = date->date;
    return item;
}

bool RowReader::isSum(const Row& row, const Cell& cell, Currency amount) const {
    if (cell.totalFormula && !m_rowWiseFormulas)
        return true;
    const bool group = m_groupItems > 0 && amount == m_groupSum;
    const bool all = !m_table.items.empty() && amount == m_allSum;
    if (!m_sumsValid || (!group && !all))
        return false;
    return std::any_of(row.cells.begin(), row.cells.end(), [&](const Cell& c) {
        return c.column != m_selection.amountColumn && c.type == Cell::Type::Text && saysSum(c.text);
    });
}

void RowReader::take(Item item, bool sum) {
    if (sum) {
        m_table.sumRows.push_back(std::move(item));
        m_groupSum = Currency();
        m_groupItems = 0;
        return;
    }
    try {
        m_groupSum += item.amount;
        m_allSum += item.amount;
    } catch (const KalvonError&) {
        m_sumsValid = false; // no sum of these can be written in a cell
    }
    ++m_groupItems;
    m_table.items.push_back(std::move(item));
}

void RowReader::refuseMissing() const {
    if (m_missing.empty())
        return;
    QStringList cells;
    const QString letter = TableReader::columnLetter(m_selection.amountColumn);
    for (std::size_t i = 0; i < m_missing.size() && i < NamedCells; ++i)
        cells << letter + QString::number(m_missing[i]);
    QString named = cells.join(QStringLiteral(", "));
    if (m_missing.size() > NamedCells)
        named += QStringLiteral(" und %1 weitere").arg(m_missing.size() - NamedCells);
    throw KalvonError::unreadable(
        QStringLiteral("In %1%2 stehen Formeln ohne gespeichertes Ergebnis: %3. Die Datei wurde von einem "
                       "Programm geschrieben, das nicht rechnet; öffnen und speichern Sie sie mit einer "
                       "Tabellenkalkulation.")
            .arg(m_columns.name(m_selection.amountColumn), m_columns.where(), named));
}

// A sum row after the last item is the table's total row.
void RowReader::separateTotal() {
    if (m_table.sumRows.empty() ||
        (!m_table.items.empty() && m_table.items.back().row > m_table.sumRows.back().row))
        return;
    m_table.totalRow = std::move(m_table.sumRows.back());
    m_table.sumRows.pop_back();
}

} // namespace

ItemTable readRows(const TypedSheet::Sheet& sheet, const SheetColumns& columns,
                   const TableReader::Selection& selection) {
    ItemTable table;
    table.format = sheet.format;
    table.sheet = sheet.name;
    table.amountColumn = selection.amountColumn;
    table.hasHeader = columns.headerRow() > 0;
    table.headerRow = columns.headerRow();
    table.amountHeader = columns.header(selection.amountColumn);
    table.labelColumns = selection.labelColumns;
    for (const int column : selection.labelColumns)
        table.labelHeaders << columns.header(column);
    table.customerNumberColumn = selection.customerNumberColumn;
    table.customerNameColumn = selection.customerNameColumn;
    table.ibanColumn = selection.ibanColumn;
    table.dateColumn = selection.dateColumn;
    table.debitCreditColumn = selection.debitCreditColumn;
    RowReader(sheet, columns, selection, table).run();
    return table;
}
