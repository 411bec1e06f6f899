// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/table_choice.h"

#include "core/numbers/kalvon_error.h"
#include "liste/column_dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

#include <exception>
#include <functional>
#include <memory>

namespace {

// The wait cursor for as long as the dialog lays out another sheet.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Runs read, keeping a failure as its message.
template <class F> void catching(TableChoice::Reading& reading, F&& read) {
    try {
        read();
    } catch (const KalvonError& e) {
        reading.failure = e.userMessage();
    } catch (const std::exception&) {
        reading.unexpected = std::current_exception();
    }
}

// Runs work on a thread of its own while the window's events keep turning; what the user does
// meanwhile waits until it is done. A failure of work is thrown here, on the window's thread.
void offThread(const std::function<void()>& work) {
    const WaitCursor wait;
    std::exception_ptr failed;
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failed = std::current_exception();
        }
    }));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait(); // also when the loop was ended from outside: work uses what this frame holds
    if (failed)
        std::rethrow_exception(failed);
}

// How Kalvon Liste reads a list: with the columns a bank statement is matched by (customer, IBAN,
// date, the invoice number as label), as kalvon-abgleich reads them.
TableReader::Options listOptions() {
    TableReader::Options options;
    options.roles = true;
    return options;
}

// A workbook's sheet by its index in the dialog's layout; -1 for text, which has no sheets.
int sheetIndex(const TableReader::Layout& layout, int sheet) {
    return layout.sheets.isEmpty() ? -1 : sheet;
}

// The source the dialog lays out sheets from: the one opened first, else opened now at the sheet
// shown.
OpenedSource& sourceFor(TableChoice::Reading& reading, const TableChoice::Open& open,
                        const TableReader::Options& options) {
    if (!reading.source)
        reading.source = std::make_shared<OpenedSource>(open(options, nullptr));
    return *reading.source;
}

// The layout of another sheet of the input, for the dialog: the sheet parsed off the window's thread.
TableReader::Layout layoutOf(TableChoice::Reading& reading, const TableChoice::Open& open, int sheet,
                             int headerRow) {
    const TableReader::Layout& workbook = reading.layout;
    TableReader::Options options = listOptions();
    options.sheet = workbook.sheets.value(sheet);
    options.headerRow = headerRow;
    TableReader::Layout layout;
    offThread([&] {
        TableReader::select(sourceFor(reading, open, options), options, sheetIndex(workbook, sheet), -1,
                            &layout);
    });
    layout.sheets = workbook.sheets;
    layout.hiddenSheets = workbook.hiddenSheets;
    layout.sheet = sheetIndex(workbook, sheet);
    return layout;
}

} // namespace

namespace TableChoice {

bool Reading::needsChoice() const {
    if (unexpected)
        return false;
    if (!failure.isEmpty())
        return ColumnDialog::visibleSheets(layout) >= 2;
    return table && ColumnDialog::needsChoice(layout);
}

Reading first(const Open& open) {
    Reading reading;
    catching(reading, [&] {
        const TableReader::Options options = listOptions();
        reading.source = std::make_shared<OpenedSource>(open(options, &reading.layout));
        reading.table = TableReader::read(*reading.source, options, &reading.layout);
    });
    // Freed here rather than on the window's thread, unless the column dialog lays sheets out from it.
    if (!reading.needsChoice())
        reading.source.reset();
    return reading;
}

std::optional<Chosen> choose(Reading& reading, const Open& open, QWidget* parent) {
    const int amountColumn = reading.table ? reading.table->amountColumn : -1;
    ColumnDialog dialog(
        reading.layout, amountColumn, reading.failure,
        [&](int sheet, int headerRow) { return layoutOf(reading, open, sheet, headerRow); }, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const ColumnDialog::Choice choice = dialog.choice();
    Chosen chosen;
    chosen.options = listOptions();
    chosen.options.sheet = reading.layout.sheets.value(choice.sheet);
    chosen.options.headerRow = choice.headerRow;
    chosen.sheet = sheetIndex(reading.layout, choice.sheet);
    chosen.amountColumn = choice.amountColumn;
    sourceFor(reading, open, chosen.options);
    return chosen;
}

Reading readChosen(std::shared_ptr<OpenedSource> source, const Chosen& chosen) {
    Reading reading;
    reading.source = std::move(source);
    catching(reading, [&] {
        OpenedSource& opened = *reading.source;
        reading.table = TableReader::read(
            opened, TableReader::select(opened, chosen.options, chosen.sheet, chosen.amountColumn));
    });
    reading.source.reset(); // the last reference: freed on this thread
    return reading;
}

} // namespace TableChoice
