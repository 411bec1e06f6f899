// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/table_reader.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

// Asks which sheet and which column hold the amounts, when a workbook has several visible sheets
// or a table several columns that could hold them.
class ColumnDialog : public QDialog {
    Q_OBJECT

public:
    // The layout of the sheet with this index in the layout's sheets, with the header in this row
    // (from 1; 0: found below title rows); may throw KalvonError.
    using SheetLayout = std::function<TableReader::Layout(int sheet, int headerRow)>;

    // amountColumn: the column to offer first; note: why the sheet shown first cannot be read, or empty.
    ColumnDialog(const TableReader::Layout& layout, int amountColumn, const QString& note,
                 SheetLayout sheetLayout, QWidget* parent = nullptr);

    static int visibleSheets(const TableReader::Layout& layout);
    // A table with several visible sheets or several possible amount columns needs the user's choice.
    static bool needsChoice(const TableReader::Layout& layout);
    // What the user chose, by indices: the sheet among the layout's sheets (0 for text), the header
    // row (from 1; 0: found below title rows), the amount column (-1: none offered).
    struct Choice {
        int sheet = 0;
        int headerRow = 0;
        int amountColumn = -1;
    };
    Choice choice() const;

private:
    void showLayout(const TableReader::Layout& layout, int preferred, const QString& note);
    void showChosen();

    TableReader::Layout m_layout; // of the sheet shown
    SheetLayout m_sheetLayout;
    QComboBox* m_sheets;
    QComboBox* m_columns;
    QSpinBox* m_headerRow;
    QLabel* m_note;
    QDialogButtonBox* m_buttons;
};
