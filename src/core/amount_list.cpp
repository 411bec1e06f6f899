// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/amount_list.h"

namespace AmountList {

const QRegularExpression& separators() {
    static const QRegularExpression instance(QStringLiteral("[\\r\\n\\t;]"));
    return instance;
}

QStringList split(const QString& text) {
    QStringList amounts;
    for (const QString& piece : text.split(separators())) {
        const QString amount = piece.trimmed();
        if (!amount.isEmpty())
            amounts << amount;
    }
    return amounts;
}

} // namespace AmountList
