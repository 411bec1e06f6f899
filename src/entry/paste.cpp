// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/paste.h"

#include "core/numbers/amount_list.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/message_box.h"
#include "ui/form2.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include <algorithm>

bool Form2::Text1_Paste(int index, const QString& text) {
    if (!text.contains(AmountList::separators()))
        return false;
    const QStringList amounts = AmountList::split(text);
    QLineEdit* field = Text1[index];
    if (amounts.size() <= 1) {
        // One amount, as a copied cell with its line break: paste it without the separators.
        if (!amounts.isEmpty())
            field->insert(amounts.first());
        return true;
    }

    // Each amount replaces the text of its field through the field's own editing, so that the
    // field's undo takes the paste back. It goes in as leaving the field would rewrite it.
    const int filled = int(std::min<qsizetype>(amounts.size(), qsizetype(Text1.size()) - index));
    for (int i = 0; i < filled; ++i) {
        QLineEdit* target = Text1[index + i];
        target->selectAll();
        target->insert(NumberText::formatText(amounts[i]));
    }
    // Leaving the last filled field refreshes the running total once; its text is final already.
    Text1_LostFocus(index + filled - 1);

    const qsizetype left = amounts.size() - filled;
    if (left == 1) {
        MessageBoxService::show(
            QStringLiteral(
                "1 Betrag passte nicht mehr in die Felder bis „23.Wert“ und wurde nicht übernommen."),
            MsgButtons::Ok, MsgIcon::Warning);
    } else if (left > 1) {
        MessageBoxService::show(
            QStringLiteral(
                "%1 Beträge passten nicht mehr in die Felder bis „23.Wert“ und wurden nicht übernommen.")
                .arg(left),
            MsgButtons::Ok, MsgIcon::Warning);
    }
    return true;
}

namespace {

// The "Paste" entry of a line edit's standard context menu.
QAction* pasteAction(const QMenu* menu) {
    const QString caption = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().section(QLatin1Char('\t'), 0, 0) == caption)
            return action;
    }
    return nullptr;
}

} // namespace

PasteFilter::PasteFilter(Form2* form)
    : QObject(form)
    , m_form(form) {
    for (QLineEdit* field : form->Text1)
        field->installEventFilter(this);
}

int PasteFilter::indexOf(const QObject* watched) const {
    const auto& fields = m_form->Text1;
    const auto it = std::find(fields.begin(), fields.end(), watched);
    return it == fields.end() ? -1 : int(it - fields.begin());
}

void PasteFilter::paste(int index) {
    if (!m_form->Text1_Paste(index, QGuiApplication::clipboard()->text()))
        m_form->Text1[index]->paste();
}

bool PasteFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    const int index = indexOf(watched);
    if (index < 0 || m_form->Text1[index]->isReadOnly())
        return QObject::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
            return m_form->Text1_Paste(index, QGuiApplication::clipboard()->text());
    } else {
        return showContextMenu(index, static_cast<QContextMenuEvent*>(event)->globalPos());
    }
    return QObject::eventFilter(watched, event);
}

// The field's own context menu, with its "Paste" entry taking the way of the Paste key.
bool PasteFilter::showContextMenu(int index, const QPoint& globalPos) {
    QLineEdit* field = m_form->Text1[index];
    QMenu* menu = field->createStandardContextMenu();
    if (!menu)
        return false;
    QAction* action = pasteAction(menu);
    if (!action) {
        delete menu;
        return false;
    }
    disconnect(action, &QAction::triggered, field, nullptr);
    connect(action, &QAction::triggered, this, [this, index] { paste(index); });
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
    return true;
}
