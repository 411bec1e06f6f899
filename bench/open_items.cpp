// SPDX-License-Identifier: GPL-3.0-or-later
#include "open_items.h"

Invoice openItem(int i) {
    return {QStringLiteral("RE-2026-%1").arg(100000 + i), QDate(2026, 1, 1).addDays(i % 365),
            QStringLiteral("Kunde %1 GmbH").arg(i % 613), qint64(i) * 7919 % 10000000};
}
