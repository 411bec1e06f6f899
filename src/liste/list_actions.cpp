// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_actions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

namespace {

QAction* action(QObject* parent, const char* name, const QString& text, const QKeySequence& keys = {}) {
    auto* a = new QAction(text, parent);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    return a;
}

} // namespace

ListActions::ListActions(QMainWindow* window)
    : open(action(window, "actionOpen", QStringLiteral("Ö&ffnen…"), QKeySequence::Open))
    , openStatement(action(window, "actionOpenStatement", QStringLiteral("&Kontoauszug öffnen…"),
                           Qt::CTRL | Qt::SHIFT | Qt::Key_O))
    , saveReport(action(window, "actionSaveReport", QStringLiteral("Be&richt speichern…")))
    , saveReconciliation(action(window, "actionSaveReconciliation", QStringLiteral("Abgleich &speichern…"),
                                QKeySequence::Save))
    , openReconciliation(action(window, "actionOpenReconciliation", QStringLiteral("&Abgleich öffnen…")))
    , exportHits(action(window, "actionExport", QStringLiteral("Treffer &exportieren…")))
    , quit(action(window, "actionQuit", QStringLiteral("&Beenden"), QKeySequence::Quit))
    , undo(action(window, "actionUndo", QStringLiteral("&Rückgängig"), QKeySequence::Undo))
    , paste(action(window, "actionPaste", QStringLiteral("&Einfügen"), QKeySequence::Paste))
    , copyHit(action(window, "actionCopyHit", QStringLiteral("Treffer &kopieren"), QKeySequence::Copy))
    , settle(action(window, "actionSettle", QStringLiteral("&Ausgleichen")))
    , addItem(action(window, "actionAddItem", QStringLiteral("Posten &hinzufügen"), Qt::Key_Insert))
    , removeItems(
          action(window, "actionRemoveItems", QStringLiteral("Posten &löschen"), QKeySequence::Delete))
    , stop(action(window, "actionStop", QStringLiteral("Suche abbrechen"), Qt::Key_Escape))
    , info(action(window, "actionInfo", QStringLiteral("&Info"))) {
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&Datei"));
    file->addAction(open);
    file->addAction(exportHits);
    file->addSeparator();
    file->addAction(openStatement);
    file->addAction(saveReport);
    file->addAction(saveReconciliation);
    file->addAction(openReconciliation);
    file->addSeparator();
    file->addAction(quit);
    QMenu* edit = window->menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    edit->addAction(undo);
    edit->addSeparator();
    edit->addAction(paste);
    edit->addAction(copyHit);
    edit->addAction(settle);
    edit->addSeparator();
    edit->addAction(addItem);
    edit->addAction(removeItems);
    QMenu* help = window->menuBar()->addMenu(QStringLiteral("&Hilfe"));
    help->addAction(info);
    window->addAction(stop);
}
