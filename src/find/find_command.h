// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frontend/terminal.h"

#include <QStringList>

// kalvon-find: the search over a list of amounts from a file or standard input (a plain list, a
// CSV/TSV table, an .xlsx or .ods workbook), on the command line. Reads its options from arguments
// (the program name first), writes hits to standard output and messages to standard error, and
// returns the exit status. Tests give it streams of their own.
namespace FindCommand {

enum ExitStatus {
    Found = 0,        // at least one hit
    NotFound = 1,     // no hit
    BadInput = 2,     // usage error, input that cannot be read, or a search no method can take
    Interrupted = 130 // Ctrl+C
};

int run(const QStringList& arguments, const Terminal::Streams& streams = {});

} // namespace FindCommand
