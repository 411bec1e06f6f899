// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_message.h"

#include <QMessageBox>
#include <QPushButton>

namespace ListMessageBox {
namespace {
Responder& responder() {
    static Responder instance;
    return instance;
}
} // namespace

bool show(QWidget* parent, const ListMessage& message) {
    if (responder())
        return responder()(message);
    return showQMessageBox(parent, message);
}

void setResponder(Responder r) {
    responder() = std::move(r);
}

bool showQMessageBox(QWidget* parent, const ListMessage& message) {
    QMessageBox box(parent);
    box.setWindowTitle(message.title);
    box.setText(message.text);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    switch (message.icon) {
    case ListMessage::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case ListMessage::Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case ListMessage::Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case ListMessage::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (!message.question) {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(QStringLiteral("OK"));
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return true;
    }
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    yes->setText(QStringLiteral("Ja"));
    QPushButton* no = box.addButton(QMessageBox::No);
    no->setText(QStringLiteral("Nein"));
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace ListMessageBox
