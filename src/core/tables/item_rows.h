// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/read_options.h"
#include "core/tables/sheet_columns.h"
#include "core/tables/typed_sheet.h"

// Reads the items of a sheet's rows below the header as selected. Rows the sheet hides are left out
// and counted unless all rows are asked for; rows the table marks as sums (a total formula in the
// amount cell, or a label such as "Summe", "Zwischensumme", "Saldo", "Gesamt" or "Total" with the
// sum of its group or of all items above) are set aside. A text row with more fields than the
// others is aligned by its header where only text fields can have grown, else refused; a formula
// without a stored value in the amount column is refused, naming the cells. Throws KalvonError.
ItemTable readRows(const TypedSheet::Sheet& sheet, const SheetColumns& columns,
                   const TableReader::Selection& selection);
