#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include <cstdio>
#include <optional>

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

// Reads the command line before any window system is touched. Returns the exit status when the
// program is to end here (--help, --version, a wrong call), nothing when the window is to open.
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

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = handleCommandLine(argc, argv))
        return *status;
    EventPump::chooseEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvon"));
    QApplication::setApplicationVersion(QStringLiteral(KALVON_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kalvon"));
    // Qt's own texts (the fields' context menu) in German, where Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Form2 form;
    form.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}
