// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"
#include "core/tables/table_reader.h"
#include "frontend/terminal.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace FindCommand {

enum class Output { Text, Json, Csv };

// What kalvon-find was asked to do, as read from its command line.
struct Options {
    QString target;
    std::optional<QString> tolerance; // as given, a trailing '%' included
    quint64 limit = 1000;
    Output output = Output::Text;
    QString file; // empty or "-": standard input
    TableReader::Options table;
    int minItems = 1;
    int maxItems = 0; // 0: no limit
    CombinationSearch::Order order = CombinationSearch::Order::Window;
};

// The command line read: the options to run with, or the exit status when it has been answered
// already (help, version, a usage error printed on standard error).
struct CommandLine {
    std::optional<Options> options;
    int status = 0;
};

// Reads the arguments (the program name first); sets the default locale from --locale. Help and
// version go to streams.out, a usage error to streams.err.
CommandLine parseCommandLine(const QStringList& arguments, const Terminal::Streams& streams);

} // namespace FindCommand
