// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's window: the page "Kontoauszug", a bank statement's payments matched against the
// list, and the user's decisions on them.
#include "liste/list_window.h"

#include "liste/candidate_model.h"
#include "liste/hit_panel.h"
#include "liste/item_model.h"
#include "liste/item_panel.h"
#include "liste/list_controller.h"
#include "liste/payment_model.h"
#include "liste/reconciliation_controller.h"
#include "liste/statement_columns.h"
#include "liste/statement_panel.h"

#include <QItemSelectionModel>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>

namespace {

// A matched payment whose items "Alle eindeutigen übernehmen" would still settle.
bool anyUndecidedMatch(const ReconciliationController& rc, const Abgleich::Report& report) {
    for (std::size_t i = 0; i < report.payments.size(); ++i)
        if (report.payments[i].status == Abgleich::Status::Matched && !rc.isDecided(int(i)))
            return true;
    return false;
}

} // namespace

StatementPanel* ListWindow::buildStatementPanel() {
    QList<StatementPanel::LegendEntry> legend;
    for (const auto& [text, colour] : PaymentModel::legend())
        legend.push_back({text, colour});
    return new StatementPanel(reconciliation()->filteredPayments(), reconciliation()->candidates(), legend);
}

void ListWindow::connectStatement() {
    ReconciliationController* rc = reconciliation();
    StatementPanel* panel = m_statementPanel;
    connect(panel, &StatementPanel::matchRequested, this, &ListWindow::startMatching);
    connect(panel, &StatementPanel::stopRequested, m_controller, &ListController::cancel);
    connect(panel, &StatementPanel::filterChosen, this,
            [rc](int filter) { rc->setFilter(ReconciliationController::Filter(filter)); });
    connect(panel, &StatementPanel::paymentChosen, this, &ListWindow::paymentChosen);
    connect(panel, &StatementPanel::candidateChosen, this, &ListWindow::candidateChosen);
    connect(panel, &StatementPanel::acceptCandidateRequested, this, &ListWindow::acceptCandidate);
    connect(panel, &StatementPanel::acceptAllRequested, this, &ListWindow::acceptAll);
    connect(panel, &StatementPanel::assignRequested, this, &ListWindow::assignSelected);
    connect(rc, &ReconciliationController::progress, panel, &StatementPanel::setProgress);
    connect(rc, &ReconciliationController::matched, this, &ListWindow::matchingEnded);
    connect(rc, &ReconciliationController::failed, this, [this](const QString& m) { showMessage(m); });
    connect(rc, &ReconciliationController::changed, this, &ListWindow::showStatement);
    connect(m_itemPanel->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListWindow::showAssignText);
    // The report and a saved reconciliation name the list's file.
    auto* columns = new StatementColumns(this);
    connect(itemModel(), &ItemModel::listReplaced, this, [this, columns] {
        const QString file = listFile();
        reconciliation()->setItemsSource(file);
        columns->read(file, itemModel()->source().sheet, itemModel()->source().headerRow);
        // A list opened after the statement is matched against it as soon as it is shown.
        if (reconciliation()->hasStatement())
            QMetaObject::invokeMethod(this, &ListWindow::matchNewList, Qt::QueuedConnection);
    });
    connect(columns, &StatementColumns::columnsRead, this, [this](const QStringList& titles) {
        m_statementPanel->setColumns(StatementColumns::choices(titles));
        reconciliation()->setItemsColumns(titles);
    });
    // Each page shows its own choice in the list: the chosen hit, or the chosen payment's items.
    connect(m_sidePages, &QTabWidget::currentChanged, this, [this] {
        if (m_sidePages->currentWidget() == m_statementPanel)
            paymentChosen(m_statementPanel->currentPayment());
        else
            hitChosen(m_hitPanel->currentHit());
    });
}

void ListWindow::startMatching() {
    guarded([this] {
        if (m_controller->isBusy() || !reconciliation()->hasStatement())
            return;
        m_itemPanel->finishEditing();
        reconciliation()->setSettings(StatementInput::read(m_statementPanel->fields()));
        if (!reconciliation()->startMatching())
            showMessage(QStringLiteral("Es gibt keine offene Zahlung, die sich abgleichen ließe."));
    });
}

void ListWindow::matchNewList() {
    if (!m_controller->isBusy() && itemModel()->itemCount() > 0)
        startMatching();
}

void ListWindow::matchingEnded(bool cancelled) {
    m_statementPanel->setProgress(cancelled ? 0 : 1000);
    showStatement();
    if (cancelled)
        statusBar()->showMessage(QStringLiteral("Abgleich abgebrochen."), 5000);
}

void ListWindow::paymentChosen(int payment) {
    guarded([&] {
        const int first = reconciliation()->choosePayment(payment);
        if (first >= 0)
            m_itemPanel->showRow(first);
        m_statementPanel->setDetails(reconciliation()->detailsText());
        m_statementPanel->setCandidateCount(reconciliation()->candidates()->countText());
        showAssignText();
        updateStatementActions();
    });
}

void ListWindow::candidateChosen() {
    guarded([this] {
        // The chosen set's items in the list, or the payment's own again when none is chosen.
        const int first = reconciliation()->chooseCandidate(m_statementPanel->currentCandidate());
        if (first >= 0)
            m_itemPanel->showRow(first);
        updateStatementActions();
    });
}

void ListWindow::acceptCandidate(int candidate) {
    guarded([&] {
        if (m_controller->isBusy() || candidate < 0)
            return;
        const int payment = m_statementPanel->currentPayment();
        reconciliation()->acceptCandidate(candidate);
        m_statementPanel->choosePayment(payment);
        statusBar()->showMessage(QStringLiteral("Zuordnung übernommen; „Rückgängig“ nimmt sie zurück."),
                                 5000);
    });
}

void ListWindow::acceptAll() {
    guarded([this] {
        if (m_controller->isBusy())
            return;
        const int settled = reconciliation()->acceptAll();
        statusBar()->showMessage(
            settled == 0 ? QStringLiteral("Es gibt keine eindeutige Zuordnung mehr zu übernehmen.")
                         : QStringLiteral("%1 Zahlungen übernommen, ihre Posten ausgeglichen; „Rückgängig“ "
                                          "nimmt es zurück.")
                               .arg(QLocale().toString(settled)),
            5000);
    });
}

void ListWindow::assignSelected() {
    guarded([this] {
        const std::vector<int> rows = selectedItemRows();
        if (m_controller->isBusy() || rows.empty() || m_statementPanel->currentPayment() < 0)
            return;
        const int payment = m_statementPanel->currentPayment();
        reconciliation()->assign(rows);
        m_statementPanel->choosePayment(payment);
        statusBar()->showMessage(
            QStringLiteral("%1 Posten der Zahlung zugeordnet; „Rückgängig“ nimmt es zurück.")
                .arg(QLocale().toString(qsizetype(rows.size()))),
            5000);
    });
}

std::vector<int> ListWindow::selectedItemRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_itemPanel->view()->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ListWindow::showAssignText() {
    const std::vector<int> rows = selectedItemRows();
    m_statementPanel->setAssignText(m_statementPanel->currentPayment() < 0 || rows.empty()
                                        ? QString()
                                        : reconciliation()->assignText(rows));
    updateStatementActions();
}

void ListWindow::showStatement() {
    m_statementPanel->setSummary(reconciliation()->hasStatement() ? reconciliation()->summaryText()
                                                                  : QString());
    m_statementPanel->setDetails(reconciliation()->detailsText());
    m_statementPanel->setCandidateCount(reconciliation()->candidates()->countText());
    showAssignText();
}

void ListWindow::updateStatementActions() {
    if (!m_statementPanel)
        return;
    const ReconciliationController* rc = reconciliation();
    const bool busy = m_controller->isBusy();
    const bool statement = rc->hasStatement();
    const int payment = m_statementPanel->currentPayment();
    const Abgleich::Report& report = rc->payments()->report(); // as shown, without a copy
    const bool ambiguous = payment >= 0 && std::size_t(payment) < report.payments.size() &&
                           report.payments[std::size_t(payment)].status == Abgleich::Status::Ambiguous &&
                           !rc->isDecided(payment);
    m_actions.openStatement->setEnabled(!busy);
    m_actions.openReconciliation->setEnabled(!busy);
    m_actions.saveReport->setEnabled(!busy && statement);
    m_actions.saveReconciliation->setEnabled(!busy && statement);
    m_statementPanel->setBusy(busy, statement && itemModel()->itemCount() > 0);
    m_statementPanel->setDecisions(!busy && ambiguous && m_statementPanel->currentCandidate() >= 0,
                                   !busy && anyUndecidedMatch(*rc, report),
                                   !busy && payment >= 0 && !selectedItemRows().empty());
}
