// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QDate>
#include <QString>

#include <gmpxx.h>

#include <optional>
#include <vector>

// The outcome of matching a bank statement against the open items, as the writers show it:
// codes and raw data; each writer words them itself.
namespace Abgleich {

enum class Status { Matched, Partial, Ambiguous, Unmatched, LeftOut };
enum class Basis { None, Reference, Amount };
enum class LeftOut { No, Outgoing, Reversal, ForeignCurrency, NotBooked };
// Why a payment was not searched as asked, with its figures.
enum class Refusal { None, TooManyItems, TooManyReferences };

struct OpenItem {
    int row = 0; // as the spreadsheet shows it
    QString invoice;
    QString customer;
    QDate date;
    Currency amount;
};

// One set of open items for a payment, by index into Report::openItems.
using ItemSet = std::vector<int>;

struct PaymentResult {
    int entry = 0; // the payment's place in the statement, from 1
    int part = 0;  // a batch booking's payment within the entry, from 1; 0 for a single payment
    QDate date;    // booking date
    QString payer;
    QString iban;
    QString text; // remittance text and end-to-end reference
    Currency amount;
    QString currency;

    Status status = Status::Unmatched;
    Basis basis = Basis::None;
    ItemSet items;                         // the items it settles (matched, partial)
    std::optional<Currency> skontoPercent; // the rate deducted, 2 for 2 %
    std::optional<Currency> discount;
    Currency difference;               // payment − (items − discount); above zero an overpayment
    std::optional<Currency> remainder; // a partial payment: what stays open of the items
    mpz_class alternatives;            // candidate sets found before the whole statement was weighed
    std::vector<ItemSet> candidates;   // the first of them
    std::vector<int> takenBy;          // unmatched: the entries of the payments that took its candidates
    LeftOut leftOut = LeftOut::No;
    bool decided = true; // false: too many payments shared its items to decide exactly
    Refusal refusal = Refusal::None;
    qint64 refusalCount = 0; // the items or row choices that were too many
};

struct Summary {
    int payments = 0;
    int matched = 0; // matched in full, Skonto included
    int skonto = 0;
    int partial = 0;
    int ambiguous = 0;
    int unmatched = 0;
    int leftOut = 0;
    int openItems = 0;
    int openLeft = 0;
};

// Where the inputs came from, for the summary and the JSON's "source".
struct Source {
    QString statementFile;
    QString statementFormat; // "camt.053.001.08", "MT940", "CSV" …
    int zipFiles = 0;        // the files of a ZIP read, 0 for a single file
    QString currency;
    QString itemsFile;
    QString amountHeader;
    QString invoiceHeader;
    QString customerHeader;
    QString dateHeader;
};

struct Report {
    Source source;
    std::vector<OpenItem> openItems;
    std::vector<PaymentResult> payments;

    // Per open item: the entry of the payment that settles it in full, 0 when it stays open.
    std::vector<int> settledBy() const;
    Summary summary() const;
    // At least one payment was assigned to its invoices, in full or in part.
    bool anyMatched() const;
};

} // namespace Abgleich
