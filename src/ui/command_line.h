// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace CommandLine {

// Reads the command line before any window system is touched. Returns the exit status when the
// program is to end here (--help, --version, a wrong call), nothing when the window is to open.
// Qt's own options are accepted and left for QApplication.
std::optional<int> handleCommandLine(int argc, char* argv[]);

} // namespace CommandLine
