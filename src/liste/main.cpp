// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/file_reader.h"
#include "liste/list_command_line.h"
#include "liste/list_window.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

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
    int status = 0;
    {
        ListWindow window;
        window.show();
        if (!commandLine.file.isEmpty())
            QTimer::singleShot(0, &window, [&window, &commandLine] { window.openDropped(commandLine.file); });
        status = app.exec();
    }
    // A file still being read when the window closed is waited for a second at most; after that the
    // program ends without running its static objects' destructors, which the reading may still use.
    if (!FileReader::endAll(1000)) {
        std::fflush(nullptr);
        std::quick_exit(status);
    }
    return status;
}
