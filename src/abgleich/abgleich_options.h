// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/tables/statement.h"
#include "core/tables/table_reader.h"

#include <QIODevice>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace AbgleichCommand {

enum class Output { Text, Json, Csv };

// Where the program writes: its output and its messages.
struct Streams {
    QIODevice& out;
    QIODevice& err;
};

// What kalvon-abgleich was asked to do, as read from its command line.
struct Options {
    QString statementFile;
    QString itemsFile;
    int maxItems = 4;
    Currency tolerance;
    std::vector<Currency> skontoPercents{Currency::fromCount(2 * Currency::Scale),
                                         Currency::fromCount(3 * Currency::Scale)};
    int days = 180;
    TableReader::Options table;         // the open items, read with their roles (customer, date, IBAN)
    StatementReader::Options statement; // the columns of a bank CSV export (--statement-column)
    QString currency;                   // --currency: the statement's currency is accepted
    Output output = Output::Text;
    QString xlsxFile;
};

// The command line read: the options to run with, or the exit status when it has been answered
// already (help, version, a usage error written to the error stream).
struct CommandLine {
    std::optional<Options> options;
    int status = 0;
};

// Reads the arguments (the program name first); sets the default locale from --locale.
CommandLine parseCommandLine(const QStringList& arguments, const Streams& streams);

// The help text.
QString helpText();

} // namespace AbgleichCommand
