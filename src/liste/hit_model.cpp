// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/hit_model.h"

#include "core/numbers/number_text.h"
#include "frontend/hit_csv.h"
#include "liste/item_model.h"

#include <QLocale>
#include <QStringList>

HitModel::HitModel(const ItemModel* items, QObject* parent)
    : QAbstractTableModel(parent)
    , m_items(items) {
    connect(items, &ItemModel::listChanged, this, &HitModel::clear);
    connect(items, &QAbstractItemModel::modelReset, this, &HitModel::clear);
}

void HitModel::clear() {
    if (m_hits.empty())
        return;
    beginResetModel();
    m_hits.clear();
    endResetModel();
}

void HitModel::append(const HitBatch& hits) {
    if (hits.isEmpty())
        return;
    beginInsertRows({}, hitCount(), hitCount() + int(hits.size()) - 1);
    m_hits.insert(m_hits.end(), hits.begin(), hits.end());
    endInsertRows();
}

QString HitModel::clipboardText(int number) const {
    QString text;
    for (const int row : hit(number).rows) {
        const Item& item = m_items->item(row);
        // A tab or line break inside a label would split the row in the spreadsheet.
        QString label = item.label;
        for (QChar& c : label) {
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        }
        text +=
            QStringLiteral("%1\t%2\t%3\n").arg(item.row).arg(label, NumberText::formatAmount(item.amount));
    }
    return text;
}

QByteArray HitModel::csv() const {
    QByteArray bytes = HitCsv::header();
    for (std::size_t i = 0; i < m_hits.size(); ++i) {
        std::vector<const Item*> items;
        for (const int row : m_hits[i].rows)
            items.push_back(&m_items->item(row));
        bytes += HitCsv::hitLines(i + 1, items, m_hits[i].sum);
    }
    return bytes;
}

int HitModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : hitCount();
}

int HitModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HitModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= hitCount())
        return {};
    const ListedHit& h = hit(index.row());
    if (role == Qt::TextAlignmentRole && index.column() != ItemsColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case NumberColumn:
        return QLocale().toString(index.row() + 1);
    case ItemsColumn: {
        QStringList names;
        for (const int row : h.rows)
            names << (role == Qt::ToolTipRole
                          ? QStringLiteral("%1 (%2)").arg(m_items->itemName(row),
                                                          NumberText::formatAmount(m_items->item(row).amount))
                          : m_items->itemName(row));
        return names.join(QStringLiteral(" + "));
    }
    case SumColumn:
        return NumberText::formatAmount(h.sum);
    case DifferenceColumn: // signed as kalvon-find shows it: above the target with a plus
        return (h.difference > Currency() ? QLocale().positiveSign() : QString()) +
               NumberText::formatAmount(h.difference);
    }
    return {};
}

QVariant HitModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NumberColumn:
        return QStringLiteral("Nr.");
    case ItemsColumn:
        return QStringLiteral("Posten");
    case SumColumn:
        return QStringLiteral("Summe");
    case DifferenceColumn:
        return QStringLiteral("Differenz");
    }
    return {};
}
