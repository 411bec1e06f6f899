// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/statement.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/cell_grid.h"
#include "core/tables/statement_formats.h"
#include "core/tables/text_table.h"
#include "core/tables/workbook.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <algorithm>
#include <array>

using StatementFormats::fail;
using StatementFormats::fileText;

int Statement::incomingCount() const {
    return int(std::count_if(entries.begin(), entries.end(),
                             [](const StatementEntry& entry) { return entry.isIncoming(); }));
}

namespace StatementFormats {

QString fileText(const QString& file) {
    return QStringLiteral("„%1“").arg(file);
}

void fail(const QString& message) {
    throw KalvonError::unreadable(message);
}

void parseSepaTags(StatementEntry& entry) {
    static const QRegularExpression tags(
        QStringLiteral("(EREF|KREF|MREF|CRED|DEBT|SVWZ|ABWA|ABWE|COAM|OAMT)\\+"));
    QString purpose, eref, kref, mref;
    bool tagged = false;
    auto match = tags.match(entry.remittance);
    qsizetype before = match.hasMatch() ? match.capturedStart() : entry.remittance.size();
    const QString untagged = entry.remittance.left(before).trimmed();
    while (match.hasMatch()) {
        tagged = true;
        const QString tag = match.captured(1);
        const auto next = tags.match(entry.remittance, match.capturedEnd());
        const qsizetype end = next.hasMatch() ? next.capturedStart() : entry.remittance.size();
        const QString value = entry.remittance.mid(match.capturedEnd(), end - match.capturedEnd()).trimmed();
        if (tag == QLatin1String("SVWZ"))
            purpose = value;
        else if (tag == QLatin1String("EREF"))
            eref = value;
        else if (tag == QLatin1String("KREF"))
            kref = value;
        else if (tag == QLatin1String("MREF"))
            mref = value;
        match = next;
    }
    if (entry.purpose.isEmpty())
        entry.purpose = !tagged ? entry.remittance.trimmed() : purpose.isEmpty() ? untagged : purpose;
    if (eref.compare(QLatin1String("NOTPROVIDED"), Qt::CaseInsensitive) == 0)
        eref.clear();
    if (entry.endToEndId.isEmpty())
        entry.endToEndId = eref;
    if (entry.customerReference.isEmpty())
        entry.customerReference = kref;
    if (entry.mandateReference.isEmpty())
        entry.mandateReference = mref;
}

void classify(StatementEntry& entry, const QString& statementCurrency) {
    if (entry.reversal)
        entry.leftOut = StatementEntry::LeftOut::Reversal;
    else if (entry.leftOut == StatementEntry::LeftOut::NotBooked)
        return;
    else if (entry.direction == StatementEntry::Direction::Debit)
        entry.leftOut = StatementEntry::LeftOut::Outgoing;
    else if (!statementCurrency.isEmpty() && !entry.currency.isEmpty() && entry.currency != statementCurrency)
        entry.leftOut = StatementEntry::LeftOut::ForeignCurrency;
    else
        entry.leftOut = StatementEntry::LeftOut::None;
}

int nextEntry(const Statement& statement) {
    return statement.entries.empty() ? 1 : statement.entries.back().entry + 1;
}

void append(Statement& statement, StatementEntry entry, const Options& options) {
    if (int(statement.entries.size()) >= options.maxEntries)
        fail(QStringLiteral(
                 "Der Kontoauszug hat mehr als %1 Buchungen; so große Auszüge werden nicht gelesen.")
                 .arg(options.maxEntries));
    if (entry.currency.isEmpty())
        entry.currency = statement.currency;
    parseSepaTags(entry);
    classify(entry, statement.currency);
    statement.entries.push_back(std::move(entry));
}

} // namespace StatementFormats

namespace StatementReader {
namespace {

constexpr qint64 Chunk = qint64(1) << 18;

[[noreturn]] void tooLarge(const QString& what, qint64 bound) {
    fail(QStringLiteral("%1 ist größer als %2; so große Kontoauszüge werden nicht gelesen.")
             .arg(what, CellGrid::sizeText(bound)));
}

[[noreturn]] void unpackedTooLarge(const QString& where, qint64 bound) {
    fail(
        QStringLiteral("Die Datei %1 ist entpackt größer als %2; so große Kontoauszüge werden nicht gelesen.")
            .arg(where, CellGrid::sizeText(bound)));
}

// Text that starts with '<', in any of the encodings text tables come in.
bool startsAsXml(const QByteArray& bytes) {
    return TextTable::decode(bytes.left(512)).trimmed().startsWith(u'<');
}

// The bytes of one member, unpacked within the bound.
QByteArray unpack(QuaZip& zip, const QString& member, const QString& zipName, qint64 bound) {
    const QString where = QStringLiteral("„%1“ im ZIP-Archiv %2").arg(member, fileText(zipName));
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info))
        fail(QStringLiteral("Die Datei %1 lässt sich nicht entpacken.").arg(where));
    if (info.uncompressedSize > quint64(bound))
        unpackedTooLarge(where, bound);
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Die Datei %1 lässt sich nicht entpacken.").arg(where));
    QByteArray bytes;
    for (;;) {
        const qsizetype old = bytes.size();
        bytes.resize(old + qsizetype(std::min(Chunk, bound + 1 - old)));
        const qint64 got = file.read(bytes.data() + old, bytes.size() - old);
        if (got < 0)
            fail(QStringLiteral("Die Datei %1 lässt sich nicht entpacken.").arg(where));
        bytes.resize(old + qsizetype(got));
        if (bytes.size() > bound)
            unpackedTooLarge(where, bound);
        if (got == 0)
            break;
    }
    file.close();
    if (file.getZipError() != UNZ_OK)
        fail(QStringLiteral("Die Datei %1 lässt sich nicht entpacken.").arg(where));
    return bytes;
}

// The members that hold statements, in name order: folders and the resource forks that macOS
// adds (__MACOSX/, ._name) are no statements.
QStringList statementMembers(QuaZip& zip) {
    QStringList members;
    for (const QString& name : zip.getFileNameList()) {
        const QString base = name.section(QLatin1Char('/'), -1);
        if (name.endsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("__MACOSX/")) ||
            base.startsWith(QLatin1String("._")))
            continue;
        members << name;
    }
    std::sort(members.begin(), members.end());
    return members;
}

void readOne(const QByteArray& bytes, const QString& file, const Options& options, Statement& statement);

void readZip(const QByteArray& bytes, const QString& name, const Options& options, Statement& statement) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        fail(QStringLiteral("Die Datei %1 ist ein beschädigtes ZIP-Archiv.").arg(fileText(name)));
    const QStringList names = zip.getFileNameList();
    if (names.contains(QStringLiteral("xl/workbook.xml"), Qt::CaseInsensitive) ||
        names.contains(QStringLiteral("mimetype")))
        fail(QStringLiteral("Die Datei %1 ist eine Arbeitsmappe, kein Kontoauszug.").arg(fileText(name)));
    const QStringList members = statementMembers(zip);
    if (members.isEmpty())
        fail(QStringLiteral("Das ZIP-Archiv %1 enthält keine Datei.").arg(fileText(name)));
    if (members.size() > options.maxFiles)
        fail(QStringLiteral(
                 "Das ZIP-Archiv %1 enthält mehr als %2 Dateien; so große Archive werden nicht gelesen.")
                 .arg(fileText(name))
                 .arg(options.maxFiles));
    statement.zip = true;
    qint64 unpacked = 0;
    for (const QString& member : members) {
        zip.setCurrentFile(member);
        const QByteArray part = unpack(zip, member, name, options.maxUnpackedBytes);
        if ((unpacked += part.size()) > options.maxUnpackedTotal)
            fail(QStringLiteral(
                     "Das ZIP-Archiv %1 ist entpackt größer als %2; so große Archive werden nicht gelesen.")
                     .arg(fileText(name), CellGrid::sizeText(options.maxUnpackedTotal)));
        const Statement::Format before = statement.format;
        const bool first = statement.files.isEmpty();
        try {
            readOne(part, member, options, statement);
        } catch (const KalvonError& e) {
            fail(QStringLiteral("Im ZIP-Archiv %1: %2").arg(fileText(name), e.userMessage()));
        }
        if (!first && statement.format != before)
            fail(QStringLiteral("Das ZIP-Archiv %1 mischt Formate: „%2“ ist %3, die Dateien davor sind %4.")
                     .arg(fileText(name), member, formatName(statement.format), formatName(before)));
    }
}

void readOne(const QByteArray& bytes, const QString& file, const Options& options, Statement& statement) {
    statement.files << file;
    if (Workbook::isZip(bytes))
        fail(QStringLiteral("Die Datei %1 ist ein ZIP-Archiv in einem ZIP-Archiv; das wird nicht gelesen.")
                 .arg(fileText(file)));
    if (Workbook::isCompoundFile(bytes))
        fail(QStringLiteral("Die Datei %1 ist eine Excel-Arbeitsmappe (.xls), kein Kontoauszug.")
                 .arg(fileText(file)));
    if (startsAsXml(bytes))
        return StatementFormats::readCamt(bytes, file, options, statement);
    const QString text = TextTable::decode(bytes);
    if (text.contains(QChar(u'\0')))
        fail(QStringLiteral("Die Datei %1 ist weder Text noch ein ZIP-Archiv; sie ist kein Kontoauszug.")
                 .arg(fileText(file)));
    if (StatementFormats::looksLikeMt940(text)) {
        statement.format = Statement::Format::Mt940;
        return StatementFormats::readMt940(text, file, options, statement);
    }
    statement.format = Statement::Format::BankCsv;
    StatementFormats::readBankCsv(text, file, options, statement);
}

// The first bytes of the first member, enough to tell its format.
QByteArray firstMemberHead(const QByteArray& bytes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        return {};
    const QStringList names = zip.getFileNameList();
    if (names.contains(QStringLiteral("xl/workbook.xml"), Qt::CaseInsensitive) ||
        names.contains(QStringLiteral("mimetype")))
        return {};
    const QStringList members = statementMembers(zip);
    if (members.isEmpty() || !zip.setCurrentFile(members.front()))
        return {};
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(qint64(1) << 16);
}

constexpr std::array<std::pair<Role, const char*>, 8> RoleNames = {{
    {Role::Date, "date"},
    {Role::ValueDate, "valuedate"},
    {Role::Payer, "payer"},
    {Role::Text, "text"},
    {Role::Iban, "iban"},
    {Role::Amount, "amount"},
    {Role::DebitCredit, "debitcredit"},
    {Role::Currency, "currency"},
}};

} // namespace

QString roleName(Role role) {
    for (const auto& [r, name] : RoleNames) {
        if (r == role)
            return QLatin1String(name);
    }
    return {};
}

bool roleFromName(const QString& name, Role& role) {
    for (const auto& [r, text] : RoleNames) {
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0) {
            role = r;
            return true;
        }
    }
    return false;
}

QString formatName(Statement::Format format) {
    switch (format) {
    case Statement::Format::Camt053:
        return QStringLiteral("camt.053");
    case Statement::Format::Camt052:
        return QStringLiteral("camt.052");
    case Statement::Format::Camt054:
        return QStringLiteral("camt.054");
    case Statement::Format::Mt940:
        return QStringLiteral("MT940");
    case Statement::Format::BankCsv:
        return QStringLiteral("CSV");
    }
    return {};
}

Statement read(const QByteArray& bytes, const QString& name, const Options& options) {
    if (bytes.size() > options.maxBytes)
        tooLarge(QStringLiteral("Die Datei %1").arg(fileText(name)), options.maxBytes);
    Statement statement;
    if (Workbook::isZip(bytes))
        readZip(bytes, name, options, statement);
    else
        readOne(bytes, name, options, statement);
    return statement;
}

Statement readFile(const QString& path, const Options& options) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(path));
    if (info.isDir())
        fail(QStringLiteral("„%1“ ist ein Ordner, keine Datei.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Die Datei „%1“ lässt sich nicht lesen.").arg(path));
    // Reading one byte beyond the bound tells a file that is too large, also where the size is unknown.
    const QByteArray bytes = file.read(options.maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Die Datei „%1“ lässt sich nicht lesen.").arg(path));
    return read(bytes, path, options);
}

bool looksLikeStatement(const QByteArray& bytes) {
    const QByteArray head = Workbook::isZip(bytes) ? firstMemberHead(bytes) : bytes.left(qint64(1) << 16);
    if (head.isEmpty())
        return false;
    if (startsAsXml(head))
        return StatementFormats::looksLikeCamt(head);
    const QString text = TextTable::decode(head);
    return StatementFormats::looksLikeMt940(text) || StatementFormats::looksLikeBankCsv(text, true);
}

} // namespace StatementReader
