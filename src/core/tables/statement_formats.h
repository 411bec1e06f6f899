// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/statement.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// The readers of the single formats, for StatementReader. Each appends the entries of one file to
// the statement, numbering them on from the entries already there, and throws KalvonError
// (Unreadable) with a German message naming the file, entry or row.
namespace StatementFormats {

using StatementReader::Options;

// camt.052/053/054 XML: the root element's namespace names the message.
bool looksLikeCamt(const QByteArray& bytes);
void readCamt(const QByteArray& bytes, const QString& file, const Options& options, Statement& statement);

// MT940: tagged lines :20:, :25:, :60F:, :61:, :86: …
bool looksLikeMt940(QStringView text);
void readMt940(QStringView text, const QString& file, const Options& options, Statement& statement);

// A bank's CSV export; `strict` asks for a header that names a booking date, an amount and a text.
bool looksLikeBankCsv(QStringView text, bool strict);
void readBankCsv(QStringView text, const QString& file, const Options& options, Statement& statement);

// Fills purpose, endToEndId, customerReference and mandateReference from the SEPA tags
// (SVWZ+, EREF+, KREF+, MREF+ …) in the entry's remittance; values already set are kept.
void parseSepaTags(StatementEntry& entry);

// Sets leftOut from the direction, reversal and currency against the statement's currency.
void classify(StatementEntry& entry, const QString& statementCurrency);

// The number of the next entry: one more than the last one's, 1 for the first.
int nextEntry(const Statement& statement);

// Adds the entry; throws when there would be more than options.maxEntries.
void append(Statement& statement, StatementEntry entry, const Options& options);

// "in der Datei „name“" and the like, as the messages name their place.
QString fileText(const QString& file);
[[noreturn]] void fail(const QString& message);

} // namespace StatementFormats
