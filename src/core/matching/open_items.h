// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/match_text.h"
#include "core/matching/matcher.h"

#include <QHash>
#include <QString>

#include <vector>

namespace Matching {

// The open items as payments look them up: by invoice number, by customer number, name or IBAN.
// Items are identified by their index in the list given.
class OpenItems {
public:
    explicit OpenItems(const std::vector<Item>& items);

    const std::vector<Item>& items() const { return m_items; }
    // Items whose invoice number the text names, grouped by invoice number (a group holds more
    // than one item where the number is on several rows), groups in order of their first item.
    std::vector<std::vector<int>> referencedItems(const Payment& payment) const;
    // The customers a payment comes from, and how they were recognised; none: all items.
    std::vector<int> customersOf(const Payment& payment, CustomerBy& by) const;
    // The items of these customers, or every item when there are none, ascending.
    std::vector<int> itemsOf(const std::vector<int>& customers) const;
    std::vector<DuplicateInvoice> duplicates() const;

private:
    const std::vector<Item>& m_items;
    MatchText::KeyFinder m_invoices; // id: invoice group
    std::vector<std::vector<int>> m_invoiceGroups;
    MatchText::KeyFinder m_customerNumbers; // id: customer
    QHash<QString, std::vector<int>> m_customersByName, m_customersByIban;
    std::vector<std::vector<int>> m_customerItems;
};

} // namespace Matching
