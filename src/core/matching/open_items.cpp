// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/open_items.h"

#include <algorithm>

namespace Matching {

namespace {

// Who an item belongs to: its customer number, else its customer name, else its IBAN.
QString customerKey(const Item& item) {
    if (const QString number = MatchText::referenceKey(item.customerNumber); !number.isEmpty())
        return u'#' + number;
    if (const QString name = MatchText::nameKey(item.customerName); !name.isEmpty())
        return u'@' + name;
    if (const QString iban = MatchText::ibanKey(item.iban); !iban.isEmpty())
        return u'$' + iban;
    return {};
}

void addOnce(QHash<QString, std::vector<int>>& index, const QString& key, int id) {
    if (key.isEmpty())
        return;
    auto& ids = index[key];
    if (std::find(ids.begin(), ids.end(), id) == ids.end())
        ids.push_back(id);
}

void addUnique(std::vector<int>& to, const std::vector<int>& ids) {
    to.insert(to.end(), ids.begin(), ids.end());
    std::sort(to.begin(), to.end());
    to.erase(std::unique(to.begin(), to.end()), to.end());
}

} // namespace

OpenItems::OpenItems(const std::vector<Item>& items)
    : m_items(items) {
    QHash<QString, int> invoiceGroup, customer;
    for (int i = 0; i < int(items.size()); ++i) {
        const Item& item = items[i];
        if (const QString key = MatchText::referenceKey(item.invoice); !key.isEmpty()) {
            auto it = invoiceGroup.constFind(key);
            if (it == invoiceGroup.constEnd()) {
                it = invoiceGroup.insert(key, int(m_invoiceGroups.size()));
                m_invoiceGroups.emplace_back();
                m_invoices.add(key, *it);
            }
            m_invoiceGroups[*it].push_back(i);
        }
        const QString key = customerKey(item);
        if (key.isEmpty())
            continue;
        auto it = customer.constFind(key);
        if (it == customer.constEnd()) {
            it = customer.insert(key, int(m_customerItems.size()));
            m_customerItems.emplace_back();
            m_customerNumbers.add(MatchText::referenceKey(item.customerNumber), *it);
        }
        m_customerItems[*it].push_back(i);
        addOnce(m_customersByName, MatchText::nameKey(item.customerName), *it);
        addOnce(m_customersByIban, MatchText::ibanKey(item.iban), *it);
    }
}

std::vector<std::vector<int>> OpenItems::referencedItems(const Payment& payment) const {
    std::vector<int> groups = m_invoices.find(payment.text);
    addUnique(groups, m_invoices.find(payment.endToEndId));
    std::vector<std::vector<int>> result;
    for (const int g : groups)
        result.push_back(m_invoiceGroups[g]);
    return result;
}

std::vector<int> OpenItems::customersOf(const Payment& payment, CustomerBy& by) const {
    std::vector<int> customers = m_customerNumbers.find(payment.text);
    addUnique(customers, m_customerNumbers.find(payment.endToEndId));
    by = CustomerBy::Number;
    if (customers.empty()) {
        customers = m_customersByName.value(MatchText::nameKey(payment.payerName));
        by = CustomerBy::Name;
    }
    if (customers.empty()) {
        customers = m_customersByIban.value(MatchText::ibanKey(payment.payerIban));
        by = CustomerBy::Iban;
    }
    if (customers.empty())
        by = CustomerBy::None;
    std::sort(customers.begin(), customers.end());
    return customers;
}

std::vector<int> OpenItems::itemsOf(const std::vector<int>& customers) const {
    std::vector<int> result;
    if (customers.empty()) {
        result.resize(m_items.size());
        for (int i = 0; i < int(result.size()); ++i)
            result[i] = i;
        return result;
    }
    for (const int c : customers)
        result.insert(result.end(), m_customerItems[c].begin(), m_customerItems[c].end());
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<DuplicateInvoice> OpenItems::duplicates() const {
    std::vector<DuplicateInvoice> result;
    for (const auto& group : m_invoiceGroups) {
        if (group.size() < 2)
            continue;
        DuplicateInvoice d{m_items[group.front()].invoice, {}};
        for (const int i : group)
            d.rows.push_back(m_items[i].row);
        std::sort(d.rows.begin(), d.rows.end());
        result.push_back(d);
    }
    return result;
}

} // namespace Matching
