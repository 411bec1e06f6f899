// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/item_model.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/visible_text.h"

#include <QColor>
#include <QUndoCommand>

#include <algorithm>

namespace {
// Kalvon's hit colour.
constexpr QRgb HitGreen = 0xC0FFC0;
// Beyond this many separate blocks of rows, one reset is cheaper than a signal per block.
constexpr std::size_t MaxBlocks = 64;

// Ascending runs of consecutive numbers: [first, last] pairs.
template <class Positions> std::vector<std::pair<int, int>> blocks(const Positions& positions) {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : positions) {
        if (!out.empty() && out.back().second + 1 == p.first)
            out.back().second = p.first;
        else
            out.push_back({p.first, p.first});
    }
    return out;
}
} // namespace

class EditCommand : public QUndoCommand {
public:
    EditCommand(ItemModel* model, int row, Item before, Item after, const QString& text)
        : QUndoCommand(text)
        , m_model(model)
        , m_row(row)
        , m_before(std::move(before))
        , m_after(std::move(after)) {}
    void redo() override { m_model->applyItem(m_row, m_after); }
    void undo() override { m_model->applyItem(m_row, m_before); }

private:
    ItemModel* m_model;
    int m_row;
    Item m_before, m_after;
};

class SettleCommand : public QUndoCommand {
public:
    SettleCommand(ItemModel* model, std::vector<int> rows, QUndoCommand* parent = nullptr)
        : QUndoCommand(QStringLiteral("Ausgleichen"), parent)
        , m_model(model)
        , m_rows(std::move(rows)) {}
    void redo() override { m_model->applySettled(m_rows, true); }
    void undo() override { m_model->applySettled(m_rows, false); }

private:
    ItemModel* m_model;
    std::vector<int> m_rows;
};

using Placed = std::vector<std::pair<int, ItemModel::Entry>>;

class InsertCommand : public QUndoCommand {
public:
    InsertCommand(ItemModel* model, Placed entries)
        : QUndoCommand(QStringLiteral("Posten hinzufügen"))
        , m_model(model)
        , m_entries(std::move(entries)) {}
    void redo() override { m_model->applyInsert(m_entries); }
    void undo() override { m_model->applyRemove(m_entries); }

private:
    ItemModel* m_model;
    Placed m_entries;
};

class RemoveCommand : public QUndoCommand {
public:
    RemoveCommand(ItemModel* model, Placed entries)
        : QUndoCommand(QStringLiteral("Posten löschen"))
        , m_model(model)
        , m_entries(std::move(entries)) {}
    void redo() override { m_model->applyRemove(m_entries); }
    void undo() override { m_model->applyInsert(m_entries); }

private:
    ItemModel* m_model;
    Placed m_entries;
};

ItemModel::ItemModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void ItemModel::setItems(const ItemTable& table) {
    beginResetModel();
    m_undo.clear();
    m_entries.clear();
    m_source = ItemTable();
    m_source.format = table.format;
    m_source.sheet = table.sheet;
    m_source.amountColumn = table.amountColumn;
    m_source.amountHeader = table.amountHeader;
    m_source.labelColumns = table.labelColumns;
    m_source.labelHeaders = table.labelHeaders;
    m_source.hasHeader = table.hasHeader;
    m_source.headerRow = table.headerRow;
    m_source.customerNumberColumn = table.customerNumberColumn;
    m_source.customerNameColumn = table.customerNameColumn;
    m_source.ibanColumn = table.ibanColumn;
    m_source.dateColumn = table.dateColumn;
    m_source.debitCreditColumn = table.debitCreditColumn;
    m_entries.reserve(table.items.size());
    for (const Item& item : table.items)
        m_entries.push_back({item, false});
    m_highlighted.clear();
    m_settled = 0;
    m_labelHeader = VisibleText::escaped(table.labelHeaders.join(QStringLiteral(" / ")).trimmed());
    m_amountHeader = VisibleText::escaped(table.amountHeader.trimmed());
    // A new item takes no number that a row of the source had, not even a left-out sum row's.
    m_firstFreeRow = 1;
    for (const Item& item : table.items)
        m_firstFreeRow = std::max(m_firstFreeRow, item.row + 1);
    for (const Item& sum : table.sumRows)
        m_firstFreeRow = std::max(m_firstFreeRow, sum.row + 1);
    if (table.totalRow)
        m_firstFreeRow = std::max(m_firstFreeRow, table.totalRow->row + 1);
    endResetModel();
    emit listReplaced();
    emit listChanged();
}

std::vector<int> ItemModel::searchableRows() const {
    std::vector<int> rows;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_entries[i].settled && m_entries[i].item.amount.count() != 0)
            rows.push_back(int(i));
    }
    return rows;
}

QString ItemModel::itemName(int row) const {
    const Item& it = item(row);
    return it.label.isEmpty() ? QStringLiteral("Zeile %1").arg(it.row) : VisibleText::escaped(it.label);
}

void ItemModel::setHighlighted(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    std::swap(rows, m_highlighted);
    for (const std::vector<int>* list : {&rows, &m_highlighted}) {
        for (const int row : *list) {
            if (row >= 0 && row < itemCount())
                changeRows(row, row);
        }
    }
}

void ItemModel::settle(const std::vector<int>& rows) {
    std::vector<int> open;
    for (const int row : rows) {
        if (row >= 0 && row < itemCount() && !isSettled(row))
            open.push_back(row);
    }
    if (!m_locked && !open.empty())
        m_undo.push(new SettleCommand(this, std::move(open)));
}

bool ItemModel::addSettle(const std::vector<int>& rows, QUndoCommand* parent) {
    std::vector<int> open;
    for (const int row : rows) {
        if (row >= 0 && row < itemCount() && !isSettled(row))
            open.push_back(row);
    }
    if (m_locked || open.empty())
        return false;
    new SettleCommand(this, std::move(open), parent);
    return true;
}

int ItemModel::addItem() {
    if (m_locked)
        return -1;
    int next = m_firstFreeRow;
    for (const Entry& e : m_entries)
        next = std::max(next, e.item.row + 1);
    const int row = itemCount();
    m_undo.push(new InsertCommand(this, {{row, Entry{Item{Currency(), next, QString()}, false}}}));
    return row;
}

void ItemModel::removeItems(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    Placed entries;
    for (const int row : rows) {
        if (row >= 0 && row < itemCount())
            entries.push_back({row, m_entries[std::size_t(row)]});
    }
    if (!m_locked && !entries.empty())
        m_undo.push(new RemoveCommand(this, std::move(entries)));
}

int ItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : itemCount();
}

int ItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= itemCount())
        return {};
    const Entry& e = m_entries[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case RowColumn:
            return QString::number(e.item.row);
        case LabelColumn: // shown with its control characters escaped, edited as it is
            return role == Qt::DisplayRole ? VisibleText::escaped(e.item.label) : e.item.label;
        case AmountColumn:
            return NumberText::formatAmount(e.item.amount);
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() != LabelColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::BackgroundRole:
        if (std::binary_search(m_highlighted.begin(), m_highlighted.end(), index.row()))
            return QColor::fromRgb(HitGreen);
        break;
    case Qt::ForegroundRole:
        if (e.settled)
            return QColor(Qt::gray);
        break;
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (e.settled)
            return QStringLiteral("ausgeglichen");
        if (std::binary_search(m_highlighted.begin(), m_highlighted.end(), index.row()))
            return QStringLiteral("im gewählten Treffer");
        break;
    }
    return {};
}

QVariant ItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case RowColumn:
        return QStringLiteral("Zeile");
    case LabelColumn:
        return m_labelHeader.isEmpty() ? QStringLiteral("Bezeichnung") : m_labelHeader;
    case AmountColumn:
        return m_amountHeader.isEmpty() ? QStringLiteral("Betrag") : m_amountHeader;
    }
    return {};
}

Qt::ItemFlags ItemModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != RowColumn && !m_locked && !isSettled(index.row()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const Item& before = item(index.row());
    Item after = before;
    if (index.column() == LabelColumn) {
        after.label = value.toString();
        if (after.label == before.label)
            return true;
        m_undo.push(new EditCommand(this, index.row(), before, after, QStringLiteral("Bezeichnung ändern")));
        return true;
    }
    const QString text = value.toString();
    try {
        after.amount = NumberText::toAmount(text);
    } catch (KalvonError& e) {
        if (e.subject().isEmpty())
            e.setSubject(QStringLiteral("Der Betrag in Zeile %1").arg(before.row));
        emit amountRefused(QStringLiteral("%1\nDer bisherige Betrag %2 bleibt stehen.")
                               .arg(e.userMessage(), NumberText::formatAmount(before.amount)));
        return false;
    }
    if (after.amount != before.amount)
        m_undo.push(new EditCommand(this, index.row(), before, after, QStringLiteral("Betrag ändern")));
    return true;
}

void ItemModel::applyItem(int row, const Item& item) {
    const bool amountChanged = item.amount != m_entries[std::size_t(row)].item.amount;
    m_entries[std::size_t(row)].item = item;
    changeRows(row, row);
    if (amountChanged)
        emit listChanged();
}

void ItemModel::applySettled(const std::vector<int>& rows, bool settled) {
    for (const int row : rows) {
        m_entries[std::size_t(row)].settled = settled;
        m_settled += settled ? 1 : -1;
    }
    for (const int row : rows)
        changeRows(row, row);
    emit listChanged();
}

void ItemModel::applyInsert(const Placed& entries) {
    m_highlighted.clear();
    for (const auto& placed : entries)
        m_settled += placed.second.settled ? 1 : 0;
    const auto runs = blocks(entries);
    if (runs.size() > MaxBlocks) {
        // One pass: each entry goes to its place in the list as it will be.
        beginResetModel();
        std::vector<Entry> merged;
        merged.reserve(m_entries.size() + entries.size());
        auto next = entries.begin();
        for (Entry& e : m_entries) {
            for (; next != entries.end() && next->first == int(merged.size()); ++next)
                merged.push_back(next->second);
            merged.push_back(std::move(e));
        }
        for (; next != entries.end(); ++next)
            merged.push_back(next->second);
        m_entries = std::move(merged);
        endResetModel();
    } else {
        auto next = entries.begin();
        for (const auto& [first, last] : runs) {
            beginInsertRows({}, first, last);
            for (int row = first; row <= last; ++row, ++next)
                m_entries.insert(m_entries.begin() + row, next->second);
            endInsertRows();
        }
    }
    emit listChanged();
}

void ItemModel::applyRemove(const Placed& entries) {
    m_highlighted.clear();
    for (const auto& placed : entries)
        m_settled -= m_entries[std::size_t(placed.first)].settled ? 1 : 0;
    const auto runs = blocks(entries);
    if (runs.size() > MaxBlocks) {
        beginResetModel();
        std::vector<Entry> kept;
        kept.reserve(m_entries.size() - entries.size());
        auto next = entries.begin();
        for (std::size_t row = 0; row < m_entries.size(); ++row) {
            if (next != entries.end() && next->first == int(row))
                ++next;
            else
                kept.push_back(std::move(m_entries[row]));
        }
        m_entries = std::move(kept);
        endResetModel();
    } else {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            m_entries.erase(m_entries.begin() + run->first, m_entries.begin() + run->second + 1);
            endRemoveRows();
        }
    }
    emit listChanged();
}

void ItemModel::changeRows(int first, int last) {
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}
