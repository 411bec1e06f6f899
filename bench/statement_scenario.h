// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A statement of `payments` payments against `items` open items of `customers` customers (0: the
// items name no customer, and the payments pay 1 to 4 items by amount only). With customers, a
// third of the payments names its invoices, a third pays with 2 % Skonto, the rest pays 1 to 3
// invoices of its customer by amount.
// Both are written into folder.
struct StatementScenario {
    QString statement, items;

    StatementScenario(const QString& folder, int payments, int items, int customers);
};
