// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of a window program, read before any window system is touched: -h/--help,
// -v/--version, at most `maxFiles` file arguments, and Qt's own options (-platform, -style,
// -reverse …), which are accepted and left for QApplication.
struct WindowCommandLine {
    std::optional<int> exitStatus; // set when the program ends here: help, version, a wrong call
    QStringList files;

    // program names the program in messages; help is its German help text.
    static WindowCommandLine parse(int argc, char* argv[], const QString& program, const QString& help,
                                   int maxFiles);
};
