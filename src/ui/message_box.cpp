// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
MessageBoxService::Responder& responder() {
    static MessageBoxService::Responder instance;
    return instance;
}
} // namespace

MsgAnswer MessageBoxService::show(const QString& prompt, MsgButtons buttons, MsgIcon icon,
                                  const QString& title) {
    const MsgRequest request{prompt, buttons, icon, title.isEmpty() ? applicationTitle() : title};
    if (responder())
        return responder()(request);
    return showQMessageBox(request);
}

void MessageBoxService::setResponder(Responder r) {
    responder() = std::move(r);
}

MsgAnswer MessageBoxService::showQMessageBox(const MsgRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    // The prompt's lines are joined by carriage returns and reach the box unchanged. The label
    // breaks lines there only when it shows its text through Qt's text control, which it does
    // when the text is selectable; this also lets the user copy a hit's sum.
    box.setText(request.prompt);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    switch (request.icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (request.buttons == MsgButtons::Ok) {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(QStringLiteral("OK"));
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return MsgAnswer::Ok;
    }
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    yes->setText(QStringLiteral("Ja"));
    QPushButton* no = box.addButton(QMessageBox::No);
    no->setText(QStringLiteral("Nein"));
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
}
