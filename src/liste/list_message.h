// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// One message box of Kalvon Liste: a note (OK) or a question (Ja/Nein).
struct ListMessage {
    enum class Icon { Information, Warning, Critical, Question };
    Icon icon = Icon::Information;
    QString title;
    QString text;
    bool question = false;
};

// Every message box of Kalvon Liste goes through here. The program shows a real QMessageBox;
// tests install a responder that answers instead.
namespace ListMessageBox {

// true: OK, or Ja to a question.
using Responder = std::function<bool(const ListMessage&)>;

bool show(QWidget* parent, const ListMessage& message);
// An empty responder brings the real QMessageBox back.
void setResponder(Responder responder);
// The real box, also for tests that drive QMessageBox itself.
bool showQMessageBox(QWidget* parent, const ListMessage& message);

} // namespace ListMessageBox
