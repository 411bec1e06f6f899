// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/window_command_line.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

WindowCommandLine WindowCommandLine::parse(int argc, char* argv[], const QString& program,
                                           const QString& help, int maxFiles) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // Qt's options are single words after one dash (-platform); so are ours then (-help works too).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(helpOption);
    parser.addOption(versionOption);
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

    WindowCommandLine result;
    QString error;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? QStringLiteral("Fehlerhafter Aufruf: %1").arg(parser.errorText())
                                  : QStringLiteral("Unbekannte Option „%1“.").arg(unknown.constFirst());
    } else if (parser.positionalArguments().size() > maxFiles) {
        const QString extra = parser.positionalArguments().at(maxFiles);
        error = maxFiles == 0
                    ? QStringLiteral("Unerwartetes Argument „%1“.").arg(extra)
                    : QStringLiteral("Unerwartetes Argument „%1“: es lässt sich nur eine Datei öffnen.")
                          .arg(extra);
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2\n\n").arg(program, error) + help);
        result.exitStatus = 2;
    } else if (parser.isSet(helpOption)) {
        print(stdout, help);
        result.exitStatus = 0;
    } else if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("%1 " KALVON_VERSION "\n").arg(program));
        result.exitStatus = 0;
    } else {
        result.files = parser.positionalArguments();
    }
    return result;
}
