// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a bank statement as banks send a year of them: a ZIP of 250 daily camt.053 files with
// 10,000 entries in all, each entry a SEPA payment with its parties, reference and text.
#include "core/tables/statement.h"

#include <QBuffer>
#include <QByteArray>
#include <QDate>

#include <benchmark/benchmark.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <random>

namespace {

QByteArray entryXml(std::mt19937_64& rng, const QDate& day, int number) {
    const qint64 cents = 100 + qint64(rng() % 500000);
    const bool credit = rng() % 5 != 0;
    const QByteArray amount =
        QByteArray::number(cents / 100) + '.' + QByteArray::number(cents % 100).rightJustified(2, '0');
    const QByteArray date = day.toString(Qt::ISODate).toLatin1();
    const QByteArray invoice = "RE-2026-" + QByteArray::number(1000 + number % 9000);
    const QByteArray party = credit ? "Dbtr" : "Cdtr";
    return "<Ntry><NtryRef>" + QByteArray::number(number) + "</NtryRef><Amt Ccy=\"EUR\">" + amount +
           "</Amt><CdtDbtInd>" + (credit ? "CRDT" : "DBIT") +
           "</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts><BookgDt><Dt>" + date + "</Dt></BookgDt><ValDt><Dt>" + date +
           "</Dt></ValDt><BkTxCd><Domn><Cd>PMNT</Cd><Fmly><Cd>RCDT</Cd><SubFmlyCd>ESCT</SubFmlyCd></Fmly></"
           "Domn>"
           "</BkTxCd><NtryDtls><TxDtls><Refs><EndToEndId>" +
           invoice + "</EndToEndId></Refs><Amt Ccy=\"EUR\">" + amount + "</Amt><CdtDbtInd>" +
           (credit ? "CRDT" : "DBIT") + "</CdtDbtInd><RltdPties><" + party + "><Pty><Nm>Kunde " +
           QByteArray::number(int(rng() % 1000)) + " GmbH</Nm></Pty></" + party + "><" + party +
           "Acct><Id><IBAN>DE43500105175544332211</IBAN></Id></" + party +
           "Acct></RltdPties><RmtInf><Ustrd>Rechnung " + invoice + " vom " + date + " Kundennr. " +
           QByteArray::number(int(rng() % 100000)) +
           "</Ustrd></RmtInf></TxDtls></NtryDtls><AddtlNtryInf>SEPA-Gutschrift</AddtlNtryInf></Ntry>\n";
}

QByteArray dayXml(std::mt19937_64& rng, const QDate& day, int first, int count) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document "
        "xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\"><BkToCstmrStmt><GrpHdr><MsgId>M" +
        QByteArray::number(first) +
        "</MsgId></GrpHdr><Stmt><Acct><Id><IBAN>DE15370501980001234567</IBAN></Id><Ccy>EUR</Ccy></Acct>"
        "<Bal><Tp><CdOrPrtry><Cd>OPBD</Cd></CdOrPrtry></Tp><Amt Ccy=\"EUR\">10000.00</Amt>"
        "<CdtDbtInd>CRDT</CdtDbtInd><Dt><Dt>" +
        day.toString(Qt::ISODate).toLatin1() + "</Dt></Dt></Bal>\n";
    for (int i = 0; i < count; ++i)
        xml += entryXml(rng, day, first + i);
    return xml + "</Stmt></BkToCstmrStmt></Document>\n";
}

QByteArray yearOfStatements(int days, int entries) {
    std::mt19937_64 rng(2026);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    QDate day(2026, 1, 2);
    for (int d = 0; d < days; ++d, day = day.addDays(day.dayOfWeek() == 5 ? 3 : 1)) {
        const int first = d * entries / days, last = (d + 1) * entries / days;
        QuaZipFile file(&zip);
        file.open(
            QIODevice::WriteOnly,
            QuaZipNewInfo(QStringLiteral("camt053_%1.xml").arg(day.toString(QStringLiteral("yyyyMMdd")))));
        file.write(dayXml(rng, day, first + 1, last - first));
        file.close();
    }
    zip.close();
    return bytes;
}

void BM_StatementZip(benchmark::State& state) {
    const QByteArray zip = yearOfStatements(int(state.range(0)), int(state.range(1)));
    std::size_t entries = 0;
    for (auto _ : state) {
        const Statement statement = StatementReader::read(zip, QStringLiteral("auszuege.zip"));
        entries = statement.entries.size();
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = double(entries);
    state.counters["zip_MB"] = double(zip.size()) / (1 << 20);
}

} // namespace

BENCHMARK(BM_StatementZip)->Args({250, 10000})->Unit(benchmark::kMillisecond)->UseRealTime();
