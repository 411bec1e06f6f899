// SPDX-License-Identifier: GPL-3.0-or-later
// Bank CSV exports as German banks write them: ';' between fields, comma decimals, DD.MM.YYYY, some
// lines about the account above the header, and columns named in each bank's own words. The header
// is the first row that names a booking date and an amount; the columns are told by their names,
// or named in the options.
#include "core/numbers/kalvon_error.h"
#include "core/tables/cell_grid.h"
#include "core/tables/statement_formats.h"
#include "core/tables/table_reader.h"
#include "core/tables/text_table.h"

#include <QRegularExpression>

#include <array>
#include <limits>
#include <optional>

namespace StatementFormats {
namespace {

using CellGrid::Cell;
using CellGrid::Grid;
using CellGrid::Row;
using StatementReader::Role;

constexpr int HeaderSearchRows = 50;

// A header as compared: lower case, umlauts and ß spelt out, nothing but letters and digits.
QString normalized(const QString& text) {
    QString out;
    for (const QChar c : text.toLower()) {
        switch (c.unicode()) {
        case u'ä':
            out += QLatin1String("ae");
            break;
        case u'ö':
            out += QLatin1String("oe");
            break;
        case u'ü':
            out += QLatin1String("ue");
            break;
        case u'ß':
            out += QLatin1String("ss");
            break;
        default:
            if (c.isLetterOrNumber())
                out += c;
        }
    }
    return out;
}

// What a column holds beyond the roles that can be named.
enum class Extra { Soll, Haben, BookingText, EndToEnd, Mandate, Status, Account };
constexpr int RoleCount = 8, Slots = RoleCount + 7;

// The header names of each role and extra, on the normalized header, the most telling first.
struct SlotNames {
    int slot;          // a Role, or RoleCount + an Extra
    const char* names; // separated by blanks
};

constexpr SlotNames Names[] = {
    {int(Role::Date), "buchungstag buchungsdatum buchung buchungstagdatum bookingdate datum"},
    {int(Role::ValueDate),
     "valutadatum valuta wertstellung wertstellungsdatum wertstellungstag valuedate wert"},
    {int(Role::Payer), "auftraggeberempfaenger beguenstigterzahlungspflichtiger namezahlungsbeteiligter "
                       "zahlungspflichtiger zahlungspflichtige auftraggeber zahlungsempfaenger "
                       "zahlungsempfaengerin empfaenger gegenkontoname partnername payee name"},
    {int(Role::Text), "verwendungszweck verwendungszweck1 verwendungszweckzeile1 vorgangverwendungszweck "
                      "buchungsdetails umsatztext beschreibung purpose"},
    {int(Role::Iban),
     "ibanzahlungsbeteiligter ibanauftraggeber ibangegenkonto gegenkontoiban kontonummeriban iban "
     "gegenkonto kontonummer"},
    {int(Role::Amount), "(betrag|umsatz)(in)?(eur|euro|chf|usd|gbp)? amount"},
    {int(Role::DebitCredit), "sollhaben sh sollhabenkennzeichen habensoll kennzeichensollhaben"},
    {int(Role::Currency), "waehrung waehrungscode whrg whg currency"},
    {RoleCount + int(Extra::Soll), "(soll|ausgang|lastschrift)(in)?(eur|euro)?"},
    {RoleCount + int(Extra::Haben), "(haben|eingang|gutschrift)(in)?(eur|euro)?"},
    {RoleCount + int(Extra::BookingText), "buchungstext umsatzart umsatztyp buchungsart vorgang"},
    {RoleCount + int(Extra::EndToEnd), "kundenreferenzendtoend endtoendreferenz endtoendid kundenreferenz"},
    {RoleCount + int(Extra::Mandate), "mandatsreferenz mandatsref"},
    {RoleCount + int(Extra::Status), "status buchungsstatus umsatzstatus info"},
    {RoleCount + int(Extra::Account), "auftragskonto ibanauftragskonto eigenekontonummer konto"},
};

struct SlotPattern {
    int slot;
    int rank; // 0 for the most telling name
    QRegularExpression pattern;
};

// Every name of every slot as its own pattern, compiled once.
const std::vector<SlotPattern>& slotPatterns() {
    static const std::vector<SlotPattern> patterns = [] {
        std::vector<SlotPattern> all;
        for (const SlotNames& names : Names) {
            int rank = 0;
            for (const QString& name : QString::fromLatin1(names.names).split(u' '))
                all.push_back({names.slot, rank++, QRegularExpression(QStringLiteral("^(?:%1)$").arg(name))});
        }
        return all;
    }();
    return patterns;
}

// The columns of a header row, by role and by what else they hold; -1 where there is none.
struct Columns {
    std::array<int, Slots> found;
    std::array<int, Slots> ranks;
    QList<int> texts; // the remittance columns: every "Verwendungszweck N", joined in order

    Columns() {
        found.fill(-1);
        ranks.fill(std::numeric_limits<int>::max());
    }
    int operator[](Role role) const { return found[std::size_t(role)]; }
    int extra(Extra e) const { return found[std::size_t(RoleCount + int(e))]; }
    bool hasAmount() const {
        return (*this)[Role::Amount] >= 0 || (extra(Extra::Soll) >= 0 && extra(Extra::Haben) >= 0);
    }
    bool isHeader() const { return hasAmount() && (*this)[Role::Date] >= 0; }
    // Takes the column for a slot where its name is more telling than the one taken so far.
    void offer(int slot, int rank, int column) {
        if (rank < ranks[std::size_t(slot)]) {
            ranks[std::size_t(slot)] = rank;
            found[std::size_t(slot)] = column;
        }
    }
};

// Resolves a column named by header text, letter or number from 1; -1 when there is no such column.
int namedColumn(const Row& header, int columnCount, const QString& name) {
    const QString wanted = name.trimmed();
    for (const Cell& cell : header.cells) {
        if (cell.text.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return cell.column;
    }
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z]{1,3}$"));
    int column = -1;
    if (letters.match(wanted).hasMatch()) {
        column = 0;
        for (const QChar c : wanted)
            column = column * 26 + (c.toUpper().unicode() - u'A' + 1);
        column -= 1;
    } else {
        bool ok = false;
        column = wanted.toInt(&ok) - 1;
        if (!ok)
            column = -1;
    }
    return column >= 0 && column < columnCount ? column : -1;
}

Columns columnsOf(const Row& header, int columnCount, const Options& options) {
    Columns columns;
    for (const Cell& cell : header.cells) {
        const QString name = normalized(cell.text);
        if (name.isEmpty())
            continue;
        if (name.startsWith(QLatin1String("verwendungszweck")))
            columns.texts << cell.column;
        // A column serves one slot: its most telling name.
        for (const SlotPattern& pattern : slotPatterns()) {
            if (pattern.pattern.match(name).hasMatch()) {
                columns.offer(pattern.slot, pattern.rank, cell.column);
                break;
            }
        }
    }
    for (auto it = options.columns.begin(); it != options.columns.end(); ++it) {
        const int column = namedColumn(header, columnCount, it.value());
        if (column >= 0)
            columns.found[std::size_t(it.key())] = column;
    }
    if (options.columns.contains(Role::Text) || columns.texts.isEmpty())
        columns.texts = {columns[Role::Text]};
    return columns;
}

// The amount as a bank writes it: comma decimals with '.' between thousands ("1.234,50", "-89,90"),
// or, without a comma, a point before at most two decimals ("-12.5"); a currency sign or code
// after it is allowed.
std::optional<Currency> bankAmount(QString text, bool& negative) {
    static const QRegularExpression trailer(QStringLiteral("\\s*(€|EUR|[A-Z]{3})$"));
    text = text.remove(trailer).remove(u' ').remove(QChar(0xA0));
    negative = text.startsWith(u'-') || text.endsWith(u'-');
    if (text.startsWith(u'-') || text.startsWith(u'+'))
        text.remove(0, 1);
    else if (text.endsWith(u'-'))
        text.chop(1);
    static const QRegularExpression german(QStringLiteral("^(\\d{1,3}(?:\\.\\d{3})*|\\d+)(?:,(\\d{1,4}))?$"));
    static const QRegularExpression english(QStringLiteral("^(\\d+)\\.(\\d{1,2})$"));
    auto match = english.match(text);
    if (!match.hasMatch())
        match = german.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString whole = match.captured(1).remove(u'.');
    if (whole.size() > 14)
        return std::nullopt;
    return Currency::fromCount(whole.toLongLong() * Currency::Scale +
                               match.captured(2).leftJustified(4, u'0').toLongLong());
}

QDate bankDate(const QString& text) {
    for (const char* format : {"dd.MM.yyyy", "d.M.yyyy", "yyyy-MM-dd"}) {
        const QDate date = QDate::fromString(text, QLatin1String(format));
        if (date.isValid())
            return date;
    }
    const QDate shortYear = QDate::fromString(text, QStringLiteral("dd.MM.yy"));
    return shortYear.isValid() ? shortYear.addYears(shortYear.year() < 1980 ? 100 : 0) : QDate();
}

// The currency an amount header names: "Betrag (EUR)", "Umsatz in EUR", "Betrag (€)".
QString headerCurrency(const QString& header) {
    static const QRegularExpression code(QStringLiteral("\\b([A-Z]{3})\\b"));
    if (header.contains(QStringLiteral("€")))
        return QStringLiteral("EUR");
    const auto match = code.match(header);
    return match.hasMatch() ? match.captured(1) : QString();
}

// Rows that only give the balance, below or above the bookings.
bool isBalanceRow(const Row& row) {
    static const QRegularExpression words(
        QStringLiteral(
            "^(anfangssaldo|endsaldo|schlusssaldo|saldo|kontostand|alter kontostand|neuer kontostand)$"),
        QRegularExpression::CaseInsensitiveOption);
    return std::any_of(row.cells.begin(), row.cells.end(),
                       [](const Cell& cell) { return words.match(cell.text.trimmed()).hasMatch(); });
}

QString cellText(const Row& row, int column) {
    const Cell* cell = column >= 0 ? row.at(column) : nullptr;
    return cell ? cell->text.trimmed() : QString();
}

class CsvReader {
public:
    CsvReader(const QString& file, const Options& options, Statement& statement)
        : m_file(file)
        , m_options(options)
        , m_statement(statement) {}
    void run(QStringView text);

private:
    std::size_t findHeader();
    void checkNamedColumns(const Row& header) const;
    void readRow(const Row& row);
    bool isNote(const Row& row) const;
    void direction(const Row& row, StatementEntry& entry, bool negative) const;
    QString text(const Row& row, int column) const;
    [[noreturn]] void rowBroken(const Row& row, const QString& detail) const;

    QString m_file;
    const Options& m_options;
    Statement& m_statement;
    Grid m_grid;
    Columns m_columns;
    QString m_preambleIban;
};

QString CsvReader::text(const Row& row, int column) const {
    return cellText(row, column);
}

void CsvReader::rowBroken(const Row& row, const QString& detail) const {
    fail(QStringLiteral("Zeile %1 der Datei %2 ist keine lesbare Buchung: %3")
             .arg(row.number)
             .arg(fileText(m_file), detail));
}

// The first rows that name a booking date and an amount; an IBAN above them names the account.
std::size_t CsvReader::findHeader() {
    static const QRegularExpression iban(QStringLiteral("^[A-Z]{2}\\d{2}[A-Z0-9]{12,30}$"));
    bool namesDate = false;
    for (std::size_t i = 0; i < m_grid.rows.size() && i < HeaderSearchRows; ++i) {
        const Row& row = m_grid.rows[i];
        const Columns columns = columnsOf(row, m_grid.columnCount, m_options);
        if (columns.isHeader()) {
            m_columns = columns;
            return i;
        }
        namesDate = namesDate || columns[Role::Date] >= 0;
        for (const Cell& cell : row.cells) {
            const QString compact = QString(cell.text).remove(u' ');
            if (m_preambleIban.isEmpty() && iban.match(compact).hasMatch())
                m_preambleIban = compact;
        }
    }
    if (namesDate)
        fail(QStringLiteral(
                 "Die Datei %1 hat keine Betragsspalte: Keine Spalte heißt Betrag oder Umsatz (oder Soll "
                 "und Haben). Mit --statement-column amount=SPALTE lässt sie sich nennen.")
                 .arg(fileText(m_file)));
    fail(QStringLiteral(
             "Die Datei %1 ist kein Kontoauszug: weder camt-XML noch MT940, und keine Zeile nennt als "
             "Spalten ein Buchungsdatum und einen Betrag.")
             .arg(fileText(m_file)));
}

void CsvReader::checkNamedColumns(const Row& header) const {
    for (auto it = m_options.columns.begin(); it != m_options.columns.end(); ++it) {
        if (namedColumn(header, m_grid.columnCount, it.value()) < 0)
            fail(QStringLiteral("Die Spalte „%1“ für %2 gibt es in der Datei %3 nicht.")
                     .arg(it.value(), StatementReader::roleName(it.key()), fileText(m_file)));
    }
}

void CsvReader::run(QStringView input) {
    CellGrid::Limits limits;
    limits.maxRows = m_options.maxRows;
    limits.maxUnpackedBytes = m_options.maxUnpackedBytes;
    try {
        m_grid = TextTable::parse(input, TextTable::detectDelimiter(input), limits);
    } catch (const KalvonError& e) {
        fail(
            QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(fileText(m_file), e.userMessage()));
    }
    const std::size_t header = findHeader();
    checkNamedColumns(m_grid.rows[header]);
    // The account's currency: the first booking's, else the one the amount header names.
    if (m_statement.currency.isEmpty() && m_statement.entries.empty()) {
        const int amount =
            m_columns[Role::Amount] >= 0 ? m_columns[Role::Amount] : m_columns.extra(Extra::Haben);
        if (m_columns[Role::Currency] >= 0 && header + 1 < m_grid.rows.size())
            m_statement.currency = cellText(m_grid.rows[header + 1], m_columns[Role::Currency]);
        if (m_statement.currency.isEmpty())
            m_statement.currency = headerCurrency(cellText(m_grid.rows[header], amount));
    }
    if (m_statement.iban.isEmpty())
        m_statement.iban = m_preambleIban;
    for (std::size_t i = header + 1; i < m_grid.rows.size(); ++i) {
        if (!isBalanceRow(m_grid.rows[i]) && !isNote(m_grid.rows[i]))
            readRow(m_grid.rows[i]);
    }
}

// A row with neither a date nor an amount, such as a note below the bookings, books nothing.
bool CsvReader::isNote(const Row& row) const {
    const int amount = m_columns[Role::Amount];
    const bool hasAmount = amount >= 0 ? !text(row, amount).isEmpty()
                                       : !text(row, m_columns.extra(Extra::Soll)).isEmpty() ||
                                             !text(row, m_columns.extra(Extra::Haben)).isEmpty();
    return !hasAmount && text(row, m_columns[Role::Date]).isEmpty();
}

void CsvReader::readRow(const Row& row) {
    StatementEntry entry;
    entry.entry = nextEntry(m_statement);
    entry.file = m_file;
    entry.line = row.number;
    const QString date = text(row, m_columns[Role::Date]);
    entry.bookingDate = bankDate(date);
    if (!entry.bookingDate.isValid())
        rowBroken(row, date.isEmpty() ? QStringLiteral("Sie hat kein Buchungsdatum.")
                                      : QStringLiteral("„%1“ ist kein Datum.").arg(date.left(40)));
    const QString value = text(row, m_columns[Role::ValueDate]);
    entry.valueDate = value.isEmpty() ? entry.bookingDate : bankDate(value);
    if (!entry.valueDate.isValid())
        rowBroken(row, QStringLiteral("„%1“ ist kein Datum.").arg(value.left(40)));
    const bool pair = m_columns[Role::Amount] < 0;
    const QString debit = pair ? text(row, m_columns.extra(Extra::Soll)) : QString();
    const QString amountText = pair ? (debit.isEmpty() ? text(row, m_columns.extra(Extra::Haben)) : debit)
                                    : text(row, m_columns[Role::Amount]);
    bool negative = false;
    const std::optional<Currency> amount = bankAmount(amountText, negative);
    if (!amount)
        rowBroken(row, amountText.isEmpty()
                           ? QStringLiteral("Sie hat keinen Betrag.")
                           : QStringLiteral("„%1“ ist kein Betrag.").arg(amountText.left(40)));
    entry.amount = *amount;
    if (pair)
        entry.direction =
            debit.isEmpty() ? StatementEntry::Direction::Credit : StatementEntry::Direction::Debit;
    else
        direction(row, entry, negative);
    entry.currency = text(row, m_columns[Role::Currency]);
    entry.payerName = text(row, m_columns[Role::Payer]);
    entry.payerIban = text(row, m_columns[Role::Iban]).remove(u' ');
    QStringList lines;
    for (const int column : m_columns.texts)
        lines << text(row, column);
    lines.removeAll(QString());
    entry.remittance = lines.join(u' ').simplified(); // a line break inside quotes as a space
    entry.bookingText = text(row, m_columns.extra(Extra::BookingText));
    entry.endToEndId = text(row, m_columns.extra(Extra::EndToEnd));
    if (entry.endToEndId.compare(QLatin1String("NOTPROVIDED"), Qt::CaseInsensitive) == 0)
        entry.endToEndId.clear();
    entry.mandateReference = text(row, m_columns.extra(Extra::Mandate));
    entry.account = text(row, m_columns.extra(Extra::Account)).remove(u' ');
    if (entry.account.isEmpty())
        entry.account = m_statement.iban;
    else if (m_statement.iban.isEmpty())
        m_statement.iban = entry.account;
    const QString status = normalized(text(row, m_columns.extra(Extra::Status)));
    if (status.contains(QLatin1String("vorgemerkt")) || status == QLatin1String("pending"))
        entry.leftOut = StatementEntry::LeftOut::NotBooked;
    append(m_statement, std::move(entry), m_options);
}

// A Soll/Haben column decides; without one, or where it is empty, the amount's sign.
void CsvReader::direction(const Row& row, StatementEntry& entry, bool negative) const {
    const QString mark = normalized(text(row, m_columns[Role::DebitCredit]));
    static const QRegularExpression debit(QStringLiteral("^(s|soll|d|debit|dbit|lastschrift)$"));
    static const QRegularExpression credit(QStringLiteral("^(h|haben|c|credit|crdt|gutschrift)$"));
    if (mark.isEmpty())
        entry.direction = negative ? StatementEntry::Direction::Debit : StatementEntry::Direction::Credit;
    else if (debit.match(mark).hasMatch())
        entry.direction = StatementEntry::Direction::Debit;
    else if (credit.match(mark).hasMatch())
        entry.direction = StatementEntry::Direction::Credit;
    else
        rowBroken(row, QStringLiteral("„%1“ sagt weder Soll noch Haben.")
                           .arg(text(row, m_columns[Role::DebitCredit]).left(20)));
}

} // namespace

bool looksLikeBankCsv(QStringView text, bool strict) {
    // The header is among the first rows: those are enough to tell.
    qsizetype end = 0;
    for (int line = 0; line < HeaderSearchRows + 10 && end >= 0; ++line)
        end = text.indexOf(u'\n', end + 1);
    const QStringView head = end < 0 ? text : text.left(end);
    const Grid grid = TextTable::parse(head, TextTable::detectDelimiter(head), CellGrid::Limits{});
    static const QRegularExpression bookingDate(
        QStringLiteral("^(buchungstag|buchungsdatum|buchung|valuta|wertstellung)"));
    for (std::size_t i = 0; i < grid.rows.size() && i < HeaderSearchRows; ++i) {
        const Row& row = grid.rows[i];
        const Columns columns = columnsOf(row, grid.columnCount, Options{});
        if (!columns.isHeader())
            continue;
        if (!strict)
            return true;
        const QString date = normalized(cellText(row, columns[Role::Date]));
        return bookingDate.match(date).hasMatch() && (columns[Role::Text] >= 0 || columns[Role::Payer] >= 0);
    }
    return false;
}

void readBankCsv(QStringView text, const QString& file, const Options& options, Statement& statement) {
    CsvReader(file, options, statement).run(text);
}

} // namespace StatementFormats
