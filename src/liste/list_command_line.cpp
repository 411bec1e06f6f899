// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

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

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

ListCommandLine ListCommandLine::parse(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // Qt's options are single words after one dash (-platform); so are ours then.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    // The options QApplication reads itself, so that they reach it untouched.
    const QString qtValueOptions =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry "
                       "qwindowicon qwindowtitle session display geometry title icon name "
                       "style stylesheet qmljsdebugger");
    const QString qtFlagOptions = QStringLiteral("reverse widgetcount testability nograb dograb sync");
    for (const QString& name : qtValueOptions.split(QLatin1Char(' ')))
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("wert")));
    for (const QString& name : qtFlagOptions.split(QLatin1Char(' ')))
        parser.addOption(QCommandLineOption(name));

    ListCommandLine result;
    QString error;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? QStringLiteral("Fehlerhafter Aufruf: %1").arg(parser.errorText())
                                  : QStringLiteral("Unbekannte Option „%1“.").arg(unknown.constFirst());
    } else if (parser.positionalArguments().size() > 1) {
        error = QStringLiteral("Unerwartetes Argument „%1“: es lässt sich nur eine Datei öffnen.")
                    .arg(parser.positionalArguments().at(1));
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("kalvon-liste: %1\n\n").arg(error) + helpText);
        result.exitStatus = 2;
    } else if (parser.isSet(help)) {
        print(stdout, helpText);
        result.exitStatus = 0;
    } else if (parser.isSet(version)) {
        print(stdout, QStringLiteral("kalvon-liste " KALVON_VERSION "\n"));
        result.exitStatus = 0;
    } else {
        result.file = parser.positionalArguments().value(0);
    }
    return result;
}
