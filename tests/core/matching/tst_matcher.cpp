// SPDX-License-Identifier: GPL-3.0-or-later
// The matcher against a brute force on random statements, and its parts on written-out cases.
#include "brute_force_matcher.h"
#include "core/matching/match_text.h"
#include "core/matching/matcher.h"
#include "core/matching/payment_fit.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Matching;

namespace {

[[maybe_unused]] Currency euros(double value) {
    return Currency::fromCount(qRound64(value * Currency::Scale));
}

QString rowsText(const std::vector<int>& rows) {
    QStringList parts;
    for (const int r : rows)
        parts << QString::number(r);
    return parts.join(u',');
}

QString statusText(Status s) {
    static const char* names[] = {"matched", "partial", "ambiguous", "unmatched"};
    return QString::fromLatin1(names[int(s)]);
}

// A payment's result in one line, so that engine and brute force compare as text.
QString describe(const PaymentResult& r) {
    QString s = QStringLiteral("%1 %2 alt %3")
                    .arg(r.entry)
                    .arg(statusText(r.status), QString::fromStdString(r.alternatives.get_str()));
    if (r.match) {
        const Candidate& c = *r.match;
        s += QStringLiteral(" [%1] diff %2").arg(rowsText(c.rows)).arg(c.difference.count());
        if (c.skontoPercent)
            s += QStringLiteral(" skonto %1 %2 r%3")
                     .arg(c.skontoPercent->count())
                     .arg(c.discount->count())
                     .arg(int(c.rounding));
        if (c.remainder)
            s += QStringLiteral(" rest %1").arg(c.remainder->count());
        if (c.overpayment)
            s += QStringLiteral(" over %1").arg(c.overpayment->count());
    }
    QStringList listed;
    for (const Candidate& c : r.candidates)
        listed << rowsText(c.rows);
    s += QStringLiteral(" cands {%1}").arg(listed.join(u' '));
    if (!r.collidesWith.empty())
        s += QStringLiteral(" with %1").arg(rowsText(r.collidesWith));
    return s;
}

struct Customer {
    QString number, name, payerSpelling, iban;
};

const Customer customers[] = {
    {QStringLiteral("K101"), QStringLiteral("Müller GmbH"), QStringLiteral("MUELLER"),
     QStringLiteral("DE11 1000 0000 0000 0000 01")},
    {QStringLiteral("K102"), QStringLiteral("Schäfer & Co. KG"), QStringLiteral("schaefer"),
     QStringLiteral("DE22 1000 0000 0000 0000 02")},
    {QStringLiteral("K103"), QStringLiteral("Weiß e.K."), QStringLiteral("Weiss"),
     QStringLiteral("DE33 1000 0000 0000 0000 03")},
};

struct Statement {
    std::vector<Payment> payments;
    std::vector<BruteForce::Known> known;
    std::vector<Item> items;
    std::vector<int> customerOf;
    Options options;
};

const QDate booked(2026, 12, 1);

void addItems(QRandomGenerator& rng, Statement& s) {
    const qint64 pool[] = {500000, 800000, 1000000, 1200000, 1500000, 980000, -300000, 2000000};
    const int n = int(rng.bounded(5, 12));
    for (int i = 0; i < n; ++i) {
        Item item;
        item.row = 2 + 2 * i + int(rng.bounded(2));
        const int c = int(rng.bounded(3));
        s.customerOf.push_back(c);
        item.customerNumber = customers[c].number;
        item.customerName = customers[c].name;
        item.iban = customers[c].iban;
        item.amount =
            Currency::fromCount(rng.bounded(3) ? pool[rng.bounded(8)] : rng.bounded(1, 30000) * 100);
        item.invoice = QStringLiteral("RE-%1").arg(100 + (rng.bounded(6) ? i : int(rng.bounded(n))));
        const int when = int(rng.bounded(6));
        item.date = when == 0   ? QDate()
                    : when == 1 ? booked.addDays(3)
                                : booked.addDays(-qint64(rng.bounded(40)));
        s.items.push_back(item);
    }
}

// A payment made from some items of one customer: exact, less Skonto, off by a little, or random.
void addPayment(QRandomGenerator& rng, Statement& s, int entry) {
    Payment p;
    BruteForce::Known known;
    p.entry = entry;
    p.bookingDate = booked;
    const int c = int(rng.bounded(3));
    std::vector<int> mine;
    for (int i = 0; i < int(s.items.size()); ++i)
        if (s.customerOf[i] == c && rng.bounded(3) == 0)
            mine.push_back(i);
    qint64 sum = 0, perInvoice = 0;
    for (const int i : mine) {
        sum += s.items[i].amount.count();
        perInvoice += BruteForce::cents(s.items[i].amount.count(), 20000);
    }
    switch (rng.bounded(5)) {
    case 0:
        p.amount = Currency::fromCount(sum - BruteForce::cents(sum, 20000));
        break;
    case 1:
        p.amount = Currency::fromCount(sum - perInvoice);
        break;
    case 2:
        p.amount = Currency::fromCount(sum + 300);
        break;
    case 3:
        p.amount = Currency::fromCount(rng.bounded(1, 60000) * 100);
        break;
    default:
        p.amount = Currency::fromCount(sum);
    }
    if (!mine.empty() && rng.bounded(4) == 0) {
        p.text = QStringLiteral("Zahlung");
        for (const int i : mine) {
            p.text += QStringLiteral(" RE %1,").arg(s.items[i].invoice.mid(3));
            if (std::find(known.invoices.begin(), known.invoices.end(), s.items[i].invoice) ==
                known.invoices.end())
                known.invoices.push_back(s.items[i].invoice);
        }
        if (rng.bounded(2))
            p.amount = Currency::fromCount(sum - 50000);
    }
    if (p.amount <= Currency())
        p.amount = Currency::fromCount(1000000);
    switch (rng.bounded(4)) {
    case 0:
        p.text += QStringLiteral(" Kd.-Nr. ") + customers[c].number;
        known.by = CustomerBy::Number;
        break;
    case 1:
        p.payerName = customers[c].payerSpelling;
        known.by = CustomerBy::Name;
        break;
    case 2:
        p.payerIban = QString(customers[c].iban).remove(u' ');
        known.by = CustomerBy::Iban;
        break;
    }
    // A customer with no open items is not recognised.
    if (std::count(s.customerOf.begin(), s.customerOf.end(), c) == 0)
        known.by = CustomerBy::None;
    known.customer = known.by == CustomerBy::None ? -1 : c;
    s.payments.push_back(p);
    s.known.push_back(known);
}

Statement randomStatement(QRandomGenerator& rng) {
    Statement s;
    addItems(rng, s);
    const int payments = int(rng.bounded(1, 6));
    for (int p = 0; p < payments; ++p)
        addPayment(rng, s, p + 1);
    s.options.maxItems = int(rng.bounded(1, 5));
    s.options.tolerance = Currency::fromCount(rng.bounded(3) == 0 ? 500 : 0);
    s.options.days = 30;
    if (rng.bounded(4) == 0)
        s.options.skontoPercents.clear();
    s.options.listLimit = 3;
    return s;
}

// What the brute force says, in the engine's terms; empty when too many assignments to try.
std::optional<QStringList> expected(const Statement& s) {
    using namespace BruteForce;
    std::vector<std::vector<Cand>> cands;
    double assignments = 1;
    for (std::size_t p = 0; p < s.payments.size(); ++p) {
        cands.push_back(candidates(s.payments[p], s.known[p], s.items, s.customerOf, s.options));
        assignments *= double(cands.back().size() + 1);
    }
    if (assignments > 200000)
        return std::nullopt;
    const auto best = bestAssignments(cands);
    std::vector<PaymentResult> results;
    for (std::size_t p = 0; p < s.payments.size(); ++p) {
        PaymentResult r;
        r.entry = s.payments[p].entry;
        r.alternatives = static_cast<unsigned long>(cands[p].size());
        for (std::size_t k = 0; k < cands[p].size() && k < 3; ++k) {
            r.candidates.push_back(cands[p][k].c);
            for (const int i : cands[p][k].items)
                r.candidates.back().rows.push_back(s.items[i].row);
        }
        std::set<int> choices;
        for (const auto& a : best)
            choices.insert(a[p]);
        const int only = choices.size() == 1 ? *choices.begin() : -2;
        const bool byAmountAlone = s.known[p].invoices.empty() && s.known[p].customer < 0;
        if (only >= 0 && (!byAmountAlone || cands[p].size() == 1)) {
            r.match = r.candidates.size() > std::size_t(only) ? r.candidates[only] : cands[p][only].c;
            if (!r.match->rows.size())
                for (const int i : cands[p][only].items)
                    r.match->rows.push_back(s.items[i].row);
            r.status = r.match->remainder ? Status::Partial : Status::Matched;
        } else {
            r.status = only == -1 ? Status::Unmatched : Status::Ambiguous;
        }
        results.push_back(r);
    }
    // Who holds an unmatched payment's items: matched payments with them, ambiguous ones that may.
    for (std::size_t p = 0; p < results.size(); ++p) {
        if (results[p].status != Status::Unmatched)
            continue;
        std::set<int> with;
        for (std::size_t q = 0; q < results.size(); ++q) {
            if (q == p || (results[q].status != Status::Ambiguous && !results[q].match))
                continue;
            const int only = results[q].match ? *std::set<int>{best[0][q]}.begin() : -1;
            for (int k = 0; k < int(cands[q].size()); ++k) {
                if (only >= 0 && k != only)
                    continue;
                for (const auto& mine : cands[p])
                    for (const int i : mine.items)
                        if (std::count(cands[q][k].items.begin(), cands[q][k].items.end(), i))
                            with.insert(results[q].entry);
            }
        }
        results[p].collidesWith.assign(with.begin(), with.end());
    }
    QStringList lines;
    for (const auto& r : results)
        lines << describe(r);
    return lines;
}

QString describeStatement(const Statement& s) {
    QStringList lines;
    for (const Item& i : s.items)
        lines << QStringLiteral("item %1 %2 %3 %4 %5")
                     .arg(i.row)
                     .arg(i.amount.count())
                     .arg(i.invoice, i.customerNumber, i.date.toString(Qt::ISODate));
    for (const Payment& p : s.payments)
        lines << QStringLiteral("payment %1 %2 '%3' '%4' '%5'")
                     .arg(p.entry)
                     .arg(p.amount.count())
                     .arg(p.text, p.payerName, p.payerIban);
    lines << QStringLiteral("K %1 tol %2 skonto %3")
                 .arg(s.options.maxItems)
                 .arg(s.options.tolerance.count())
                 .arg(s.options.skontoPercents.size());
    return lines.join(u'\n');
}

} // namespace

class TestMatcher : public QObject {
    Q_OBJECT

private slots:
    void sameAsBruteForce();
    void wholeStatement_data();
    void wholeStatement();
    void referenceKeys_data();
    void referenceKeys();
    void nameKeys_data();
    void nameKeys();
    void discount_data();
    void discount();
    void duplicatesNamed_data();
    void duplicatesNamed();
    void countedExactly_data();
    void countedExactly();
    void cutPaymentLeavesOthers();
    void cancelled();
};

// Random small statements: every status, set, Skonto, difference, count, the first candidates and
// the collisions as trying every subset and every assignment gives them.
void TestMatcher::sameAsBruteForce() {
    QRandomGenerator rng(2312);
    int compared = 0;
    std::map<QString, int> seen;
    for (int round = 0; round < 3000; ++round) {
        const Statement s = randomStatement(rng);
        const auto want = expected(s);
        if (!want)
            continue;
        ++compared;
        const Result result = match(s.payments, s.items, s.options);
        QStringList got;
        for (const auto& r : result.payments) {
            got << describe(r);
            ++seen[statusText(r.status) +
                   (r.match && r.match->skontoPercent ? QStringLiteral("+skonto") : QString())];
        }
        if (got != *want)
            QFAIL(qPrintable(QStringLiteral("round %1\n%2\ngot:\n%3\nwant:\n%4")
                                 .arg(round)
                                 .arg(describeStatement(s), got.join(u'\n'), want->join(u'\n'))));
    }
    // Every outcome occurred often enough to count.
    QVERIFY2(compared > 2000, qPrintable(QString::number(compared)));
    for (const char* kind : {"matched", "matched+skonto", "partial", "ambiguous", "unmatched"})
        QVERIFY2(seen[QString::fromLatin1(kind)] > 50, kind);
}

QStringList lines(std::initializer_list<const char*> texts) {
    QStringList result;
    for (const char* text : texts)
        result << QString::fromUtf8(text);
    return result;
}

// Items as "row amount invoice customer date", payments as "entry amount booked text|payer".
Item itemFrom(const QString& line) {
    const QStringList f = line.split(u' ');
    Item item;
    item.row = f[0].toInt();
    item.amount = euros(f[1].toDouble());
    item.invoice = f[2];
    item.customerNumber = f[3];
    item.date = QDate::fromString(f[4], Qt::ISODate);
    return item;
}

Payment paymentFrom(const QString& line) {
    const QStringList f = line.split(u' ');
    Payment p;
    p.entry = f[0].toInt();
    p.amount = euros(f[1].toDouble());
    p.bookingDate = QDate::fromString(f[2], Qt::ISODate);
    p.text = line.section(u' ', 3).section(u'|', 0, 0);
    p.payerName = line.section(u'|', 1);
    return p;
}

void TestMatcher::wholeStatement_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("payments");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("settled");
    // Payment 2 alone could take either item of 100,00; the invoice number payment 1 names
    // leaves it the other.
    QTest::newRow("reference leaves the twin")
        << lines({"2 100 RE-1 K1 2026-11-01", "3 100 RE-2 K1 2026-11-02"})
        << lines({"1 100 2026-12-01 Rechnung RE-1", "2 100 2026-12-01 Kd K1"})
        << lines({"1 matched alt 1 [2] diff 0 cands {2}", "2 matched alt 2 [3] diff 0 cands {2 3}"}) << "2,3";
    // Alone payment 2 would take the single item 100,00; payment 1, booked before item 4 was
    // written, can only have that one, so payment 2 takes the pair.
    QTest::newRow("date window decides the pair")
        << lines({"2 100 RE-1 K1 2026-11-01", "3 70 RE-2 K1 2026-11-02", "4 30 RE-3 K1 2026-11-20"})
        << lines({"1 100 2026-11-10 Kd K1", "2 100 2026-12-01 Kd K1"})
        << lines({"1 matched alt 1 [2] diff 0 cands {2}", "2 matched alt 2 [3,4] diff 0 cands {2 3,4}"})
        << "2,3,4";
    // Two payments for one invoice: neither is chosen silently.
    QTest::newRow("paid twice") << lines({"2 100 RE-1 K1 2026-11-01"})
                                << lines({"1 100 2026-12-01 RE-1", "2 100 2026-12-01 |K1"})
                                << lines({"1 ambiguous alt 1 cands {2}", "2 ambiguous alt 1 cands {2}"})
                                << "";
    // The pair that payment 3 would need settles payments 1 and 2 one item each.
    QTest::newRow("unmatched names the holders")
        << lines({"2 60 RE-1 K1 2026-11-01", "3 40 RE-2 K1 2026-11-02"})
        << lines({"1 60 2026-12-01 Kd K1", "2 40 2026-12-01 Kd K1", "3 100 2026-12-01 Kd K1"})
        << lines({"1 matched alt 1 [2] diff 0 cands {2}", "2 matched alt 1 [3] diff 0 cands {3}",
                  "3 unmatched alt 1 cands {2,3} with 1,2"})
        << "2,3";
    // Skonto of 2 % on 0,25 + 0,25: 0,01 on the total, 0,02 per invoice; both conventions count.
    QTest::newRow("Skonto rounded on the total")
        << lines({"2 0.25 RE-1 K1 2026-11-01", "3 0.25 RE-2 K1 2026-11-02"})
        << lines({"1 0.49 2026-12-01 RE-1 RE-2"})
        << lines({"1 matched alt 1 [2,3] diff 0 skonto 20000 100 r1 cands {2,3}"}) << "2,3";
    QTest::newRow("Skonto rounded per invoice")
        << lines({"2 0.25 RE-1 K1 2026-11-01", "3 0.25 RE-2 K1 2026-11-02"})
        << lines({"1 0.48 2026-12-01 RE-1 RE-2"})
        << lines({"1 matched alt 1 [2,3] diff 0 skonto 20000 200 r2 cands {2,3}"}) << "2,3";
    // The same invoice number on two rows: the amount decides.
    QTest::newRow("duplicate invoice, amount decides")
        << lines({"2 100 RE-1 K1 2026-11-01", "3 250 RE-1 K2 2026-11-02"}) << lines({"1 250 2026-12-01 RE-1"})
        << lines({"1 matched alt 1 [3] diff 0 cands {3}"}) << "3";
    QTest::newRow("partial payment and overpayment")
        << lines({"2 100 RE-1 K1 2026-11-01", "3 250 RE-2 K2 2026-11-02"})
        << lines({"1 60 2026-12-01 RE-1", "2 260 2026-12-01 RE 2"})
        << lines({"1 partial alt 1 [2] diff -400000 rest 400000 cands {2}",
                  "2 matched alt 1 [3] diff 100000 over 100000 cands {3}"})
        << "3";
}

// Statements where the best assignment, not each payment alone, decides.
void TestMatcher::wholeStatement() {
    QFETCH(QStringList, items);
    QFETCH(QStringList, payments);
    std::vector<Item> open;
    for (const QString& line : items)
        open.push_back(itemFrom(line));
    std::vector<Payment> statement;
    for (const QString& line : payments)
        statement.push_back(paymentFrom(line));
    Options options;
    options.skontoPercents = {euros(2)};
    const Result result = match(statement, open, options);
    QStringList got;
    for (const auto& r : result.payments)
        got << describe(r);
    QFETCH(QStringList, expected);
    QFETCH(QString, settled);
    QCOMPARE(got, expected);
    QCOMPARE(rowsText(result.settled), settled);
}

void TestMatcher::referenceKeys_data() {
    QTest::addColumn<QString>("invoice");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::newRow("as written") << "RE-2026-17"
                                << "Rechnung RE-2026-17 vom 03.11." << true;
    QTest::newRow("longer number") << "RE-2026-17"
                                   << "Rechnung RE-2026-170" << false;
    QTest::newRow("letters before") << "RE-2026-17"
                                    << "XRE-2026-17" << false;
    QTest::newRow("other separators") << "RE-2026-17"
                                      << "re 2026/17" << true;
    QTest::newRow("no separators") << "RE-2026-17"
                                   << "RE202617" << true;
    QTest::newRow("leading zeros in the list") << "RE-2026-0017"
                                               << "RE2026-17" << true;
    QTest::newRow("leading zeros in the text") << "815"
                                               << "Beleg 000815." << true;
    QTest::newRow("comma ends a number") << "RE-2026-17"
                                         << "RE-2026, 17" << false;
    QTest::newRow("two in a row") << "RE-2026-18"
                                  << "RE-2026-17/RE-2026-18" << true;
    QTest::newRow("other number") << "RE-2026-18"
                                  << "RE-2026-17 RE-2026-19" << false;
    QTest::newRow("dots") << "A.B-12"
                          << "ab12" << true;
}

// Invoice numbers found in remittance texts as whole tokens, spelling aside.
void TestMatcher::referenceKeys() {
    QFETCH(QString, invoice);
    MatchText::KeyFinder finder;
    finder.add(MatchText::referenceKey(invoice), 7);
    QFETCH(QString, text);
    QFETCH(bool, found);
    QCOMPARE(!finder.find(text).empty(), found);
}

void TestMatcher::nameKeys_data() {
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("payer");
    QTest::addColumn<bool>("same");
    QTest::newRow("umlaut and legal form") << "Müller GmbH"
                                           << "MUELLER" << true;
    QTest::newRow("GmbH & Co. KG") << "Müller GmbH"
                                   << "Mueller GmbH & Co. KG" << true;
    QTest::newRow("e.K. and ß") << "Weiß e.K."
                                << "WEISS EK" << true;
    QTest::newRow("e. K. spaced") << "Weiß e. K."
                                  << "weiss" << true;
    QTest::newRow("& Co. KG") << "Schäfer & Co. KG"
                              << "Schaefer" << true;
    QTest::newRow("word order") << "Hans Müller"
                                << "MUELLER, HANS" << true;
    QTest::newRow("UG (haftungsbeschränkt)") << "Bäckerei Groß UG (haftungsbeschränkt)"
                                             << "Baeckerei Gross" << true;
    QTest::newRow("accents") << "José Pérez AG"
                             << "Jose Perez" << true;
    QTest::newRow("GbR") << "Meier GbR"
                         << "Meier" << true;
    QTest::newRow("other name") << "Meier GbR"
                                << "Maier GbR" << false;
    QTest::newRow("longer name") << "Müller GmbH"
                                 << "Müller-Lüdenscheidt GmbH" << false;
    QTest::newRow("legal form inside a word") << "Kagel AG"
                                              << "Kagel" << true;
    QTest::newRow("only a legal form differs") << "Agrar AG"
                                               << "Agrar KG" << true;
}

// Payer names against customer names: spelling, punctuation and legal form aside.
void TestMatcher::nameKeys() {
    QFETCH(QString, customer);
    QFETCH(QString, payer);
    QFETCH(bool, same);
    QCOMPARE(MatchText::nameKey(customer) == MatchText::nameKey(payer), same);
    QVERIFY(!MatchText::nameKey(customer).isEmpty());
}

void TestMatcher::discount_data() {
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("percent");
    QTest::addColumn<double>("discount");
    QTest::newRow("half a cent up") << 1234.25 << 2.0 << 24.69;
    QTest::newRow("credit note, away from zero") << -1234.25 << 2.0 << -24.69;
    QTest::newRow("1,5 cents") << 0.50 << 3.0 << 0.02;
    QTest::newRow("half a cent exactly") << 0.25 << 2.0 << 0.01;
    QTest::newRow("below half a cent") << 0.24 << 2.0 << 0.0;
    QTest::newRow("fraction of a percent") << 12.34 << 2.5 << 0.31;
    QTest::newRow("four decimals") << 99.9975 << 2.0 << 2.0;
}

// Skonto discounts rounded to cents half away from zero.
void TestMatcher::discount() {
    QFETCH(double, amount);
    QFETCH(double, percent);
    QFETCH(double, discount);
    QCOMPARE(PaymentFit::discount(euros(amount), euros(percent)).count(), euros(discount).count());
}

void TestMatcher::duplicatesNamed_data() {
    QTest::addColumn<QStringList>("invoices");
    QTest::addColumn<QString>("duplicates");
    QTest::newRow("none") << lines({"RE-1", "RE-2", "RE-10"}) << "";
    QTest::newRow("spelled apart") << lines({"RE-1", "re 01", "RE-2", "RE/1"}) << "RE-1: 2,3,5";
    QTest::newRow("two numbers") << lines({"A-7", "B-7", "a7", "b.7", ""}) << "A-7: 2,4 B-7: 3,5";
}

// Invoice numbers on several rows, as normalised: named with their rows.
void TestMatcher::duplicatesNamed() {
    QFETCH(QStringList, invoices);
    std::vector<Item> open;
    for (int i = 0; i < invoices.size(); ++i)
        open.push_back({i + 2, euros(10), invoices[i], {}, {}, {}, {}});
    QStringList named;
    for (const auto& d : match({}, open, Options()).duplicates)
        named << d.invoice + QStringLiteral(": ") + rowsText(d.rows);
    QTEST(named.join(u' '), "duplicates");
}

void TestMatcher::countedExactly_data() {
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<double>("amount");
    QTest::addColumn<int>("payments");
    QTest::addColumn<QString>("alternatives");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("decided");
    // n items of 1,00 each: the sets of k of them, C(n, k), all of equal sums.
    QTest::newRow("pairs") << 200 << 4 << 2.0 << 1 << "19900"
                           << "ambiguous" << true;
    QTest::newRow("triples") << 30 << 3 << 3.0 << 1 << "4060"
                             << "ambiguous" << true;
    QTest::newRow("quadruples") << 60 << 4 << 4.0 << 1 << "487635"
                                << "ambiguous" << true;
    QTest::newRow("five") << 12 << 5 << 5.0 << 1 << "792"
                          << "ambiguous" << true;
    QTest::newRow("more than K") << 12 << 4 << 5.0 << 1 << "0"
                                 << "unmatched" << true;
    QTest::newRow("one of its own") << 1 << 4 << 1.0 << 1 << "1"
                                    << "matched" << true;
    // Two payments over more sets than are kept: counted, never decided.
    QTest::newRow("two payments, too many sets") << 30 << 3 << 3.0 << 2 << "4060"
                                                 << "ambiguous" << false;
    QTest::newRow("two payments, few sets") << 4 << 3 << 3.0 << 2 << "4"
                                            << "ambiguous" << true;
}

// Candidate sets of payments without a customer counted exactly where far more exist than are
// kept, among many equal sums.
void TestMatcher::countedExactly() {
    QFETCH(int, items);
    QFETCH(int, maxItems);
    QFETCH(double, amount);
    QFETCH(int, payments);
    std::vector<Item> open;
    for (int i = 0; i < items; ++i)
        open.push_back({i + 2, euros(1), QStringLiteral("RE-%1").arg(i), {}, {}, {}, {}});
    std::vector<Payment> statement;
    for (int p = 1; p <= payments; ++p)
        statement.push_back({p, euros(amount), booked, {}, {}, {}, {}, {}});
    Options options;
    options.maxItems = maxItems;
    options.skontoPercents.clear();
    const Result result = match(statement, open, options);
    QFETCH(QString, alternatives);
    QFETCH(QString, status);
    QFETCH(bool, decided);
    for (const auto& r : result.payments) {
        QCOMPARE(QString::fromStdString(r.alternatives.get_str()), alternatives);
        QCOMPARE(statusText(r.status), status);
        QCOMPARE(r.decided, decided);
        QCOMPARE(r.candidates.size(), std::min<std::size_t>(10, std::stoul(alternatives.toStdString())));
    }
}

// A payment of an unknown payer with more candidate sets than are kept may hold any item; the
// customer payment beside it is still decided once the other one is set aside.
void TestMatcher::cutPaymentLeavesOthers() {
    std::vector<Item> open;
    for (int i = 0; i < 30; ++i)
        open.push_back({i + 2, euros(1), QStringLiteral("RE-%1").arg(i + 100), {}, {}, {}, {}});
    open.push_back({40, euros(5), QStringLiteral("RE-1"), QStringLiteral("K1"), {}, {}, {}});
    Options options;
    options.skontoPercents.clear();
    const std::vector<Payment> statement{{1, euros(3), booked, {}, {}, {}, {}, {}},
                                         {2, euros(5), booked, {}, QStringLiteral("Kd K1"), {}, {}, {}}};
    const Result result = match(statement, open, options);
    QCOMPARE(result.payments[0].status, Status::Ambiguous);
    QCOMPARE(QString::fromStdString(result.payments[0].alternatives.get_str()), QStringLiteral("4060"));
    QVERIFY(result.payments[0].decided);
    QCOMPARE(describe(result.payments[1]), QStringLiteral("2 matched alt 1 [40] diff 0 cands {40}"));
}

// Ended from outside, at once or in the middle of a long search over every item, the result says
// so and holds nothing else.
void TestMatcher::cancelled() {
    std::vector<Item> items;
    QRandomGenerator rng(11);
    for (int i = 0; i < 1000; ++i)
        items.push_back({i + 2, Currency::fromCount(rng.bounded(100, 5000000) * 100), {}, {}, {}, {}, {}});
    std::vector<Payment> payments;
    for (int p = 1; p <= 50; ++p)
        payments.push_back(
            {p, Currency::fromCount(rng.bounded(100000, 10000000) * 100), {}, {}, {}, {}, {}, {}});
    for (const int after : {0, 3, 40}) {
        int polls = 0;
        int lastProgress = -1;
        bool monotone = true;
        Options options;
        options.cancelled = [&] {
            return ++polls > after;
        };
        options.progress = [&](int permille) {
            monotone = monotone && permille >= lastProgress && permille <= 1000;
            lastProgress = permille;
        };
        const Result result = match(payments, items, options);
        QVERIFY(result.cancelled);
        QVERIFY(result.payments.empty() && result.settled.empty() && result.open.empty());
        QCOMPARE(polls, after + 1);
        QVERIFY(monotone);
    }
}

QTEST_GUILESS_MAIN(TestMatcher)
#include "tst_matcher.moc"
