// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/payment_model.h"

#include <algorithm>

#include "core/numbers/number_text.h"
#include "frontend/reconciliation/report_writer.h"
#include "frontend/visible_text.h"

namespace {
// Kalvon's hit colour, as the item list shows a chosen hit.
constexpr QRgb HitGreen = 0xC0FFC0;
constexpr QRgb LightAmber = 0xFFE8A0;
constexpr QRgb LeftOutGrey = 0xE0E0E0;
} // namespace

PaymentModel::PaymentModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void PaymentModel::setReport(const Abgleich::Report& report, std::vector<bool> pending) {
    const bool sameRows = report.payments.size() == m_report.payments.size();
    if (!sameRows)
        beginResetModel();
    m_report = report;
    m_pending = std::move(pending);
    m_pending.resize(m_report.payments.size(), false);
    if (!sameRows)
        endResetModel();
    else if (!m_report.payments.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

QColor PaymentModel::matchedColour() {
    return QColor::fromRgb(HitGreen);
}

QColor PaymentModel::doubtfulColour() {
    return QColor::fromRgb(LightAmber);
}

QColor PaymentModel::leftOutColour() {
    return QColor::fromRgb(LeftOutGrey);
}

QColor PaymentModel::statusColour(Abgleich::Status status) {
    switch (status) {
    case Abgleich::Status::Matched:
        return matchedColour();
    case Abgleich::Status::Partial:
    case Abgleich::Status::Ambiguous:
        return doubtfulColour();
    case Abgleich::Status::LeftOut:
        return leftOutColour();
    case Abgleich::Status::Unmatched:
        break;
    }
    return QColor();
}

QList<std::pair<QString, QColor>> PaymentModel::legend() {
    return {{QStringLiteral("zugeordnet"), matchedColour()},
            {QStringLiteral("Teilzahlung oder mehrdeutig"), doubtfulColour()},
            {QStringLiteral("nicht zugeordnet"), QColor()},
            {QStringLiteral("ausgelassen"), leftOutColour()}};
}

QString PaymentModel::legendText() {
    return QStringLiteral("Grün: zugeordnet; Gelb: Teilzahlung oder mehrdeutig; ohne Farbe: nicht "
                          "zugeordnet; Grau: ausgelassen");
}

int PaymentModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_report.payments.size());
}

int PaymentModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PaymentModel::display(const Abgleich::PaymentResult& p, int column) const {
    switch (column) {
    case EntryColumn:
        return Abgleich::entryText(p);
    case DateColumn:
        return Abgleich::regionalDate(p.date);
    case PayerColumn:
        return VisibleText::escaped(p.payer);
    case TextColumn:
        return VisibleText::escaped(p.text);
    case AmountColumn:
        return NumberText::formatAmount(p.amount);
    case StatusColumn:
        return m_pending[std::size_t(&p - m_report.payments.data())]
                   ? QStringLiteral("noch nicht abgeglichen")
                   : Abgleich::statusText(p);
    }
    return {};
}

int PaymentModel::pendingCount() const {
    return int(std::count(m_pending.begin(), m_pending.end(), true));
}

QVariant PaymentModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Abgleich::PaymentResult& p = m_report.payments[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return display(p, index.column());
    case Qt::ToolTipRole:
        if (index.column() == TextColumn || index.column() == PayerColumn)
            return display(p, index.column());
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == AmountColumn || index.column() == DateColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::BackgroundRole: {
        const QColor colour = statusColour(p.status);
        if (colour.isValid())
            return colour;
        break;
    }
    case Qt::AccessibleDescriptionRole:
        return Abgleich::statusText(p);
    case StatusRole:
        return int(p.status);
    }
    return {};
}

QVariant PaymentModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case EntryColumn:
        return QStringLiteral("Buchung");
    case DateColumn:
        return QStringLiteral("Datum");
    case PayerColumn:
        return QStringLiteral("Zahler");
    case TextColumn:
        return QStringLiteral("Verwendungszweck");
    case AmountColumn:
        return QStringLiteral("Betrag");
    case StatusColumn:
        return QStringLiteral("Status");
    }
    return {};
}

PaymentFilterModel::PaymentFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent) {}

void PaymentFilterModel::setStatus(std::optional<Abgleich::Status> status) {
    if (status == m_status)
        return;
    m_status = status;
    invalidateFilter();
}

bool PaymentFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!m_status)
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return index.data(PaymentModel::StatusRole).toInt() == int(*m_status);
}
