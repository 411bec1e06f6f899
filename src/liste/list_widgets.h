// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLabel;
class QTableView;
class QWidget;

// Small builders for the controls of Kalvon Liste's window.
namespace ListWidgets {

// Gives the widget its objectName (what automation finds it by) and its accessible name.
template <class W> W* named(W* widget, const char* name, const QString& accessibleName) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy);

// A table of whole rows that is fast with a hundred thousand of them and that Tab leaves.
QTableView* tableView(const char* name, const QString& accessibleName);

} // namespace ListWidgets
