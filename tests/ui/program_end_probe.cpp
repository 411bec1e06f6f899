// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the real window, runs a search over 23 values and ends the program from inside the
// run's event pump, by closing the window or by "Beenden". Prints every message box title
// and exits with 0 only when the run ended at once: the event loop returned 0, no box followed
// the long-run warning and no further event pump ran.
#include "frontend/message_box.h"
#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    EventPump::chooseEventDispatcher();
    QApplication app(argc, argv);
    const bool viaMenu = app.arguments().contains(QStringLiteral("beenden"));
    QStringList boxes;
    MessageBoxService::setResponder([&boxes](const MsgRequest& r) {
        boxes << r.title;
        std::printf("box: %s\n", qPrintable(r.title));
        std::fflush(stdout);
        return r.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    });
    Form2 form;
    for (int i = 0; i < 23; ++i)
        form.Text1[i]->setText(QString::number(1 << i));
    form.txtSumme->setText(QStringLiteral("0.5"));
    form.show();
    int pumps = 0;
    EventPump::setPumpHook([&] {
        if (++pumps == 5) {
            // Delivered as events, as a user's action would be.
            if (viaMenu)
                QTimer::singleShot(0, &form, [&form] { form.mnuEnd->trigger(); });
            else
                QTimer::singleShot(0, &form, [&form] { form.close(); });
        }
    });
    QTimer::singleShot(0, &form, [&form] { form.Command1->click(); });
    const int result = app.exec();
    std::printf("pumps: %d\nexit: %d\n", pumps, result);
    const bool clean = result == 0 && pumps == 5 && boxes == QStringList{QStringLiteral("Achtung")};
    return clean ? 0 : 1;
}
