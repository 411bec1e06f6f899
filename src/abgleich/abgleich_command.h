// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "abgleich/abgleich_options.h"

#include <QStringList>

#include <functional>

// kalvon-abgleich: a bank statement against the open items, on the command line. Reads its
// options from arguments (the program name first), writes the report to streams.out and messages
// to streams.err, and returns the exit status.
namespace AbgleichCommand {

enum ExitStatus {
    Matched = 0,      // at least one payment was assigned to its invoices
    NoneMatched = 1,  // none was
    BadInput = 2,     // usage error, or input that cannot be read or does not fit together
    Interrupted = 130 // Ctrl+C
};

// cancelled is polled while matching; true ends the run with Interrupted and no report.
int run(const QStringList& arguments, const Streams& streams, const std::function<bool()>& cancelled);

// The program as started: standard output and error, Ctrl+C as Terminal::interrupted() reports it.
int runProgram(const QStringList& arguments);

} // namespace AbgleichCommand
