// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/find_options.h"

#include "find/terminal.h"

#include <QCommandLineParser>
#include <QLocale>

namespace FindCommand {
namespace {

QString helpText() {
    return QStringLiteral(
        "Aufruf: kalvon-find --target TEXT [--tolerance TEXT | --tolerance TEXT%]\n"
        "                   [--max-items K] [--min-items K] [--order window|items|difference]\n"
        "                   [--limit N] [--json | --csv] [--column SPALTE] [--label SPALTE]...\n"
        "                   [--no-label] [--sheet BLATT] [--delimiter ZEICHEN] [--locale NAME] [DATEI]\n"
        "\n"
        "Sucht unter den Beträgen jede Kombination, deren Summe den Zielwert genau trifft oder im\n"
        "Toleranzbereich um ihn liegt, und zählt alle Treffer. Die Beträge stehen in DATEI oder, ohne\n"
        "DATEI oder mit \"-\", in der Standardeingabe, und zwar\n"
        "  - als Liste, getrennt durch Zeilenumbrüche, Tabulatoren oder \";\" (wie eine aus der\n"
        "    Tabellenkalkulation kopierte Spalte oder Zeile). Die Beträge werden in der Reihenfolge der\n"
        "    Eingabe ab 1 nummeriert, Nullen mitgezählt;\n"
        "  - oder als Tabelle: eine CSV- oder Textdatei (UTF-8, UTF-16 oder Windows-1252; Trennzeichen\n"
        "    \";\", \",\" oder Tabulator), eine Excel-Arbeitsmappe (.xlsx) oder eine LibreOffice-Tabelle\n"
        "    (.ods). Die Beträge stehen in der rechten Spalte, die nur Zahlen enthält; die erste Zeile ist\n"
        "    eine Kopfzeile, wenn sie dort keine Zahl hat. Jeder Betrag behält seine Zeilennummer und seine\n"
        "    Bezeichnung aus der linken anderen Spalte, etwa die Belegnummer. Eine letzte Zeile, die nur "
        "die\n"
        "    Beträge darüber zusammenzählt (\"Summe\", \"Gesamt\", \"Total\"), zählt nicht mit.\n"
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

int usageError(const QString& message) {
    Terminal::print(
        stderr, QStringLiteral("kalvon-find: %1\nEine Übersicht gibt: kalvon-find --help\n").arg(message));
    return 2;
}

// A whole number from 1 for --max-items and --min-items; nullopt when the text is none.
std::optional<int> itemCount(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 1 || text.trimmed().startsWith(QLatin1Char('+')))
        return std::nullopt;
    return value;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption target(QStringLiteral("target"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption tolerance(QStringLiteral("tolerance"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption limit(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption csv(QStringLiteral("csv"));
    const QCommandLineOption locale(QStringLiteral("locale"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption maxItems(QStringLiteral("max-items"), QString(), QStringLiteral("K"));
    const QCommandLineOption minItems(QStringLiteral("min-items"), QString(), QStringLiteral("K"));
    const QCommandLineOption order(QStringLiteral("order"), QString(), QStringLiteral("ORDNUNG"));
    const QCommandLineOption column(QStringLiteral("column"), QString(), QStringLiteral("SPALTE"));
    const QCommandLineOption label(QStringLiteral("label"), QString(), QStringLiteral("SPALTE"));
    const QCommandLineOption noLabel(QStringLiteral("no-label"));
    const QCommandLineOption sheet(QStringLiteral("sheet"), QString(), QStringLiteral("BLATT"));
    const QCommandLineOption delimiter(QStringLiteral("delimiter"), QString(), QStringLiteral("ZEICHEN"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({target, tolerance, limit, json, csv, locale, maxItems, minItems, order, column, label,
                       noLabel, sheet, delimiter, help, version});
    parser.addPositionalArgument(QStringLiteral("DATEI"), QString());
    if (!parser.parse(arguments))
        return {std::nullopt, usageError(parser.errorText())};
    if (parser.isSet(help)) {
        Terminal::print(stdout, helpText());
        return {std::nullopt, 0};
    }
    if (parser.isSet(version)) {
        Terminal::print(stdout, QStringLiteral("kalvon-find %1\n").arg(QStringLiteral(KALVON_VERSION)));
        return {std::nullopt, 0};
    }
    for (const QCommandLineOption* once :
         {&target, &tolerance, &limit, &locale, &maxItems, &minItems, &order, &column, &sheet, &delimiter}) {
        if (parser.values(*once).size() > 1)
            return {
                std::nullopt,
                usageError(QStringLiteral("--%1 ist mehrfach angegeben.").arg(once->names().constFirst()))};
    }
    if (parser.positionalArguments().size() > 1)
        return {std::nullopt,
                usageError(QStringLiteral("Es lässt sich nur eine Datei lesen, angegeben sind %1.")
                               .arg(parser.positionalArguments().size()))};
    if (parser.isSet(locale)) {
        const QString name = parser.value(locale);
        const QLocale chosen(name);
        const bool plainC = name == QLatin1String("C") || name == QLatin1String("POSIX");
        if (chosen.language() == QLocale::C && !plainC)
            return {
                std::nullopt,
                usageError(QStringLiteral("Unbekanntes regionales Format für --locale: „%1“.").arg(name))};
        QLocale::setDefault(chosen);
    }
    if (!parser.isSet(target))
        return {std::nullopt, usageError(QStringLiteral("Der Zielwert fehlt: --target TEXT."))};

    Options o;
    o.target = parser.value(target);
    if (parser.isSet(tolerance))
        o.tolerance = parser.value(tolerance);
    if (parser.isSet(limit)) {
        bool ok = false;
        const QString text = parser.value(limit).trimmed();
        o.limit = text.startsWith(QLatin1Char('+')) ? 0 : text.toULongLong(&ok, 10);
        if (!ok)
            return {std::nullopt,
                    usageError(QStringLiteral("--limit erwartet eine ganze Zahl ab 0, nicht „%1“.")
                                   .arg(parser.value(limit)))};
    }
    if (parser.isSet(json) && parser.isSet(csv))
        return {std::nullopt, usageError(QStringLiteral("--json und --csv schließen einander aus."))};
    o.output = parser.isSet(json) ? Output::Json : parser.isSet(csv) ? Output::Csv : Output::Text;
    for (const QCommandLineOption* count : {&maxItems, &minItems}) {
        if (!parser.isSet(*count))
            continue;
        const std::optional<int> value = itemCount(parser.value(*count));
        if (!value)
            return {std::nullopt, usageError(QStringLiteral("--%1 erwartet eine ganze Zahl ab 1, nicht „%2“.")
                                                 .arg(count->names().constFirst(), parser.value(*count)))};
        (count == &maxItems ? o.maxItems : o.minItems) = *value;
    }
    if (o.maxItems > 0 && o.minItems > o.maxItems)
        return {std::nullopt, usageError(QStringLiteral("--min-items %1 ist größer als --max-items %2.")
                                             .arg(o.minItems)
                                             .arg(o.maxItems))};
    if (parser.isSet(order)) {
        const QString name = parser.value(order).trimmed();
        if (name == QLatin1String("window"))
            o.order = CombinationSearch::Order::Window;
        else if (name == QLatin1String("items"))
            o.order = CombinationSearch::Order::Items;
        else if (name == QLatin1String("difference"))
            o.order = CombinationSearch::Order::Difference;
        else
            return {std::nullopt, usageError(QStringLiteral("--order erwartet window, items oder difference, "
                                                            "nicht „%1“.")
                                                 .arg(parser.value(order)))};
    }
    if (parser.isSet(delimiter)) {
        const QString text = parser.value(delimiter);
        if (text == QLatin1String(";") || text == QLatin1String(","))
            o.table.delimiter = text.front();
        else if (text == QLatin1String("\t") || text.compare(QLatin1String("tab"), Qt::CaseInsensitive) == 0)
            o.table.delimiter = QLatin1Char('\t');
        else
            return {std::nullopt, usageError(QStringLiteral("--delimiter erwartet \";\", \",\" oder \"tab\", "
                                                            "nicht „%1“.")
                                                 .arg(text))};
    }
    if (parser.isSet(noLabel) && parser.isSet(label))
        return {std::nullopt, usageError(QStringLiteral("--label und --no-label schließen einander aus."))};
    o.table.sheet = parser.value(sheet);
    o.table.column = parser.value(column);
    o.table.labels = parser.values(label);
    o.table.noLabel = parser.isSet(noLabel);
    o.file = parser.positionalArguments().value(0);
    return {o, 0};
}

} // namespace FindCommand
