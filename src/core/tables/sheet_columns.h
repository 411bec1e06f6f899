// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/typed_sheet.h"

#include <QList>
#include <QString>

#include <vector>

// What a typed sheet's columns hold below its header, found in one pass over its cells: the header
// row, each column's header text and kind, the columns that can be the amount column, and the
// columns' names as messages give them.
class SheetColumns {
public:
    // headerRow: the header's row number from 1, 0 to find it below title rows, -1 for none.
    // allRows: hidden rows count as the others do.
    SheetColumns(const TypedSheet::Sheet& sheet, int headerRow, bool allRows);

    int headerRow() const { return m_headerRow; } // 0 without a header
    // A text table's number of fields in a row as the header (or most rows) has them; 0 otherwise.
    int regularFields() const { return m_regularFields; }
    bool isDataRow(const TypedSheet::Row& row) const;
    // A row that takes part in choosing columns: a data row with the regular number of fields or fewer.
    bool isRegular(const TypedSheet::Row& row) const;

    QString header(int column) const;            // one line; empty without a header
    QString name(int column) const;              // "Spalte C („Betrag“)", or "Spalte C"
    QString cellName(int column, int row) const; // "Zeile 17, Spalte E"
    QString columnList() const;                  // "Die Tabelle hat die Spalten A („Nr“), B."
    QString where() const;                       // " im Tabellenblatt „X“", or empty

    // Every cell below the header a number, a formula without a value or empty, one not zero.
    bool qualifies(int column) const;
    QList<int> amountCandidates() const;
    enum class Kind { Number, Date, Text };
    Kind kind(int column) const;
    // True when each cell of the column is S, H, Soll or Haben (a debit/credit mark).
    bool isDebitCredit(int column) const;
    // True when each cell is a whole number written in digits.
    bool isDigits(int column) const;

    // The column named by header text, letter or number; throws naming the columns there are.
    int resolve(const QString& name) const;
    // The amount column by preference: named as an amount, else the rightmost that qualifies, never
    // a hidden, percentage, quantity, date or number-of-something column. Throws when there is none,
    // naming the first cell that is not a number.
    int defaultAmountColumn() const;
    // The column whose header, case and blanks aside, is one of the names; -1 when none.
    int named(const QStringList& names, const QList<int>& besides = {}) const;

private:
    struct Column {
        int numbers = 0, nonZero = 0, missing = 0, dates = 0, others = 0, debitCredit = 0, digits = 0;
        int firstOtherRow = 0; // of a cell that is neither a number nor a missing value
        QString firstOther;
    };
    int findHeader() const;
    void readHeaders();
    void countCells(bool allRows);
    bool excludedByHeader(int column) const;
    QString firstNonNumber() const;

    const TypedSheet::Sheet& m_sheet;
    int m_headerRow = 0;
    int m_regularFields = 0;
    bool m_allRows = false;
    std::vector<Column> m_columns;
    std::vector<QString> m_headers;
};

// A header as names are compared: lower case, no blanks, no trailing point.
QString normalizedHeader(const QString& text);
