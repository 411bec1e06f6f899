// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "liste/statement_input.h"

#include <QColor>
#include <QList>
#include <QWidget>

#include <vector>

class QAbstractItemModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

// The page "Kontoauszug": the matching's options, "Abgleichen" with its progress and "Abbrechen",
// the payments with their filter and the legend of their colours, the chosen payment's details and
// candidate sets, and the commands that decide payments. It reads what the user chose; the
// reconciliation controller does the work.
class StatementPanel : public QWidget {
    Q_OBJECT

public:
    // A colour of the payments and what it stands for.
    struct LegendEntry {
        QString text;
        QColor colour;
    };
    // payments: the payments as filtered; candidates: the chosen payment's candidate sets.
    StatementPanel(QSortFilterProxyModel* payments, QAbstractItemModel* candidates,
                   const QList<LegendEntry>& legend, QWidget* parent = nullptr);

    StatementInput::Fields fields() const;
    void showSettings(const MatchSettings& settings);
    // The list's columns for the customer column's choice, after "automatisch"; the choice made
    // stays where the new list has that column.
    void setColumns(const QStringList& choices);

    // The chosen payment's index in the report, -1 when none.
    int currentPayment() const;
    int currentCandidate() const;
    // Chooses the payment with this index in the report, if the filter shows it.
    void choosePayment(int payment);

    void setBusy(bool busy, bool canMatch);
    void setProgress(int permille);
    void setDetails(const QString& text);
    void setAssignText(const QString& text);
    void setSummary(const QString& text);
    // "2 mögliche Zuordnungen", exactly however many.
    void setCandidateCount(const QString& text);
    // What the deciding buttons may do now.
    void setDecisions(bool acceptCandidate, bool acceptAll, bool assign);

    QTableView* paymentView() const { return m_payments; }
    QList<QWidget*> tabStops() const;

signals:
    void matchRequested();
    void stopRequested();
    void filterChosen(int filter);
    // Another payment was chosen; -1: none is any more.
    void paymentChosen(int payment);
    // The user chose another candidate set, or none (-1) any more.
    void candidateChosen();
    void acceptCandidateRequested(int candidate);
    void acceptAllRequested();
    void assignRequested();

private:
    void buildControls();
    QWidget* buildOptions();
    QWidget* buildLegend(const QList<LegendEntry>& legend);
    void buildLayout();
    void connectControls();

    QSortFilterProxyModel* m_paymentModel;
    QAbstractItemModel* m_candidateModel;
    QSpinBox* m_maxItems = nullptr;
    QLineEdit* m_tolerance = nullptr;
    QLineEdit* m_skonto = nullptr;
    QSpinBox* m_days = nullptr;
    QComboBox* m_customerColumn = nullptr;
    QPushButton* m_match = nullptr;
    QPushButton* m_stop = nullptr;
    QProgressBar* m_progress = nullptr;
    QComboBox* m_filter = nullptr;
    QTableView* m_payments = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_details = nullptr;
    QLabel* m_candidateCount = nullptr;
    QTableView* m_candidates = nullptr;
    QPushButton* m_acceptCandidate = nullptr;
    QPushButton* m_acceptAll = nullptr;
    QLabel* m_assignSum = nullptr;
    QPushButton* m_assign = nullptr;
};
