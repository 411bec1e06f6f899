// SPDX-License-Identifier: GPL-3.0-or-later
#include "abgleich/abgleich_command.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Qt's own messages about the command line in German, where Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    return AbgleichCommand::runProgram(QCoreApplication::arguments());
}
