// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAction;
class QMainWindow;

// The commands of Kalvon Liste's window, in its menus "Datei", "Bearbeiten" and "Hilfe", with
// their keys. The window connects them. The bank statement's commands are in "Datei" too.
struct ListActions {
    explicit ListActions(QMainWindow* window);

    QAction* open;
    QAction* openStatement;
    QAction* saveReport;
    QAction* saveReconciliation;
    QAction* openReconciliation;
    QAction* exportHits;
    QAction* quit;
    QAction* undo;
    QAction* paste;
    QAction* copyHit;
    QAction* settle;
    QAction* addItem;
    QAction* removeItems;
    QAction* stop;
    QAction* info;
};
