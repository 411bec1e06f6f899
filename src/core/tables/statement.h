// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QByteArray>
#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

// A bank statement as banks send it: ISO 20022 camt.053 (also camt.052 and camt.054, read alike)
// as XML or as a ZIP of several such files, MT940, or a bank's CSV export. The format is told by
// the content, never by the file name.

// One booking of the statement, incoming or not.
struct StatementEntry {
    enum class Direction { Credit, Debit };
    // Why an entry takes no part in matching; None for an incoming payment in the statement's currency.
    enum class LeftOut {
        None,
        Outgoing,        // a debit
        Reversal,        // a reversal (RvslInd, MT940 RC/RD)
        ForeignCurrency, // booked in another currency than the statement's
        NotBooked        // camt: pending or for information only (Sts PDNG/INFO)
    };

    // The entry's place: counted from 1 over the file, or over a ZIP's files in name order. camt:
    // the Ntry; MT940: the :61: line; bank CSV: the data row.
    int entry = 0;
    // A batch booking split into its payments: the payment's number within the entry, from 1;
    // 0 for an entry that is one payment.
    int part = 0;
    QString file; // the file read, or the ZIP member
    int line = 0; // where the entry starts: the line of the XML or MT940 text, the CSV row

    Currency amount; // always positive
    Direction direction = Direction::Credit;
    QString currency; // ISO 4217 code
    QDate bookingDate;
    QDate valueDate;

    // Every remittance line (camt Ustrd, MT940 ?20–?29, the CSV text) joined: camt lines with a
    // space, MT940 lines as they are, since the bank cuts them at a fixed width.
    QString remittance;
    // The SEPA tags found in the remittance: SVWZ+ (or the whole text without tags), EREF+, KREF+, MREF+.
    QString purpose;
    QString endToEndId;        // camt EndToEndId or EREF+; empty for none or NOTPROVIDED
    QString customerReference; // KREF+, MT940's reference for the account owner
    QString mandateReference;  // MREF+
    QString payerName;         // the debtor of a credit, the creditor of a debit
    QString payerIban;         // that party's IBAN
    QString account;           // the IBAN of the statement's account, when the file names it
    QString bookingText;       // camt AddtlNtryInf, MT940 ?00, the CSV's Buchungstext

    bool reversal = false;
    LeftOut leftOut = LeftOut::None;

    bool isIncoming() const { return leftOut == LeftOut::None; }
};

struct Statement {
    enum class Format { Camt053, Camt052, Camt054, Mt940, BankCsv };

    Format format = Format::Camt053;
    QString version;   // camt: the message version, "001.02", "001.04" or "001.08"; else empty
    bool zip = false;  // read from a ZIP of several files
    QStringList files; // the files read: the ZIP's members in name order, or the one file
    QString iban;      // the account; empty when the file does not name it
    // The account's currency (ISO 4217); empty when the file does not say (a bank CSV without a
    // currency column or header). Entries in another currency are left out as ForeignCurrency.
    QString currency;
    std::vector<StatementEntry> entries; // in file order

    int incomingCount() const;
};

namespace StatementReader {

// The columns of a bank CSV export that can be named instead of detected.
enum class Role { Date, ValueDate, Payer, Text, Iban, Amount, DebitCredit, Currency };

struct Options {
    // Bank CSV columns by role: a header text (case aside), a letter (C, AA) or a number from 1.
    QMap<Role, QString> columns;

    qint64 maxBytes = qint64(64) << 20;          // input beyond this is refused
    qint64 maxUnpackedBytes = qint64(256) << 20; // a ZIP member that unpacks beyond this is refused
    qint64 maxUnpackedTotal = qint64(1) << 30;   // a ZIP whose members unpack beyond this is refused
    int maxFiles = 10000;                        // more members in a ZIP are refused
    int maxEntries = 1000000;                    // more entries in all are refused
    int maxRows = 100000;                        // a CSV with more rows is refused
    int maxXmlDepth = 64;                        // XML nested deeper is refused
};

// The role's name on the command line ("date", "valuedate", "payer", "text", "iban", "amount",
// "debitcredit", "currency"); fromName gives false for another name.
QString roleName(Role role);
bool roleFromName(const QString& name, Role& role);

// The format's name as a message gives it: "camt.053", "camt.052", "camt.054", "MT940", "CSV".
QString formatName(Statement::Format format);

// Reads the bytes of a file named `name` (the name only words the messages). Throws KalvonError
// (Unreadable, with its whole German message naming the file, entry or row) for input that is no
// bank statement, is broken, or passes the bounds.
Statement read(const QByteArray& bytes, const QString& name, const Options& options = {});
// A file by its path; a missing file, a directory and an unreadable file each have their message.
Statement readFile(const QString& path, const Options& options = {});

// True when the bytes look like a bank statement that read() takes: a camt XML message, a ZIP of
// them, MT940, or a CSV whose header names a booking date, an amount and a payment's text. The
// front end uses it to recognise a statement given where a table belongs, and the reverse.
bool looksLikeStatement(const QByteArray& bytes);

} // namespace StatementReader
