// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// kalvon-find: the search over a list of up to 48 amounts from a file or standard input, on the
// command line. Reads its options from arguments (the program name first), writes hits to
// standard output and messages to standard error, and returns the exit status.
namespace FindCommand {

enum ExitStatus {
    Found = 0,        // at least one hit
    NotFound = 1,     // no hit
    BadInput = 2,     // usage error or input that cannot be searched
    Interrupted = 130 // Ctrl+C
};

int run(const QStringList& arguments);

} // namespace FindCommand
