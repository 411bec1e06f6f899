// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"

#include "frontend/window_command_line.h"

namespace CommandLine {
namespace {

const QString helpText =
    QStringLiteral("Aufruf: kalvon [Optionen]\n"
                   "\n"
                   "Findet die Beträge, die zusammen eine gesuchte Summe ergeben. Ohne Optionen\n"
                   "öffnet Kalvon sein Fenster.\n"
                   "\n"
                   "Optionen:\n"
                   "  -h, --help     Zeigt diese Hilfe an.\n"
                   "  -v, --version  Zeigt die Versionsnummer an.\n"
                   "\n"
                   "Dazu gelten die Optionen von Qt, zum Beispiel -platform offscreen,\n"
                   "-style Fusion, -reverse oder -qwindowgeometry 800x600+0+0.\n");

} // namespace

std::optional<int> handleCommandLine(int argc, char* argv[]) {
    return WindowCommandLine::parse(argc, argv, QStringLiteral("kalvon"), helpText, 0).exitStatus;
}

} // namespace CommandLine
