// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report_writer.h"

#include "core/numbers/number_text.h"
#include "frontend/hit_csv.h"

#include <QLocale>

namespace Abgleich {
namespace {

QString optional(const std::optional<Currency>& value) {
    return value ? HitCsv::amount(*value) : QString();
}

// The line of a payment for one of its items (or none): the payment's fields, then the item's.
QByteArray line(const PaymentResult& p, const QString& option, const OpenItem* item) {
    const bool assigned = p.status == Status::Matched || p.status == Status::Partial;
    return HitCsv::line(
        {QString::number(p.entry), regionalDate(p.date), HitCsv::field(p.payer), HitCsv::amount(p.amount),
         HitCsv::field(statusText(p)), option, item ? QString::number(item->row) : QString(),
         item ? HitCsv::field(item->invoice) : QString(), item ? HitCsv::amount(item->amount) : QString(),
         p.skontoPercent ? NumberText::currencyText(*p.skontoPercent) : QString(), optional(p.discount),
         assigned ? HitCsv::amount(p.difference) : QString(), optional(p.remainder), basisText(p.basis),
         HitCsv::field(p.text)});
}

} // namespace

// One table for scripts and spreadsheets: a line per item of each payment, a payment without
// items on one line; an ambiguous payment lists its candidate sets, numbered under "Möglichkeit".
QByteArray csvReport(const Report& report) {
    QByteArray csv =
        QByteArrayLiteral("\xEF\xBB\xBF") +
        HitCsv::line({QStringLiteral("Buchung"), QStringLiteral("Datum"), QStringLiteral("Zahler"),
                      QStringLiteral("Betrag"), QStringLiteral("Status"), QStringLiteral("Möglichkeit"),
                      QStringLiteral("Zeile"), QStringLiteral("Belegnr"), QStringLiteral("Postenbetrag"),
                      QStringLiteral("Skonto %"), QStringLiteral("Skonto"), QStringLiteral("Differenz"),
                      QStringLiteral("Rest"), QStringLiteral("Grundlage"),
                      QStringLiteral("Verwendungszweck")});
    for (const PaymentResult& p : report.payments) {
        const bool assigned = p.status == Status::Matched || p.status == Status::Partial;
        if (assigned && !p.items.empty()) {
            for (const int index : p.items)
                csv += line(p, QString(), &report.openItems[std::size_t(index)]);
        } else if (p.status == Status::Ambiguous && !p.candidates.empty()) {
            for (std::size_t set = 0; set < p.candidates.size(); ++set) {
                for (const int index : p.candidates[set])
                    csv += line(p, QString::number(set + 1), &report.openItems[std::size_t(index)]);
            }
        } else {
            csv += line(p, QString(), nullptr);
        }
    }
    return csv;
}

} // namespace Abgleich
