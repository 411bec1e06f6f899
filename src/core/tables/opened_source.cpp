// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/opened_source.h"

#include "core/numbers/amount_list.h"
#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/text_table.h"
#include "core/tables/workbook.h"
#include "core/tables/workbook_formats.h"

namespace {

CellGrid::Limits limitsOf(const TableReader::Options& options) {
    return {options.maxRows, options.maxCells, options.maxUnpackedBytes};
}

// The failure of the amount numbered `number` in a plain list.
[[noreturn]] void failAmount(int number, const QString& text, KalvonError::Kind kind) {
    const QString subject = QStringLiteral("Der Betrag Nr. %1").arg(number);
    if (kind == KalvonError::Kind::TypeMismatch)
        throw KalvonError(kind, subject, text);
    // A number out of range is quoted by the message itself.
    const QString quoted = KalvonError(KalvonError::Kind::TypeMismatch, {}, text).quotedInput();
    throw KalvonError(kind, QStringLiteral("%1, „%2“,").arg(subject, quoted));
}

// A message quotes at most 40 characters and marks that there are more: this many are kept.
constexpr qsizetype Quoted = 41;

// A plain list is bounded as a table's rows are: one amount a row.
[[noreturn]] void tooManyAmounts(int maxRows) {
    throw KalvonError::unreadable(
        QStringLiteral("Die Eingabe hat mehr als %1 Beträge; so lange Listen werden nicht gelesen.")
            .arg(NumberText::formatCount(mpz_class(maxRows))));
}

} // namespace

OpenedSource OpenedSource::fromBytes(const QByteArray& bytes, const TableReader::Options& options,
                                     TableReader::Layout* layout) {
    if (!Workbook::isZip(bytes)) {
        if (Workbook::isCompoundFile(bytes))
            throw KalvonError::unreadable(QStringLiteral(
                "Die Eingabe ist eine Excel-Arbeitsmappe im alten Format (.xls) oder verschlüsselt; "
                "lesen lassen sich .xlsx, .ods und Textdateien wie CSV."));
        return fromText(TextTable::decode(bytes), options);
    }
    OpenedSource source;
    source.m_options = options;
    source.m_bytes = bytes;
    Workbook::Sheet sheet;
    const auto describe = [&] {
        if (layout) {
            layout->sheets = sheet.names;
            layout->hiddenSheets = sheet.hidden;
            layout->sheet = sheet.index;
        }
    };
    try {
        Workbook::read(bytes, options.sheet, limitsOf(options), sheet);
    } catch (const KalvonError&) {
        describe();
        throw;
    }
    describe();
    source.m_format = sheet.format;
    source.m_names = sheet.names;
    source.m_hidden = sheet.hidden;
    source.m_first = sheet.index;
    source.m_sheets.emplace(
        sheet.index, TypedSheet::typed(std::move(sheet.grid), sheet.format, sheet.names.value(sheet.index)));
    return source;
}

OpenedSource OpenedSource::fromText(const QString& text, const TableReader::Options& options) {
    if (text.contains(QChar(u'\0')))
        throw KalvonError::unreadable(
            QStringLiteral("Die Eingabe ist weder Text noch eine Arbeitsmappe (.xlsx, .ods)."));
    OpenedSource source;
    source.m_options = options;
    source.m_text = text;
    return source;
}

OpenedSource OpenedSource::fromGrid(CellGrid::Grid grid, ItemTable::Format format, const QString& sheetName,
                                    const TableReader::Options& options) {
    OpenedSource source;
    source.m_options = options;
    source.m_format = format;
    source.m_names = QStringList{sheetName};
    source.m_sheets.emplace(0, TypedSheet::typed(std::move(grid), format, sheetName));
    return source;
}

int OpenedSource::sheetIndex(const QString& wanted) const {
    if (!isWorkbook() || wanted.trimmed().isEmpty())
        return m_first;
    return Workbook::chooseSheet(m_names, m_hidden, wanted);
}

const TypedSheet::Sheet& OpenedSource::sheet(int index) {
    const auto known = m_sheets.find(index);
    if (known != m_sheets.end())
        return known->second;
    if (isWorkbook()) {
        Workbook::Sheet sheet;
        Workbook::read(m_bytes, m_names.value(index), limitsOf(m_options), sheet);
        return m_sheets
            .emplace(index, TypedSheet::typed(std::move(sheet.grid), sheet.format, m_names.value(index)))
            .first->second;
    }
    const QChar delimiter =
        m_options.delimiter.isNull() ? TextTable::detectDelimiter(m_text) : m_options.delimiter;
    CellGrid::Grid grid = TextTable::parse(m_text, delimiter, limitsOf(m_options));
    return m_sheets.emplace(0, TypedSheet::typed(std::move(grid), ItemTable::Format::Text, {}, delimiter))
        .first->second;
}

const std::optional<std::vector<Item>>& OpenedSource::plainList() {
    if (m_plainChecked || isWorkbook())
        return m_plain;
    m_plainChecked = true;
    std::vector<Currency> amounts;
    bool numeric = true;
    int outOfRange = 0;
    QString outOfRangeText;
    AmountList::forEachAmount(m_text, [&](QStringView piece, qint64 line) {
        if (line > m_options.maxRows)
            CellGrid::tooManyRows(m_options.maxRows);
        const NumberText::AmountText read = NumberText::readAmount(piece);
        numeric = read.status != NumberText::AmountText::Status::NotANumber;
        if (numeric && qsizetype(amounts.size()) >= m_options.maxRows)
            tooManyAmounts(m_options.maxRows);
        if (read.status == NumberText::AmountText::Status::OutOfRange && outOfRange == 0) {
            outOfRange = int(amounts.size()) + 1;
            outOfRangeText = piece.left(Quoted).toString();
        }
        amounts.push_back(read.amount);
        return numeric;
    });
    if (numeric && outOfRange > 0)
        failAmount(outOfRange, outOfRangeText, KalvonError::Kind::Overflow);
    if (!numeric)
        return m_plain;
    m_plain.emplace();
    m_plain->reserve(amounts.size());
    for (std::size_t i = 0; i < amounts.size(); ++i)
        m_plain->push_back({amounts[i], int(i) + 1, {}});
    return m_plain;
}

void OpenedSource::failAsPlainList() const {
    int number = 0;
    AmountList::forEachAmount(m_text, [&](QStringView piece, qint64) {
        ++number;
        const NumberText::AmountText read = NumberText::readAmount(piece);
        if (read.status == NumberText::AmountText::Status::OutOfRange)
            failAmount(number, piece.left(Quoted).toString(), KalvonError::Kind::Overflow);
        if (!read.ok())
            failAmount(number, piece.left(Quoted).toString(), KalvonError::Kind::TypeMismatch);
        return true;
    });
    throw KalvonError::unreadable(QStringLiteral("Die Eingabe enthält keinen Betrag."));
}
