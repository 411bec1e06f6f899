// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "core/tables/read_options.h"
#include "core/tables/typed_sheet.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

// Input opened once: a workbook's bytes and its sheets, or text. Each sheet is parsed and typed on
// first request and kept, so another sheet or another column is read without reading the input
// again. Failures throw KalvonError (Unreadable) with their whole German message.
class OpenedSource {
public:
    // Bytes as they came from a file or standard input. A workbook's sheet options.sheet (or the
    // first visible one) is parsed at once; layout, when given, gets its sheets even if that fails.
    static OpenedSource fromBytes(const QByteArray& bytes, const TableReader::Options& options,
                                  TableReader::Layout* layout = nullptr);
    // Text as it comes from the clipboard.
    static OpenedSource fromText(const QString& text, const TableReader::Options& options);
    // One sheet's cells as a workbook parser gives them.
    static OpenedSource fromGrid(CellGrid::Grid grid, ItemTable::Format format, const QString& sheetName,
                                 const TableReader::Options& options);

    bool isWorkbook() const { return m_format != ItemTable::Format::Text; }
    ItemTable::Format format() const { return m_format; }
    const QStringList& sheetNames() const { return m_names; }
    const QList<int>& hiddenSheets() const { return m_hidden; }
    // The sheet first parsed: options.sheet or the first visible one; 0 for text.
    int firstSheet() const { return m_first; }
    // The index of a sheet named by its name or number from 1; empty: the first sheet.
    int sheetIndex(const QString& wanted) const;

    // The typed sheet; text has one, index 0. A text table's delimiter is options.delimiter or
    // detected.
    const TypedSheet::Sheet& sheet(int index);
    // Text only: the amounts numbered from 1 in input order when every piece of the text is one
    // (a plain list), else null. Each amount is converted once.
    const std::optional<std::vector<Item>>& plainList();
    // Text only: fails with the message for the first piece of the text, read as a plain list,
    // that is no amount.
    [[noreturn]] void failAsPlainList() const;
    const QString& text() const { return m_text; }
    const TableReader::Options& options() const { return m_options; }

private:
    OpenedSource() = default;

    TableReader::Options m_options;
    ItemTable::Format m_format = ItemTable::Format::Text;
    QByteArray m_bytes; // a workbook's
    QString m_text;
    QStringList m_names;
    QList<int> m_hidden;
    int m_first = 0;
    std::map<int, TypedSheet::Sheet> m_sheets;
    bool m_plainChecked = false;
    std::optional<std::vector<Item>> m_plain;
};
