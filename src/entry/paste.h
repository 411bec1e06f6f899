// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class Form2;
class QLineEdit;

// Routes the paste commands of the value fields (the Paste key and the context menu's "Paste")
// to Form2::Text1_Paste, so that a pasted list of amounts spreads over the following fields.
class PasteFilter : public QObject {
public:
    // Watches the value fields of the form; owned by the form.
    explicit PasteFilter(Form2* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(const QObject* watched) const;
    void paste(int index);
    bool showContextMenu(int index, const QPoint& globalPos);

    Form2* m_form;
};
