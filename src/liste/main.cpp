// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_command_line.h"
#include "liste/list_window.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

int main(int argc, char* argv[]) {
    const ListCommandLine commandLine = ListCommandLine::parse(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("kalvon"));
    QApplication::setApplicationName(QStringLiteral("kalvon-liste"));
    QApplication::setApplicationVersion(QStringLiteral(KALVON_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kalvon.liste"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kalvon-liste-32.png")));
    // Qt's own texts (file dialogs, context menus) in German, where Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    ListWindow window;
    window.show();
    if (!commandLine.file.isEmpty())
        QTimer::singleShot(0, &window, [&window, &commandLine] { window.openFile(commandLine.file); });
    return app.exec();
}
