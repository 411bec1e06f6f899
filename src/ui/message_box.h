// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Warning, Critical };
enum class MsgAnswer { Ok, Yes, No };

// One message box as the program asks for it. Lines of the prompt are joined by a carriage
// return; title is the title bar text actually shown ("Projekt1" when the caller gave none).
struct MsgRequest {
    QString prompt;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString title;
};

// Every modal message box of the program goes through here. The program shows a real
// QMessageBox; tests may install a responder that answers instead.
class MessageBoxService {
public:
    using Responder = std::function<MsgAnswer(const MsgRequest&)>;

    static QString applicationTitle() { return QStringLiteral("Projekt1"); }

    static MsgAnswer show(const QString& prompt, MsgButtons buttons, MsgIcon icon = MsgIcon::None,
                          const QString& title = {});

    // An empty responder brings the real QMessageBox back.
    static void setResponder(Responder responder);

    // The real box, also used directly by tests that drive QMessageBox itself.
    static MsgAnswer showQMessageBox(const MsgRequest& request);
};
