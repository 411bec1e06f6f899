// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

// A push button with a text property "Tag", which the search uses as its stop request.
class CommandButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString Tag READ tag WRITE setTag)

public:
    using QPushButton::QPushButton;

    const QString& tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

private:
    QString m_tag;
};
