// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/hit_csv.h"

#include <QLocale>
#include <QStringList>

namespace HitCsv {

QChar delimiter() {
    return QLocale().decimalPoint() == QLatin1String(",") ? QLatin1Char(';') : QLatin1Char(',');
}

// A field as a spreadsheet reads it back: quoted when it holds the delimiter, a quote or a line
// break; a text that a spreadsheet would take for a formula starts with an apostrophe.
QString field(QString text) {
    static const QString formulaStart = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStart.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(delimiter()) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')) ||
        text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return text;
}

// An amount without group separators, with two decimals, more where the amount has them.
QString amount(Currency value) {
    const QLocale locale;
    const quint64 magnitude = value.magnitude();
    QString decimals =
        QString::number(magnitude % quint64(Currency::Scale)).rightJustified(4, QLatin1Char('0'));
    while (decimals.size() > 2 && decimals.endsWith(QLatin1Char('0')))
        decimals.chop(1);
    return (value.count() < 0 ? QStringLiteral("-") : QString()) +
           QString::number(magnitude / quint64(Currency::Scale)) + locale.decimalPoint() + decimals;
}

QByteArray line(const QStringList& fields) {
    return (fields.join(delimiter()) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray header() {
    return QByteArrayLiteral("\xEF\xBB\xBF") +
           line({QStringLiteral("Treffer"), QStringLiteral("Zeile"), QStringLiteral("Bezeichnung"),
                 QStringLiteral("Betrag"), QStringLiteral("Summe")});
}

QByteArray hitLines(quint64 number, std::span<const Item* const> items, Currency sum) {
    QByteArray lines;
    for (const Item* item : items) {
        lines += line({QString::number(number), QString::number(item->row), field(item->label),
                       amount(item->amount), amount(sum)});
    }
    return lines;
}

} // namespace HitCsv
