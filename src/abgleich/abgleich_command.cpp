// SPDX-License-Identifier: GPL-3.0-or-later
#include "abgleich/abgleich_command.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/statement.h"
#include "core/tables/table_reader.h"
#include "frontend/reconciliation/report_builder.h"
#include "frontend/reconciliation/report_writer.h"
#include "frontend/terminal.h"

#include <QFile>
#include <QFileInfo>

namespace AbgleichCommand {
namespace {

void write(QIODevice& stream, const QString& text) {
    stream.write(text.toUtf8());
}

// The first bytes of a file, for telling a statement from a table; empty when it cannot be read.
QByteArray contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(qint64(64) << 20);
}

// The statement; a table of open items given in its place, with the statement second, is named as
// swapped arguments.
Statement readStatement(const Options& o) {
    const QByteArray items = contentOf(o.itemsFile);
    try {
        Statement statement = StatementReader::readFile(o.statementFile, o.statement);
        if (StatementReader::looksLikeStatement(items))
            throw KalvonError::unreadable(
                QStringLiteral("„%1“ ist ein Kontoauszug, keine Tabelle offener Posten; als zweite Datei "
                               "gehören die offenen Posten angegeben.")
                    .arg(o.itemsFile));
        return statement;
    } catch (const KalvonError& e) {
        if (e.kind() == KalvonError::Kind::Unreadable && StatementReader::looksLikeStatement(items) &&
            !StatementReader::looksLikeStatement(contentOf(o.statementFile)) &&
            QFileInfo(o.statementFile).isFile())
            throw KalvonError::unreadable(
                QStringLiteral("Die Dateien sind vertauscht: „%1“ ist ein Kontoauszug, „%2“ nicht. Aufruf: "
                               "kalvon-abgleich [OPTIONEN] KONTOAUSZUG OFFENE-POSTEN.")
                    .arg(o.itemsFile, o.statementFile));
        throw;
    }
}

// The currency the open items are in: --currency, else the regional settings' currency. A
// statement in another one is refused, since the amounts could not be compared.
QString checkCurrency(const Options& o, const Statement& statement) {
    const QString items = Abgleich::itemsCurrency(o.currency);
    if (Abgleich::currencyDiffers(statement, items))
        throw KalvonError::unreadable(
            QStringLiteral(
                "Der Kontoauszug „%1“ ist in %2, die offenen Posten in %3%4. Sind die offenen Posten "
                "ebenfalls in %2, sagt das --currency %2.")
                .arg(o.statementFile, statement.currency, items,
                     o.currency.isEmpty() ? QStringLiteral(" (nach den regionalen Einstellungen)")
                                          : QString()));
    return statement.currency.isEmpty() ? items : statement.currency;
}

// The open items; a failure names the file, since the table reader's messages name only rows and columns.
ItemTable readItems(const Options& o, TableReader::Layout& layout) {
    try {
        return TableReader::readFile(o.itemsFile, o.table, &layout);
    } catch (const KalvonError& e) {
        throw KalvonError::unreadable(
            QStringLiteral("Die offenen Posten in „%1“: %2").arg(o.itemsFile, e.userMessage()));
    }
}

void warnDuplicates(const Streams& streams, const Matching::Result& result, const QString& itemsFile) {
    for (const Matching::DuplicateInvoice& duplicate : result.duplicates) {
        QStringList rows;
        for (const int row : duplicate.rows)
            rows << QString::number(row);
        write(streams.err,
              QStringLiteral("kalvon-abgleich: Hinweis: Die Belegnummer „%1“ steht in „%2“ mehrfach, in "
                             "den Zeilen %3; nach Belegnummer entscheidet dort der Betrag.\n")
                  .arg(duplicate.invoice, itemsFile, rows.join(QStringLiteral(", "))));
    }
}

Matching::Options matchingOptions(const Options& o) {
    Matching::Options options;
    options.maxItems = o.maxItems;
    options.tolerance = o.tolerance;
    options.skontoPercents = o.skontoPercents;
    options.days = o.days;
    return options;
}

// A failure of the readers or the matching in kalvon-abgleich's words.
QString matchingMessage(const KalvonError& error) {
    if (error.kind() == KalvonError::Kind::Unsupported && error.subject().startsWith(QLatin1String("--")))
        return QStringLiteral("Der Wert von %1 liegt außerhalb des zulässigen Bereichs.")
            .arg(error.subject());
    return error.userMessage();
}

int interrupted(const Streams& streams) {
    write(streams.err, QStringLiteral("kalvon-abgleich: abgebrochen.\n"));
    return Interrupted;
}

int report(const Options& o, const Streams& streams, const Abgleich::Report& report) {
    if (!o.xlsxFile.isEmpty())
        Abgleich::writeXlsx(report, o.xlsxFile);
    if (o.output == Output::Json)
        write(streams.out, Abgleich::jsonReport(report));
    else if (o.output == Output::Csv)
        streams.out.write(Abgleich::csvReport(report));
    else
        write(streams.out, Abgleich::textReport(report));
    return report.anyMatched() ? Matched : NoneMatched;
}

} // namespace

int run(const QStringList& arguments, const Streams& streams, const std::function<bool()>& cancelled) {
    const CommandLine commandLine = parseCommandLine(arguments, streams);
    if (!commandLine.options)
        return commandLine.status;
    const Options& o = *commandLine.options;
    try {
        const Statement statement = readStatement(o);
        const QString currency = checkCurrency(o, statement);
        TableReader::Layout layout;
        const ItemTable table = readItems(o, layout);
        // Ctrl+C while the files are read ends the program at once, as it does any program, also
        // while it waits for a file that does not come; from here on it ends the matching, with
        // status 130 and no report.
        Terminal::catchInterrupt();
        Abgleich::MatchInput input = Abgleich::matchInput(statement, table);
        if (cancelled())
            return interrupted(streams);
        Terminal::ProgressBar progress(stderr);
        Matching::Options options = matchingOptions(o);
        options.cancelled = cancelled;
        options.progress = [&](int permille) {
            progress.show(permille);
        };
        const Matching::Result result = Matching::match(input.payments, input.items, options);
        progress.clear();
        if (result.cancelled || cancelled())
            return interrupted(streams);
        warnDuplicates(streams, result, o.itemsFile);
        return report(o, streams,
                      Abgleich::buildReport(input, result,
                                            Abgleich::sourceOf(o.statementFile, o.itemsFile, statement, table,
                                                               layout.columnTitles, currency)));
    } catch (const KalvonError& e) {
        if (cancelled())
            return interrupted(streams);
        write(streams.err, QStringLiteral("kalvon-abgleich: %1\n").arg(matchingMessage(e)));
        return BadInput;
    }
}

int runProgram(const QStringList& arguments) {
    QFile out, err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return BadInput;
    return run(arguments, Streams{out, err}, [] { return Terminal::interrupted(); });
}

} // namespace AbgleichCommand
