// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/opened_source.h"
#include "core/tables/table_reader.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// Reading a table into Kalvon Liste, with the user's choice of sheet and column where it is not
// clear which to take. The input is opened once: opening and reading run on the reading thread
// (first, readChosen), the choice on the GUI thread (choose) from the source opened then.
namespace TableChoice {

// Opens the input with these options; fills the layout's sheets when one is given. May throw
// KalvonError.
using Open = std::function<OpenedSource(const TableReader::Options&, TableReader::Layout*)>;

// What a reading gives back: failures come as their message, never as an exception.
struct Reading {
    std::shared_ptr<OpenedSource> source; // as opened, kept for the choice; null when opening failed
    TableReader::Layout layout;
    std::optional<ItemTable> table;
    QString failure;               // why the input cannot be read, as KalvonError words it
    std::exception_ptr unexpected; // a failure of another kind (too little memory?)

    // The column dialog is to ask: several sheets or several possible amount columns, or a
    // workbook whose first sheet cannot be read while another may.
    bool needsChoice() const;
};

// The sheet and the amount column the user chose, by their indices (-1: as the options say).
struct Chosen {
    TableReader::Options options;
    int sheet = -1;
    int amountColumn = -1;
};

// Opens the input and reads the sheet and column chosen by default; the source is kept only when
// the column dialog is to ask.
Reading first(const Open& open);
// Asks in the column dialog which sheet and column to read. Another sheet is laid out from the
// source opened first; only a workbook whose first sheet could not be read is opened again, at the
// sheet shown (reading.source then holds it). Empty: the user cancelled. May throw KalvonError.
std::optional<Chosen> choose(Reading& reading, const Open& open, QWidget* parent);
// Reads what was chosen from the source opened, and lets it go: given the last reference, the
// source is freed on the calling thread.
Reading readChosen(std::shared_ptr<OpenedSource> source, const Chosen& chosen);

} // namespace TableChoice
