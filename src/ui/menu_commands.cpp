// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "frontend/message_box.h"

void Form2::mnuInfo_Click() {
    const QString prompt = QStringLiteral("Programm Kalvon") + QLatin1Char('\r') +
                           QStringLiteral("Sucht mögliche Kombinationen der eingegebenen Zahlen") +
                           QLatin1Char('\r') + QStringLiteral("und vergleicht die Summe mit dem Zielwert") +
                           QLatin1Char('\r') + QStringLiteral("Info: https://kalvon.example.org");
    MessageBoxService::show(prompt, MsgButtons::Ok, MsgIcon::None, QStringLiteral("Info"));
}

void Form2::mnuEnd_Click() {
    close();
}
