// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "liste/search_controller.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

class ItemModel;

// The listed hits of the last search: number, items, sum and difference from the target. The
// hits name rows of the item list; when the list changes they no longer fit it and are cleared.
class HitModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NumberColumn, ItemsColumn, SumColumn, DifferenceColumn, ColumnCount };

    explicit HitModel(const ItemModel* items, QObject* parent = nullptr);

    void clear();
    void append(const HitBatch& hits);
    int hitCount() const { return int(m_hits.size()); }
    const ListedHit& hit(int number) const { return m_hits[std::size_t(number)]; }

    // A hit's items as rows for a spreadsheet: row, label and amount as the list shows it ("1.924,80"),
    // separated by tabs.
    QString clipboardText(int number) const;
    // Every listed hit as kalvon-find's --csv writes them.
    QByteArray csv() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ItemModel* m_items;
    std::vector<ListedHit> m_hits;
};
