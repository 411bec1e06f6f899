#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    EventPump::chooseEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvon"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kalvon"));
    Form2 form;
    form.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}
