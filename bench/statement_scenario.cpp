// SPDX-License-Identifier: GPL-3.0-or-later
#include "statement_scenario.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <random>
#include <vector>

namespace {

struct Invoice {
    int customer;
    qint64 cents;
    QDate date;
    bool used = false;
};

QString money(qint64 cents) {
    return QStringLiteral("%1,%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString plain(qint64 cents) {
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString customerName(int c) {
    static const char* const kinds[] = {"Bäckerei", "Autohaus", "Praxis", "Elektro", "Hotel", "Schreinerei"};
    return QStringLiteral("%1 Nummer %2 GmbH").arg(QString::fromUtf8(kinds[c % 6])).arg(c);
}

QString entry(qint64 cents, const QString& payer, const QString& text) {
    return QStringLiteral(
               "<Ntry><Amt Ccy=\"EUR\">%1</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>"
               "<BookgDt><Dt>2026-12-07</Dt></BookgDt><ValDt><Dt>2026-12-07</Dt></ValDt><NtryDtls><TxDtls>"
               "<RltdPties><Dbtr><Pty><Nm>%2</Nm></Pty></Dbtr></RltdPties><RmtInf><Ustrd>%3</Ustrd>"
               "</RmtInf></TxDtls></NtryDtls></Ntry>\n")
        .arg(plain(cents), payer.toHtmlEscaped(), text.toHtmlEscaped());
}

} // namespace

StatementScenario::StatementScenario(const QString& folder, int payments, int items, int customers) {
    std::mt19937 rng(20261207);
    std::vector<Invoice> invoices;
    QString csv = customers ? QStringLiteral("Belegnr;Kundennr;Kunde;Belegdatum;Betrag\n")
                            : QStringLiteral("Belegnr;Belegdatum;Betrag\n");
    const QDate booking(2026, 12, 7);
    for (int i = 0; i < items; ++i) {
        const int customer = customers ? int(rng() % unsigned(customers)) : 0;
        invoices.push_back({customer, qint64(rng() % 500000 + 5000), booking.addDays(-qint64(rng() % 150))});
        const QString number = QStringLiteral("RE-2026-%1").arg(i + 1, 5, 10, QLatin1Char('0'));
        csv += customers ? QStringLiteral("%1;K%2;%3;%4;%5\n")
                               .arg(number)
                               .arg(customer)
                               .arg(customerName(customer), invoices.back().date.toString(u"dd.MM.yyyy"),
                                    money(invoices.back().cents))
                         : QStringLiteral("%1;%2;%3\n")
                               .arg(number, invoices.back().date.toString(u"dd.MM.yyyy"),
                                    money(invoices.back().cents));
    }
    QString entries;
    for (int p = 0; p < payments; ++p) {
        const int count = customers ? int(rng() % 3) + 1 : int(rng() % 4) + 1;
        const int kind = customers ? p % 3 : 2;
        std::vector<int> chosen;
        const int customer = invoices[rng() % invoices.size()].customer;
        for (int tries = 0; tries < 100000 && int(chosen.size()) < count; ++tries) {
            const int i = int(rng() % invoices.size());
            if (!invoices[std::size_t(i)].used &&
                (invoices[std::size_t(i)].customer == customer || !customers)) {
                invoices[std::size_t(i)].used = true;
                chosen.push_back(i);
            }
        }
        qint64 sum = 0;
        QStringList numbers;
        for (const int i : chosen) {
            sum += invoices[std::size_t(i)].cents;
            numbers << QStringLiteral("RE-2026-%1").arg(i + 1, 5, 10, QLatin1Char('0'));
        }
        if (kind == 1)
            sum -= (sum * 2 + 50) / 100;
        const QString payer = customers ? customerName(customer) : QStringLiteral("Kunde");
        entries += entry(sum, payer,
                         kind == 0 ? QStringLiteral("Rechnung ") + numbers.join(QLatin1Char(' '))
                                   : QStringLiteral("Zahlung vom 05.12.2026"));
    }
    const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
                                       "<BkToCstmrStmt><GrpHdr><MsgId>B</MsgId><CreDtTm>2026-12-08T06:00:00"
                                       "</CreDtTm></GrpHdr><Stmt><Id>B</Id><Acct><Id><IBAN>"
                                       "DE15370501980001234567</IBAN></Id><Ccy>EUR</Ccy></Acct>\n%1</Stmt>"
                                       "</BkToCstmrStmt></Document>\n")
                            .arg(entries);
    const QString name = QStringLiteral("%1_%2_%3").arg(payments).arg(items).arg(customers);
    statement = QDir(folder).filePath(name + QStringLiteral("_auszug.xml"));
    this->items = QDir(folder).filePath(name + QStringLiteral("_posten.csv"));
    QFile a(statement), b(this->items);
    if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly))
        return;
    a.write(xml.toUtf8());
    b.write(csv.toUtf8());
}
