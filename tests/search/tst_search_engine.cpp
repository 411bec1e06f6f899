// SPDX-License-Identifier: GPL-3.0-or-later
// The fast engine against the literal count: for random inputs both must show the same message
// boxes, the same progress, and leave the same search state.
#include "core/numbers/number_text.h"
#include "form_fixture.h"
#include "search/search_engine.h"
#include "ui/command_button.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QtTest>

namespace {

struct Scenario {
    QStringList values;
    QString target;
    int mode = 0; // 0 exact, 1 tolerance amount, 2 tolerance percent
    QString tolerance;
    int actionAtPump = 0; // 0 none, else the pump at which the action happens
    int action = 0;       // 0 switch the mode, 1 new target, 2 Stop
    QString newTarget;
    quint32 answerSeed = 0; // drives Yes/No at hits; 0 answers Yes to all
    int oldProgress = 0;    // value left on the bar by an earlier run
};

QString describe(const Scenario& s) {
    return QStringLiteral("values=[%1] target=%2 mode=%3 tol=%4 pump=%5 action=%6 new=%7")
        .arg(s.values.join(QLatin1Char('|')), s.target)
        .arg(s.mode)
        .arg(s.tolerance)
        .arg(s.actionAtPump)
        .arg(s.action)
        .arg(s.newTarget);
}

QString amountText(QRandomGenerator& rng) {
    const QLocale locale;
    switch (rng.bounded(6)) {
    case 0: // small whole amounts, so that many combinations hit
        return locale.toString(int(rng.bounded(-3, 8)));
    case 1: // two decimals
        return locale.toString(rng.bounded(-50000, 50000) / 100.0, 'f', 2);
    case 2: // more than four decimals, ties included
        return locale.toString(rng.bounded(-99999, 99999) / 100000.0, 'f', 5);
    case 3: // near the edge of the Currency range: sums overflow
        return locale.toString((rng.bounded(2) ? 1 : -1) * (4.0e14 + rng.bounded(1000000) * 1.0e8), 'f', 2);
    case 4: // a value whose conversion in the test overflows
        return locale.toString(922337203685477.0 + rng.bounded(2) * 0.6, 'f', 2);
    default: // zero or text: takes no part
        return rng.bounded(2) ? QStringLiteral("0") : QStringLiteral("x");
    }
}

Scenario randomScenario(QRandomGenerator& rng) {
    Scenario s;
    const bool dense = rng.bounded(6) == 0; // twelve small amounts: hits all through the count
    const int n = dense ? 12 : rng.bounded(13);
    const bool huge = rng.bounded(8) == 0;
    for (int i = 0; i < n; ++i) {
        QString v = dense ? QLocale().toString(rng.bounded(-300, 700) / 100.0, 'f', 2) : amountText(rng);
        if (!huge && (v.size() > 12))
            v = QLocale().toString(int(rng.bounded(1, 20)));
        s.values << v;
    }
    // A target that some combination reaches, most of the time.
    double target = 0;
    for (const QString& v : s.values) {
        if (NumberText::isNumeric(v) && rng.bounded(2))
            target += NumberText::toDouble(v);
    }
    s.target = QLocale().toString(target, 'f', 2);
    s.mode = rng.bounded(3);
    s.tolerance = QLocale().toString(rng.bounded(-100, 600) / 100.0, 'f', 2);
    if (rng.bounded(2)) {
        s.actionAtPump = rng.bounded(1, 5);
        s.action = rng.bounded(3);
        s.newTarget = QLocale().toString(int(rng.bounded(-5, 30)));
    }
    s.answerSeed = rng.bounded(2) ? rng.generate() | 1 : 0;
    s.oldProgress = rng.bounded(0, 30);
    return s;
}

// Everything a user or another handler can observe of one run.
QStringList observe(const Scenario& s, bool literal) {
    FormFixture f;
    Form2& form = *f.form;
    form.show();
    form.setLiteralSearch(literal);
    form.ProgressBar1->setMaximum(30);
    form.ProgressBar1->setValue(s.oldProgress);
    f.setValues(s.values);
    f.setTarget(s.target);
    if (s.mode > 0)
        f.chooseTolerance(s.mode == 1, s.tolerance);

    QStringList trace;
    QRandomGenerator answers(s.answerSeed);
    f.msgs.onBox = [&](const MsgRequest& r) {
        trace << QStringLiteral("box %1 [%2] bar=%3/%4 colours=%5")
                     .arg(r.title, r.prompt)
                     .arg(form.ProgressBar1->value())
                     .arg(form.ProgressBar1->maximum())
                     .arg(form.txtSumme->palette().color(QPalette::Base).name());
        if (r.buttons == MsgButtons::YesNo && r.title == QLatin1String("Ergebnis"))
            f.msgs.answers = {s.answerSeed && answers.bounded(5) == 0 ? MsgAnswer::No : MsgAnswer::Yes};
    };
    int pumps = 0;
    EventPump::setPumpHook([&] {
        ++pumps;
        trace << QStringLiteral("pump %1 bar=%2").arg(pumps).arg(form.ProgressBar1->value());
        if (pumps != s.actionAtPump)
            return;
        if (s.action == 0)
            form.Option1[form.exactSearchChosen() ? 1 : 0]->click();
        else if (s.action == 1)
            f.setTarget(s.newTarget);
        else
            form.cmdStop->click();
    });
    form.Command1_Click();

    const SearchState& st = form.search;
    QStringList state;
    for (int i = 0; i < 23; ++i)
        state << QStringLiteral("%1/%2/%3").arg(st.dblWerte[i]).arg(st.bytFeldNr[i]).arg(st.bytBits[i]);
    trace << QStringLiteral("state n=%1 ziel=%2 tol=%3 lo=%4 hi=%5 [%6]")
                 .arg(st.bytAnzahl)
                 .arg(st.curZielwert.count())
                 .arg(st.curToleranz.count())
                 .arg(st.curUntergrenze.count())
                 .arg(st.curObergrenze.count())
                 .arg(state.join(QLatin1Char(' ')));
    trace << QStringLiteral("window bar=%1/%2 tag=%3 total=%4 idle=%5")
                 .arg(form.ProgressBar1->value())
                 .arg(form.ProgressBar1->maximum())
                 .arg(form.cmdStop->tag(), form.lblSumme->text())
                 .arg(form.Command1->isEnabled() && !form.Frame1->isVisible() && !form.isRunning());
    return trace;
}

} // namespace

class TestSearchEngine : public QObject {
    Q_OBJECT

private slots:
    void engineMatchesLiteralCount();
    void fallsBackWhereSumsCanOverflow_data();
    void fallsBackWhereSumsCanOverflow();
};

void TestSearchEngine::engineMatchesLiteralCount() {
    QRandomGenerator rng(20261207);
    int withHits = 0, withFailures = 0, withPumpActions = 0;
    for (int round = 0; round < 300; ++round) {
        const Scenario s = randomScenario(rng);
        const QStringList fast = observe(s, false);
        const QStringList literal = observe(s, true);
        if (fast != literal) {
            qWarning().noquote() << "scenario" << round << describe(s);
            for (qsizetype i = 0; i < qMax(fast.size(), literal.size()); ++i) {
                const QString a = fast.value(i), b = literal.value(i);
                if (a != b) {
                    qWarning().noquote() << "engine :" << a << "\nliteral:" << b;
                    break;
                }
            }
            QFAIL("engine and literal count differ");
        }
        withHits += literal.filter(QStringLiteral("box Ergebnis")).isEmpty() ? 0 : 1;
        withFailures += literal.filter(QStringLiteral("box Fehler")).isEmpty() ? 0 : 1;
        withPumpActions += s.actionAtPump > 0 && !literal.filter(QStringLiteral("pump ")).isEmpty() ? 1 : 0;
    }
    // The random inputs must reach the interesting paths, or the comparison proves little.
    QVERIFY2(withHits > 100, qPrintable(QString::number(withHits)));
    QVERIFY2(withFailures > 5, qPrintable(QString::number(withFailures)));
    QVERIFY2(withPumpActions > 10, qPrintable(QString::number(withPumpActions)));
}

void TestSearchEngine::fallsBackWhereSumsCanOverflow_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<bool>("fast");
    QTest::newRow("ordinary") << QList<double>{10.0, -20.5, 0.12345} << true;
    QTest::newRow("no values") << QList<double>{} << true;
    QTest::newRow("absolute sum at the edge") << QList<double>{461168601842738.0, -461168601842738.0} << true;
    QTest::newRow("absolute sum beyond the edge, total fine")
        << QList<double>{-900000000000000.0, 900000000000000.0} << false;
    QTest::newRow("value does not convert") << QList<double>{922337203685477.6} << false;
}

void TestSearchEngine::fallsBackWhereSumsCanOverflow() {
    QFETCH(QList<double>, values);
    QFETCH(bool, fast);
    QCOMPARE(SearchEngine::prepare(std::span<const double>(values.data(), values.size())).has_value(), fast);
}

QTEST_MAIN(TestSearchEngine)
#include "tst_search_engine.moc"
