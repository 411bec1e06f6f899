// SPDX-License-Identifier: GPL-3.0-or-later
#include "abgleich/abgleich_options.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QRegularExpression>

namespace AbgleichCommand {
namespace {

void write(QIODevice& stream, const QString& text) {
    stream.write(text.toUtf8());
}

// The most items one payment may settle: the matching's bound.
constexpr int MaxItems = 8;

// A wrong call, with its German message; thrown while the options are read.
struct UsageError {
    QString message;
};

// A whole number from `least` on, as an option's value.
int wholeNumber(const QString& option, const QString& value, int least) {
    const QString text = value.trimmed();
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < least || text.startsWith(QLatin1Char('+')))
        throw UsageError{QStringLiteral("--%1 erwartet eine ganze Zahl ab %2, nicht „%3“.")
                             .arg(option)
                             .arg(least)
                             .arg(value)};
    return number;
}

// Skonto rates such as "2,3" or "1.5,3": whole percentages or with a decimal point, separated by
// commas (or ';'); "0" alone switches Skonto off.
std::vector<Currency> skontoRates(const QString& value) {
    static const QRegularExpression rate(QStringLiteral("^\\d{1,2}(\\.\\d{1,4})?$"));
    std::vector<Currency> rates;
    for (QString part : value.split(QRegularExpression(QStringLiteral("[,;]")))) {
        part = part.trimmed();
        if (!rate.match(part).hasMatch())
            throw UsageError{QStringLiteral("--skonto erwartet Prozentsätze unter 100, getrennt durch Kommas "
                                            "(etwa 2,3 oder 1.5,3), nicht „%1“.")
                                 .arg(value)};
        const QStringList pieces = part.split(QLatin1Char('.'));
        const qint64 decimals =
            pieces.size() > 1 ? pieces[1].leftJustified(4, QLatin1Char('0')).toLongLong() : 0;
        const Currency percent = Currency::fromCount(pieces[0].toLongLong() * Currency::Scale + decimals);
        if (percent == Currency())
            continue;
        if (std::find(rates.begin(), rates.end(), percent) == rates.end())
            rates.push_back(percent);
    }
    std::sort(rates.begin(), rates.end());
    return rates;
}

// kalvon-abgleich's options, and how each is read into Options.
class OptionReader {
public:
    OptionReader() {
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        m_parser.addOptions({maxItems, tolerance, skonto, days, column, label, customerColumn, dateColumn,
                             sheet, headerRow, statementColumn, currency, locale, json, csv, xlsx, help,
                             version});
        m_parser.addPositionalArgument(QStringLiteral("KONTOAUSZUG"), QString());
        m_parser.addPositionalArgument(QStringLiteral("OFFENE-POSTEN"), QString());
    }

    CommandLine read(const QStringList& arguments, const Streams& streams) {
        if (!m_parser.parse(arguments))
            throw UsageError{m_parser.errorText()};
        if (m_parser.isSet(help)) {
            write(streams.out, helpText());
            return {std::nullopt, 0};
        }
        if (m_parser.isSet(version)) {
            write(streams.out, QStringLiteral("kalvon-abgleich %1\n").arg(QStringLiteral(KALVON_VERSION)));
            return {std::nullopt, 0};
        }
        checkCall();
        Options o;
        o.statementFile = m_parser.positionalArguments().at(0);
        o.itemsFile = m_parser.positionalArguments().at(1);
        readMatching(o);
        readColumns(o);
        readOutput(o);
        return {o, 0};
    }

private:
    // Options given once at most, two files, a known locale (which becomes the default).
    void checkCall() {
        for (const QCommandLineOption* once : {&maxItems, &tolerance, &skonto, &days, &column, &dateColumn,
                                               &sheet, &headerRow, &currency, &locale, &xlsx}) {
            if (m_parser.values(*once).size() > 1)
                throw UsageError{
                    QStringLiteral("--%1 ist mehrfach angegeben.").arg(once->names().constFirst())};
        }
        const qsizetype files = m_parser.positionalArguments().size();
        if (files != 2)
            throw UsageError{files < 2
                                 ? QStringLiteral("Es fehlt %1: Aufruf mit KONTOAUSZUG und OFFENE-POSTEN.")
                                       .arg(files == 0 ? QStringLiteral("der Kontoauszug")
                                                       : QStringLiteral("die Datei der offenen Posten"))
                                 : QStringLiteral("Zu viele Dateien: erwartet sind zwei, der Kontoauszug und "
                                                  "die offenen Posten, angegeben sind %1.")
                                       .arg(files)};
        if (m_parser.isSet(locale)) {
            const QString name = m_parser.value(locale);
            const QLocale chosen(name);
            const bool plainC = name == QLatin1String("C") || name == QLatin1String("POSIX");
            if (chosen.language() == QLocale::C && !plainC)
                throw UsageError{
                    QStringLiteral("Unbekanntes regionales Format für --locale: „%1“.").arg(name)};
            QLocale::setDefault(chosen);
        }
    }

    void readMatching(Options& o) const {
        if (m_parser.isSet(maxItems))
            o.maxItems = wholeNumber(QStringLiteral("max-items"), m_parser.value(maxItems), 1);
        if (o.maxItems > MaxItems)
            throw UsageError{QStringLiteral("--max-items erlaubt höchstens %1 Posten je Zahlung, nicht %2.")
                                 .arg(MaxItems)
                                 .arg(o.maxItems)};
        if (m_parser.isSet(days))
            o.days = wholeNumber(QStringLiteral("days"), m_parser.value(days), 0);
        if (m_parser.isSet(skonto))
            o.skontoPercents = skontoRates(m_parser.value(skonto));
        if (m_parser.isSet(tolerance)) {
            const QString text = m_parser.value(tolerance);
            try {
                o.tolerance = NumberText::toCurrency(text);
            } catch (const KalvonError&) {
                throw UsageError{QStringLiteral("--tolerance erwartet einen Betrag, nicht „%1“.").arg(text)};
            }
            if (o.tolerance < Currency())
                throw UsageError{QStringLiteral("Die Toleranz darf nicht negativ sein: „%1“.").arg(text)};
        }
    }

    void readColumns(Options& o) const {
        o.table.column = m_parser.value(column);
        o.table.labels = m_parser.values(label);
        o.table.roles = true;
        o.table.customerColumns = m_parser.values(customerColumn);
        o.table.dateColumn = m_parser.value(dateColumn);
        o.table.sheet = m_parser.value(sheet);
        if (m_parser.isSet(headerRow)) {
            const QString text = m_parser.value(headerRow).trimmed();
            bool ok = false;
            o.table.headerRow = text.toInt(&ok, 10);
            if (!ok || o.table.headerRow < 1 || text.startsWith(QLatin1Char('+')))
                throw UsageError{QStringLiteral("--header-row erwartet eine Zeilennummer ab 1, nicht „%1“.")
                                     .arg(m_parser.value(headerRow))};
        }
        for (const QString& given : m_parser.values(statementColumn))
            readStatementColumn(given, o.statement);
        if (m_parser.isSet(currency)) {
            o.currency = m_parser.value(currency).trimmed().toUpper();
            if (!QRegularExpression(QStringLiteral("^[A-Z]{3}$")).match(o.currency).hasMatch())
                throw UsageError{
                    QStringLiteral("--currency erwartet einen Währungscode aus drei Buchstaben wie "
                                   "EUR oder CHF, nicht „%1“.")
                        .arg(m_parser.value(currency))};
        }
    }

    static void readStatementColumn(const QString& given, StatementReader::Options& statement) {
        const qsizetype equals = given.indexOf(QLatin1Char('='));
        StatementReader::Role role;
        if (equals < 1 || !StatementReader::roleFromName(given.left(equals).trimmed().toLower(), role) ||
            given.mid(equals + 1).trimmed().isEmpty()) {
            QStringList roles;
            for (int r = 0; r <= int(StatementReader::Role::Currency); ++r)
                roles << StatementReader::roleName(StatementReader::Role(r));
            throw UsageError{
                QStringLiteral("--statement-column erwartet ROLLE=SPALTE mit einer der Rollen %1, "
                               "nicht „%2“.")
                    .arg(roles.join(QStringLiteral(", ")), given)};
        }
        if (statement.columns.contains(role))
            throw UsageError{QStringLiteral("--statement-column %1 ist mehrfach angegeben.")
                                 .arg(StatementReader::roleName(role))};
        statement.columns.insert(role, given.mid(equals + 1).trimmed());
    }

    void readOutput(Options& o) const {
        if (m_parser.isSet(json) && m_parser.isSet(csv))
            throw UsageError{QStringLiteral("--json und --csv schließen einander aus.")};
        o.output = m_parser.isSet(json) ? Output::Json : m_parser.isSet(csv) ? Output::Csv : Output::Text;
        o.xlsxFile = m_parser.value(xlsx);
        if (m_parser.isSet(xlsx) && o.xlsxFile.trimmed().isEmpty())
            throw UsageError{
                QStringLiteral("--xlsx erwartet den Namen der Arbeitsmappe, die geschrieben wird.")};
    }

    static QCommandLineOption valued(const char* name, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value));
    }

    QCommandLineParser m_parser;
    const QCommandLineOption maxItems = valued("max-items", "K");
    const QCommandLineOption tolerance = valued("tolerance", "BETRAG");
    const QCommandLineOption skonto = valued("skonto", "SÄTZE");
    const QCommandLineOption days = valued("days", "N");
    const QCommandLineOption column = valued("column", "SPALTE");
    const QCommandLineOption label = valued("label", "SPALTE");
    const QCommandLineOption customerColumn = valued("customer-column", "SPALTE");
    const QCommandLineOption dateColumn = valued("date-column", "SPALTE");
    const QCommandLineOption sheet = valued("sheet", "BLATT");
    const QCommandLineOption headerRow = valued("header-row", "N");
    const QCommandLineOption statementColumn = valued("statement-column", "ROLLE=SPALTE");
    const QCommandLineOption currency = valued("currency", "CODE");
    const QCommandLineOption locale = valued("locale", "NAME");
    const QCommandLineOption json{QStringLiteral("json")};
    const QCommandLineOption csv{QStringLiteral("csv")};
    const QCommandLineOption xlsx = valued("xlsx", "DATEI");
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")}};
};

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const Streams& streams) {
    try {
        return OptionReader().read(arguments, streams);
    } catch (const UsageError& e) {
        write(streams.err,
              QStringLiteral("kalvon-abgleich: %1\nEine Übersicht gibt: kalvon-abgleich --help\n")
                  .arg(e.message));
        return {std::nullopt, 2};
    }
}

} // namespace AbgleichCommand
