// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

#include <vector>

class ItemModel;
class QAction;
class QTableView;

// The group "Posten": the item list, where amounts and labels are edited, added and deleted.
class ItemPanel : public QGroupBox {
    Q_OBJECT

public:
    // addItem, removeItems: the actions that the table's keys and context menu offer.
    ItemPanel(ItemModel* items, QAction* addItem, QAction* removeItems, QWidget* parent = nullptr);

    QTableView* view() const { return m_view; }
    // Adds an item and opens its amount for typing.
    void addItem();
    void removeSelected();
    // Scrolls the item in this row into the middle of the view.
    void showRow(int row);
    // An amount still being typed is handed over to the list.
    void finishEditing();
    // A new list: the amount column as wide as its amounts, the view at the top.
    void showNewList();

private:
    ItemModel* m_items;
    QTableView* m_view;
};
