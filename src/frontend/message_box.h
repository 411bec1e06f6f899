// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgAnswer { Ok, Yes, No };

// One message box as a program asks for it. title is the title bar text actually shown
// ("Projekt1", the Kalvon window's, when the caller gave none). The prompt's lines are joined by
// the line breaks the program uses (the Kalvon window: carriage returns).
struct MsgRequest {
    QString prompt;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString title;
    // The answer that Enter gives to a question; Escape always answers "Nein".
    MsgAnswer defaultAnswer = MsgAnswer::Yes;
    // The window the box belongs to; none: the active window.
    QWidget* parent = nullptr;
};

// Every modal message box of the Kalvon window and of Kalvon Liste goes through here. The
// programs show a real QMessageBox; tests may install a responder that answers instead.
class MessageBoxService {
public:
    using Responder = std::function<MsgAnswer(const MsgRequest&)>;

    static QString applicationTitle() { return QStringLiteral("Projekt1"); }

    static MsgAnswer show(const QString& prompt, MsgButtons buttons, MsgIcon icon = MsgIcon::None,
                          const QString& title = {});
    static MsgAnswer show(MsgRequest request);

    // An empty responder brings the real QMessageBox back.
    static void setResponder(Responder responder);

    // The real box, also used directly by tests that drive QMessageBox itself.
    static MsgAnswer showQMessageBox(const MsgRequest& request);
};
