// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"
#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include <optional>

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = CommandLine::handleCommandLine(argc, argv))
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
