// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report_builder.h"

#include "core/tables/table_reader.h"

#include <QHash>
#include <QLocale>

namespace Abgleich {
namespace {

LeftOut leftOutOf(StatementEntry::LeftOut reason) {
    switch (reason) {
    case StatementEntry::LeftOut::Outgoing:
        return LeftOut::Outgoing;
    case StatementEntry::LeftOut::Reversal:
        return LeftOut::Reversal;
    case StatementEntry::LeftOut::ForeignCurrency:
        return LeftOut::ForeignCurrency;
    case StatementEntry::LeftOut::NotBooked:
        return LeftOut::NotBooked;
    case StatementEntry::LeftOut::None:
        break;
    }
    return LeftOut::No;
}

PaymentResult paymentOf(const StatementEntry& entry) {
    PaymentResult p;
    p.entry = entry.entry;
    p.part = entry.part;
    p.date = entry.bookingDate;
    p.payer = entry.payerName;
    p.iban = entry.payerIban;
    p.text = entry.remittance;
    p.amount = entry.direction == StatementEntry::Direction::Debit ? Currency() - entry.amount : entry.amount;
    p.currency = entry.currency;
    p.difference = p.amount;
    p.status = entry.isIncoming() ? Status::Unmatched : Status::LeftOut;
    p.leftOut = leftOutOf(entry.leftOut);
    return p;
}

ItemSet indexes(const std::vector<int>& rows, const QHash<int, int>& indexOfRow) {
    ItemSet set;
    for (const int row : rows)
        set.push_back(indexOfRow.value(row));
    return set;
}

// Fills in what the matching found for one incoming payment.
void fill(PaymentResult& p, const Matching::PaymentResult& r, const QHash<int, int>& indexOfRow) {
    static const Status statuses[] = {Status::Matched, Status::Partial, Status::Ambiguous, Status::Unmatched};
    p.status = statuses[int(r.status)];
    p.basis = Basis(int(r.basis));
    if (r.match) {
        p.items = indexes(r.match->rows, indexOfRow);
        p.skontoPercent = r.match->skontoPercent;
        p.discount = r.match->discount;
        p.difference = r.match->difference;
        p.remainder = r.match->remainder;
    }
    p.alternatives = r.alternatives;
    for (const Matching::Candidate& candidate : r.candidates)
        p.candidates.push_back(indexes(candidate.rows, indexOfRow));
    for (const int entry : r.collidesWith)
        p.takenBy.push_back(entry - 1);
    p.decided = r.decided;
    if (r.refusal && r.refusal->kind != Matching::Refusal::Kind::NotIncoming) {
        p.refusal = r.refusal->kind == Matching::Refusal::Kind::TooManyItems ? Refusal::TooManyItems
                                                                             : Refusal::TooManyReferences;
        p.refusalCount = r.refusal->items;
    }
}

} // namespace

MatchInput matchInput(const Statement& statement, const ItemTable& table) {
    MatchInput input;
    input.entries = statement.entries;
    for (const StatementEntry& entry : statement.entries) {
        if (!entry.isIncoming()) {
            input.paymentOf.push_back(-1);
            continue;
        }
        input.paymentOf.push_back(int(input.payments.size()));
        Matching::Payment payment;
        payment.entry = int(input.payments.size()) + 1;
        payment.amount = entry.amount;
        payment.bookingDate = entry.bookingDate;
        payment.valueDate = entry.valueDate;
        payment.text = entry.remittance;
        payment.endToEndId = entry.endToEndId;
        payment.payerName = entry.payerName;
        payment.payerIban = entry.payerIban;
        input.payments.push_back(payment);
    }
    for (const Item& row : table.items) {
        Matching::Item item;
        item.row = row.row;
        item.amount = row.amount;
        item.invoice = row.label;
        item.customerNumber = row.customerNumber;
        item.customerName = row.customerName;
        item.iban = row.iban;
        item.date = row.date;
        input.items.push_back(item);
        input.openItems.push_back({item.row, item.invoice,
                                   item.customerName.isEmpty() ? item.customerNumber : item.customerName,
                                   item.date, item.amount});
    }
    return input;
}

Source sourceOf(const QString& statementFile, const QString& itemsFile, const Statement& statement,
                const ItemTable& table, const QStringList& columnTitles, const QString& currency) {
    // A role's column by its header text, else its letter; empty where the table has none.
    const auto header = [&](int column) {
        if (column < 0)
            return QString();
        const QString title = columnTitles.value(column);
        return title.isEmpty() ? TableReader::columnLetter(column) : title;
    };
    Source source;
    source.statementFile = statementFile;
    source.statementFormat = StatementReader::formatName(statement.format);
    if (!statement.version.isEmpty())
        source.statementFormat += QLatin1Char('.') + statement.version;
    if (statement.zip)
        source.zipFiles = int(statement.files.size());
    source.currency = currency;
    source.itemsFile = itemsFile;
    source.amountHeader = table.amountHeader;
    source.invoiceHeader = table.labelHeaders.value(0);
    source.customerHeader =
        header(table.customerNameColumn >= 0 ? table.customerNameColumn : table.customerNumberColumn);
    source.dateHeader = header(table.dateColumn);
    return source;
}

Report buildReport(const MatchInput& input, const Matching::Result& result, Source source) {
    Report report;
    report.source = std::move(source);
    report.openItems = input.openItems;
    QHash<int, int> indexOfRow;
    for (std::size_t i = 0; i < input.openItems.size(); ++i)
        indexOfRow.insert(input.openItems[i].row, int(i));
    std::vector<int> reportIndex; // per payment of the matching: its place in report.payments
    for (std::size_t e = 0; e < input.entries.size(); ++e) {
        if (input.paymentOf[e] >= 0)
            reportIndex.push_back(int(report.payments.size()));
        report.payments.push_back(paymentOf(input.entries[e]));
    }
    for (std::size_t i = 0; i < result.payments.size(); ++i) {
        PaymentResult& p = report.payments[std::size_t(reportIndex[i])];
        fill(p, result.payments[i], indexOfRow);
        for (int& taken : p.takenBy)
            taken = reportIndex[std::size_t(taken)];
    }
    return report;
}

QString itemsCurrency(const QString& given) {
    return given.isEmpty() ? QLocale().currencySymbol(QLocale::CurrencyIsoCode) : given;
}

bool currencyDiffers(const Statement& statement, const QString& itemsCurrency) {
    return !statement.currency.isEmpty() && !itemsCurrency.isEmpty() && statement.currency != itemsCurrency;
}

} // namespace Abgleich
