// SPDX-License-Identifier: GPL-3.0-or-later
// kalvon-find as a user runs it: the real program, its output, messages and exit status.
#include "core/number_text.h"
#include "form_fixture.h"
#include "ui/colors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <csignal>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

Result find(const QStringList& arguments, const QString& input = {}) {
    QProcess process;
    process.start(QStringLiteral(KALVON_FIND), arguments);
    process.write(input.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// "items" and "sum" of each listed hit, as one line each.
QStringList jsonHits(const QJsonObject& json) {
    QStringList hits;
    for (const QJsonValue& hit : json[QLatin1String("hits")].toArray()) {
        QStringList items;
        for (const QJsonValue& item : hit[QLatin1String("items")].toArray())
            items << QString::number(item.toInt());
        hits << items.join(QLatin1Char(' ')) + QLatin1Char('=') + hit[QLatin1String("sum")].toString();
    }
    return hits;
}

QString plain(qint64 count) {
    return QStringLiteral("%1%2.%3")
        .arg(count < 0 ? QStringLiteral("-") : QString())
        .arg(qAbs(count) / 10000)
        .arg(qAbs(count) % 10000, 4, 10, QLatin1Char('0'));
}

} // namespace

class TestKalvonFind : public QObject {
    Q_OBJECT

private slots:
    void sameAsEnumeration();
    void sameHitsAsWindow();
    void output_data();
    void output();
    void interrupted();
};

// Random lists of up to 20 amounts against trying every combination one by one.
void TestKalvonFind::sameAsEnumeration() {
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 120; ++round) {
        QList<qint64> counts; // every amount in ten-thousandths, zeros included
        const int n = int(rng.bounded(21));
        for (int i = 0; i < n; ++i)
            counts << (rng.bounded(6) == 0 ? 0
                       : rng.bounded(4)    ? rng.bounded(-4, 10) * 10000
                                           : rng.bounded(-99999, 99999));
        qint64 target = 0;
        for (qint64 c : counts)
            target += rng.bounded(2) ? c : 0;
        QStringList arguments{QStringLiteral("--locale"), QStringLiteral("C"), QStringLiteral("--json"),
                              QStringLiteral("--target=") + plain(target)};
        qint64 lower = target, upper = target;
        const int mode = int(rng.bounded(3)), limit = QList<int>{0, 1, 7, 1000}[rng.bounded(4)];
        if (mode == 1) {
            const qint64 t = rng.bounded(3) * 5000;
            arguments << QStringLiteral("--tolerance=") + plain(t);
            lower -= t, upper += t;
        } else if (mode == 2) { // an exact percentage whose amount needs rounding: 12.5 % of 0.0001 is a tie
            const qint64 percent = rng.bounded(40) * 12500, product = qAbs(target) * percent;
            const qint64 t =
                product / 1000000 + (2 * (product % 1000000) + (product / 1000000 % 2) > 1000000);
            arguments << QStringLiteral("--tolerance=%1%").arg(plain(percent));
            lower -= t, upper += t;
        }
        if (limit != 1000 || rng.bounded(2))
            arguments << QStringLiteral("--limit=%1").arg(limit);
        QStringList input, expected;
        QList<int> numbers;
        for (int i = 0; i < n; ++i) {
            input << plain(counts[i]);
            if (counts[i] != 0)
                numbers << i + 1;
        }
        quint64 total = 0;
        for (quint32 x = 1; x < (quint32(1) << numbers.size()); ++x) {
            qint64 sum = 0;
            QStringList items;
            for (int bit = 0; bit < numbers.size(); ++bit) {
                if (x >> bit & 1) {
                    sum += counts[numbers[bit] - 1];
                    items << QString::number(numbers[bit]);
                }
            }
            if (lower <= sum && sum <= upper && ++total <= quint64(limit))
                expected << items.join(QLatin1Char(' ')) + QLatin1Char('=') + plain(sum);
        }
        const Result r =
            find(arguments, input.join(rng.bounded(2) ? QStringLiteral("\n") : QStringLiteral(" ; ")));
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QString scenario =
            arguments.join(QLatin1Char(' ')) + QStringLiteral(" amounts ") + input.join(QLatin1Char('|'));
        QVERIFY2(r.status == (total > 0 ? 0 : 1), qPrintable(scenario + r.err));
        QCOMPARE(json[QLatin1String("amounts")].toInt(), n);
        QCOMPARE(quint64(json[QLatin1String("total")].toDouble()), total);
        QVERIFY2(jsonHits(json) == expected, qPrintable(scenario));
    }
}

// The same 23 amounts: kalvon-find lists exactly the hits the window presents, in its order.
void TestKalvonFind::sameHitsAsWindow() {
    FormFixture f;
    QStringList values;
    for (int i = 0; i < 23; ++i)
        values << (i % 7 == 3 ? QStringLiteral("0,00")
                              : QStringLiteral("%1,50").arg((i % 5) * 125 + 250 + i));
    f.setValues(values);
    f.setTarget(QStringLiteral("1.546"));
    QStringList windowHits;
    f.msgs.onBox = [&](const MsgRequest& r) {
        if (r.title != QLatin1String("Ergebnis"))
            return;
        QStringList green;
        for (int i = 0; i < 23; ++i) {
            if (Colors::backColor(f.form->Text1[i]) == Colors::HitGreen)
                green << QString::number(i + 1);
        }
        QString sum = r.prompt.section(QLatin1Char('\r'), 1, 1).mid(15).chopped(1);
        windowHits << green.join(QLatin1Char(' ')) + QLatin1Char('=') +
                          plain(NumberText::toCurrency(sum).count());
    };
    f.form->Command1_Click();
    QVERIFY(windowHits.size() > 20);

    const Result r = find({QStringLiteral("--locale"), QStringLiteral("de_DE"), QStringLiteral("--json"),
                           QStringLiteral("--target"), f.form->txtSumme->text()},
                          values.join(QLatin1Char('\t')));
    QCOMPARE(r.status, 0);
    QCOMPARE(jsonHits(QJsonDocument::fromJson(r.out.toUtf8()).object()), windowHits);
}

void TestKalvonFind::output_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString data = QStringLiteral(KALVON_TEST_DATA);
    auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char(' '));
    };
    QTest::newRow("German invoices") << args("--locale de_DE --target 1.250,40") +
                                            QStringList{data + QStringLiteral("/rechnungen_de.txt")}
                                     << QString() << 0
                                     << QStringLiteral(
                                            "Treffer 1: Nr. 1 (1.000,00) + Nr. 4 (250,40) = 1.250,40\n"
                                            "Treffer 2: Nr. 2 (1.234,5678) + Nr. 5 (15,8322) = 1.250,40\n"
                                            "Insgesamt 2 Treffer.\n")
                                     << QString();
    QTest::newRow("Swiss invoices, 1 % tolerance, one listed")
        << args("--locale de_CH --target 2'000 --tolerance 1% --limit 1") +
               QStringList{data + QStringLiteral("/rechnungen_ch.txt")}
        << QString() << 0
        << QStringLiteral("Treffer 1: Nr. 1 (1’500.00) + Nr. 3 (480.05) = 1’980.05\n"
                          "Insgesamt 3 Treffer, davon 2 nicht aufgeführt.\n")
        << QString();
    QTest::newRow("no hit") << args("--locale de_DE --target 7") << QStringLiteral("5\n0\n3") << 1
                            << QStringLiteral("Es wurde keine Kombination gefunden.\n") << QString();
    QTest::newRow("not a number") << args("--locale de_DE --target 7") << QStringLiteral("5\n\n3,5\n7 €") << 2
                                  << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Der Betrag Nr. 3 ist keine gültige Zahl: „7 €“.\n");
    QTest::newRow("out of range") << args("--locale de_DE --target 7") << QStringLiteral("1e15") << 2
                                  << QString()
                                  << QStringLiteral(
                                         "kalvon-find: Der Betrag Nr. 1, „1e15“, liegt außerhalb des "
                                         "zulässigen Bereichs von ±922.337.203.685.477,58.\n");
    QTest::newRow("possible sum out of range")
        << args("--locale de_DE --target 7") << QStringLiteral("900.000.000.000.000;-1;22.337.203.685.478")
        << 2 << QString()
        << QStringLiteral("kalvon-find: Eine mögliche Summe der Beträge liegt außerhalb des zulässigen "
                          "Bereichs von ±922.337.203.685.477,58.\n");
    QTest::newRow("49 amounts") << args("--locale de_DE --target 7") << QStringLiteral("1;").repeated(49) << 2
                                << QString()
                                << QStringLiteral(
                                       "kalvon-find: 49 Beträge sind ungleich null; mehr als 48 lassen sich "
                                       "nicht kombinieren.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("negative tolerance")
        << args("--locale de_DE --target 7 --tolerance -1%") << QStringLiteral("7") << 2 << QString()
        << QStringLiteral("kalvon-find: Die Toleranz darf nicht negativ sein: „-1%“.\nEine Übersicht gibt: "
                          "kalvon-find --help\n");
    QTest::newRow("no target")
        << args("--locale de_DE") << QStringLiteral("7") << 2 << QString()
        << QStringLiteral(
               "kalvon-find: Der Zielwert fehlt: --target TEXT.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("bad limit") << args("--target 7 --limit -1") << QStringLiteral("7") << 2 << QString()
                               << QStringLiteral("kalvon-find: --limit erwartet eine ganze Zahl ab 0, nicht "
                                                 "„-1“.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("unknown locale") << args("--locale xx_YY --target 7") << QStringLiteral("7") << 2
                                    << QString()
                                    << QStringLiteral(
                                           "kalvon-find: Unbekanntes regionales Format für --locale: "
                                           "„xx_YY“.\nEine Übersicht gibt: kalvon-find --help\n");
    QTest::newRow("missing file")
        << args("--target 7 /nonexistent/rechnungen.txt") << QString() << 2 << QString()
        << QStringLiteral("kalvon-find: Die Datei „/nonexistent/rechnungen.txt“ gibt es nicht.\n");
}

void TestKalvonFind::output() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    const Result r = find(arguments, input);
    QTEST(r.err, "err");
    QTEST(r.out, "out");
    QTEST(r.status, "status");
}

// Ctrl+C during a long run ends it at once with status 130 and nothing half written.
void TestKalvonFind::interrupted() {
    QStringList amounts;
    for (int i = 0; i < 48; ++i)
        amounts << QString::number(1000003 * (i + 1) % 99999989) + QStringLiteral(".17");
    QProcess process;
    process.start(QStringLiteral(KALVON_FIND), {QStringLiteral("--locale=C"), QStringLiteral("--target=1")});
    process.write(amounts.join(QLatin1Char('\n')).toUtf8());
    process.closeWriteChannel();
    QTest::qWait(400);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(2000));
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_MAIN(TestKalvonFind)
#include "tst_kalvon_find.moc"
