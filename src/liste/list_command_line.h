// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// kalvon-liste's command line, read before any window system is touched.
struct ListCommandLine {
    std::optional<int> exitStatus; // set when the program ends here: --help, --version, a wrong call
    QString file;                  // the file to open; empty for none

    // Qt's own options are accepted and left for QApplication.
    static ListCommandLine parse(int argc, char* argv[]);
};
