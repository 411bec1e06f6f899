// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "frontend/reconciliation/report.h"

#include <QAbstractTableModel>

#include <vector>

// The candidate sets of one payment: its items by invoice number, their sum, the Skonto and the
// difference to the payment; and how many sets there are in all, exactly.
class CandidateModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ItemsColumn, SumColumn, SkontoColumn, DifferenceColumn, ColumnCount };

    explicit CandidateModel(QObject* parent = nullptr);

    // The payment's candidate sets as the matching found them; items are named from the report.
    void setCandidates(const Abgleich::Report& report, const std::vector<Matching::Candidate>& candidates,
                       const mpz_class& alternatives);
    void clear();
    int candidateCount() const { return int(m_rows.size()); }
    const Matching::Candidate& candidate(int row) const { return m_candidates[std::size_t(row)]; }
    // "3 mögliche Zuordnungen", and "… und 2 weitere" beyond those listed; empty without any.
    QString countText() const;
    const mpz_class& alternatives() const { return m_alternatives; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString items;
        QString sum;
        QString skonto;
        QString difference;
    };
    std::vector<Matching::Candidate> m_candidates;
    std::vector<Row> m_rows;
    mpz_class m_alternatives;
};
