// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/hit_panel.h"

#include "liste/hit_model.h"
#include "liste/list_widgets.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using ListWidgets::named;

HitPanel::HitPanel(HitModel* hits, QAction* settle, QWidget* parent)
    : QGroupBox(QStringLiteral("Treffer"), parent)
    , m_hits(hits)
    , m_view(ListWidgets::tableView("tableHits", QStringLiteral("Treffer")))
    , m_totalLabel(named(new QLabel, "labelTotal", QStringLiteral("Zahl der Treffer")))
    , m_settleButton(named(new QPushButton(QStringLiteral("A&usgleichen")), "buttonSettle",
                           QStringLiteral("Ausgleichen"))) {
    m_view->setModel(hits);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->horizontalHeader()->resizeSection(HitModel::NumberColumn, 60);
    m_view->horizontalHeader()->resizeSection(HitModel::SumColumn, 110);
    m_view->horizontalHeader()->resizeSection(HitModel::DifferenceColumn, 90);
    m_view->horizontalHeader()->setSectionResizeMode(HitModel::ItemsColumn, QHeaderView::Stretch);
    m_totalLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_settleButton->setToolTip(
        QStringLiteral("Die Posten des gewählten Treffers als ausgeglichen markieren"));
    connect(m_settleButton, &QPushButton::clicked, settle, &QAction::trigger);
    connect(settle, &QAction::enabledChanged, m_settleButton, &QPushButton::setEnabled);
    m_settleButton->setEnabled(settle->isEnabled());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    auto* foot = new QHBoxLayout;
    foot->addWidget(m_totalLabel, 1);
    foot->addWidget(m_settleButton);
    layout->addLayout(foot);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { emit hitChosen(currentHit()); });
    // A cleared hit list resets its selection without a signal: no hit is chosen any more.
    connect(hits, &QAbstractItemModel::modelReset, this, [this] { emit hitChosen(-1); });
}

int HitPanel::currentHit() const {
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() && current.row() < m_hits->hitCount() ? current.row() : -1;
}

void HitPanel::chooseFirst() {
    if (m_hits->hitCount() > 0 && !m_view->currentIndex().isValid())
        m_view->setCurrentIndex(m_hits->index(0, HitModel::ItemsColumn));
}

void HitPanel::setTotalText(const QString& text) {
    m_totalLabel->setText(text);
}
