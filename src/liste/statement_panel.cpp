// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/statement_panel.h"

#include "core/numbers/number_text.h"
#include "liste/candidate_model.h"
#include "liste/list_widgets.h"
#include "liste/payment_model.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using ListWidgets::buddyLabel;
using ListWidgets::named;

namespace {

// The most items one payment may settle: the matching's bound.
constexpr int MaxItems = 8;

QLabel* wrappingLabel(const char* name, const QString& accessibleName) {
    auto* label = named(new QLabel, name, accessibleName);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A small square in the colour, then its meaning.
QWidget* legendEntry(const StatementPanel::LegendEntry& entry) {
    auto* label = new QLabel(entry.text);
    const QString swatch = entry.colour.isValid() ? entry.colour.name() : QStringLiteral("transparent");
    label->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid palette(mid); "
                                        "padding: 1px 6px; }")
                             .arg(swatch));
    label->setAccessibleName(QStringLiteral("Farbe: %1").arg(entry.text));
    return label;
}

} // namespace

StatementPanel::StatementPanel(QSortFilterProxyModel* payments, QAbstractItemModel* candidates,
                               const QList<LegendEntry>& legend, QWidget* parent)
    : QWidget(parent)
    , m_paymentModel(payments)
    , m_candidateModel(candidates) {
    setObjectName(QStringLiteral("statementPanel"));
    buildControls();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildOptions());
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(buddyLabel(QStringLiteral("Zahlu&ngen"), m_payments));
    filterRow->addSpacing(12);
    filterRow->addWidget(buddyLabel(QStringLiteral("zei&gen:"), m_filter));
    filterRow->addWidget(m_filter);
    filterRow->addStretch();
    layout->addLayout(filterRow);
    layout->addWidget(buildLegend(legend));
    buildLayout();
    connectControls();
    setBusy(false, false);
    setDecisions(false, false, false);
}

void StatementPanel::buildControls() {
    m_maxItems =
        named(new QSpinBox, "spinMatchMaxItems", QStringLiteral("höchstens so viele Posten je Zahlung"));
    m_maxItems->setRange(1, MaxItems);
    m_maxItems->setValue(4);
    m_tolerance = named(new QLineEdit, "editMatchTolerance", QStringLiteral("Toleranz als Betrag"));
    m_tolerance->setPlaceholderText(QStringLiteral("0,00"));
    m_skonto = named(new QLineEdit, "editSkonto", QStringLiteral("Skontosätze in Prozent"));
    m_skonto->setText(StatementInput::skontoText(MatchSettings().skontoPercents));
    m_skonto->setToolTip(QStringLiteral("Skontosätze in Prozent, getrennt durch Semikolons; 0 oder leer: "
                                        "kein Skonto"));
    m_days =
        named(new QSpinBox, "spinDays", QStringLiteral("Posten höchstens so viele Tage vor der Zahlung"));
    m_days->setRange(0, 3650);
    m_days->setValue(180);
    m_days->setSuffix(QStringLiteral(" Tage"));
    m_customerColumn =
        named(new QComboBox, "comboCustomerColumn", QStringLiteral("Spalte der Kunden in der Liste"));
    m_customerColumn->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_customerColumn->setMinimumContentsLength(16);
    m_customerColumn->setToolTip(QStringLiteral("„automatisch“: die Spalten Kundennummer und Kunde, wie die "
                                                "Liste sie benennt"));
    setColumns({});
    m_match =
        named(new QPushButton(QStringLiteral("&Abgleichen")), "buttonMatch", QStringLiteral("Abgleichen"));
    m_stop = named(new QPushButton(QStringLiteral("Abbre&chen")), "buttonStopMatch",
                   QStringLiteral("Abgleich abbrechen"));
    m_progress = named(new QProgressBar, "progressMatch", QStringLiteral("Fortschritt des Abgleichs"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_filter = named(new QComboBox, "comboPaymentFilter", QStringLiteral("Zahlungen zeigen"));
    const QStringList filters{
        QStringLiteral("Alle"),       QStringLiteral("zugeordnet"),       QStringLiteral("Teilzahlung"),
        QStringLiteral("mehrdeutig"), QStringLiteral("nicht zugeordnet"), QStringLiteral("ausgelassen")};
    for (int i = 0; i < filters.size(); ++i)
        m_filter->addItem(filters[i], i); // in the order of ReconciliationController::Filter
    m_payments = ListWidgets::tableView("tablePayments", QStringLiteral("Zahlungen"));
    m_payments->setModel(m_paymentModel);
    m_payments->setSelectionMode(QAbstractItemView::SingleSelection);
    m_payments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The payer and the remittance text share the room there is; the others keep widths that fit
    // their texts.
    QHeaderView* header = m_payments->horizontalHeader();
    for (const auto& [column, width] : {std::pair{PaymentModel::EntryColumn, 90},
                                        {PaymentModel::DateColumn, 85},
                                        {PaymentModel::AmountColumn, 95},
                                        {PaymentModel::StatusColumn, 170}})
        header->resizeSection(column, width);
    header->setSectionResizeMode(PaymentModel::PayerColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(PaymentModel::TextColumn, QHeaderView::Stretch);
    m_summary = wrappingLabel("labelStatementSummary", QStringLiteral("Ergebnis des Abgleichs"));
    m_details = wrappingLabel("labelPaymentDetails", QStringLiteral("Einzelheiten der gewählten Zahlung"));
    m_candidateCount =
        named(new QLabel, "labelCandidateCount", QStringLiteral("Zahl der möglichen Zuordnungen"));
    m_candidates = ListWidgets::tableView("tableCandidates", QStringLiteral("Mögliche Zuordnungen"));
    m_candidates->setModel(m_candidateModel);
    m_candidates->setSelectionMode(QAbstractItemView::SingleSelection);
    m_candidates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_candidates->horizontalHeader()->setSectionResizeMode(CandidateModel::ItemsColumn, QHeaderView::Stretch);
    m_acceptCandidate = named(new QPushButton(QStringLiteral("Übe&rnehmen")), "buttonAcceptCandidate",
                              QStringLiteral("Gewählte Zuordnung übernehmen"));
    m_acceptAll = named(new QPushButton(QStringLiteral("A&lle eindeutigen übernehmen")), "buttonAcceptAll",
                        QStringLiteral("Alle eindeutigen übernehmen"));
    m_acceptAll->setToolTip(QStringLiteral("Die Posten jeder eindeutig zugeordneten Zahlung auf einmal "
                                           "ausgleichen; „Rückgängig“ nimmt es zurück"));
    m_assignSum = wrappingLabel("labelAssignSum", QStringLiteral("Summe der gewählten Posten"));
    m_assign = named(new QPushButton(QStringLiteral("Zu&ordnen")), "buttonAssign",
                     QStringLiteral("Gewählte Posten der Zahlung zuordnen"));
    m_assign->setToolTip(QStringLiteral("Die links markierten Posten der gewählten Zahlung zuordnen"));
}

QWidget* StatementPanel::buildOptions() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel(QStringLiteral("höchstens &Posten:"), m_maxItems), 0, 0);
    grid->addWidget(m_maxItems, 0, 1);
    grid->addWidget(buddyLabel(QStringLiteral("&Toleranz:"), m_tolerance), 0, 2);
    grid->addWidget(m_tolerance, 0, 3);
    grid->addWidget(buddyLabel(QStringLiteral("&Skonto (%):"), m_skonto), 0, 4);
    grid->addWidget(m_skonto, 0, 5);
    grid->addWidget(buddyLabel(QStringLiteral("&Zeitraum:"), m_days), 1, 0);
    grid->addWidget(m_days, 1, 1);
    grid->addWidget(buddyLabel(QStringLiteral("K&unden:"), m_customerColumn), 1, 2);
    grid->addWidget(m_customerColumn, 1, 3, 1, 3);
    auto* run = new QHBoxLayout;
    run->addWidget(m_match);
    run->addWidget(m_stop);
    run->addWidget(m_progress, 1);
    grid->addLayout(run, 2, 0, 1, 6);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    return box;
}

QWidget* StatementPanel::buildLegend(const QList<LegendEntry>& legend) {
    auto* box = named(new QWidget, "legendPayments", QStringLiteral("Farben der Zahlungen"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (const LegendEntry& entry : legend)
        row->addWidget(legendEntry(entry));
    row->addStretch();
    return box;
}

void StatementPanel::buildLayout() {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addWidget(m_payments, 3);
    layout->addWidget(m_summary);
    layout->addWidget(m_details);
    auto* candidatesHead = new QHBoxLayout;
    candidatesHead->addWidget(buddyLabel(QStringLiteral("&Mögliche Zuordnungen:"), m_candidates));
    candidatesHead->addWidget(m_candidateCount, 1);
    layout->addLayout(candidatesHead);
    layout->addWidget(m_candidates, 1);
    auto* decide = new QHBoxLayout;
    decide->addWidget(m_assignSum, 1);
    decide->addWidget(m_assign);
    decide->addWidget(m_acceptCandidate);
    decide->addWidget(m_acceptAll);
    layout->addLayout(decide);
}

void StatementPanel::connectControls() {
    connect(m_match, &QPushButton::clicked, this, &StatementPanel::matchRequested);
    connect(m_stop, &QPushButton::clicked, this, &StatementPanel::stopRequested);
    connect(m_filter, &QComboBox::currentIndexChanged, this,
            [this] { emit filterChosen(m_filter->currentData().toInt()); });
    connect(m_payments->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { emit paymentChosen(currentPayment()); });
    // A new list of payments resets the choice without a signal of the view.
    connect(m_paymentModel, &QAbstractItemModel::modelReset, this,
            [this] { emit paymentChosen(currentPayment()); });
    connect(m_candidates->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &StatementPanel::candidateChosen);
    connect(m_acceptCandidate, &QPushButton::clicked, this,
            [this] { emit acceptCandidateRequested(currentCandidate()); });
    connect(m_candidates, &QTableView::doubleClicked, this,
            [this] { emit acceptCandidateRequested(currentCandidate()); });
    connect(m_acceptAll, &QPushButton::clicked, this, &StatementPanel::acceptAllRequested);
    connect(m_assign, &QPushButton::clicked, this, &StatementPanel::assignRequested);
}

StatementInput::Fields StatementPanel::fields() const {
    return {m_maxItems->value(), m_tolerance->text(), m_skonto->text(), m_days->value(),
            m_customerColumn->currentData().toInt()};
}

void StatementPanel::showSettings(const MatchSettings& settings) {
    m_maxItems->setValue(settings.maxItems);
    m_tolerance->setText(settings.tolerance == Currency() ? QString()
                                                          : NumberText::formatAmount(settings.tolerance));
    m_skonto->setText(StatementInput::skontoText(settings.skontoPercents));
    m_days->setValue(settings.days);
    m_customerColumn->setCurrentIndex(std::max(m_customerColumn->findData(settings.customerColumn), 0));
}

void StatementPanel::setColumns(const QStringList& choices) {
    const int chosen = m_customerColumn->count() > 0 ? m_customerColumn->currentData().toInt() : -1;
    m_customerColumn->clear();
    m_customerColumn->addItem(QStringLiteral("automatisch"), -1);
    for (int i = 0; i < choices.size(); ++i)
        m_customerColumn->addItem(choices[i], i);
    m_customerColumn->setCurrentIndex(std::max(m_customerColumn->findData(chosen), 0));
}

int StatementPanel::currentPayment() const {
    const QModelIndex current = m_payments->currentIndex();
    return current.isValid() ? m_paymentModel->mapToSource(current).row() : -1;
}

int StatementPanel::currentCandidate() const {
    const QModelIndex current = m_candidates->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void StatementPanel::choosePayment(int payment) {
    const QModelIndex source = m_paymentModel->sourceModel()->index(payment, 0);
    const QModelIndex shown = m_paymentModel->mapFromSource(source);
    if (shown.isValid())
        m_payments->setCurrentIndex(shown);
}

void StatementPanel::setBusy(bool busy, bool canMatch) {
    m_match->setEnabled(!busy && canMatch);
    m_stop->setEnabled(busy);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_maxItems, m_tolerance, m_skonto, m_days, m_customerColumn})
        w->setEnabled(!busy);
}

void StatementPanel::setProgress(int permille) {
    m_progress->setValue(permille);
}

void StatementPanel::setDetails(const QString& text) {
    m_details->setText(text);
}

void StatementPanel::setAssignText(const QString& text) {
    m_assignSum->setText(text);
}

void StatementPanel::setCandidateCount(const QString& text) {
    m_candidateCount->setText(text);
}

void StatementPanel::setSummary(const QString& text) {
    m_summary->setText(text);
}

void StatementPanel::setDecisions(bool acceptCandidate, bool acceptAll, bool assign) {
    m_acceptCandidate->setEnabled(acceptCandidate);
    m_acceptAll->setEnabled(acceptAll);
    m_assign->setEnabled(assign);
}

QList<QWidget*> StatementPanel::tabStops() const {
    return {m_maxItems, m_tolerance, m_skonto,     m_days,   m_customerColumn,  m_match,    m_stop,
            m_filter,   m_payments,  m_candidates, m_assign, m_acceptCandidate, m_acceptAll};
}
