// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/table_reader.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QDialogButtonBox;
class QLabel;

// Asks which sheet and which column hold the amounts, when a table has more than one of either.
class ColumnDialog : public QDialog {
    Q_OBJECT

public:
    // The layout of sheet number i of layout.sheets, read anew; may throw KalvonError.
    using SheetLayout = std::function<TableReader::Layout(int sheet)>;

    ColumnDialog(const TableReader::Layout& layout, int amountColumn, SheetLayout sheetLayout,
                 QWidget* parent = nullptr);

    // A table with several sheets or several possible amount columns needs the user's choice.
    static bool needsChoice(const TableReader::Layout& layout);

    int sheet() const;  // index into the layout's sheets; -1 without sheets
    int column() const; // 0-based; -1 when the sheet has no amount column

private:
    void showColumns(const TableReader::Layout& layout, int preferred);
    void chooseSheet(int sheet);

    SheetLayout m_sheetLayout;
    QComboBox* m_sheets;
    QComboBox* m_columns;
    QLabel* m_note;
    QDialogButtonBox* m_buttons;
};
