// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/table_reader.h"

#include <functional>

class QWidget;

// Reading a table into Kalvon Liste, with the user's choice of sheet and column where it is not
// clear which to take.
namespace TableChoice {

// Reads the table with these options; fills the layout when one is given. May throw KalvonError.
using Read = std::function<ItemTable(const TableReader::Options&, TableReader::Layout*)>;

// Reads the table, asking in the column dialog when several sheets or columns could hold the
// amounts. false: the user cancelled the dialog. A table that cannot be read throws KalvonError.
bool read(const Read& read, QWidget* parent, ItemTable* table);

} // namespace TableChoice
