// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/typed_sheet.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace TypedSheet {
namespace {

using Kind = CellGrid::Cell::Kind;

// A workbook's date as the reader shows it: the regional short date with a four-digit year, a time
// perhaps after it.
QDate shownDate(const QString& text) {
    static const QRegularExpression years(QStringLiteral("y+"));
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    format.replace(years, QStringLiteral("yyyy"));
    const QDate date = locale.toDate(text.section(QLatin1Char(' '), 0, 0), format);
    return date.isValid() ? date : textDate(text);
}

Cell typedCell(CellGrid::Cell&& in) {
    Cell out;
    out.column = in.column;
    out.totalFormula = in.totalFormula;
    switch (in.kind) {
    case Kind::Value:
        out.text = in.shown();
        if (!std::isfinite(in.value)) {
            out.type = Cell::Type::Text; // NaN is no number
        } else {
            try {
                out.amount = NumberText::fromDouble(in.value);
                out.type = Cell::Type::Number;
            } catch (const KalvonError&) {
                out.type = Cell::Type::OutOfRange;
            }
        }
        return out;
    case Kind::Date:
        out.type = Cell::Type::Date;
        out.date = shownDate(in.text);
        out.text = std::move(in.text);
        return out;
    case Kind::Missing:
        out.type = Cell::Type::Missing;
        out.text = std::move(in.text);
        return out;
    case Kind::Text:
        break;
    }
    out.text = std::move(in.text);
    out.date = textDate(out.text);
    if (out.date.isValid()) {
        out.type = Cell::Type::Date;
        return out;
    }
    const NumberText::AmountText amount = NumberText::readAmount(out.text);
    out.type = amount.ok()                                                   ? Cell::Type::Number
               : amount.status == NumberText::AmountText::Status::OutOfRange ? Cell::Type::OutOfRange
                                                                             : Cell::Type::Text;
    out.amount = amount.amount;
    return out;
}

} // namespace

const Cell* Row::at(int column) const {
    const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& cell, int c) { return cell.column < c; });
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

bool Sheet::isHiddenColumn(int column) const {
    return std::binary_search(hiddenColumns.begin(), hiddenColumns.end(), column);
}

QDate textDate(QStringView text) {
    if (text.size() < 6 || text.size() > 10 || !text.front().isDigit() || !text.back().isDigit())
        return {};
    static const QRegularExpression german(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4}|\\d{2})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    QRegularExpressionMatch match = german.match(text);
    if (match.hasMatch()) {
        int year = match.capturedView(3).toInt();
        if (match.capturedView(3).size() == 2)
            year += 2000;
        return QDate(year, match.capturedView(2).toInt(), match.capturedView(1).toInt());
    }
    match = iso.match(text);
    if (match.hasMatch())
        return QDate(match.capturedView(1).toInt(), match.capturedView(2).toInt(),
                     match.capturedView(3).toInt());
    return {};
}

Sheet typed(CellGrid::Grid grid, ItemTable::Format format, const QString& name, QChar delimiter) {
    Sheet sheet;
    sheet.delimiter = delimiter;
    sheet.format = format;
    sheet.name = name;
    sheet.columnCount = grid.columnCount;
    sheet.hiddenColumns = std::move(grid.hiddenColumns);
    std::sort(sheet.hiddenColumns.begin(), sheet.hiddenColumns.end());
    sheet.rows.reserve(grid.rows.size());
    for (CellGrid::Row& in : grid.rows) {
        Row row;
        row.number = in.number;
        row.hidden = in.hidden;
        if (!delimiter.isNull() && !in.cells.empty())
            row.fields = in.cells.back().column + 1;
        row.cells.reserve(in.cells.size());
        for (CellGrid::Cell& cell : in.cells)
            row.cells.push_back(typedCell(std::move(cell)));
        in.cells = {};
        sheet.rows.push_back(std::move(row));
    }
    return sheet;
}

} // namespace TypedSheet
