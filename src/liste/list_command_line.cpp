// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_command_line.h"

#include "frontend/window_command_line.h"

namespace {

const QString helpText =
    QStringLiteral("Aufruf: kalvon-liste [Optionen] [DATEI]\n"
                   "\n"
                   "Öffnet ein Fenster für lange Listen von Beträgen und findet die Posten, die zusammen\n"
                   "einen Zielwert ergeben. DATEI (CSV, TSV, .xlsx oder .ods) wird gleich geöffnet.\n"
                   "\n"
                   "Optionen:\n"
                   "  -h, --help     Zeigt diese Hilfe an.\n"
                   "  -v, --version  Zeigt die Versionsnummer an.\n"
                   "\n"
                   "Dazu gelten die Optionen von Qt, zum Beispiel -platform offscreen,\n"
                   "-style Fusion, -reverse oder -qwindowgeometry 800x600+0+0.\n");

} // namespace

ListCommandLine ListCommandLine::parse(int argc, char* argv[]) {
    const WindowCommandLine parsed =
        WindowCommandLine::parse(argc, argv, QStringLiteral("kalvon-liste"), helpText, 1);
    return {parsed.exitStatus, parsed.files.value(0)};
}
