// SPDX-License-Identifier: GPL-3.0-or-later
// ISO 20022 bank-to-customer messages: camt.053 (statement), camt.052 (account report) and camt.054
// (debit/credit notification), read alike. Only what a payment needs is taken; the rest is passed
// over. A DTD is refused before anything is expanded, and the nesting depth is bounded.
#include "core/numbers/kalvon_error.h"
#include "core/tables/statement_formats.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <vector>

namespace StatementFormats {
namespace {

struct MessageKind {
    const char* element;
    Statement::Format format;
};

constexpr MessageKind MessageKinds[] = {
    {"BkToCstmrStmt", Statement::Format::Camt053},
    {"BkToCstmrAcctRpt", Statement::Format::Camt052},
    {"BkToCstmrDbtCdtNtfctn", Statement::Format::Camt054},
};

// The account sections of the messages: a statement, a report, a notification.
bool isAccountSection(QStringView name) {
    return name == u"Stmt" || name == u"Rpt" || name == u"Ntfctn";
}

// One TxDtls: a payment within an entry.
struct Transaction {
    bool hasAmount = false;
    Currency amount;
    QString currency;
    QString direction; // CRDT, DBIT or empty: the entry's
    QStringList remittance;
    QString endToEndId, mandateId, debtor, debtorIban, creditor, creditorIban, info;
};

// One Ntry as read, before it becomes one or more statement entries.
struct Entry {
    int line = 0;
    bool hasAmount = false;
    Currency amount;
    QString currency, direction, status, info;
    bool reversal = false;
    QDate booking, value;
    std::vector<Transaction> transactions;
};

QString joinedDistinct(QStringList texts, const QString& separator) {
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts.join(separator);
}

// The payments of an entry that is booked as one: their texts joined, a name or reference where
// they agree.
Transaction merged(const std::vector<Transaction>& txs) {
    Transaction whole;
    QStringList ends, mandates, debtors, debtorIbans, creditors, creditorIbans, infos;
    for (const Transaction& tx : txs) {
        whole.remittance << tx.remittance;
        ends << tx.endToEndId;
        mandates << tx.mandateId;
        debtors << tx.debtor;
        debtorIbans << tx.debtorIban;
        creditors << tx.creditor;
        creditorIbans << tx.creditorIban;
        infos << tx.info;
    }
    const QString slash = QStringLiteral(" / ");
    whole.endToEndId = joinedDistinct(ends, slash);
    whole.mandateId = joinedDistinct(mandates, slash);
    whole.debtor = joinedDistinct(debtors, slash);
    whole.creditor = joinedDistinct(creditors, slash);
    whole.info = joinedDistinct(infos, slash);
    // An IBAN only where the payments agree: several would name no one payer.
    debtorIbans.removeAll(QString());
    debtorIbans.removeDuplicates();
    creditorIbans.removeAll(QString());
    creditorIbans.removeDuplicates();
    whole.debtorIban = debtorIbans.size() == 1 ? debtorIbans.front() : QString();
    whole.creditorIban = creditorIbans.size() == 1 ? creditorIbans.front() : QString();
    return whole;
}

class CamtReader {
public:
    CamtReader(const QByteArray& bytes, const QString& file, const Options& options, Statement& statement)
        : m_xml(bytes)
        , m_file(file)
        , m_options(options)
        , m_statement(statement) {}
    void run();

private:
    void start();
    void end();
    void root();
    void message();
    void sectionLeaf(QStringView path);
    void entryLeaf(QStringView path);
    void transactionLeaf(QStringView path);
    void finishEntry();
    bool isSplit() const;
    void addPayment(StatementEntry entry, const Transaction* transaction);
    qsizetype depth() const { return m_starts.size(); }
    QStringView relative(qsizetype from) const;
    void push(QStringView name);
    void pop();
    QString text(QXmlStreamReader::ReadElementTextBehaviour children = QXmlStreamReader::SkipChildElements);
    Currency amount(const QString& text);
    QDate date(const QString& text);
    [[noreturn]] void broken(const QString& detail) const;
    [[noreturn]] void entryBroken(const QString& detail) const;

    QXmlStreamReader m_xml;
    QString m_file;
    const Options& m_options;
    Statement& m_statement;
    // The open elements from the root as "/Document/BkToCstmrStmt/…", and where each one's '/' is.
    QString m_path;
    QList<qsizetype> m_starts;
    qsizetype m_section = -1; // the depth of the open Stmt, Rpt or Ntfctn
    qsizetype m_entryAt = -1; // of the open Ntry
    qsizetype m_txAt = -1;    // of the open TxDtls
    QString m_account, m_accountCurrency, m_balanceCurrency;
    Entry m_entry;
    bool m_firstFile = true;
    bool m_sawMessage = false;
};

void CamtReader::broken(const QString& detail) const {
    fail(QStringLiteral("Die Datei %1 ist kein lesbarer Kontoauszug: %2").arg(fileText(m_file), detail));
}

void CamtReader::entryBroken(const QString& detail) const {
    fail(QStringLiteral("Die Buchung %1 (Zeile %2) in der Datei %3 ist unlesbar: %4")
             .arg(nextEntry(m_statement))
             .arg(m_entry.line)
             .arg(fileText(m_file), detail));
}

void CamtReader::run() {
    m_firstFile = m_statement.files.size() <= 1;
    while (!m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::DTD:
            broken(QStringLiteral("Sie enthält eine Dokumenttypdefinition (DTD); solche Dateien werden aus "
                                  "Sicherheitsgründen nicht gelesen."));
        case QXmlStreamReader::EntityReference:
            broken(QStringLiteral("Sie verweist auf die Entität „%1“, die nicht aufgelöst wird.")
                       .arg(m_xml.name().toString()));
        case QXmlStreamReader::StartElement:
            start();
            break;
        case QXmlStreamReader::EndElement:
            end();
            break;
        default:
            break;
        }
    }
    if (m_xml.hasError())
        broken(QStringLiteral("Sie ist kein gültiges XML (Zeile %1, Spalte %2).")
                   .arg(m_xml.lineNumber())
                   .arg(m_xml.columnNumber()));
    if (!m_sawMessage)
        broken(QStringLiteral("Sie enthält keine Nachricht."));
}

// The path below the element at that depth: "RltdPties/Dbtr/Nm".
QStringView CamtReader::relative(qsizetype from) const {
    return QStringView(m_path).mid(m_starts[from + 1] + 1);
}

void CamtReader::push(QStringView name) {
    m_starts << m_path.size();
    m_path += u'/';
    m_path += name;
}

void CamtReader::pop() {
    m_path.truncate(m_starts.takeLast());
}

void CamtReader::start() {
    push(m_xml.name());
    if (depth() > m_options.maxXmlDepth)
        broken(QStringLiteral("Sie ist tiefer als %1 Ebenen verschachtelt.").arg(m_options.maxXmlDepth));
    if (depth() == 1)
        return root();
    if (depth() == 2)
        return message();
    const QStringView name = m_xml.name();
    if (m_section < 0) {
        if (depth() == 3 && isAccountSection(name)) {
            m_section = depth() - 1;
            m_account.clear();
            m_accountCurrency.clear();
            m_balanceCurrency.clear();
        }
        return;
    }
    if (m_entryAt < 0) {
        if (depth() - 1 == m_section + 1 && name == u"Ntry") {
            m_entryAt = depth() - 1;
            m_entry = Entry();
            m_entry.line = int(m_xml.lineNumber());
            return;
        }
        return sectionLeaf(relative(m_section));
    }
    if (m_txAt < 0) {
        const QStringView path = relative(m_entryAt);
        if (path == u"NtryDtls/TxDtls") {
            m_txAt = depth() - 1;
            m_entry.transactions.emplace_back();
            return;
        }
        return entryLeaf(path);
    }
    transactionLeaf(relative(m_txAt));
}

void CamtReader::end() {
    const qsizetype at = depth() - 1;
    if (at == m_txAt)
        m_txAt = -1;
    else if (at == m_entryAt) {
        finishEntry();
        m_entryAt = -1;
    } else if (at == m_section)
        m_section = -1;
    pop();
}

void CamtReader::root() {
    if (m_xml.name() != u"Document")
        broken(QStringLiteral(
                   "Das XML ist keine ISO-20022-Nachricht (camt.052, camt.053 oder camt.054), sondern „%1“.")
                   .arg(m_xml.name().toString()));
    static const QRegularExpression version(QStringLiteral(":camt\\.05[234]\\.(\\d{3}\\.\\d{2})$"));
    const auto match = version.match(m_xml.namespaceUri().toString());
    if (m_firstFile)
        m_statement.version = match.hasMatch() ? match.captured(1) : QString();
}

void CamtReader::message() {
    for (const MessageKind& kind : MessageKinds) {
        if (m_xml.name() == QLatin1String(kind.element)) {
            m_statement.format = kind.format;
            m_sawMessage = true;
            return;
        }
    }
    broken(QStringLiteral("Die Nachricht „%1“ ist kein Kontoauszug; gelesen werden camt.053 (BkToCstmrStmt), "
                          "camt.052 (BkToCstmrAcctRpt) und camt.054 (BkToCstmrDbtCdtNtfctn).")
               .arg(m_xml.name().toString()));
}

QString CamtReader::text(QXmlStreamReader::ReadElementTextBehaviour children) {
    const QString value = m_xml.readElementText(children).trimmed();
    pop(); // readElementText has consumed the end element
    return value;
}

void CamtReader::sectionLeaf(QStringView path) {
    if (path == u"Acct/Id/IBAN")
        m_account = text().remove(QLatin1Char(' '));
    else if (path == u"Acct/Ccy")
        m_accountCurrency = text();
    else if (path == u"Bal/Amt" && m_balanceCurrency.isEmpty())
        m_balanceCurrency = m_xml.attributes().value(QLatin1String("Ccy")).toString();
    else
        return;
    if (m_statement.iban.isEmpty())
        m_statement.iban = m_account;
    const QString currency = m_accountCurrency.isEmpty() ? m_balanceCurrency : m_accountCurrency;
    if (m_statement.currency.isEmpty() && m_statement.entries.empty())
        m_statement.currency = currency;
}

void CamtReader::entryLeaf(QStringView path) {
    if (path == u"Amt") {
        m_entry.currency = m_xml.attributes().value(QLatin1String("Ccy")).toString();
        m_entry.amount = amount(text());
        m_entry.hasAmount = true;
    } else if (path == u"CdtDbtInd")
        m_entry.direction = text();
    else if (path == u"RvslInd") {
        const QString value = text();
        m_entry.reversal = value == QLatin1String("true") || value == QLatin1String("1");
    } else if (path == u"Sts") // "BOOK", or since version .08 <Cd>BOOK</Cd>
        m_entry.status = text(QXmlStreamReader::IncludeChildElements);
    else if (path == u"BookgDt/Dt" || path == u"BookgDt/DtTm")
        m_entry.booking = date(text());
    else if (path == u"ValDt/Dt" || path == u"ValDt/DtTm")
        m_entry.value = date(text());
    else if (path == u"AddtlNtryInf")
        m_entry.info = text();
}

void CamtReader::transactionLeaf(QStringView path) {
    Transaction& tx = m_entry.transactions.back();
    if (path == u"Amt" || path == u"AmtDtls/TxAmt/Amt") {
        tx.currency = m_xml.attributes().value(QLatin1String("Ccy")).toString();
        tx.amount = amount(text());
        tx.hasAmount = true;
    } else if (path == u"CdtDbtInd")
        tx.direction = text();
    else if (path == u"Refs/EndToEndId")
        tx.endToEndId = text();
    else if (path == u"Refs/MndtId")
        tx.mandateId = text();
    else if (path == u"RltdPties/Dbtr/Nm" || path == u"RltdPties/Dbtr/Pty/Nm")
        tx.debtor = text();
    else if (path == u"RltdPties/DbtrAcct/Id/IBAN")
        tx.debtorIban = text().remove(QLatin1Char(' '));
    else if (path == u"RltdPties/Cdtr/Nm" || path == u"RltdPties/Cdtr/Pty/Nm")
        tx.creditor = text();
    else if (path == u"RltdPties/CdtrAcct/Id/IBAN")
        tx.creditorIban = text().remove(QLatin1Char(' '));
    else if (path == u"RmtInf/Ustrd" || path == u"RmtInf/Strd/CdtrRefInf/Ref")
        tx.remittance << text();
    else if (path == u"AddtlTxInf")
        tx.info = text();
}

// A plain decimal as the schema writes amounts: digits, a point and at most five decimals, of
// which the fifth must be zero (amounts are kept to four).
Currency CamtReader::amount(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^(\\d{1,14})(?:\\.(\\d{1,4})0?)?$"));
    const auto match = decimal.match(text);
    if (!match.hasMatch())
        entryBroken(QStringLiteral("„%1“ ist kein Betrag.").arg(text.left(40)));
    const qint64 whole = match.captured(1).toLongLong();
    const qint64 fraction = match.captured(2).leftJustified(4, QLatin1Char('0')).toLongLong();
    return Currency::fromCount(whole * Currency::Scale + fraction);
}

QDate CamtReader::date(const QString& text) {
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    if (!date.isValid())
        entryBroken(QStringLiteral("„%1“ ist kein Datum.").arg(text.left(40)));
    return date;
}

// A batch whose payments each carry their amount becomes one entry per payment; otherwise the entry
// is one payment, its texts and references joined.
void CamtReader::finishEntry() {
    if (!m_entry.hasAmount)
        entryBroken(QStringLiteral("Sie hat keinen Betrag (Amt)."));
    if (m_entry.direction != QLatin1String("CRDT") && m_entry.direction != QLatin1String("DBIT"))
        entryBroken(QStringLiteral("Sie ist weder Gutschrift noch Lastschrift (CdtDbtInd „%1“).")
                        .arg(m_entry.direction.left(10)));
    if (m_statement.currency.isEmpty() && m_statement.entries.empty())
        m_statement.currency = m_entry.currency;
    StatementEntry entry;
    entry.entry = nextEntry(m_statement);
    entry.file = m_file;
    entry.line = m_entry.line;
    entry.currency = m_entry.currency;
    entry.bookingDate = m_entry.booking.isValid() ? m_entry.booking : m_entry.value;
    entry.valueDate = m_entry.value.isValid() ? m_entry.value : m_entry.booking;
    entry.bookingText = m_entry.info;
    entry.account = m_account;
    entry.reversal = m_entry.reversal;
    if (!m_entry.status.isEmpty() && m_entry.status != QLatin1String("BOOK"))
        entry.leftOut = StatementEntry::LeftOut::NotBooked;
    const auto& txs = m_entry.transactions;
    if (!isSplit()) {
        const Transaction whole = merged(txs);
        return addPayment(entry, txs.empty() ? nullptr : &whole);
    }
    for (std::size_t i = 0; i < txs.size(); ++i) {
        StatementEntry part = entry;
        part.part = int(i) + 1;
        addPayment(part, &txs[i]);
    }
}

// Each payment of the batch has its amount, and together they make the entry's.
bool CamtReader::isSplit() const {
    const auto& txs = m_entry.transactions;
    if (txs.size() < 2)
        return false;
    Currency sum;
    for (const Transaction& tx : txs) {
        if (!tx.hasAmount || tx.currency != m_entry.currency)
            return false;
        const QString direction = tx.direction.isEmpty() ? m_entry.direction : tx.direction;
        if (direction == m_entry.direction)
            sum += tx.amount;
        else
            sum -= tx.amount;
    }
    return sum == m_entry.amount;
}

void CamtReader::addPayment(StatementEntry entry, const Transaction* tx) {
    const bool part = entry.part > 0;
    const QString direction = part && !tx->direction.isEmpty() ? tx->direction : m_entry.direction;
    entry.direction = direction == QLatin1String("DBIT") ? StatementEntry::Direction::Debit
                                                         : StatementEntry::Direction::Credit;
    entry.amount = part ? tx->amount : m_entry.amount;
    if (tx) {
        const bool credit = entry.direction == StatementEntry::Direction::Credit;
        entry.remittance = tx->remittance.join(QLatin1Char(' '));
        entry.endToEndId = tx->endToEndId.compare(QLatin1String("NOTPROVIDED"), Qt::CaseInsensitive) == 0
                               ? QString()
                               : tx->endToEndId;
        entry.mandateReference = tx->mandateId;
        // The other party: the debtor of a credit, the creditor of a debit; a returned direct debit
        // names only the debtor.
        const QString& name = credit ? tx->debtor : tx->creditor;
        const QString& other = credit ? tx->creditor : tx->debtor;
        entry.payerName = name.isEmpty() ? other : name;
        const QString& iban = credit ? tx->debtorIban : tx->creditorIban;
        const QString& otherIban = credit ? tx->creditorIban : tx->debtorIban;
        entry.payerIban = name.isEmpty() && iban.isEmpty() ? otherIban : iban;
        if (!tx->info.isEmpty())
            entry.bookingText = entry.bookingText.isEmpty() ? tx->info : entry.bookingText;
    }
    append(m_statement, std::move(entry), m_options);
}

} // namespace

bool looksLikeCamt(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    int depth = 0;
    while (!xml.atEnd() && depth < 2) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD)
            return false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++depth == 1 && xml.name() != u"Document")
            return false;
        if (depth == 2) {
            for (const MessageKind& kind : MessageKinds) {
                if (xml.name() == QLatin1String(kind.element))
                    return true;
            }
        }
    }
    return false;
}

void readCamt(const QByteArray& bytes, const QString& file, const Options& options, Statement& statement) {
    CamtReader(bytes, file, options, statement).run();
}

} // namespace StatementFormats
