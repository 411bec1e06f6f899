// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

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

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

std::optional<int> handleCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // Qt's options are single words after one dash (-platform); so are ours then (-help works too).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    // Qt's own options, which QApplication reads from the command line; accepted here so that they
    // reach it untouched. The X11 forms -display, -geometry, -title, -icon and -name included.
    const QString qtValueOptions =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry "
                       "qwindowicon qwindowtitle session display geometry title icon name "
                       "style stylesheet qmljsdebugger");
    const QString qtFlagOptions = QStringLiteral("reverse widgetcount testability nograb dograb sync");
    for (const QString& name : qtValueOptions.split(QLatin1Char(' ')))
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("wert")));
    for (const QString& name : qtFlagOptions.split(QLatin1Char(' ')))
        parser.addOption(QCommandLineOption(name));

    QString error;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? QStringLiteral("Fehlerhafter Aufruf: %1").arg(parser.errorText())
                                  : QStringLiteral("Unbekannte Option „%1“.").arg(unknown.constFirst());
    } else if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unerwartetes Argument „%1“.").arg(parser.positionalArguments().constFirst());
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("kalvon: %1\n\n").arg(error) + helpText);
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, helpText);
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("kalvon " KALVON_VERSION "\n"));
        return 0;
    }
    return std::nullopt;
}

} // namespace CommandLine
