// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QDate>
#include <QString>

#include <gmpxx.h>

#include <functional>
#include <optional>
#include <vector>

// Matching a bank statement's incoming payments against open items, the whole statement at once.
//
// Per payment, candidate sets of open items come from the first of these that applies:
//  1. Reference: the invoice numbers of open items found in the remittance text or the end-to-end
//     reference (compared without case, spaces, '-', '/', '.' and leading zeros, each number as
//     whole tokens). The referenced items decide by amount: equal within the tolerance, or with
//     Skonto, settles them; less is a partial payment with the remainder; more settles them with
//     an overpayment. An invoice number on several rows gives one candidate per choice of row, and
//     the amount decides among them (only the choices of the best kind count: exact, then Skonto,
//     then partial or overpaid).
//  2. Customer: the customer number found in the text, else the payer's name against the customer
//     names (without case, umlaut spellings, punctuation and legal forms), else the payer's IBAN
//     against the items' IBANs. Without a customer all open items are searched.
//  3. Amount: the combinations of at most maxItems of those items (dated within [booking date −
//     days, booking date] where items carry dates) whose sum meets the payment within the
//     tolerance, or does so with Skonto at one of the rates: the discount rounded to cents half
//     away from zero on the total or per invoice and summed.
//
// Then the statement as a whole: every item settles at most one payment. The best assignments
// match the most payments and among those use the fewest items. A payment is Matched (Partial when
// its set is a partial payment) when every best assignment gives it the same set; Unmatched when
// none gives it one (collidesWith names the matched payments holding its items and the ambiguous
// ones that may); otherwise Ambiguous. A payment found by amount without an identified customer
// is Matched only when that set is also its only candidate. Zero items take no part by amount.
//
// How the assignment is decided, exactly and without trying every assignment:
//  - A payment whose smallest candidate sets include one that shares no item with any other
//    payment's sets is decided on its own: some best assignment gives it that set, and the other
//    payments' choices in best assignments are those they have without it. With exactly one
//    smallest set it is Matched, with two such sets of its own Ambiguous. Setting it aside may
//    free the sets of others, so this repeats.
//  - The rest split into components of payments that share items. Each is searched by branch and
//    bound (bounds: every payment still to choose matches at most once, with at least its smallest
//    free set), first for the best value, then for each payment for a best assignment in which it
//    chooses otherwise. Within 2,000,000 search steps a component is decided exactly.
//  - At most 2,000 candidate sets a payment are kept (the first in the order below); the others are
//    counted. Such a payment counts as holding every item it was searched among. A component that
//    exceeds its search steps, or that holds a payment with more sets than are kept, is not
//    decided: its payments with candidates are Ambiguous with decided false, and none is ever
//    called Matched. A payment with more sets than are kept is still decided on its own as above
//    when its kept sets suffice: two smallest sets of its own, or a single smallest set followed
//    by larger ones.
//
// Sums of three or four items come from the sorted sums of all pairs of the eligible items, built
// once for the items a group of payments shares (16 bytes a pair, at most 4,000,000 pairs: about
// 2,800 items). Larger groups, and five or more items over groups where that would take too long,
// are refused per payment (Refusal::TooManyItems) rather than searched for minutes.
namespace Matching {

struct Payment {
    int entry = 0;   // its place in the statement, from 1
    Currency amount; // positive: incoming
    QDate bookingDate;
    QDate valueDate;
    QString text; // the remittance lines joined
    QString endToEndId;
    QString payerName;
    QString payerIban;
};

struct Item {
    int row = 0;     // as the spreadsheet shows it
    Currency amount; // credit notes negative
    QString invoice;
    QString customerNumber;
    QString customerName;
    QString iban;
    QDate date; // may be null
};

struct Options {
    int maxItems = 4;   // items a combination, 1 … 8
    Currency tolerance; // >= 0
    // Skonto rates in percent (Currency 2 = 2 %), each 0 < r < 100; empty: no Skonto.
    std::vector<Currency> skontoPercents{Currency::fromCount(2 * Currency::Scale),
                                         Currency::fromCount(3 * Currency::Scale)};
    int days = 180;                             // how far back from the booking date items take part; >= 0
    int listLimit = 10;                         // how many candidate sets an ambiguous payment lists
    std::function<bool()> cancelled;            // polled now and then; true ends early. May be empty.
    std::function<void(int permille)> progress; // 0 … 1000; may be empty
};

enum class Status { Matched, Partial, Ambiguous, Unmatched };
enum class Basis { None, Reference, Amount };
enum class CustomerBy { None, Number, Name, Iban };
// Which rounding of the Skonto discount made the set fit: on the total, per invoice, or both alike.
enum class SkontoRounding { None, OnTotal, PerInvoice, Both };

// Why a payment could not be searched as asked, as data for the front end to word.
struct Refusal {
    enum class Kind {
        NotIncoming,      // amount <= 0; figure: the amount
        TooManyItems,     // the items to search at most maxItems of exceed the memory or time budget
        TooManyReferences // more row choices for the referenced invoices than are tried
    };
    Kind kind;
    qint64 items = 0; // how many items (TooManyItems) or row choices (TooManyReferences)
    int maxItems = 0;
};

// One candidate set: how a set of items meets the payment.
struct Candidate {
    std::vector<int> rows; // ascending
    Currency sum;          // of the items' amounts
    std::optional<Currency> skontoPercent;
    std::optional<Currency> discount;
    SkontoRounding rounding = SkontoRounding::None;
    Currency difference;                 // payment − (sum − discount)
    std::optional<Currency> remainder;   // partial payment: what stays open
    std::optional<Currency> overpayment; // paid more than the referenced items
};

struct PaymentResult {
    int entry = 0;
    Status status = Status::Unmatched;
    Basis basis = Basis::None;
    CustomerBy customerBy = CustomerBy::None;
    // Matched or Partial: the set, its Skonto, difference and remainder or overpayment.
    std::optional<Candidate> match;
    mpz_class alternatives; // candidate sets from steps 1–3, exactly
    // The first candidate sets: fewest items, then the oldest invoices, then rows.
    std::vector<Candidate> candidates;
    std::vector<int> collidesWith; // Unmatched with candidates: entries of the payments holding them
    bool decided = true;           // false: its component was too large to decide exactly
    std::optional<Refusal> refusal;
};

struct DuplicateInvoice {
    QString invoice;       // as the first of its rows writes it
    std::vector<int> rows; // ascending
};

struct Result {
    std::vector<PaymentResult> payments; // in the order given
    std::vector<int> settled;            // rows of items in Matched payments, ascending
    std::vector<int> partlyPaid;         // rows of items in Partial payments, ascending
    std::vector<int> open;               // every other row, ascending
    std::vector<DuplicateInvoice> duplicates;
    bool cancelled = false; // ended early: nothing else in the result holds
};

// Matches the statement; pure, no I/O. Throws KalvonError (Unsupported, the option's name as
// subject) for options outside their range, and (Overflow) when sums leave the Currency range.
Result match(const std::vector<Payment>& payments, const std::vector<Item>& items, const Options& options);

} // namespace Matching
