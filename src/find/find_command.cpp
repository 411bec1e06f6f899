// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/find_command.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"
#include "find/find_options.h"
#include "find/hit_writer.h"
#include "find/refusal_text.h"
#include "frontend/terminal.h"

namespace FindCommand {
namespace {

int inputError(std::FILE* err, const QString& message) {
    Terminal::print(err, QStringLiteral("kalvon-find: %1\n").arg(message));
    return BadInput;
}

int interrupted(std::FILE* err) {
    Terminal::print(err, QStringLiteral("kalvon-find: abgebrochen.\n"));
    return Interrupted;
}

// The target and the range of sums that hit; throws KalvonError for a bad target or tolerance, and
// returns false after a usage error.
bool readRange(const Options& o, CombinationSearch::Request& request, std::FILE* err) {
    const Currency target = inContext(QStringLiteral("Der Zielwert (--target)"),
                                      [&] { return NumberText::toCurrency(o.target); });
    if (!o.tolerance) {
        request.setRange(target);
        return true;
    }
    QString text = o.tolerance->trimmed();
    const bool percent = text.endsWith(QLatin1Char('%'));
    if (percent)
        text = text.chopped(1).trimmed();
    const Currency tolerance =
        inContext(QStringLiteral("Die Toleranz (--tolerance)"), [&] { return NumberText::toCurrency(text); });
    if (tolerance < Currency()) {
        Terminal::print(err, QStringLiteral("kalvon-find: Die Toleranz darf nicht negativ sein: „%1“.\n"
                                            "Eine Übersicht gibt: kalvon-find --help\n")
                                 .arg(*o.tolerance));
        return false;
    }
    request.setRange(target, tolerance, percent);
    return true;
}

// Runs the search and writes its outcome; the exit status.
int search(const Options& o, CombinationSearch::Request& request, const SearchList& list,
           const Terminal::Streams& streams) {
    const std::unique_ptr<HitWriter> writer = o.output == Output::Json  ? makeJsonWriter(list, streams.out)
                                              : o.output == Output::Csv ? makeCsvWriter(list, streams.out)
                                                                        : makeTextWriter(list, streams.out);
    Terminal::ProgressBar progress(streams.err);
    quint64 listed = 0;
    CombinationSearch::Control control;
    control.progress = [&](int permille) {
        progress.show(permille);
    };
    control.cancelled = [] {
        return Terminal::interrupted();
    };
    control.counted = [&](const CombinationSearch::Total& total) {
        progress.clear();
        writer->counted(total);
    };
    control.hit = [&](const CombinationSearch::Hit& hit) {
        writer->hit(++listed, hit);
        return !Terminal::interrupted();
    };
    const CombinationSearch::Outcome outcome = CombinationSearch::run(request, control);
    progress.clear();
    if (outcome.cancelled) {
        std::fflush(streams.out);
        return interrupted(streams.err);
    }
    writer->finished(outcome, listed);
    std::fflush(streams.out);
    return outcome.total.count > 0 ? Found : NotFound;
}

// The list from the file, or from standard input for none or "-".
ItemTable readList(const Options& o, const Terminal::Streams& streams) {
    const bool standardInput = o.file.isEmpty() || o.file == QLatin1String("-");
    if (standardInput && streams.in != nullptr)
        return TableReader::read(*streams.in, o.table);
    return TableReader::readFile(standardInput ? QStringLiteral("-") : o.file, o.table);
}

} // namespace

int run(const QStringList& arguments, const Terminal::Streams& streams) {
    const CommandLine commandLine = parseCommandLine(arguments, streams);
    if (!commandLine.options)
        return commandLine.status;
    const Options& o = *commandLine.options;
    try {
        CombinationSearch::Request request;
        SearchList list;
        list.tolerance = o.tolerance.has_value();
        if (!readRange(o, request, streams.err))
            return BadInput;
        list.target = request.target;
        // Ctrl+C while the input is read ends the program at once, as it does any program; from
        // the search on it ends the search, with status 130 and only whole lines written.
        list.table = readList(o, streams);
        if (list.table.items.empty())
            return inputError(streams.err,
                              list.table.isTable()
                                  ? QStringLiteral("Es wurde kein Betrag gelesen.")
                                  : QStringLiteral("Es wurde kein Betrag gelesen: Die Eingabe ist leer."));
        Terminal::catchInterrupt();
        for (const Item& item : list.table.items) {
            if (item.amount.count() != 0) {
                list.searched.push_back(&item);
                request.amounts.push_back(item.amount);
            }
        }
        request.minItems = o.minItems;
        request.maxItems = o.maxItems;
        request.order = o.order;
        request.limit = o.limit;
        return search(o, request, list, streams);
    } catch (const KalvonError& e) {
        if (Terminal::interrupted())
            return interrupted(streams.err);
        return inputError(streams.err, failureText(e));
    }
}

} // namespace FindCommand
