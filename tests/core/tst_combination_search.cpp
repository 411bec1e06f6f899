// SPDX-License-Identifier: GPL-3.0-or-later
// Every search method, and the choice among them, against trying every subset.
#include "core/combination_search.h"
#include "core/kalvon_error.h"
#include "core/small_subsets.h"
#include "reference_search.h"

#include <QRandomGenerator>
#include <QtTest>

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

Request randomRequest(QRandomGenerator& rng, int maxAmounts) {
    Request r;
    const int kind = int(rng.bounded(3));
    const int n = int(rng.bounded(maxAmounts + 1));
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
    for (int round = 0; round < 600; ++round) {
        Request r = randomRequest(rng, 18);
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

// Requests that no method can take are refused with a message that names the remedy; sums that
// could leave the Currency range are refused, not wrapped.
void TestCombinationSearch::refused_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("huge"); // the first amounts are 4·10^18 ten-thousandths
    QTest::addColumn<int>("maxItems");
    QTest::addColumn<int>("budgetMB");
    QTest::addColumn<bool>("overflow"); // else: no method fits
    QTest::addColumn<QString>("message");
    QTest::newRow("200 amounts, no size limit")
        << 200 << 0 << 0 << 64 << false << QStringLiteral("--max-items");
    QTest::newRow("12 of 5,000 amounts")
        << 5000 << 0 << 12 << 1024 << false << QStringLiteral("--max-items 4");
    QTest::newRow("three huge of 30 amounts")
        << 30 << 3 << 3 << 64 << true << QStringLiteral("Eine mögliche Summe der Beträge");
}

void TestCombinationSearch::refused() {
    QFETCH(int, count);
    QFETCH(int, huge);
    QFETCH(int, maxItems);
    QFETCH(int, budgetMB);
    Request r;
    for (int i = 0; i < count; ++i)
        r.amounts.push_back(Currency::fromCount(i < huge ? qint64(4) * 1000000000000000000
                                                         : (qint64(i) * 7919 % 100003 + 1) * 100000000));
    r.lower = r.upper = Currency::fromCount(qint64(123456789) * 100000000);
    r.maxItems = maxItems;
    r.memoryBudget = qint64(budgetMB) << 20;
    try {
        run(r, {});
        QFAIL("the search ran");
    } catch (const KalvonError& e) {
        QTEST(e.kind() == KalvonError::Kind::Overflow, "overflow");
        QFETCH(QString, message);
        QVERIFY2(e.userMessage().contains(message), qPrintable(e.userMessage()));
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
    auto hits = list.hits;
    std::stable_sort(hits.begin(), hits.end(), [&](const auto& a, const auto& b) {
        return before(r.order, r.target, {a.first, a.second}, {b.first, b.second});
    });
    QStringList expected;
    for (std::size_t i = 0; i < 1000 && i < hits.size(); ++i)
        expected << describeHit(hits[i].first, hits[i].second);

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

QTEST_GUILESS_MAIN(TestCombinationSearch)
#include "tst_combination_search.moc"
