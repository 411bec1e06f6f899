// SPDX-License-Identifier: GPL-3.0-or-later
// MT940 account statements as German banks write them: tagged fields (:20:, :25:, :28C:, :60F:,
// :61:, :86:, :62F:), a field running on over the lines that follow it; several statements in one
// file, each from its :20: on. :86: holds the subfields ?00–?63 of the German banking standard.
#include "core/tables/statement_formats.h"

#include <QRegularExpression>

#include <map>

namespace StatementFormats {
namespace {

struct Field {
    QString tag;   // "61", "86", "60F" …
    QString value; // the lines joined by '\n'
    int line = 0;  // where it starts, from 1
};

// The fields of the text in order; lines before the first tag and SWIFT block marks
// ({1:…}{2:…}{4: and -}) are no field.
std::vector<Field> fieldsOf(QStringView text) {
    static const QRegularExpression tagged(QStringLiteral("^:(\\d\\d[A-Z]?):(.*)$"));
    std::vector<Field> fields;
    int number = 0;
    for (QStringView line : text.split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString own = line.toString();
        const auto match = tagged.match(own);
        if (match.hasMatch()) {
            fields.push_back({match.captured(1), match.captured(2), number});
        } else if (!fields.empty() && !line.startsWith(u'-') && !line.startsWith(u'{')) {
            fields.back().value += u'\n';
            fields.back().value += own;
        }
    }
    return fields;
}

// The subfields of a structured :86: ("166?00GUTSCHRIFT?20EREF+…"): after the three-digit code, a
// mark (mostly '?') followed by two digits starts each subfield. Line breaks come from the bank's
// line width and are no part of the text. Empty when the field is free text.
std::map<int, QString> subfieldsOf(const QString& value) {
    static const QRegularExpression code(QStringLiteral("^\\d{3}([^A-Za-z0-9 ])\\d\\d"));
    std::map<int, QString> subfields;
    const QString flat = QString(value).remove(u'\n');
    const auto match = code.match(flat);
    if (!match.hasMatch())
        return subfields;
    const QChar mark = match.captured(1).front();
    const auto startsSubfield = [&](qsizetype at) {
        return flat.at(at) == mark && at + 2 < flat.size() && flat.at(at + 1).isDigit() &&
               flat.at(at + 2).isDigit();
    };
    qsizetype pos = 3;
    while (pos < flat.size()) {
        qsizetype next = pos + 3;
        while (next < flat.size() && !startsSubfield(next))
            ++next;
        subfields[flat.mid(pos + 1, 2).toInt()] += flat.mid(pos + 3, next - pos - 3);
        pos = next;
    }
    return subfields;
}

// A two-digit year in the statement's century: 80–99 before 2000.
int fullYear(int yy) {
    return yy >= 80 ? 1900 + yy : 2000 + yy;
}

class Mt940Reader {
public:
    Mt940Reader(const QString& file, const Options& options, Statement& statement)
        : m_file(file)
        , m_options(options)
        , m_statement(statement) {}
    void run(QStringView text);

private:
    void account(const QString& value);
    void balance(const QString& value);
    void booking(const Field& field);
    void details(const Field& field);
    void flush();
    Currency amount(const QString& text, const Field& field) const;
    [[noreturn]] void broken(const Field& field, const QString& detail) const;

    QString m_file;
    const Options& m_options;
    Statement& m_statement;
    QString m_account, m_currency;
    bool m_pending = false;
    StatementEntry m_entry;
};

void Mt940Reader::broken(const Field& field, const QString& detail) const {
    fail(QStringLiteral("Die Buchung in Zeile %1 der Datei %2 ist unlesbar: %3")
             .arg(field.line)
             .arg(fileText(m_file), detail));
}

void Mt940Reader::run(QStringView text) {
    const std::vector<Field> fields = fieldsOf(text);
    for (const Field& field : fields) {
        if (field.tag == QLatin1String("20")) {
            flush();
            m_account.clear();
        } else if (field.tag == QLatin1String("25"))
            account(field.value);
        else if (field.tag.startsWith(QLatin1String("60")))
            balance(field.value);
        else if (field.tag == QLatin1String("61"))
            booking(field);
        else if (field.tag == QLatin1String("86"))
            details(field);
        else if (field.tag.startsWith(QLatin1String("62")))
            flush();
    }
    flush();
}

// "37050198/1234567", "DE15370501980001234567" or with the currency after it.
void Mt940Reader::account(const QString& value) {
    static const QRegularExpression iban(QStringLiteral("^([A-Z]{2}\\d{2}[A-Z0-9]{10,30}?)(?:[A-Z]{3})?$"));
    const QString compact = QString(value).remove(u' ').remove(u'\n');
    const auto match = iban.match(compact);
    m_account = match.hasMatch() ? match.captured(1) : QString();
    if (m_statement.iban.isEmpty())
        m_statement.iban = m_account;
}

// "C261204EUR18452,17": the mark, the date, the currency, the amount.
void Mt940Reader::balance(const QString& value) {
    if (value.size() >= 10)
        m_currency = value.mid(7, 3);
    if (m_statement.currency.isEmpty() && m_statement.entries.empty())
        m_statement.currency = m_currency;
}

Currency Mt940Reader::amount(const QString& text, const Field& field) const {
    const QString whole = text.section(u',', 0, 0);
    const QString fraction = text.section(u',', 1);
    if (whole.isEmpty() || whole.size() > 14 || fraction.size() > 4)
        broken(field, QStringLiteral("„%1“ ist kein Betrag.").arg(text));
    return Currency::fromCount(whole.toLongLong() * Currency::Scale +
                               fraction.leftJustified(4, u'0').toLongLong());
}

// "2612071207CR1234,50NTRFNONREF//BANKREF": value date, entry date (MMDD), the mark C, D, RC or
// RD, the third letter of the currency, the amount, the transaction type and the references.
void Mt940Reader::booking(const Field& field) {
    static const QRegularExpression line(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2})(\\d{4})?(RC|RD|C|D)([A-Z])"
                                                        "?(\\d{1,14},\\d{0,4})([A-Z][A-Z0-9]{3})([^\\n]*)"));
    flush();
    const auto match = line.match(field.value);
    if (!match.hasMatch())
        broken(field,
               QStringLiteral("Die Zeile :61: hat nicht die Form Datum, Soll/Haben, Betrag, Buchungsart."));
    const QDate value(fullYear(match.captured(1).toInt()), match.captured(2).toInt(),
                      match.captured(3).toInt());
    if (!value.isValid())
        broken(field, QStringLiteral("„%1“ ist kein Datum.").arg(field.value.left(6)));
    QDate booked = value;
    if (!match.captured(4).isEmpty()) {
        const int month = match.captured(4).left(2).toInt();
        // An entry date in another year than the value date: December against January.
        const int year = value.year() + (month == 12 && value.month() == 1   ? -1
                                         : month == 1 && value.month() == 12 ? 1
                                                                             : 0);
        booked = QDate(year, month, match.captured(4).mid(2).toInt());
        if (!booked.isValid())
            broken(field, QStringLiteral("„%1“ ist kein Buchungstag.").arg(match.captured(4)));
    }
    const QString mark = match.captured(5);
    m_entry = StatementEntry();
    m_entry.file = m_file;
    m_entry.line = field.line;
    m_entry.entry = nextEntry(m_statement);
    m_entry.valueDate = value;
    m_entry.bookingDate = booked;
    m_entry.reversal = mark.startsWith(u'R');
    // RC reverses a credit and so takes money off the account; RD gives a debit back.
    m_entry.direction = mark == QLatin1String("C") || mark == QLatin1String("RD")
                            ? StatementEntry::Direction::Credit
                            : StatementEntry::Direction::Debit;
    m_entry.amount = amount(match.captured(7), field);
    m_entry.currency = m_currency;
    m_entry.account = m_account;
    const QString reference = match.captured(9).section(QStringLiteral("//"), 0, 0).trimmed();
    if (reference != QLatin1String("NONREF"))
        m_entry.customerReference = reference;
    m_pending = true;
}

void Mt940Reader::details(const Field& field) {
    if (!m_pending)
        return;
    const std::map<int, QString> subfields = subfieldsOf(field.value);
    if (subfields.empty()) {
        m_entry.remittance = QString(field.value).replace(u'\n', u' ').simplified();
        return;
    }
    const auto get = [&](int key) {
        const auto it = subfields.find(key);
        return it == subfields.end() ? QString() : it->second;
    };
    // The lines run on as the bank cut them; a line that starts a SEPA tag starts a new word.
    static const QRegularExpression tag(QStringLiteral("^[A-Z]{4}\\+"));
    QString remittance;
    for (const int key : {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 60, 61, 62, 63}) {
        const QString line = get(key);
        if (!remittance.isEmpty() && tag.match(line).hasMatch())
            remittance += u' ';
        remittance += line;
    }
    m_entry.remittance = remittance.trimmed();
    m_entry.bookingText = get(0).trimmed();
    m_entry.payerName = (get(32) + get(33)).trimmed();
    const QString iban = get(31).trimmed();
    static const QRegularExpression ibanForm(QStringLiteral("^[A-Z]{2}\\d{2}[A-Z0-9]{10,30}$"));
    if (ibanForm.match(iban).hasMatch())
        m_entry.payerIban = iban;
}

void Mt940Reader::flush() {
    if (!m_pending)
        return;
    m_pending = false;
    append(m_statement, std::move(m_entry), m_options);
}

} // namespace

bool looksLikeMt940(QStringView text) {
    // A day without bookings has no :61:, but always its opening balance.
    static const QRegularExpression tags(QStringLiteral("^:20:.*^:25:.*^:6(0[FM]|1):"),
                                         QRegularExpression::MultilineOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    return tags.match(text.left(qsizetype(1) << 16)).hasMatch();
}

void readMt940(QStringView text, const QString& file, const Options& options, Statement& statement) {
    Mt940Reader(file, options, statement).run(text);
}

} // namespace StatementFormats
