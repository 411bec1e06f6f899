// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"

#include <QAbstractTableModel>
#include <QUndoStack>

#include <vector>

// The list of items as the window shows it: row, label and amount, each item open or settled.
// Every change the user makes (an amount or label edited, items added, deleted or settled) goes
// through the undo stack, so each can be taken back in order.
class ItemModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { RowColumn, LabelColumn, AmountColumn, ColumnCount };
    struct Entry {
        Item item;
        bool settled = false;
    };

    explicit ItemModel(QObject* parent = nullptr);

    // A new list: replaces every item and forgets the history, the marks and the hit colours.
    void setItems(const ItemTable& table);
    // The table the list was read from without its items: sheet, columns and their headers.
    const ItemTable& source() const { return m_source; }
    int itemCount() const { return int(m_entries.size()); }
    const Item& item(int row) const { return m_entries[std::size_t(row)].item; }
    bool isSettled(int row) const { return m_entries[std::size_t(row)].settled; }
    int settledCount() const { return m_settled; }
    // The rows that take part in a search: open, with an amount other than zero.
    std::vector<int> searchableRows() const;
    // A row as messages and the hit list name it: its label, control characters escaped, or
    // "Zeile N" without one.
    QString itemName(int row) const;

    // The rows shown in the hit colour; an empty list clears it.
    void setHighlighted(std::vector<int> rows);
    const std::vector<int>& highlighted() const { return m_highlighted; }

    // Changes by the user, each one step of the undo stack.
    void settle(const std::vector<int>& rows);
    // The settling of these rows as part of a larger step: a child of parent, which the caller
    // pushes. False when none of them is open or the list is locked.
    bool addSettle(const std::vector<int>& rows, QUndoCommand* parent);
    int addItem(); // returns the new item's row
    void removeItems(std::vector<int> rows);
    QUndoStack* undoStack() { return &m_undo; }

    // While a search runs nothing may change the list.
    void setLocked(bool locked) { m_locked = locked; }
    bool isLocked() const { return m_locked; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An amount that is no valid number is refused: the old one stays, amountRefused names the text.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // setItems put a new list in place (a reset of the model may also come from many rows
    // inserted or removed at once).
    void listReplaced();
    // The amounts or the settled marks changed: hits found before no longer fit the list.
    void listChanged();
    void amountRefused(const QString& message);

private:
    friend class EditCommand;
    friend class SettleCommand;
    friend class InsertCommand;
    friend class RemoveCommand;

    void applyItem(int row, const Item& item);
    void applySettled(const std::vector<int>& rows, bool settled);
    void applyInsert(const std::vector<std::pair<int, Entry>>& entries);
    void applyRemove(const std::vector<std::pair<int, Entry>>& entries);
    void changeRows(int first, int last);

    std::vector<Entry> m_entries;
    ItemTable m_source;
    std::vector<int> m_highlighted; // ascending
    int m_settled = 0;
    QString m_labelHeader;
    QString m_amountHeader;
    int m_firstFreeRow = 1; // after every row the table was read from, its total row included
    QUndoStack m_undo;
    bool m_locked = false;
};
