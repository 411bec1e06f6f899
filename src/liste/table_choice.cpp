// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/table_choice.h"

#include "core/numbers/kalvon_error.h"
#include "liste/column_dialog.h"

#include <QApplication>

namespace {

// The wait cursor for as long as the window reads a table.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

namespace TableChoice {

bool read(const Read& read, QWidget* parent, ItemTable* table) {
    TableReader::Layout layout;
    QString failure;
    try {
        const WaitCursor wait;
        *table = read(TableReader::Options(), &layout);
    } catch (const KalvonError& e) {
        // A workbook whose first sheet holds no list: another sheet may.
        if (ColumnDialog::visibleSheets(layout) < 2)
            throw;
        failure = e.userMessage();
    }
    if (failure.isEmpty() && !ColumnDialog::needsChoice(layout))
        return true;
    const QStringList sheets = layout.sheets;
    ColumnDialog dialog(
        layout, failure.isEmpty() ? table->amountColumn : -1, failure,
        [&](int sheet) {
            const WaitCursor wait;
            TableReader::Options options;
            options.sheet = sheets.value(sheet);
            TableReader::Layout other;
            read(options, &other);
            return other;
        },
        parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const WaitCursor wait;
    *table = read(dialog.options(), nullptr);
    return true;
}

} // namespace TableChoice
