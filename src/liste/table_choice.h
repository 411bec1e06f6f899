// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/opened_source.h"
#include "core/tables/table_reader.h"

#include <functional>

class QWidget;

// Reading a table into Kalvon Liste, with the user's choice of sheet and column where it is not
// clear which to take.
namespace TableChoice {

// Opens the input with these options; fills the layout's sheets when one is given. May throw
// KalvonError.
using Open = std::function<OpenedSource(const TableReader::Options&, TableReader::Layout*)>;

// Opens the input once and reads the table, asking in the column dialog when several sheets or
// columns could hold the amounts; the dialog's sheets and columns come from the input opened then.
// Only a workbook whose first sheet cannot be read is opened again, at the sheet chosen. false:
// the user cancelled the dialog. A table that cannot be read throws KalvonError.
bool read(const Open& open, QWidget* parent, ItemTable* table);

} // namespace TableChoice
