// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "ui/event_pump.h"

#include <QLineEdit>

void Form2::Form_KeyPress(int& keyAscii) {
    // Enter moves on like Tab; the focused control never receives it.
    if (keyAscii == 13) {
        keyAscii = 0;
        EventPump::postTabKey();
    }
}

void Form2::cmdClear_Click() {
    for (QLineEdit* field : Text1)
        field->setText(QString());
    txtSumme->setText(QString());
}
