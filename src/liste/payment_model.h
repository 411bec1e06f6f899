// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frontend/reconciliation/report.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>

#include <optional>
#include <vector>

// The payments of a statement as the window lists them: entry, date, payer, remittance text,
// amount and status, each row coloured by its status.
class PaymentModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { EntryColumn, DateColumn, PayerColumn, TextColumn, AmountColumn, StatusColumn, ColumnCount };
    // The payment's Abgleich::Status as an int, for the filter.
    static constexpr int StatusRole = Qt::UserRole + 1;

    explicit PaymentModel(QObject* parent = nullptr);

    // Shows the report's payments; the same payments with another status keep the view's selection.
    // pending marks the incoming payments not matched yet, by their row: their status is not shown.
    void setReport(const Abgleich::Report& report, std::vector<bool> pending = {});
    // How many incoming payments are not matched yet.
    int pendingCount() const;
    const Abgleich::Report& report() const { return m_report; }

    // The colours of the statuses, the same as the legend's: matched in the hit colour, partial
    // and ambiguous in light amber, left out grey, unmatched none (an invalid colour).
    static QColor matchedColour();
    static QColor doubtfulColour();
    static QColor leftOutColour();
    static QColor statusColour(Abgleich::Status status);
    // The legend beside the table: "zugeordnet", "Teilzahlung oder mehrdeutig", … with their colours.
    static QList<std::pair<QString, QColor>> legend();
    static QString legendText();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant display(const Abgleich::PaymentResult& payment, int column) const;

    Abgleich::Report m_report;
    std::vector<bool> m_pending;
};

// The payments of one status, or all.
class PaymentFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit PaymentFilterModel(QObject* parent = nullptr);
    // Only the payments of this status; none: every payment.
    void setStatus(std::optional<Abgleich::Status> status);
    std::optional<Abgleich::Status> status() const { return m_status; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::optional<Abgleich::Status> m_status;
};
