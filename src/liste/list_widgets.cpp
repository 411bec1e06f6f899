// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_widgets.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>

namespace ListWidgets {

QLabel* buddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QTableView* tableView(const char* name, const QString& accessibleName) {
    auto* view = named(new QTableView, name, accessibleName);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setTabKeyNavigation(false); // Tab leaves the table for the next control
    view->verticalHeader()->hide();
    // Fixed row heights keep the view fast with a hundred thousand rows.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setWordWrap(false);
    return view;
}

} // namespace ListWidgets
