// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/cell_grid.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QLocale>

#include <algorithm>

namespace CellGrid {
namespace {

[[noreturn]] void tooManyColumns() {
    throw KalvonError::unreadable(
        QStringLiteral("Die Tabelle hat mehr als %1 Spalten; so breite Tabellen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(MaxColumns))));
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

void tooManyRows(int maxRows) {
    throw KalvonError::unreadable(
        QStringLiteral("Die Eingabe hat mehr als %1 Zeilen; so lange Listen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(maxRows))));
}

bool Cell::isNumber() const {
    return kind == Kind::Value || (kind == Kind::Text && NumberText::isNumeric(text));
}

Currency Cell::amount() const {
    if (kind == Kind::Value)
        return NumberText::fromDouble(value);
    if (kind == Kind::Date)
        throw KalvonError(KalvonError::Kind::TypeMismatch, {}, text);
    return NumberText::toCurrency(text);
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

void Builder::count(qint64 row, qint64 column, qint64 cells) {
    if (row > m_limits.maxRows)
        tooManyRows(m_limits.maxRows);
    if (column >= MaxColumns)
        tooManyColumns();
    m_cells += cells;
    if (m_cells > m_limits.maxCells)
        tooManyCells(m_limits.maxCells);
}

void Builder::add(qint64 row, qint64 column, Cell cell) {
    count(row, column, 1);
    if (m_grid.rows.empty() || m_grid.rows.back().number != int(row))
        m_grid.rows.push_back(Row{int(row), false, {}});
    cell.column = int(column);
    m_grid.columnCount = std::max(m_grid.columnCount, cell.column + 1);
    m_grid.rows.back().cells.push_back(std::move(cell));
}

void Builder::repeatLastRow(qint64 row) {
    if (m_grid.rows.empty())
        return;
    Row copy = m_grid.rows.back();
    count(row, 0, qint64(copy.cells.size()));
    copy.number = int(row);
    m_grid.rows.push_back(std::move(copy));
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
    return std::move(m_grid);
}

} // namespace CellGrid
