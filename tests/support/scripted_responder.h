// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frontend/message_box.h"

#include <QList>
#include <QStringList>

#include <functional>

// Answers the program's message boxes in tests and records every one of them.
// Yes/No questions take their answers from `answers` in order, then Yes.
class ScriptedResponder {
public:
    ScriptedResponder() {
        MessageBoxService::setResponder([this](const MsgRequest& r) { return respond(r); });
    }
    ~ScriptedResponder() { MessageBoxService::setResponder({}); }
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    QList<MsgRequest> boxes;
    QList<MsgAnswer> answers;
    std::function<void(const MsgRequest&)> onBox; // runs while the box would be open

    QStringList prompts() const {
        QStringList out;
        for (const MsgRequest& r : boxes)
            out << r.prompt;
        return out;
    }
    QStringList titles() const {
        QStringList out;
        for (const MsgRequest& r : boxes)
            out << r.title;
        return out;
    }
    int count(const QString& title) const { return int(titles().count(title)); }

private:
    MsgAnswer respond(const MsgRequest& r) {
        boxes << r;
        if (onBox)
            onBox(r);
        if (r.buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        return answers.isEmpty() ? MsgAnswer::Yes : answers.takeFirst();
    }
};
