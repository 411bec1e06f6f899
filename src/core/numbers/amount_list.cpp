// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/amount_list.h"

namespace AmountList {

const QRegularExpression& separators() {
    static const QRegularExpression instance(QStringLiteral("[\\r\\n\\t;]"));
    return instance;
}

void forEachAmount(QStringView text, const std::function<bool(QStringView amount, qint64 line)>& piece) {
    qint64 line = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text[i] : QChar(u'\n');
        if (c != u'\n' && c != u'\r' && c != u'\t' && c != u';')
            continue;
        const QStringView amount = text.mid(start, i - start).trimmed();
        if (!amount.isEmpty() && !piece(amount, line))
            return;
        if (c == u'\n' || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')))
            ++line;
        start = i + 1;
    }
}

QStringList split(const QString& text) {
    QStringList amounts;
    forEachAmount(text, [&](QStringView amount, qint64) {
        amounts << amount.toString();
        return true;
    });
    return amounts;
}

} // namespace AmountList
