// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/find_options.h"

#include "frontend/terminal.h"

#include <QCommandLineParser>
#include <QLocale>

namespace FindCommand {
namespace {

QString helpText() {
    return QStringLiteral(
        "Aufruf: kalvon-find --target TEXT [--tolerance TEXT | --tolerance TEXT%]\n"
        "                   [--max-items K] [--min-items K] [--order window|items|difference]\n"
        "                   [--limit N] [--json | --csv] [--column SPALTE] [--label SPALTE]...\n"
        "                   [--no-label] [--sheet BLATT] [--delimiter ZEICHEN] [--header-row N]\n"
        "                   [--all-rows] [--locale NAME] [DATEI]\n"
        "\n"
        "Sucht unter den Beträgen jede Kombination, deren Summe den Zielwert genau trifft oder im\n"
        "Toleranzbereich um ihn liegt, und zählt alle Treffer. Die Beträge stehen in DATEI oder, ohne\n"
        "DATEI oder mit \"-\", in der Standardeingabe, und zwar\n"
        "  - als Liste, getrennt durch Zeilenumbrüche, Tabulatoren oder \";\" (wie eine aus der\n"
        "    Tabellenkalkulation kopierte Spalte oder Zeile). Die Beträge werden in der Reihenfolge der\n"
        "    Eingabe ab 1 nummeriert, Nullen mitgezählt;\n"
        "  - oder als Tabelle: eine CSV- oder Textdatei (UTF-8, UTF-16 oder Windows-1252; Trennzeichen\n"
        "    \";\", \",\" oder Tabulator), eine Excel-Arbeitsmappe (.xlsx) oder eine LibreOffice-Tabelle\n"
        "    (.ods). Die Beträge stehen in der Spalte, die nur Zahlen enthält und \"Betrag\", \"Offen\",\n"
        "    \"Saldo\", \"Summe\" oder \"Brutto\" heißt, sonst in der rechten solchen Spalte (nie in einer\n"
        "    für Prozente, Mengen oder Daten); die Kopfzeile steht über den Beträgen, Titelzeilen darüber\n"
        "    zählen nicht. Jeder Betrag behält seine Zeilennummer und seine Bezeichnung aus der linken\n"
        "    anderen Spalte, etwa die Belegnummer. Zeilen, die nur Beträge zusammenzählen (\"Summe\",\n"
        "    \"Zwischensumme\", \"Saldo\", \"Gesamt\", \"Total\", Summenformeln), und ausgeblendete Zeilen\n"
        "    zählen nicht mit. Beträge dürfen ein Währungszeichen tragen (\"1.234,50 €\"); Gutschriften\n"
        "    dürfen \"4.885,96-\" oder \"(4.885,96)\" geschrieben sein oder eine Spalte S/H haben.\n"
        "Nullen nehmen an keiner Kombination teil. Gerechnet wird exakt auf vier Nachkommastellen.\n"
        "\n"
        "Optionen:\n"
        "  --target TEXT        der Zielwert (muss angegeben werden)\n"
        "  --tolerance TEXT     Toleranz als Betrag: Treffer ist jede Summe von Zielwert − TEXT bis\n"
        "                       Zielwert + TEXT\n"
        "  --tolerance TEXT%    Toleranz in Prozent vom Betrag des Zielwerts\n"
        "  --max-items K        nur Kombinationen aus höchstens K Beträgen; so lassen sich auch\n"
        "                       tausende Beträge durchsuchen\n"
        "  --min-items K        nur Kombinationen aus mindestens K Beträgen\n"
        "  --order ORDNUNG      Reihenfolge der Treffer: window (Vorgabe: nach der Kombinationsnummer,\n"
        "                       wie das Fenster sie zeigt), items (wenigste Beträge zuerst) oder\n"
        "                       difference (kleinste Abweichung vom Zielwert zuerst)\n"
        "  --limit N            höchstens die ersten N Treffer aufführen (Vorgabe 1000, 0 führt keinen\n"
        "                       auf); gezählt werden immer alle\n"
        "  --json               statt Textzeilen ein JSON-Objekt ausgeben:\n"
        "                       {\"amounts\": …, \"total\": …, \"hits\": [{\"items\": […], \"sum\": \"…\"}, "
        "…]}\n"
        "  --csv                die Treffer als CSV-Datei für die Tabellenkalkulation ausgeben, eine Zeile\n"
        "                       je Betrag eines Treffers\n"
        "  --column SPALTE      die Betragsspalte einer Tabelle: ihre Überschrift, ihr Buchstabe (C, AA)\n"
        "                       oder ihre Nummer ab 1\n"
        "  --label SPALTE       eine Spalte mit Bezeichnungen, angegeben wie bei --column; mehrfach\n"
        "                       möglich, die Texte werden mit \" / \" verbunden\n"
        "  --no-label           ohne Bezeichnungen\n"
        "  --sheet BLATT        das Tabellenblatt einer Arbeitsmappe, nach Name oder Nummer ab 1\n"
        "                       (Vorgabe: das erste sichtbare)\n"
        "  --delimiter ZEICHEN  das Trennzeichen einer CSV-Datei: \";\", \",\" oder \"tab\"\n"
        "                       (Vorgabe: erkannt)\n"
        "  --header-row N       die Kopfzeile einer Tabelle ist Zeile N (Vorgabe: die Zeile über den\n"
        "                       Beträgen, Titelzeilen darüber zählen nicht)\n"
        "  --all-rows           auch ausgeblendete und weggefilterte Zeilen einer Arbeitsmappe lesen\n"
        "  --locale NAME        Zahlen in diesem regionalen Format lesen und schreiben, z. B. de_DE,\n"
        "                       de_CH, en_US (ohne die Option gilt das Format aus LC_ALL, ist das leer,\n"
        "                       aus LC_NUMERIC, ist auch das leer, aus LANG)\n"
        "  -h, --help           diese Hilfe\n"
        "  -v, --version        die Version\n"
        "\n"
        "Die Kombinationsnummer hat Bit i für den i-ten Betrag ungleich null. Ohne --max-items wird\n"
        "jede Kombination durchsucht; wie viele Beträge das erlaubt, hängt von den Beträgen und vom\n"
        "Zielwert ab. Passt keine Methode in Zeit und Speicher, sagt kalvon-find das und nennt, was hilft.\n"
        "\n"
        "Exit-Status: 0 mindestens ein Treffer, 1 kein Treffer, 2 fehlerhafter Aufruf, fehlerhafte\n"
        "Eingabe oder eine Suche, die sich so nicht durchführen lässt, 130 mit Strg+C abgebrochen.\n"
        "\n"
        "Beispiele:\n"
        "  $ printf '120,00\\n80,00\\n0\\n19,50\\n200,00\\n0,50\\n' | kalvon-find --locale de_DE --target "
        "200\n"
        "  Treffer 1: Nr. 1 (120,00) + Nr. 2 (80,00) = 200,00\n"
        "  Treffer 2: Nr. 5 (200,00) = 200,00\n"
        "  Insgesamt 2 Treffer.\n"
        "  $ kalvon-find --target 1.334,40 --max-items 4 offene-posten.xlsx\n"
        "  $ kalvon-find --target 1.334,40 --csv offene-posten.csv > treffer.csv\n");
}

int usageError(std::FILE* err, const QString& message) {
    Terminal::print(
        err, QStringLiteral("kalvon-find: %1\nEine Übersicht gibt: kalvon-find --help\n").arg(message));
    return 2;
}

// A wrong call, with its German message; thrown while the options are read.
struct UsageError {
    QString message;
};

// kalvon-find's options, and how each is read into Options.
class OptionReader {
public:
    explicit OptionReader(std::FILE* out)
        : m_out(out) {
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        m_parser.addOptions({target, tolerance, limit, json, csv, locale, maxItems, minItems, order, column,
                             label, noLabel, sheet, delimiter, headerRow, allRows, help, version});
        m_parser.addPositionalArgument(QStringLiteral("DATEI"), QString());
    }

    // The options to run with, or the exit status of a call answered here.
    CommandLine read(const QStringList& arguments) {
        if (!m_parser.parse(arguments))
            throw UsageError{m_parser.errorText()};
        if (m_parser.isSet(help)) {
            Terminal::print(m_out, helpText());
            return {std::nullopt, 0};
        }
        if (m_parser.isSet(version)) {
            Terminal::print(m_out, QStringLiteral("kalvon-find %1\n").arg(QStringLiteral(KALVON_VERSION)));
            return {std::nullopt, 0};
        }
        checkCall();
        Options o;
        o.target = m_parser.value(target);
        if (m_parser.isSet(tolerance))
            o.tolerance = m_parser.value(tolerance);
        o.file = m_parser.positionalArguments().value(0);
        readOutput(o);
        readSizes(o);
        readOrder(o);
        readTable(o);
        return {o, 0};
    }

private:
    // Options given once at most, one file, a known locale (which becomes the default), a target.
    void checkCall() {
        for (const QCommandLineOption* once : {&target, &tolerance, &limit, &locale, &maxItems, &minItems,
                                               &order, &column, &sheet, &delimiter, &headerRow}) {
            if (m_parser.values(*once).size() > 1)
                throw UsageError{
                    QStringLiteral("--%1 ist mehrfach angegeben.").arg(once->names().constFirst())};
        }
        if (m_parser.positionalArguments().size() > 1)
            throw UsageError{QStringLiteral("Es lässt sich nur eine Datei lesen, angegeben sind %1.")
                                 .arg(m_parser.positionalArguments().size())};
        if (m_parser.isSet(locale)) {
            const QString name = m_parser.value(locale);
            const QLocale chosen(name);
            const bool plainC = name == QLatin1String("C") || name == QLatin1String("POSIX");
            if (chosen.language() == QLocale::C && !plainC)
                throw UsageError{
                    QStringLiteral("Unbekanntes regionales Format für --locale: „%1“.").arg(name)};
            QLocale::setDefault(chosen);
        }
        if (!m_parser.isSet(target))
            throw UsageError{QStringLiteral("Der Zielwert fehlt: --target TEXT.")};
    }

    void readOutput(Options& o) const {
        if (m_parser.isSet(limit)) {
            bool ok = false;
            const QString text = m_parser.value(limit).trimmed();
            o.limit = text.startsWith(QLatin1Char('+')) ? 0 : text.toULongLong(&ok, 10);
            if (!ok)
                throw UsageError{QStringLiteral("--limit erwartet eine ganze Zahl ab 0, nicht „%1“.")
                                     .arg(m_parser.value(limit))};
        }
        if (m_parser.isSet(json) && m_parser.isSet(csv))
            throw UsageError{QStringLiteral("--json und --csv schließen einander aus.")};
        o.output = m_parser.isSet(json) ? Output::Json : m_parser.isSet(csv) ? Output::Csv : Output::Text;
    }

    void readSizes(Options& o) const {
        for (const QCommandLineOption* count : {&maxItems, &minItems}) {
            if (!m_parser.isSet(*count))
                continue;
            const QString text = m_parser.value(*count).trimmed();
            bool ok = false;
            const int value = text.toInt(&ok, 10);
            if (!ok || value < 1 || text.startsWith(QLatin1Char('+')))
                throw UsageError{QStringLiteral("--%1 erwartet eine ganze Zahl ab 1, nicht „%2“.")
                                     .arg(count->names().constFirst(), m_parser.value(*count))};
            (count == &maxItems ? o.maxItems : o.minItems) = value;
        }
        if (o.maxItems > 0 && o.minItems > o.maxItems)
            throw UsageError{QStringLiteral("--min-items %1 ist größer als --max-items %2.")
                                 .arg(o.minItems)
                                 .arg(o.maxItems)};
    }

    void readOrder(Options& o) const {
        if (!m_parser.isSet(order))
            return;
        const QString name = m_parser.value(order).trimmed();
        if (name == QLatin1String("window"))
            o.order = CombinationSearch::Order::Window;
        else if (name == QLatin1String("items"))
            o.order = CombinationSearch::Order::Items;
        else if (name == QLatin1String("difference"))
            o.order = CombinationSearch::Order::Difference;
        else
            throw UsageError{QStringLiteral("--order erwartet window, items oder difference, nicht „%1“.")
                                 .arg(m_parser.value(order))};
    }

    void readTable(Options& o) const {
        if (m_parser.isSet(delimiter)) {
            const QString text = m_parser.value(delimiter);
            if (text == QLatin1String(";") || text == QLatin1String(","))
                o.table.delimiter = text.front();
            else if (text == QLatin1String("\t") ||
                     text.compare(QLatin1String("tab"), Qt::CaseInsensitive) == 0)
                o.table.delimiter = QLatin1Char('\t');
            else
                throw UsageError{
                    QStringLiteral("--delimiter erwartet \";\", \",\" oder \"tab\", nicht „%1“.").arg(text)};
        }
        if (m_parser.isSet(noLabel) && m_parser.isSet(label))
            throw UsageError{QStringLiteral("--label und --no-label schließen einander aus.")};
        o.table.sheet = m_parser.value(sheet);
        o.table.column = m_parser.value(column);
        o.table.labels = m_parser.values(label);
        o.table.noLabel = m_parser.isSet(noLabel);
        o.table.allRows = m_parser.isSet(allRows);
        if (m_parser.isSet(headerRow)) {
            const QString text = m_parser.value(headerRow).trimmed();
            bool ok = false;
            o.table.headerRow = text.toInt(&ok, 10);
            if (!ok || o.table.headerRow < 1 || text.startsWith(QLatin1Char('+')))
                throw UsageError{QStringLiteral("--header-row erwartet eine Zeilennummer ab 1, nicht „%1“.")
                                     .arg(m_parser.value(headerRow))};
        }
    }

    static QCommandLineOption valued(const char* name, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value));
    }

    std::FILE* m_out;
    QCommandLineParser m_parser;
    const QCommandLineOption target = valued("target", "TEXT");
    const QCommandLineOption tolerance = valued("tolerance", "TEXT");
    const QCommandLineOption limit = valued("limit", "N");
    const QCommandLineOption json{QStringLiteral("json")};
    const QCommandLineOption csv{QStringLiteral("csv")};
    const QCommandLineOption locale = valued("locale", "NAME");
    const QCommandLineOption maxItems = valued("max-items", "K");
    const QCommandLineOption minItems = valued("min-items", "K");
    const QCommandLineOption order = valued("order", "ORDNUNG");
    const QCommandLineOption column = valued("column", "SPALTE");
    const QCommandLineOption label = valued("label", "SPALTE");
    const QCommandLineOption noLabel{QStringLiteral("no-label")};
    const QCommandLineOption sheet = valued("sheet", "BLATT");
    const QCommandLineOption delimiter = valued("delimiter", "ZEICHEN");
    const QCommandLineOption headerRow = valued("header-row", "N");
    const QCommandLineOption allRows{QStringLiteral("all-rows")};
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")}};
};

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const Terminal::Streams& streams) {
    try {
        return OptionReader(streams.out).read(arguments);
    } catch (const UsageError& e) {
        return {std::nullopt, usageError(streams.err, e.message)};
    }
}

} // namespace FindCommand
