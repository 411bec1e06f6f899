// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/cell_grid.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"

#include <QLocale>

#include <algorithm>

namespace CellGrid {
namespace {

[[noreturn]] void tooManyColumns() {
    throw KalvonError::unreadable(
        QStringLiteral("Die Tabelle hat mehr als %1 Spalten; so breite Tabellen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(MaxColumns))));
}

[[noreturn]] void givenTwice(const QString& what) {
    throw KalvonError::unreadable(
        QStringLiteral(
            "Die Tabelle ist beschädigt: %1 ist zweimal angegeben; welcher Inhalt gilt, ist offen.")
            .arg(what));
}

// Refuses a row or a cell that comes twice; the rows are in order, and so are the cells of each.
void checkUnique(const Grid& grid) {
    for (std::size_t i = 0; i < grid.rows.size(); ++i) {
        const Row& row = grid.rows[i];
        if (i > 0 && grid.rows[i - 1].number == row.number)
            givenTwice(QStringLiteral("Die Zeile %1").arg(row.number));
        for (std::size_t j = 1; j < row.cells.size(); ++j) {
            if (row.cells[j - 1].column == row.cells[j].column)
                givenTwice(QStringLiteral("Die Zelle %1%2")
                               .arg(TableReader::columnLetter(row.cells[j].column))
                               .arg(row.number));
        }
    }
}

} // namespace

QString sizeText(qint64 bytes) {
    const qint64 mib = qint64(1) << 20;
    if (bytes % mib == 0)
        return QStringLiteral("%1 MiB").arg(
            NumberText::formatCount(mpz_class(static_cast<long>(bytes / mib))));
    return QStringLiteral("%1 Bytes").arg(NumberText::formatCount(mpz_class(static_cast<long>(bytes))));
}

void tooManyCells(qint64 maxCells) {
    throw KalvonError::unreadable(
        QStringLiteral("Die Eingabe hat mehr als %1 gefüllte Zellen; so große Tabellen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(static_cast<long>(maxCells)))));
}

void tooMuchText(qint64 maxCharacters) {
    throw KalvonError::unreadable(
        QStringLiteral(
            "Die Zellen der Tabelle enthalten zusammen mehr als %1 Zeichen; so viel Text wird nicht "
            "gelesen.")
            .arg(NumberText::formatCount(mpz_class(static_cast<long>(maxCharacters)))));
}

void tooManyRows(int maxRows) {
    throw KalvonError::unreadable(
        QStringLiteral("Die Eingabe hat mehr als %1 Zeilen; so lange Listen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(maxRows))));
}

void rowBeyond(const QString& number, int maxRows) {
    throw KalvonError::unreadable(
        QStringLiteral("Die Tabelle nennt eine Zeile %1; mehr als %2 Zeilen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(number.toStdString())),
                 NumberText::formatCount(mpz_class(maxRows))));
}

void Cell::readNumber() {
    if (kind != Kind::Text)
        return;
    reading = Reading::NoNumber;
    if (!NumberText::isNumeric(text))
        return;
    try {
        count = NumberText::toCurrency(text).count();
        reading = Reading::Number;
    } catch (const KalvonError&) {
        reading = Reading::OutOfRange;
    }
}

bool Cell::isNumber() const {
    if (kind == Kind::Value)
        return true;
    if (kind != Kind::Text)
        return false;
    return reading == Reading::Unread ? NumberText::isNumeric(text) : reading != Reading::NoNumber;
}

Currency Cell::amount() const {
    if (kind == Kind::Value)
        return NumberText::fromDouble(value);
    if (kind == Kind::Date)
        throw KalvonError(KalvonError::Kind::TypeMismatch, {}, text);
    if (kind == Kind::Text && reading == Reading::Number)
        return Currency::fromCount(count);
    return NumberText::toCurrency(text); // the failure, as the text gives it
}

QString Cell::shown() const {
    if (kind != Kind::Value)
        return text;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

const Cell* Row::at(int column) const {
    const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& cell, int c) { return cell.column < c; });
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

void Builder::count(qint64 row, qint64 column, qint64 cells, qint64 characters) {
    if (row > m_limits.maxRows)
        tooManyRows(m_limits.maxRows);
    if (column >= MaxColumns)
        tooManyColumns();
    m_cells += cells;
    if (m_cells > m_limits.maxCells)
        tooManyCells(m_limits.maxCells);
    m_characters += characters;
    if (m_characters > m_limits.maxCellText)
        tooMuchText(m_limits.maxCellText);
}

void Builder::add(qint64 row, qint64 column, Cell cell, bool hiddenRow) {
    count(row, column, 1, cell.text.size());
    if (m_grid.rows.empty() || m_grid.rows.back().number != int(row))
        m_grid.rows.push_back(Row{int(row), hiddenRow, {}});
    cell.column = int(column);
    m_grid.columnCount = std::max(m_grid.columnCount, cell.column + 1);
    m_grid.rows.back().cells.push_back(std::move(cell));
}

void Builder::repeatLastRow(qint64 row) {
    if (m_grid.rows.empty())
        return;
    Row copy = m_grid.rows.back();
    qint64 characters = 0;
    for (const Cell& cell : copy.cells)
        characters += cell.text.size();
    count(row, 0, qint64(copy.cells.size()), characters);
    copy.number = int(row);
    m_grid.rows.push_back(std::move(copy));
}

void Builder::hideColumns(qint64 first, qint64 count) {
    if (first < 0 || first >= MaxColumns || count <= 0)
        return;
    const qint64 end = first + std::min<qint64>(count, MaxColumns - first);
    m_hiddenColumns.resize(MaxColumns);
    std::fill(m_hiddenColumns.begin() + first, m_hiddenColumns.begin() + end, true);
}

Grid Builder::take() {
    // A workbook may list its rows and cells out of order; the reader looks them up in order.
    const auto byNumber = [](const Row& a, const Row& b) {
        return a.number < b.number;
    };
    const auto byColumn = [](const Cell& a, const Cell& b) {
        return a.column < b.column;
    };
    if (!std::is_sorted(m_grid.rows.begin(), m_grid.rows.end(), byNumber))
        std::stable_sort(m_grid.rows.begin(), m_grid.rows.end(), byNumber);
    for (Row& row : m_grid.rows) {
        if (!std::is_sorted(row.cells.begin(), row.cells.end(), byColumn))
            std::stable_sort(row.cells.begin(), row.cells.end(), byColumn);
    }
    checkUnique(m_grid);
    for (int column = 0; column < int(m_hiddenColumns.size()); ++column) {
        if (m_hiddenColumns[std::size_t(column)])
            m_grid.hiddenColumns.push_back(column);
    }
    return std::move(m_grid);
}

} // namespace CellGrid
