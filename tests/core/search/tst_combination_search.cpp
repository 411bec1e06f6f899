// SPDX-License-Identifier: GPL-3.0-or-later
// Every search method, and the choice among them, against trying every subset.
#include "core/numbers/kalvon_error.h"
#include "core/search/combination_search.h"
#include "core/search/meet_in_middle.h"
#include "core/search/reachable_sums.h"
#include "core/search/small_subsets.h"
#include "core/search/subset_count.h"
#include "core/search/sum_kernels.h"
#include "reference_search.h"

#include <QRandomGenerator>
#include <QtTest>

#include <ctime>

using namespace CombinationSearch;

namespace {

struct Listing {
    QString total;
    bool atLeast = false;
    bool cancelled = false;
    QStringList hits;
};

Listing listWith(const std::function<Outcome(const Control&)>& run) {
    Listing listing;
    Control control;
    control.counted = [&](const Total& total) {
        listing.total = QString::fromStdString(total.count.get_str());
        listing.atLeast = total.atLeast;
    };
    control.hit = [&](const Hit& hit) {
        listing.hits << describeHit(hit.items, hit.sum);
        return true;
    };
    const Outcome outcome = run(control);
    listing.cancelled = outcome.cancelled;
    if (listing.total != QString::fromStdString(outcome.total.count.get_str()))
        listing.total +=
            QStringLiteral(" (outcome: %1)").arg(QString::fromStdString(outcome.total.count.get_str()));
    return listing;
}

// Amounts in ten-thousandths of the given kind: whole amounts (many equal sums), cents, four decimals.
qint64 randomAmount(QRandomGenerator& rng, int kind) {
    qint64 count = 0;
    while (count == 0) {
        switch (kind) {
        case 0:
            count = rng.bounded(-3, 9) * 10000;
            break;
        case 1:
            count = rng.bounded(-5000, 20000) * 100;
            break;
        default:
            count = rng.bounded(-99999, 99999);
        }
    }
    return count;
}

// kind −1: any; n from minAmounts to maxAmounts.
Request randomRequest(QRandomGenerator& rng, int maxAmounts, int kind = -1, int minAmounts = 0) {
    Request r;
    if (kind < 0)
        kind = int(rng.bounded(3));
    const int n = int(rng.bounded(minAmounts, maxAmounts + 1));
    for (int i = 0; i < n; ++i)
        r.amounts.push_back(Currency::fromCount(randomAmount(rng, kind)));
    qint64 target = 0;
    for (const Currency& a : r.amounts)
        target += rng.bounded(3) == 0 ? a.count() : 0;
    if (kind == 0 && rng.bounded(4) == 0)
        target += 5000; // between two sums: ties on both sides
    r.target = Currency::fromCount(target);
    qint64 margin = rng.bounded(3) == 0 ? 0 : rng.bounded(4) * (kind == 2 ? 5000 : 10000);
    if (rng.bounded(8) == 0)
        margin = qint64(1) << 40; // every combination hits
    r.lower = Currency::fromCount(target - margin);
    r.upper = Currency::fromCount(target + margin);
    if (rng.bounded(10) == 0) // nothing can be in range
        std::swap(r.lower, r.upper);
    if (rng.bounded(2)) {
        r.minItems = int(rng.bounded(1, 4));
        r.maxItems = r.minItems + int(rng.bounded(4));
    }
    r.order = Order(rng.bounded(3));
    r.limit = QList<quint64>{0, 1, 7, 100000}[rng.bounded(4)];
    return r;
}

QStringList strings(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* text : texts)
        out << QString::fromUtf8(text);
    return out;
}

QString describe(const Request& r) {
    QStringList amounts;
    for (const Currency& a : r.amounts)
        amounts << QString::number(a.count());
    return QStringLiteral("amounts [%1] range %2…%3 target %4 items %5…%6 order %7 limit %8")
        .arg(amounts.join(QLatin1Char(' ')))
        .arg(r.lower.count())
        .arg(r.upper.count())
        .arg(r.target.count())
        .arg(r.minItems)
        .arg(r.maxItems)
        .arg(int(r.order))
        .arg(r.limit);
}

} // namespace

class TestCombinationSearch : public QObject {
    Q_OBJECT

private slots:
    void sameAsEveryCombination();
    void refused_data();
    void refused();
    void largeList_data();
    void largeList();
    void cancelledSoon();
    void longListsAgree_data();
    void longListsAgree();
    void refusals_data();
    void refusals();
    void cancelledAfterFirstReport_data();
    void cancelledAfterFirstReport();
    void extremes_data();
    void extremes();
    void smallestAmountInEachPart_data();
    void smallestAmountInEachPart();
    void choiceOverManyAmounts_data();
    void choiceOverManyAmounts();
    void meetPollsOften();
};

// Random lists: each method that takes the request, and the search as a whole, list and count
// exactly what trying every subset gives.
void TestCombinationSearch::sameAsEveryCombination() {
    QRandomGenerator rng(4711);
    QHash<QString, int> runs;
    // Collecting only two hits, the small-subsets method takes its ways for very many hits.
    const std::unique_ptr<SearchMethod> fewCollected = smallSubsetsCollectingAtMost(2);
    std::vector<const SearchMethod*> all = methods();
    all.push_back(fewCollected.get());
    for (int round = 0; round < 608; ++round) {
        // The last rounds: up to 22 amounts of whole cents, where the table of reachable sums is
        // short and every exhaustive method runs.
        Request r = round < 600 ? randomRequest(rng, 18) : randomRequest(rng, 22, 1, 19);
        r.memoryBudget = qint64(1) << 40; // every method that can, runs
        const ReferenceResult expected = referenceSearch(r);
        const QString scenario = describe(r);
        auto check = [&](const QString& who, const Listing& got) {
            QVERIFY2(!got.cancelled, qPrintable(who + QLatin1Char(' ') + scenario));
            QVERIFY2(!got.atLeast, qPrintable(who + QLatin1Char(' ') + scenario));
            QVERIFY2(got.total == QString::number(expected.total),
                     qPrintable(who + QLatin1Char(' ') + scenario));
            QVERIFY2(got.hits == expected.hits,
                     qPrintable(who + QLatin1Char(' ') + scenario + QLatin1Char('\n') +
                                got.hits.join(QLatin1Char('|')) + QStringLiteral("\n") +
                                expected.hits.join(QLatin1Char('|'))));
        };
        for (const SearchMethod* method : all) {
            if (!method->estimate(r).fits)
                continue;
            const QString name =
                method == fewCollected.get() ? QStringLiteral("few-collected") : method->name();
            ++runs[name];
            check(name, listWith([&](const Control& c) { return method->run(r, c); }));
            if (QTest::currentTestFailed())
                return;
        }
        check(QStringLiteral("run"), listWith([&](const Control& c) { return run(r, c); }));
        if (QTest::currentTestFailed())
            return;
    }
    QStringList names{QStringLiteral("few-collected")};
    for (const SearchMethod* method : methods())
        names << method->name();
    for (const QString& name : names)
        QVERIFY2(runs.value(name) > 20, qPrintable(name + QStringLiteral(" was hardly tried")));
}

// Requests that no method can take are refused with their figures: how many amounts, and the
// largest size limit with which a method would fit; sums that could leave the Currency range are
// refused, not wrapped.
void TestCombinationSearch::refused_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("huge"); // the first amounts are 4·10^18 ten-thousandths
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("budgetMB");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("fittingItems");
    const int noMethod = int(Refusal::Reason::NoMethod), inOrder = int(Refusal::Reason::NoMethodInOrder);
    QTest::newRow("200 amounts, no size limit") << 200 << 0 << 0 << 0 << 64 << noMethod << 6;
    QTest::newRow("200 amounts, fewest first") << 200 << 0 << 0 << 1 << 64 << inOrder << 6;
    QTest::newRow("12 of 5,000 amounts") << 5000 << 0 << 12 << 0 << 1024 << noMethod << 4;
    QTest::newRow("three huge of 30 amounts")
        << 30 << 3 << 3 << 0 << 64 << int(Refusal::Reason::SumRange) << 0;
    QTest::newRow("100,001 amounts") << 100001 << 0 << 2 << 0 << 1024 << int(Refusal::Reason::TooManyAmounts)
                                     << 0;
}

void TestCombinationSearch::refused() {
    QFETCH(int, count);
    QFETCH(int, huge);
    QFETCH(int, maxItems);
    QFETCH(int, order);
    QFETCH(int, budgetMB);
    QFETCH(int, reason);
    Request r;
    // Large amounts without a common divisor and a target that some of them make: no table of
    // reachable sums is short enough.
    qint64 target = 0;
    for (int i = 0; i < count; ++i) {
        r.amounts.push_back(Currency::fromCount(i < huge
                                                    ? qint64(4) * 1000000000000000000
                                                    : (qint64(i) * 7919 % 100003 + 1) * 100000000 + i % 7));
        target += i % 3 == 0 && i >= huge ? r.amounts.back().count() : 0;
    }
    r.lower = r.upper = Currency::fromCount(target);
    r.maxItems = maxItems;
    r.order = Order(order);
    r.memoryBudget = qint64(budgetMB) << 20;
    try {
        run(r, {});
        QFAIL("the search ran");
    } catch (const KalvonError& e) {
        const Refusal* refusal = refusalOf(e);
        QVERIFY2(refusal, qPrintable(e.userMessage()));
        QCOMPARE(int(refusal->reason), reason);
        QCOMPARE(refusal->amounts, qint64(count));
        QTEST(refusal->fittingItems, "fittingItems");
        QCOMPARE(e.kind(), refusal->reason == Refusal::Reason::SumRange ? KalvonError::Kind::Overflow
                                                                        : KalvonError::Kind::Unsupported);
        QCOMPARE(refusal->mostAmounts, reason == int(Refusal::Reason::TooManyAmounts) ? qint64(100000) : 0);
    }
}

namespace {

// 3,000 random two-decimal amounts from 1,00 to 50.000,00, the target 75.000,00 with a tolerance of 0,50, at
// most three amounts: tens of thousands of hits. They are found here without the search: every pair, and a
// sorted lookup for a third amount after them.
struct LargeList {
    Request request;
    std::vector<std::pair<std::vector<int>, Currency>> hits;
};

const LargeList& theLargeList() {
    static const LargeList list = [] {
        LargeList l;
        Request& r = l.request;
        QRandomGenerator rng(1913);
        for (int i = 0; i < 3000; ++i)
            r.amounts.push_back(Currency::fromCount(qint64(rng.bounded(100, 5000001)) * 100));
        const qint64 target = qint64(75000) * Currency::Scale;
        r.target = Currency::fromCount(target);
        r.lower = Currency::fromCount(target - 5000);
        r.upper = Currency::fromCount(target + 5000);
        r.maxItems = 3;
        std::vector<std::pair<qint64, int>> sorted;
        for (int i = 0; i < 3000; ++i)
            sorted.emplace_back(r.amounts[std::size_t(i)].count(), i);
        std::sort(sorted.begin(), sorted.end());
        auto add = [&](std::vector<int> items) {
            qint64 sum = 0;
            for (int i : items)
                sum += r.amounts[std::size_t(i)].count();
            if (r.lower.count() <= sum && sum <= r.upper.count())
                l.hits.emplace_back(items, Currency::fromCount(sum));
        };
        for (int i = 0; i < 3000; ++i) {
            add({i});
            for (int j = i + 1; j < 3000; ++j) {
                add({i, j});
                const qint64 rest = r.amounts[std::size_t(i)].count() + r.amounts[std::size_t(j)].count();
                auto k = std::lower_bound(sorted.begin(), sorted.end(), std::pair(r.lower.count() - rest, 0));
                for (; k != sorted.end() && k->first + rest <= r.upper.count(); ++k) {
                    if (k->second > j)
                        add({i, j, k->second});
                }
            }
        }
        return l;
    }();
    return list;
}

} // namespace

void TestCombinationSearch::largeList_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("collected"); // hits the method collects at once; 0: as run() has it
    for (int order : {0, 1, 2}) {
        for (int collected : {0, 5000})
            QTest::addRow("order %d, collecting %d", order, collected) << order << collected;
    }
}

// The large list: the total and the first 1000 hits of each order, also when the method takes its
// ways for more hits than it collects.
void TestCombinationSearch::largeList() {
    QFETCH(int, order);
    QFETCH(int, collected);
    const LargeList& list = theLargeList();
    Request r = list.request;
    r.order = Order(order);
    std::vector<KeyedHit> hits;
    for (const auto& [items, sum] : list.hits)
        hits.push_back({items, sum, {}});
    sortHits(hits, r.order, r.target);
    QStringList expected;
    for (std::size_t i = 0; i < 1000 && i < hits.size(); ++i)
        expected << describeHit(hits[i].items, hits[i].sum);

    const std::unique_ptr<SearchMethod> method = smallSubsetsCollectingAtMost(std::size_t(collected));
    const Listing got = listWith([&](const Control& c) { return collected ? method->run(r, c) : run(r, c); });
    QVERIFY2(hits.size() > 20000, qPrintable(QString::number(hits.size())));
    QCOMPARE(got.total, QString::number(hits.size()));
    QCOMPARE(got.hits, expected);
}

// A long search ends soon after it is cancelled; one that runs to its end reports its progress
// up to 1000, never going back.
void TestCombinationSearch::cancelledSoon() {
    Request r = theLargeList().request;
    QList<int> progress;
    Control control;
    control.progress = [&](int permille) {
        progress << permille;
    };
    QVERIFY(!run(r, control).cancelled);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    QCOMPARE(progress.last(), 1000);

    QRandomGenerator rng(7);
    for (int i = 0; i < 27000; ++i) // a second or more for all the triples
        r.amounts.push_back(Currency::fromCount(qint64(rng.bounded(100, 5000001)) * 100));
    QElapsedTimer clock;
    control.cancelled = [&] {
        return clock.elapsed() > 50;
    };
    clock.start();
    QVERIFY(run(r, control).cancelled);
    QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
}

void TestCombinationSearch::longListsAgree_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("credits");   // credit notes among them
    QTest::addColumn<int>("mostCents"); // amounts from 0,01 to this
    QTest::addColumn<int>("margin");    // the tolerance in cents
    QTest::newRow("300 amounts, exact") << 300 << 0 << 500 << 0;
    QTest::newRow("300 amounts, 20 credit notes, tolerance") << 300 << 20 << 500 << 50;
    QTest::newRow("120 amounts of up to 30,00, tolerance") << 120 << 5 << 3000 << 3;
}

// Hundreds of whole-cent amounts: the table of reachable sums counts what a plain count of subset
// sums in big integers gives, at every vector level; 40 of them: meet in the middle lists and counts
// what the table does.
void TestCombinationSearch::longListsAgree() {
    QFETCH(int, count);
    QFETCH(int, credits);
    QFETCH(int, mostCents);
    QFETCH(int, margin);
    QRandomGenerator rng(quint32(count * 31 + credits + margin));
    Request r;
    for (int i = 0; i < count; ++i)
        r.amounts.push_back(Currency::fromCount(rng.bounded(1, mostCents + 1) * (i < credits ? -100 : 100)));
    qint64 target = 0;
    for (int i = 0; i < count; i += 3)
        target += r.amounts[std::size_t(i)].count();
    r.target = Currency::fromCount(target);
    r.lower = Currency::fromCount(target - margin * 100);
    r.upper = Currency::fromCount(target + margin * 100);

    // Every subset in cents, a credit note taken counted as one left out from all credit notes.
    qint64 credit = 0;
    std::vector<qint64> weights;
    for (const Currency& a : r.amounts) {
        weights.push_back(qAbs(a.count()) / 100);
        credit += qMin<qint64>(a.count() / 100, 0);
    }
    const qint64 low = r.lower.count() / 100 - credit, high = r.upper.count() / 100 - credit;
    std::vector<mpz_class> ways(std::size_t(high + 1));
    ways[0] = 1;
    for (const qint64 w : weights) {
        for (qint64 sum = high; sum >= w; --sum)
            ways[std::size_t(sum)] += ways[std::size_t(sum - w)];
    }
    mpz_class expected = 0;
    for (qint64 sum = low; sum <= high; ++sum)
        expected += ways[std::size_t(sum)];
    const QString plain = QString::fromStdString(expected.get_str());
    QVERIFY(expected > mpz_class(1) << 64); // beyond 64 bits: the primes are needed

    for (const SumKernels::Level level :
         {SumKernels::Level::Portable, SumKernels::Level::Avx2, SumKernels::Level::Avx512}) {
        if (level > SumKernels::best())
            continue;
        SumKernels::use(level);
        const Listing got = listWith([&](const Control& c) { return reachableSums().run(r, c); });
        QCOMPARE(got.total, plain);
        QVERIFY(!got.atLeast);
        QCOMPARE(got.hits.size(), qsizetype(1000));
    }
    SumKernels::use(SumKernels::best());

    // Given no time for the primes, the count is a true lower bound at most 2^-30 below the total.
    const SubsetCount::Result quick = SubsetCount(weights, low, high).count(0, {});
    if (quick.atLeast)
        QVERIFY(quick.count <= expected && quick.count >= expected - (expected >> 30));
    else
        QCOMPARE(QString::fromStdString(quick.count.get_str()), plain);

    r.amounts.resize(40);
    target = 0;
    for (int i = 0; i < 40; i += 3)
        target += r.amounts[std::size_t(i)].count();
    r.lower = Currency::fromCount(target - margin * 100);
    r.upper = Currency::fromCount(target + margin * 100);
    const Listing meet = listWith([&](const Control& c) { return meetInMiddle().run(r, c); });
    const Listing table = listWith([&](const Control& c) { return reachableSums().run(r, c); });
    QCOMPARE(meet.total, table.total);
    QCOMPARE(meet.hits, table.hits);
    QVERIFY(!meet.hits.isEmpty());
}

void TestCombinationSearch::refusals_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QList<qint64>>("amounts"); // in ten-thousandths
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("bytesNeeded"); // a Memory refusal's figure; -1: no Memory refusal
    const qint64 gib = qint64(1) << 30, big = std::numeric_limits<qint64>::max() / 2 + 1;
    const int unsupported = int(KalvonError::Kind::Unsupported), overflow = int(KalvonError::Kind::Overflow);
    QList<qint64> many;
    for (int i = 1; i <= 65; ++i)
        many << i * 10001;
    QTest::newRow("meet: 65 amounts") << QStringLiteral("meet-in-the-middle") << many << qint64(5)
                                      << qint64(5) << gib << unsupported << qint64(-1);
    QTest::newRow("a sum out of range") << QStringLiteral("meet-in-the-middle") << QList<qint64>{big, big}
                                        << qint64(1) << qint64(1) << gib << overflow << qint64(-1);
    QTest::newRow("a zero") << QStringLiteral("reachable-sums") << QList<qint64>{5, 0} << qint64(5)
                            << qint64(5) << gib << unsupported << qint64(-1);
    // Both halves' parts of two sums, the chunks, two kept high subsets, the listing's buffer.
    QTest::newRow("meet: budget too small")
        << QStringLiteral("meet-in-the-middle") << QList<qint64>{5, 7} << qint64(5) << qint64(5)
        << qint64(1024) << unsupported << qint64(2 * 12 * 3 + 16384 * 16 * 8 + 2 * 16 + 2 * 16);
    QTest::newRow("table: budget too small")
        << QStringLiteral("reachable-sums") << QList<qint64>{1, 3, 100000007} << qint64(100000008)
        << qint64(100000008) << qint64(1) << unsupported << qint64(100000009 * 8);
    QTest::newRow("every subset: 23 amounts") << QStringLiteral("every-subset") << many.mid(0, 23)
                                              << qint64(5) << qint64(5) << gib << unsupported << qint64(-1);
}

// Requests a method cannot take are refused with a KalvonError, never answered wrongly; memory
// beyond the budget with the figures.
void TestCombinationSearch::refusals() {
    QFETCH(QString, method);
    QFETCH(QList<qint64>, amounts);
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    QFETCH(qint64, budget);
    QFETCH(int, kind);
    QFETCH(qint64, bytesNeeded);
    Request r;
    for (const qint64 a : amounts)
        r.amounts.push_back(Currency::fromCount(a));
    r.lower = Currency::fromCount(lower);
    r.upper = r.target = Currency::fromCount(upper);
    r.memoryBudget = budget;
    const auto found = std::find_if(methods().begin(), methods().end(),
                                    [&](const SearchMethod* m) { return m->name() == method; });
    QVERIFY(found != methods().end());
    try {
        (*found)->run(r, {});
        QFAIL("the request was taken");
    } catch (const KalvonError& e) {
        QCOMPARE(int(e.kind()), kind);
        QVERIFY(!e.userMessage().isEmpty());
        const Refusal* refusal = refusalOf(e);
        QCOMPARE(refusal && refusal->reason == Refusal::Reason::Memory, bytesNeeded >= 0);
        if (bytesNeeded >= 0) {
            QCOMPARE(refusal->bytesNeeded, bytesNeeded);
            QCOMPARE(refusal->bytesAllowed, budget);
            QCOMPARE(refusal->method, method);
        }
    }
}

void TestCombinationSearch::cancelledAfterFirstReport_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("countFirst");
    QTest::newRow("meet in the middle") << QStringLiteral("meet-in-the-middle") << true;
    QTest::newRow("reachable sums, total first") << QStringLiteral("reachable-sums") << true;
    QTest::newRow("reachable sums, hits first") << QStringLiteral("reachable-sums") << false;
}

// Cancelled as soon as the search reports progress, a search ends without a total or a hit,
// however fast the machine.
void TestCombinationSearch::cancelledAfterFirstReport() {
    QFETCH(QString, method);
    QFETCH(bool, countFirst);
    Request r;
    qint64 target = 0;
    for (int i = 0; i < 44; ++i) {
        r.amounts.push_back(Currency::fromCount((i * 7919 % 5003 + 1) * 100));
        target += i % 2 ? r.amounts.back().count() : 0;
    }
    r.lower = r.upper = r.target = Currency::fromCount(target);
    const auto found = std::find_if(methods().begin(), methods().end(),
                                    [&](const SearchMethod* m) { return m->name() == method; });
    QVERIFY(found != methods().end());
    QVERIFY((*found)->estimate(r).fits);
    bool reported = false, counted = false, hit = false;
    Control control;
    control.progress = [&](int) {
        reported = true;
    };
    control.cancelled = [&] {
        return reported;
    };
    if (countFirst)
        control.counted = [&](const Total&) {
            counted = true;
        };
    control.hit = [&](const Hit&) {
        return hit = true;
    };
    QVERIFY((*found)->run(r, control).cancelled);
    QVERIFY(!counted);
    QVERIFY(!hit);
}

void TestCombinationSearch::extremes_data() {
    QTest::addColumn<QList<qint64>>("amounts"); // in ten-thousandths
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<QStringList>("hits"); // in window order
    const qint64 lowest = std::numeric_limits<qint64>::min(), highest = std::numeric_limits<qint64>::max();
    const qint64 half = lowest / 2, e18 = qint64(1000000000000000000);
    QTest::newRow("the smallest amount between two of the smallest")
        << QList<qint64>{1, lowest, 1} << qint64(2) << qint64(2) << 0 << strings({"0 2=2"});
    QTest::newRow("the smallest amount alone")
        << QList<qint64>{lowest} << lowest << lowest << 0 << strings({"0=-9223372036854775808"});
    QTest::newRow("the smallest and the largest amount")
        << QList<qint64>{lowest, highest} << lowest << highest << 0
        << strings({"0=-9223372036854775808", "1=9223372036854775807", "0 1=-1"});
    QTest::newRow("credit notes adding up to the smallest amount")
        << QList<qint64>{5, half, 7, half} << lowest << lowest + 7 << 0
        << strings({"1 3=-9223372036854775808", "0 1 3=-9223372036854775803", "1 2 3=-9223372036854775801"});
    QTest::newRow("credit notes adding up to the smallest amount, 12 amounts")
        << QList<qint64>{half, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, half} << lowest + 300 << lowest + 377
        << 0 << QStringList(); // hits: as the reference finds them
    QTest::newRow("two of 9·10^18 with at most one amount")
        << QList<qint64>{9 * e18 / 10 * 10, 9 * e18 / 10 * 10, 50000, 70000} << qint64(70000) << qint64(70000)
        << 1 << strings({"3=70000"});
    QTest::newRow("three of 4·10^18 with at most two amounts")
        << QList<qint64>{4 * e18, 4 * e18, 5, 4 * e18} << 8 * e18 << 8 * e18 + 5 << 2
        << strings({"0 1=8000000000000000000", "0 3=8000000000000000000", "1 3=8000000000000000000"});
}

// Amounts and bounds at the ends of the Currency range, and size limits that keep sums in range
// that would leave it otherwise: each method that takes the request, and the search as a whole,
// in each order, give what trying every subset gives.
void TestCombinationSearch::extremes() {
    QFETCH(QList<qint64>, amounts);
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    QFETCH(int, maxItems);
    QFETCH(QStringList, hits);
    Request r;
    for (const qint64 a : amounts)
        r.amounts.push_back(Currency::fromCount(a));
    r.lower = Currency::fromCount(lower);
    r.upper = r.target = Currency::fromCount(upper);
    r.maxItems = maxItems;
    if (!hits.isEmpty())
        QCOMPARE(referenceSearch(r).hits, hits);
    for (const Order order : {Order::Window, Order::Items, Order::Difference}) {
        r.order = order;
        const ReferenceResult expected = referenceSearch(r);
        QVERIFY(expected.total > 0);
        int methodsRun = 0;
        for (const SearchMethod* method : methods()) {
            if (!method->estimate(r).fits)
                continue;
            ++methodsRun;
            const Listing got = listWith([&](const Control& c) { return method->run(r, c); });
            QVERIFY2(got.hits == expected.hits, qPrintable(method->name() + QLatin1Char(' ') + describe(r)));
            QCOMPARE(got.total, QString::number(expected.total));
        }
        QVERIFY(methodsRun > 0);
        const Listing got = listWith([&](const Control& c) { return run(r, c); });
        QCOMPARE(got.hits, expected.hits);
        QCOMPARE(got.total, QString::number(expected.total));
    }
}

void TestCombinationSearch::smallestAmountInEachPart_data() {
    QTest::addColumn<int>("first"); // where the two credit notes of −2^62 stand among 40 amounts
    QTest::newRow("low half") << 0;
    QTest::newRow("large part of the high half") << 20;
    QTest::newRow("small part of the high half") << 38;
}

// 40 amounts whose credit notes add up to the smallest amount: meet in the middle lists and counts
// what the table of reachable sums does, wherever the credit notes stand.
void TestCombinationSearch::smallestAmountInEachPart() {
    QFETCH(int, first);
    const qint64 unit = qint64(1) << 40;
    Request r;
    for (int i = 1; i <= 38; ++i)
        r.amounts.push_back(Currency::fromCount(i * unit));
    const Currency credit = Currency::fromCount(std::numeric_limits<qint64>::min() / 2);
    r.amounts.insert(r.amounts.begin() + first, {credit, credit});
    r.lower = Currency::fromCount(std::numeric_limits<qint64>::min() + 100 * unit);
    r.upper = r.target = Currency::fromCount(std::numeric_limits<qint64>::min() + 103 * unit);
    QVERIFY(reachableSums().estimate(r).fits);
    const Listing meet = listWith([&](const Control& c) { return meetInMiddle().run(r, c); });
    const Listing table = listWith([&](const Control& c) { return reachableSums().run(r, c); });
    QCOMPARE(meet.total, table.total);
    QCOMPARE(meet.hits, table.hits);
    QCOMPARE(meet.hits.size(), qsizetype(1000));
}

void TestCombinationSearch::choiceOverManyAmounts_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<int>("reason"); // -1: the search runs
    const int noMethod = int(Refusal::Reason::NoMethod);
    QTest::newRow("99,999 amounts, no size limit") << 99999 << 0 << false << noMethod;
    QTest::newRow("99,999 amounts, cancelled at once") << 99999 << 0 << true << -1;
    QTest::newRow("99,999 amounts, at most two") << 99999 << 2 << false << -1;
    QTest::newRow("100,001 amounts, at most two")
        << 100001 << 2 << false << int(Refusal::Reason::TooManyAmounts);
}

// Choosing the method over many amounts is quick, a cancelled choice ends without a method, and a
// list longer than any search takes is refused before anything is estimated.
void TestCombinationSearch::choiceOverManyAmounts() {
    QFETCH(int, count);
    QFETCH(int, maxItems);
    QFETCH(bool, cancelled);
    QFETCH(int, reason);
    Request r;
    QRandomGenerator rng(99);
    for (int i = 0; i < count; ++i)
        r.amounts.push_back(Currency::fromCount(qint64(rng.bounded(100, 5000001)) * 100 + 1));
    r.lower = r.upper = r.target = Currency::fromCount(qint64(1234567) * 100 + 2);
    r.maxItems = maxItems;
    int polls = 0;
    QStringList chosen;
    Control control;
    control.cancelled = [&] {
        ++polls;
        return cancelled;
    };
    control.chosen = [&](const QString& method) {
        chosen << method;
    };
    QElapsedTimer clock;
    clock.start();
    try {
        const Outcome outcome = run(r, control);
        QCOMPARE(reason, -1);
        QCOMPARE(outcome.cancelled, cancelled);
        QCOMPARE(chosen, cancelled ? QStringList() : QStringList{QStringLiteral("small-subsets")});
        if (cancelled)
            QCOMPARE(polls, 1);
    } catch (const KalvonError& e) {
        QVERIFY2(refusalOf(e), qPrintable(e.userMessage()));
        QCOMPARE(int(refusalOf(e)->reason), reason);
        QVERIFY(chosen.isEmpty());
    }
    // It took 28 s for 99,999 amounts when each size limit was estimated in turn.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

namespace {
// The 50 ms hold for an optimised build; the address sanitizer makes the same work several times
// slower, so its build allows as much more.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 MostMicrosecondsWithoutPoll = 4 * 50000;
#else
constexpr qint64 MostMicrosecondsWithoutPoll = 50000;
#endif

qint64 threadMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
} // namespace

// Meet in the middle over 64 amounts looks at cancellation after no more than 50 ms of work (this
// thread's processor time, whatever else the machine does), from building its halves on, and ends
// at the first look once cancelled.
void TestCombinationSearch::meetPollsOften() {
    Request r;
    QRandomGenerator rng(64);
    qint64 target = 0;
    for (int i = 0; i < 64; ++i) {
        r.amounts.push_back(Currency::fromCount(qint64(rng.bounded(1, 100000001)) * 100 + i));
        target += i % 2 ? r.amounts.back().count() : 0;
    }
    r.lower = r.upper = r.target = Currency::fromCount(target);
    const qint64 start = threadMicroseconds();
    qint64 last = start, longest = 0;
    int polls = 0, pollsAfterCancel = 0;
    Control control;
    control.cancelled = [&] {
        const qint64 now = threadMicroseconds();
        longest = std::max(longest, now - last);
        last = now;
        ++polls;
        const bool cancel = now - start > 1500000;
        pollsAfterCancel += cancel;
        return cancel;
    };
    QVERIFY(meetInMiddle().run(r, control).cancelled);
    QVERIFY2(longest < MostMicrosecondsWithoutPoll,
             qPrintable(QStringLiteral("%1 µs, %2 polls").arg(longest).arg(polls)));
    QCOMPARE(pollsAfterCancel, 1);
    qDebug("longest stretch without a look at cancellation: %lld µs in %d polls", longest, polls);
}

QTEST_GUILESS_MAIN(TestCombinationSearch)
#include "tst_combination_search.moc"
