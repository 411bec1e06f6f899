// SPDX-License-Identifier: GPL-3.0-or-later
// Every search method, and the choice among them, against trying every subset.
#include "core/combination_search.h"
#include "core/kalvon_error.h"
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
    r.target = Currency::fromCount(target);
    const qint64 margin = rng.bounded(3) == 0 ? 0 : rng.bounded(4) * (kind == 2 ? 5000 : 10000);
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
    void noMethodFits();
};

// Random lists: each method that takes the request, and the search as a whole, list and count
// exactly what trying every subset gives.
void TestCombinationSearch::sameAsEveryCombination() {
    QRandomGenerator rng(4711);
    QHash<QString, int> runs;
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
        for (const SearchMethod* method : methods()) {
            if (!method->estimate(r).fits)
                continue;
            ++runs[method->name()];
            check(method->name(), listWith([&](const Control& c) { return method->run(r, c); }));
            if (QTest::currentTestFailed())
                return;
        }
        check(QStringLiteral("run"), listWith([&](const Control& c) { return run(r, c); }));
        if (QTest::currentTestFailed())
            return;
    }
    for (const SearchMethod* method : methods())
        QVERIFY2(runs.value(method->name()) > 20,
                 qPrintable(method->name() + QStringLiteral(" was hardly tried")));
}

// A request that no method can take is refused with a message that names the remedy.
void TestCombinationSearch::noMethodFits() {
    Request r;
    qint64 target = 0;
    for (int i = 0; i < 200; ++i) {
        r.amounts.push_back(Currency::fromCount((qint64(i) * 7919 % 100003 + 1) * 100000000 + i % 7));
        target += i % 3 == 0 ? r.amounts.back().count() : 0;
    }
    r.lower = r.upper = Currency::fromCount(target);
    r.memoryBudget = qint64(64) << 20;
    try {
        run(r, {});
        QFAIL("a search over 200 large amounts without size limits ran");
    } catch (const KalvonError& e) {
        QCOMPARE(e.kind(), KalvonError::Kind::Unsupported);
        QVERIFY2(e.userMessage().contains(QLatin1String("--max-items")), qPrintable(e.userMessage()));
    }
}

QTEST_GUILESS_MAIN(TestCombinationSearch)
#include "tst_combination_search.moc"
