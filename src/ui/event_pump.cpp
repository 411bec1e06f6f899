// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/event_pump.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace EventPump {
namespace {
std::function<void()>& hook() {
    static std::function<void()> instance;
    return instance;
}
} // namespace

void chooseEventDispatcher() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

void pumpEvents() {
    if (hook())
        hook()();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void postTabKey() {
    if (QWidget* focused = QApplication::focusWidget())
        QCoreApplication::postEvent(focused, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
}

void setPumpHook(std::function<void()> h) {
    hook() = std::move(h);
}

} // namespace EventPump
