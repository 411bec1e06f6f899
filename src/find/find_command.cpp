// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/find_command.h"

#include "core/amount_list.h"
#include "core/combination_search.h"
#include "core/currency.h"
#include "core/kalvon_error.h"
#include "core/meet_in_middle.h"
#include "core/number_text.h"
#include "find/terminal.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

namespace FindCommand {
namespace {

constexpr int ProgressFrom = 40; // amounts from which a long run shows its progress
constexpr quint64 DefaultLimit = 1000;

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

int usageError(const QString& message) {
    print(stderr, QStringLiteral("kalvon-find: %1\nEine Übersicht gibt: kalvon-find --help\n").arg(message));
    return BadInput;
}

int inputError(const QString& message) {
    print(stderr, QStringLiteral("kalvon-find: %1\n").arg(message));
    return BadInput;
}

QString helpText() {
    return QStringLiteral(
        "Aufruf: kalvon-find --target TEXT [--tolerance TEXT | --tolerance TEXT%] [--limit N] [--json]\n"
        "                   [--locale NAME] [DATEI]\n"
        "\n"
        "Sucht unter bis zu 48 Beträgen jede Kombination, deren Summe den Zielwert genau trifft oder\n"
        "im Toleranzbereich um ihn liegt, und zählt alle Treffer. Die Beträge stehen in DATEI oder,\n"
        "ohne DATEI oder mit \"-\", in der Standardeingabe, getrennt durch Zeilenumbrüche, Tabulatoren\n"
        "oder \";\" (wie eine aus der Tabellenkalkulation kopierte Spalte oder Zeile); Leerzeichen um\n"
        "einen Betrag und leere Stücke zählen nicht. Die Beträge werden in der Reihenfolge der Eingabe\n"
        "ab 1 nummeriert, Nullen mitgezählt; Nullen nehmen an keiner Kombination teil. Gerechnet wird\n"
        "exakt auf vier Nachkommastellen.\n"
        "\n"
        "Optionen:\n"
        "  --target TEXT      der Zielwert (muss angegeben werden)\n"
        "  --tolerance TEXT   Toleranz als Betrag: Treffer ist jede Summe von Zielwert − TEXT bis\n"
        "                     Zielwert + TEXT\n"
        "  --tolerance TEXT%  Toleranz in Prozent vom Betrag des Zielwerts\n"
        "  --limit N          höchstens die ersten N Treffer aufführen (Vorgabe 1000, 0 führt keinen\n"
        "                     auf); gezählt werden immer alle\n"
        "  --json             statt Textzeilen ein JSON-Objekt ausgeben:\n"
        "                     {\"amounts\": …, \"total\": …, \"hits\": [{\"items\": […], \"sum\": \"…\"}, "
        "…]}\n"
        "  --locale NAME      Zahlen in diesem regionalen Format lesen und schreiben, z. B. de_DE,\n"
        "                     de_CH, en_US (ohne die Option: das Format aus LC_ALL bzw. LANG)\n"
        "  -h, --help         diese Hilfe\n"
        "  -v, --version      die Version\n"
        "\n"
        "Die Treffer kommen in der Reihenfolge der Kombinationsnummer: Bit i steht für den i-ten\n"
        "Betrag ungleich null.\n"
        "\n"
        "Exit-Status: 0 mindestens ein Treffer, 1 kein Treffer, 2 fehlerhafter Aufruf oder Betrag,\n"
        "130 mit Strg+C abgebrochen.\n"
        "\n"
        "Beispiel:\n"
        "  $ printf '120,00\\n80,00\\n0\\n19,50\\n200,00\\n0,50\\n' | kalvon-find --locale de_DE --target "
        "200\n"
        "  Treffer 1: Nr. 1 (120,00) + Nr. 2 (80,00) = 200,00\n"
        "  Treffer 2: Nr. 5 (200,00) = 200,00\n"
        "  Insgesamt 2 Treffer.\n");
}

// Plain decimal text for JSON: '-' when negative, '.', exactly four decimals.
QString plainText(Currency amount) {
    const quint64 magnitude = amount.magnitude();
    return QStringLiteral("%1%2.%3")
        .arg(amount.count() < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / quint64(Currency::Scale))
        .arg(magnitude % quint64(Currency::Scale), 4, 10, QLatin1Char('0'));
}

struct Amounts {
    int read = 0;                 // every amount, zeros included
    std::vector<Currency> values; // the non-zero ones, in input order
    std::vector<int> numbers;     // the number (from 1) of each non-zero amount
};

std::optional<QString> readInput(const QString& path, QString* error) {
    QFile file;
    bool opened;
    if (path.isEmpty() || path == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        *error = (QFileInfo::exists(path) ? QStringLiteral("Die Datei „%1“ lässt sich nicht lesen.")
                                          : QStringLiteral("Die Datei „%1“ gibt es nicht."))
                     .arg(path);
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) // not UTF-8: a file of an older Windows program
        text = QString::fromLatin1(bytes);
    return text;
}

struct Search {
    Currency lower, upper;
    quint64 limit = DefaultLimit;
    bool json = false;
};

int search(const Amounts& amounts, const Search& s) {
    Terminal::catchInterrupt();
    Terminal::ProgressBar progress(stderr, int(amounts.values.size()) >= ProgressFrom);
    quint64 listed = 0, total = 0;

    CombinationSearch::Control control;
    control.progress = [&](int permille) {
        progress.show(permille);
    };
    control.cancelled = [] {
        return Terminal::interrupted();
    };
    control.counted = [&](const CombinationSearch::Total& count) {
        total = count.count.get_ui();
        progress.clear();
        if (s.json) {
            print(
                stdout,
                QStringLiteral("{\"amounts\": %1, \"total\": %2, \"hits\": [").arg(amounts.read).arg(total));
        }
    };
    control.hit = [&](const CombinationSearch::Hit& hit) {
        QStringList items;
        for (const int index : hit.items) {
            const int number = amounts.numbers[std::size_t(index)];
            items << (s.json ? QString::number(number)
                             : QStringLiteral("Nr. %1 (%2)")
                                   .arg(number)
                                   .arg(NumberText::formatAmount(amounts.values[std::size_t(index)])));
        }
        ++listed;
        if (s.json) {
            print(stdout, QStringLiteral("%1\n  {\"items\": [%2], \"sum\": \"%3\"}")
                              .arg(listed == 1 ? QString() : QStringLiteral(","),
                                   items.join(QStringLiteral(", ")), plainText(hit.sum)));
        } else {
            print(stdout, QStringLiteral("Treffer %1: %2 = %3\n")
                              .arg(QLocale().toString(listed), items.join(QStringLiteral(" + ")),
                                   NumberText::formatAmount(hit.sum)));
        }
        return !Terminal::interrupted();
    };

    CombinationSearch::Request request;
    request.amounts = amounts.values;
    request.lower = s.lower;
    request.upper = s.upper;
    request.limit = s.limit;
    const CombinationSearch::Outcome outcome = CombinationSearch::run(request, control);
    progress.clear();
    if (s.json && !outcome.cancelled)
        print(stdout, QStringLiteral("%1]}\n").arg(listed > 0 ? QStringLiteral("\n") : QString()));
    std::fflush(stdout);
    if (outcome.cancelled) {
        print(stderr, QStringLiteral("kalvon-find: abgebrochen.\n"));
        return Interrupted;
    }
    if (!s.json) {
        const QLocale locale;
        if (total == 0)
            print(stdout, QStringLiteral("Es wurde keine Kombination gefunden.\n"));
        else if (listed == total)
            print(stdout, QStringLiteral("Insgesamt %1 Treffer.\n")
                              .arg(NumberText::formatCount(mpz_class(static_cast<unsigned long>(total)))));
        else
            print(stdout,
                  QStringLiteral("Insgesamt %1 Treffer, davon %2 nicht aufgeführt.\n")
                      .arg(NumberText::formatCount(mpz_class(static_cast<unsigned long>(total))),
                           NumberText::formatCount(mpz_class(static_cast<unsigned long>(total - listed)))));
    }
    std::fflush(stdout);
    return total > 0 ? Found : NotFound;
}

} // namespace

int run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption target(QStringLiteral("target"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption tolerance(QStringLiteral("tolerance"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption limit(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption locale(QStringLiteral("locale"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({target, tolerance, limit, json, locale, help, version});
    parser.addPositionalArgument(QStringLiteral("DATEI"), QString());
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        print(stdout, helpText());
        return Found;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("kalvon-find %1\n").arg(QStringLiteral(KALVON_VERSION)));
        return Found;
    }
    for (const QCommandLineOption* once : {&target, &tolerance, &limit, &locale}) {
        if (parser.values(*once).size() > 1)
            return usageError(QStringLiteral("--%1 ist mehrfach angegeben.").arg(once->names().constFirst()));
    }
    if (parser.positionalArguments().size() > 1)
        return usageError(QStringLiteral("Es lässt sich nur eine Datei lesen, angegeben sind %1.")
                              .arg(parser.positionalArguments().size()));
    if (parser.isSet(locale)) {
        const QString name = parser.value(locale);
        const QLocale chosen(name);
        const bool plainC = name == QLatin1String("C") || name == QLatin1String("POSIX");
        if (chosen.language() == QLocale::C && !plainC)
            return usageError(QStringLiteral("Unbekanntes regionales Format für --locale: „%1“.").arg(name));
        QLocale::setDefault(chosen);
    }
    if (!parser.isSet(target))
        return usageError(QStringLiteral("Der Zielwert fehlt: --target TEXT."));

    Search s;
    if (parser.isSet(limit)) {
        bool ok = false;
        const QString text = parser.value(limit).trimmed();
        s.limit = text.startsWith(QLatin1Char('+')) ? 0 : text.toULongLong(&ok, 10);
        if (!ok)
            return usageError(QStringLiteral("--limit erwartet eine ganze Zahl ab 0, nicht „%1“.")
                                  .arg(parser.value(limit)));
    }
    s.json = parser.isSet(json);

    Amounts amounts;
    try {
        const Currency goal = inContext(QStringLiteral("Der Zielwert (--target)"),
                                        [&] { return NumberText::toCurrency(parser.value(target)); });
        Currency margin;
        if (parser.isSet(tolerance)) {
            QString text = parser.value(tolerance).trimmed();
            const bool percent = text.endsWith(QLatin1Char('%'));
            if (percent)
                text = text.chopped(1).trimmed();
            margin = inContext(QStringLiteral("Die Toleranz (--tolerance)"),
                               [&] { return NumberText::toCurrency(text); });
            if (margin < Currency())
                return usageError(QStringLiteral("Die Toleranz darf nicht negativ sein: „%1“.")
                                      .arg(parser.value(tolerance)));
            if (percent)
                margin = inContext(
                    QStringLiteral("Die Toleranz von %1 % des Zielwerts").arg(NumberText::format(margin)),
                    [&] { return goal.percentOf(margin); });
        }
        s.lower =
            inContext(QStringLiteral("Die Untergrenze des Toleranzbereichs"), [&] { return goal - margin; });
        s.upper =
            inContext(QStringLiteral("Die Obergrenze des Toleranzbereichs"), [&] { return goal + margin; });

        QString error;
        const std::optional<QString> input = readInput(parser.positionalArguments().value(0), &error);
        if (!input)
            return inputError(error);
        for (const QString& text : AmountList::split(*input)) {
            ++amounts.read;
            Currency amount;
            try {
                amount = NumberText::toCurrency(text);
            } catch (KalvonError& e) {
                // A text that is no number is quoted by the message itself; a number out of range too.
                const QString subject = QStringLiteral("Der Betrag Nr. %1").arg(amounts.read);
                e.setSubject(e.kind() == KalvonError::Kind::Overflow
                                 ? QStringLiteral("%1, „%2“,").arg(subject, e.quotedInput())
                                 : subject);
                throw;
            }
            if (amount.count() != 0) {
                amounts.values.push_back(amount);
                amounts.numbers.push_back(amounts.read);
            }
        }
        if (amounts.values.size() > std::size_t(MeetInMiddleSearch::MaxAmounts))
            return usageError(
                QStringLiteral("%1 Beträge sind ungleich null; mehr als %2 lassen sich nicht kombinieren.")
                    .arg(amounts.values.size())
                    .arg(MeetInMiddleSearch::MaxAmounts));
        if (!MeetInMiddleSearch::sumsFit(amounts.values))
            throw KalvonError(KalvonError::Kind::Overflow, QStringLiteral("Eine mögliche Summe der Beträge"));
    } catch (const KalvonError& e) {
        return inputError(e.userMessage());
    }
    try {
        return search(amounts, s);
    } catch (const KalvonError& e) {
        return inputError(e.userMessage());
    }
}

} // namespace FindCommand
