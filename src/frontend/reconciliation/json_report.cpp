// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report_writer.h"

#include "frontend/json_text.h"

#include <QStringList>

namespace Abgleich {
namespace {

QString amount(Currency value) {
    return JsonText::amount(value);
}

QString optionalAmount(const std::optional<Currency>& value) {
    return value ? amount(*value) : QStringLiteral("null");
}

// A percentage as plain text without trailing zeros: "2", "1.5".
QString percent(Currency value) {
    QString text = amount(value).mid(1).chopped(1);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString string(const QString& text) {
    return JsonText::string(text);
}

QString optionalString(const QString& text) {
    return text.isEmpty() ? QStringLiteral("null") : string(text);
}

QString rows(const Report& report, const ItemSet& items) {
    QStringList list;
    for (const int index : items)
        list << QString::number(report.openItems[std::size_t(index)].row);
    return QLatin1Char('[') + list.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString statusKey(Status status) {
    static const char* const keys[] = {"matched", "partial", "ambiguous", "unmatched", "left-out"};
    return QLatin1Char('"') + QLatin1String(keys[int(status)]) + QLatin1Char('"');
}

QString basisKey(Basis basis) {
    return basis == Basis::Reference ? QStringLiteral("\"reference\"")
           : basis == Basis::Amount  ? QStringLiteral("\"amount\"")
                                     : QStringLiteral("null");
}

QString payment(const Report& report, const PaymentResult& p) {
    QStringList candidates;
    for (const ItemSet& set : p.candidates)
        candidates << rows(report, set);
    return QStringLiteral("{\"entry\": %1, \"date\": %2, \"amount\": %3, \"payer\": %4, \"text\": %5, "
                          "\"status\": %6, \"basis\": %7, \"items\": %8, \"skonto_percent\": %9, ")
               .arg(QString::number(p.entry),
                    p.date.isValid() ? string(p.date.toString(Qt::ISODate)) : QStringLiteral("null"),
                    amount(p.amount), string(p.payer), string(p.text), statusKey(p.status), basisKey(p.basis),
                    rows(report, p.items),
                    p.skontoPercent ? percent(*p.skontoPercent) : QStringLiteral("null")) +
           QStringLiteral("\"discount\": %1, \"difference\": %2, \"remainder\": %3, \"alternatives\": %4, "
                          "\"candidates\": [%5]}")
               .arg(optionalAmount(p.discount), amount(p.difference), optionalAmount(p.remainder),
                    QString::fromStdString(p.alternatives.get_str()), candidates.join(QStringLiteral(", ")));
}

QString source(const Source& s) {
    return QStringLiteral("{\"statement\": {\"file\": %1, \"format\": %2, \"currency\": %3}, "
                          "\"open_items\": {\"file\": %4, \"amount_column\": %5, \"invoice_column\": %6, "
                          "\"customer_column\": %7, \"date_column\": %8}}")
        .arg(string(s.statementFile), optionalString(s.statementFormat), optionalString(s.currency),
             string(s.itemsFile), optionalString(s.amountHeader), optionalString(s.invoiceHeader),
             optionalString(s.customerHeader), optionalString(s.dateHeader));
}

QString openItems(const Report& report) {
    QStringList settled, open;
    const std::vector<int> settledBy = report.settledBy();
    for (std::size_t i = 0; i < report.openItems.size(); ++i)
        (settledBy[i] ? settled : open) << QString::number(report.openItems[i].row);
    return QStringLiteral("{\"settled\": [%1], \"open\": [%2]}")
        .arg(settled.join(QStringLiteral(", ")), open.join(QStringLiteral(", ")));
}

QString summary(const Summary& s) {
    return QStringLiteral(
               "{\"payments\": %1, \"matched\": %2, \"skonto\": %3, \"partial\": %4, \"ambiguous\": %5, "
               "\"unmatched\": %6, \"left_out\": %7, \"open_items\": %8, \"open_items_left\": %9}")
        .arg(s.payments)
        .arg(s.matched)
        .arg(s.skonto)
        .arg(s.partial)
        .arg(s.ambiguous)
        .arg(s.unmatched)
        .arg(s.leftOut)
        .arg(s.openItems)
        .arg(s.openLeft);
}

} // namespace

QString jsonReport(const Report& report) {
    QStringList payments;
    for (const PaymentResult& p : report.payments)
        payments << QStringLiteral("\n  ") + payment(report, p);
    return QStringLiteral("{\"source\": %1,\n\"payments\": [%2%3],\n\"open_items\": %4,\n\"summary\": %5}\n")
        .arg(source(report.source), payments.join(QLatin1Char(',')),
             payments.isEmpty() ? QString() : QStringLiteral("\n"), openItems(report),
             summary(report.summary()));
}

} // namespace Abgleich
