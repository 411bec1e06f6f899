// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "liste/reconciliation_controller.h"

#include <QString>

// The matching's options as the statement panel's fields hold them, read into MatchSettings. The
// amounts and rates are written in the regional format; a field that cannot be read throws
// KalvonError naming the field.
namespace StatementInput {

struct Fields {
    int maxItems = 4;
    QString tolerance; // an amount; empty: 0
    QString skonto;    // rates in percent separated by ';' ("2; 3", "1,5; 3"); empty or "0": none
    int days = 180;
    int customerColumn = -1; // 0-based; -1: the customer columns as the list was read
};

MatchSettings read(const Fields& fields);
// The rates as the Skonto field shows them: "2; 3".
QString skontoText(const std::vector<Currency>& rates);

} // namespace StatementInput
