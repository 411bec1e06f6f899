// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/candidate_model.h"

#include "core/numbers/number_text.h"
#include "frontend/reconciliation/report_writer.h"

#include <QHash>
#include <QLocale>

CandidateModel::CandidateModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void CandidateModel::setCandidates(const Abgleich::Report& report,
                                   const std::vector<Matching::Candidate>& candidates,
                                   const mpz_class& alternatives) {
    QHash<int, int> indexOfRow;
    for (std::size_t i = 0; i < report.openItems.size(); ++i)
        indexOfRow.insert(report.openItems[i].row, int(i));
    beginResetModel();
    m_candidates = candidates;
    m_alternatives = alternatives;
    m_rows.clear();
    for (const Matching::Candidate& c : candidates) {
        QStringList names;
        for (const int row : c.rows) {
            const auto found = indexOfRow.constFind(row);
            names << (found == indexOfRow.constEnd()
                          ? QStringLiteral("Zeile %1").arg(row)
                          : Abgleich::itemName(report.openItems[std::size_t(*found)]));
        }
        Row r;
        r.items = names.join(QStringLiteral(" + "));
        r.sum = NumberText::formatAmount(c.sum);
        if (c.skontoPercent && c.discount)
            r.skonto =
                QStringLiteral("%1 % = %2")
                    .arg(NumberText::currencyText(*c.skontoPercent), NumberText::formatAmount(*c.discount));
        r.difference = NumberText::formatAmount(c.difference);
        m_rows.push_back(std::move(r));
    }
    endResetModel();
}

void CandidateModel::clear() {
    beginResetModel();
    m_candidates.clear();
    m_rows.clear();
    m_alternatives = 0;
    endResetModel();
}

QString CandidateModel::countText() const {
    if (m_alternatives == 0)
        return QString();
    QString text =
        m_alternatives == 1
            ? QStringLiteral("1 mögliche Zuordnung")
            : QStringLiteral("%1 mögliche Zuordnungen").arg(NumberText::formatCount(m_alternatives));
    const mpz_class more = m_alternatives - static_cast<unsigned long>(m_rows.size());
    if (more > 0 && !m_rows.empty())
        text += QStringLiteral(", … und %1 weitere").arg(NumberText::formatCount(more));
    return text;
}

int CandidateModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CandidateModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CandidateModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& r = m_rows[std::size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case ItemsColumn:
            return r.items;
        case SumColumn:
            return r.sum;
        case SkontoColumn:
            return r.skonto;
        case DifferenceColumn:
            return r.difference;
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() != ItemsColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant CandidateModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ItemsColumn:
        return QStringLiteral("Posten");
    case SumColumn:
        return QStringLiteral("Summe");
    case SkontoColumn:
        return QStringLiteral("Skonto");
    case DifferenceColumn:
        return QStringLiteral("Differenz");
    }
    return {};
}
