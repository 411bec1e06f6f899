// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class Form2;

// The numeric keypad's decimal key types the regional decimal separator in the number fields
// (value, target and tolerance fields), as spreadsheet programs do: a comma under German settings
// even where the keyboard layout gives the keypad a full stop.
class KeypadDecimalFilter : public QObject {
public:
    // Watches the number fields of the form; owned by the form.
    explicit KeypadDecimalFilter(Form2* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
