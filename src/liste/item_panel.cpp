// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/item_panel.h"

#include "liste/item_model.h"
#include "liste/list_widgets.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

ItemPanel::ItemPanel(ItemModel* items, QAction* addItem, QAction* removeItems, QWidget* parent)
    : QGroupBox(QStringLiteral("Posten"), parent)
    , m_items(items)
    , m_view(ListWidgets::tableView("tableItems", QStringLiteral("Posten"))) {
    m_view->setModel(items);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    // The label takes the room there is; row and amount keep their widths.
    m_view->horizontalHeader()->resizeSection(ItemModel::RowColumn, 70);
    m_view->horizontalHeader()->resizeSection(ItemModel::AmountColumn, 120);
    m_view->horizontalHeader()->setSectionResizeMode(ItemModel::LabelColumn, QHeaderView::Stretch);
    // Adding and deleting items: keys in the table, and its context menu.
    for (QAction* a : {addItem, removeItems}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_view->addAction(a);
    }
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
}

void ItemPanel::addItem() {
    const int row = m_items->addItem();
    if (row < 0)
        return;
    const QModelIndex amount = m_items->index(row, ItemModel::AmountColumn);
    m_view->setCurrentIndex(amount);
    m_view->setFocus();
    m_view->edit(amount);
}

void ItemPanel::removeSelected() {
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows.push_back(index.row());
    m_items->removeItems(rows);
}

void ItemPanel::showRow(int row) {
    m_view->scrollTo(m_items->index(row, ItemModel::AmountColumn), QAbstractItemView::PositionAtCenter);
}

void ItemPanel::finishEditing() {
    // The editor hands its text over as it loses the focus.
    if (const QWidget* editor = QApplication::focusWidget(); editor && m_view->isAncestorOf(editor))
        m_view->setFocus();
}

void ItemPanel::showNewList() {
    m_view->resizeColumnToContents(ItemModel::AmountColumn);
    m_view->scrollToTop();
}
