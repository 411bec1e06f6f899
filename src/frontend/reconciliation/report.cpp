// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report.h"

namespace Abgleich {

std::vector<int> Report::settledBy() const {
    std::vector<int> settled(openItems.size(), 0);
    for (const PaymentResult& payment : payments) {
        // A partial payment leaves its items open, with the remainder.
        if (payment.status != Status::Matched)
            continue;
        for (const int item : payment.items)
            settled[std::size_t(item)] = payment.entry;
    }
    return settled;
}

Summary Report::summary() const {
    Summary s;
    s.payments = int(payments.size());
    for (const PaymentResult& payment : payments) {
        switch (payment.status) {
        case Status::Matched:
            ++s.matched;
            s.skonto += payment.skontoPercent.has_value();
            break;
        case Status::Partial:
            ++s.partial;
            break;
        case Status::Ambiguous:
            ++s.ambiguous;
            break;
        case Status::Unmatched:
            ++s.unmatched;
            break;
        case Status::LeftOut:
            ++s.leftOut;
            break;
        }
    }
    s.openItems = int(openItems.size());
    for (const int entry : settledBy())
        s.openLeft += entry == 0;
    return s;
}

bool Report::anyMatched() const {
    const Summary s = summary();
    return s.matched + s.partial > 0;
}

} // namespace Abgleich
