// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/keypad.h"

#include "ui/form2.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

namespace {

bool isKeypadDecimalKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (!(modifiers & Qt::KeypadModifier) ||
        (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Comma:
        return true;
    case Qt::Key_Delete:
        // Some layouts report the decimal key as the keypad's Delete key that types a character;
        // the plain Delete key (no character, or the DEL control character) keeps deleting.
        return !key->text().isEmpty() && key->text().at(0).isPrint();
    default:
        return false;
    }
}

} // namespace

KeypadDecimalFilter::KeypadDecimalFilter(Form2* form)
    : QObject(form) {
    for (QLineEdit* field : form->Text1)
        field->installEventFilter(this);
    form->txtSumme->installEventFilter(this);
    form->txtToleranz->installEventFilter(this);
}

bool KeypadDecimalFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isKeypadDecimalKey(static_cast<QKeyEvent*>(event))) {
        auto* field = qobject_cast<QLineEdit*>(watched);
        if (field && !field->isReadOnly()) {
            field->insert(QLocale().decimalPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
