// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report_writer.h"

#include "core/numbers/number_text.h"

#include <QLocale>
#include <QStringList>

namespace Abgleich {
namespace {

QString count(int n, const char* one, const char* many) {
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(QLocale().toString(n));
}

QString summaryLine(const Summary& s) {
    QStringList parts;
    parts << QStringLiteral("%1 gelesen").arg(QLocale().toString(s.payments));
    parts << QStringLiteral("%1 zugeordnet, davon %2 mit Skonto")
                 .arg(QLocale().toString(s.matched), QLocale().toString(s.skonto));
    parts << count(s.partial, "1 Teilzahlung", "%1 Teilzahlungen");
    parts << QStringLiteral("%1 mehrdeutig").arg(QLocale().toString(s.ambiguous));
    parts << QStringLiteral("%1 nicht zugeordnet").arg(QLocale().toString(s.unmatched));
    parts << QStringLiteral("%1 ausgelassen").arg(QLocale().toString(s.leftOut));
    return QStringLiteral("Zahlungen: %1; offene Posten: %2 von %3 bleiben offen.\n")
        .arg(parts.join(QStringLiteral(", ")), QLocale().toString(s.openLeft),
             QLocale().toString(s.openItems));
}

QString sourceLine(const Source& source, int items) {
    QString statement = source.statementFormat;
    if (!source.currency.isEmpty())
        statement += (statement.isEmpty() ? QString() : QStringLiteral(", ")) + source.currency;
    if (source.zipFiles > 0)
        statement +=
            QStringLiteral(", ZIP-Datei mit %1").arg(count(source.zipFiles, "1 Auszug", "%1 Auszügen"));
    return QStringLiteral("Kontoauszug: %1%2; offene Posten: %3, %4.\n")
        .arg(source.statementFile, statement.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(statement),
             source.itemsFile, count(items, "1 Posten", "%1 Posten"));
}

QString signedAmount(Currency amount) {
    const QString text = NumberText::formatAmount(amount);
    return amount > Currency() ? QLocale().positiveSign() + text : text;
}

QString itemList(const Report& report, const ItemSet& items, bool withAmounts) {
    QStringList names;
    for (const int index : items) {
        const OpenItem& item = report.openItems[std::size_t(index)];
        names << (withAmounts
                      ? QStringLiteral("%1 (Zeile %2, %3)")
                            .arg(item.invoice.isEmpty() ? QStringLiteral("ohne Belegnummer") : item.invoice)
                            .arg(item.row)
                            .arg(NumberText::formatAmount(item.amount))
                      : itemName(item));
    }
    return names.join(QStringLiteral(" + "));
}

QString entries(const Report& report, const std::vector<int>& list) {
    QStringList texts;
    for (const int index : list)
        texts << entryText(report.payments[std::size_t(index)]);
    return texts.join(QStringLiteral(", "));
}

// The lines after the status that say what the payment settles or why it settles nothing.
QString details(const Report& report, const PaymentResult& p) {
    QString lines;
    const auto line = [&](const QString& text) {
        lines += QStringLiteral("  ") + text + QLatin1Char('\n');
    };
    if (p.status == Status::Matched || p.status == Status::Partial) {
        line(QStringLiteral("Posten: ") + itemList(report, p.items, true));
        if (p.skontoPercent && p.discount)
            line(QStringLiteral("Skonto: %1 % = %2")
                     .arg(NumberText::currencyText(*p.skontoPercent), NumberText::formatAmount(*p.discount)));
        line(QStringLiteral("Differenz: %1%2")
                 .arg(signedAmount(p.difference),
                      p.difference > Currency() ? QStringLiteral(" (Überzahlung)") : QString()));
        if (p.remainder)
            line(QStringLiteral("Offener Rest: ") + NumberText::formatAmount(*p.remainder));
        line(QStringLiteral("Grundlage: ") + basisText(p.basis));
    } else if (p.status == Status::Ambiguous) {
        for (const ItemSet& set : p.candidates)
            line(QStringLiteral("Möglich: ") + itemList(report, set, false));
        const mpz_class more = p.alternatives - static_cast<unsigned long>(p.candidates.size());
        if (more > 0)
            line(QStringLiteral("… und %1 weitere").arg(NumberText::formatCount(more)));
    } else if (p.status == Status::Unmatched && !p.takenBy.empty()) {
        line(QStringLiteral("Die passenden Posten gehören schon zu: ") + entries(report, p.takenBy));
    } else if (p.status == Status::Unmatched && p.refusal == Refusal::None) {
        line(QStringLiteral("Kein passender Posten gefunden."));
    }
    if (!p.decided)
        line(QStringLiteral("Nicht genau entschieden: zu viele Zahlungen teilen sich dieselben Posten."));
    if (p.refusal == Refusal::TooManyItems)
        line(QStringLiteral("Nicht nach Betrag gesucht: unter %1 Posten wären es zu viele Kombinationen; "
                            "eine Kundenspalte oder ein kleineres --max-items hilft.")
                 .arg(QLocale().toString(p.refusalCount)));
    else if (p.refusal == Refusal::TooManyReferences)
        line(QStringLiteral(
                 "Nicht nach Belegnummer entschieden: die genannten Belegnummern stehen in zu vielen "
                 "Zeilen (%1 Möglichkeiten).")
                 .arg(QLocale().toString(p.refusalCount)));
    return lines;
}

QString block(const Report& report, const PaymentResult& p) {
    QString head = entryText(p);
    if (p.date.isValid())
        head += QStringLiteral(" vom ") + regionalDate(p.date);
    head += QStringLiteral(": ") + NumberText::formatAmount(p.amount);
    if (!p.currency.isEmpty() && p.leftOut == LeftOut::ForeignCurrency)
        head += QLatin1Char(' ') + p.currency;
    if (!p.payer.isEmpty())
        head += (p.amount < Currency() ? QStringLiteral(" an ") : QStringLiteral(" von ")) + p.payer;
    return QStringLiteral("\n%1\n  Status: %2\n").arg(head, statusText(p)) + details(report, p);
}

} // namespace

QString statusText(const PaymentResult& p) {
    switch (p.status) {
    case Status::Matched:
        return p.skontoPercent ? QStringLiteral("zugeordnet mit Skonto") : QStringLiteral("zugeordnet");
    case Status::Partial:
        return QStringLiteral("Teilzahlung");
    case Status::Ambiguous:
        return QStringLiteral("mehrdeutig, %1")
            .arg(
                p.alternatives == 1
                    ? QStringLiteral("1 mögliche Zuordnung")
                    : QStringLiteral("%1 mögliche Zuordnungen").arg(NumberText::formatCount(p.alternatives)));
    case Status::Unmatched:
        return QStringLiteral("nicht zugeordnet");
    case Status::LeftOut:
        break;
    }
    switch (p.leftOut) {
    case LeftOut::Outgoing:
        return QStringLiteral("ausgelassen: eine ausgehende Zahlung (Soll)");
    case LeftOut::Reversal:
        return QStringLiteral("ausgelassen: eine Stornobuchung");
    case LeftOut::ForeignCurrency:
        return QStringLiteral("ausgelassen: Betrag in fremder Währung (%1)").arg(p.currency);
    case LeftOut::NotBooked:
        return QStringLiteral("ausgelassen: nicht gebucht (vorgemerkt oder nur zur Information)");
    case LeftOut::No:
        break;
    }
    return QStringLiteral("ausgelassen");
}

QString itemName(const OpenItem& item) {
    if (item.invoice.isEmpty())
        return QStringLiteral("Zeile %1").arg(item.row);
    return QStringLiteral("%1 (Zeile %2)").arg(item.invoice).arg(item.row);
}

QString basisText(Basis basis) {
    switch (basis) {
    case Basis::Reference:
        return QStringLiteral("Verwendungszweck");
    case Basis::Amount:
        return QStringLiteral("Betrag");
    case Basis::None:
        break;
    }
    return QString();
}

QString entryText(const PaymentResult& payment) {
    return payment.part == 0 ? QStringLiteral("Buchung %1").arg(payment.entry)
                             : QStringLiteral("Buchung %1.%2").arg(payment.entry).arg(payment.part);
}

QString regionalDate(const QDate& date) {
    if (!date.isValid())
        return QString();
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QLocale().toString(date, format);
}

QString summaryText(const Summary& summary) {
    return summaryLine(summary).chopped(1);
}

QString paymentText(const Report& report, const PaymentResult& payment) {
    return block(report, payment).mid(1);
}

QString textReport(const Report& report) {
    QString text = sourceLine(report.source, int(report.openItems.size())) + summaryLine(report.summary());
    for (const PaymentResult& payment : report.payments)
        text += block(report, payment);
    return text;
}

} // namespace Abgleich
