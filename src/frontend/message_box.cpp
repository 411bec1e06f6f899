// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

MessageBoxService::Responder& responder() {
    static MessageBoxService::Responder instance;
    return instance;
}

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgAnswer MessageBoxService::show(const QString& prompt, MsgButtons buttons, MsgIcon icon,
                                  const QString& title) {
    return show(MsgRequest{prompt, buttons, icon, title});
}

MsgAnswer MessageBoxService::show(MsgRequest request) {
    if (request.title.isEmpty())
        request.title = applicationTitle();
    if (responder())
        return responder()(request);
    return showQMessageBox(request);
}

void MessageBoxService::setResponder(Responder r) {
    responder() = std::move(r);
}

MsgAnswer MessageBoxService::showQMessageBox(const MsgRequest& request) {
    QMessageBox box(request.parent ? request.parent : QApplication::activeWindow());
    box.setWindowTitle(request.title);
    // The prompt's lines are joined by carriage returns or line feeds and reach the box unchanged.
    // The label breaks lines at carriage returns only when it shows its text through Qt's text
    // control, which it does when the text is selectable; this also lets the user copy a hit's sum.
    box.setText(request.prompt);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setIcon(boxIcon(request.icon));
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
    box.setDefaultButton(request.defaultAnswer == MsgAnswer::No ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
}
