// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/table_choice.h"

#include "core/numbers/kalvon_error.h"
#include "liste/column_dialog.h"

#include <QApplication>

#include <optional>

namespace {

// The wait cursor for as long as the window reads a table.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The input as opened once, kept while the user chooses.
class KeptSource {
public:
    explicit KeptSource(const TableChoice::Open& open)
        : m_open(open) {}

    // The first reading: the sheet and column chosen by default.
    ItemTable readFirst(TableReader::Layout* layout) {
        const WaitCursor wait;
        TableReader::Options options;
        options.roles = true; // as ColumnDialog::options(): what a bank statement is matched by
        m_source.emplace(m_open(options, layout));
        return TableReader::read(*m_source, options, layout);
    }
    // The layout of another sheet of the input, for the dialog.
    TableReader::Layout layoutOf(const TableReader::Options& options, const TableReader::Layout& workbook) {
        const WaitCursor wait;
        TableReader::Layout layout;
        TableReader::select(source(options), options, &layout);
        layout.sheets = workbook.sheets;
        layout.hiddenSheets = workbook.hiddenSheets;
        layout.sheet = int(workbook.sheets.indexOf(options.sheet));
        return layout;
    }
    ItemTable read(const TableReader::Options& options) {
        const WaitCursor wait;
        return TableReader::read(source(options), options, nullptr);
    }

private:
    // Opened again only when the first opening failed at the sheet it parsed.
    OpenedSource& source(const TableReader::Options& options) {
        if (!m_source)
            m_source.emplace(m_open(options, nullptr));
        return *m_source;
    }

    const TableChoice::Open& m_open;
    std::optional<OpenedSource> m_source;
};

} // namespace

namespace TableChoice {

bool read(const Open& open, QWidget* parent, ItemTable* table) {
    KeptSource source(open);
    TableReader::Layout layout;
    QString failure;
    try {
        *table = source.readFirst(&layout);
    } catch (const KalvonError& e) {
        // A workbook whose first sheet holds no list: another sheet may.
        if (ColumnDialog::visibleSheets(layout) < 2)
            throw;
        failure = e.userMessage();
    }
    if (failure.isEmpty() && !ColumnDialog::needsChoice(layout))
        return true;
    const TableReader::Layout workbook = layout;
    ColumnDialog dialog(
        layout, failure.isEmpty() ? table->amountColumn : -1, failure,
        [&](int sheet, int headerRow) {
            TableReader::Options options;
            options.sheet = workbook.sheets.value(sheet);
            options.headerRow = headerRow;
            return source.layoutOf(options, workbook);
        },
        parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *table = source.read(dialog.options());
    return true;
}

} // namespace TableChoice
