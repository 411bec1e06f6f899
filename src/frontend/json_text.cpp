// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/json_text.h"

namespace JsonText {

QString amount(Currency value) {
    const quint64 magnitude = value.magnitude();
    return QStringLiteral("\"%1%2.%3\"")
        .arg(value.count() < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / quint64(Currency::Scale))
        .arg(magnitude % quint64(Currency::Scale), 4, 10, QLatin1Char('0'));
}

QString string(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

} // namespace JsonText
