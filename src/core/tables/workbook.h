// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/cell_grid.h"
#include "core/tables/item_table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// .xlsx and .ods workbooks, recognised by their content: a zip archive with the parts of one or
// the other. One sheet is read into cells.
namespace Workbook {

// True when the bytes start as a zip archive does.
bool isZip(const QByteArray& bytes);
// True when the bytes are a compound file: an Excel workbook before 2007 (.xls) or an encrypted one.
bool isCompoundFile(const QByteArray& bytes);

struct Sheet {
    ItemTable::Format format = ItemTable::Format::Xlsx;
    QStringList names;   // every worksheet, in the workbook's order
    QList<int> hidden;   // the indexes in names of the hidden ones
    int index = -1;      // the sheet read
    CellGrid::Grid grid; // its cells
};

// Reads the sheet named `wanted` (by its name, or its number from 1), or the first visible one, into
// `sheet`. Throws KalvonError (Unreadable) for an archive that is not a workbook or is broken, for a
// sheet that does not exist, and beyond the limits; `sheet` then holds what was read until then.
void read(const QByteArray& bytes, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet);

} // namespace Workbook
