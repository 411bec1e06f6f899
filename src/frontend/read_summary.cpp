// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/read_summary.h"

#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"

#include <QLocale>

namespace ReadSummary {
namespace {

// "A („Belegnr“)", "A („Belegnr“) und B", "A, B und D".
QString joined(const QStringList& parts) {
    if (parts.size() < 2)
        return parts.value(0);
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" und ") + parts.last();
}

QString rowText(const Item& item) {
    return QStringLiteral("%1 (%2)").arg(item.row).arg(NumberText::formatAmount(item.amount));
}

} // namespace

QString columnText(int column, const QString& header) {
    const QString letter = TableReader::columnLetter(column);
    return header.isEmpty() ? letter : QStringLiteral("%1 („%2“)").arg(letter, header);
}

QString columnName(int column, const QString& header) {
    return QStringLiteral("Spalte ") + columnText(column, header);
}

QStringList parts(const ItemTable& table) {
    QStringList parts;
    if (!table.sheet.isEmpty())
        parts << QStringLiteral("Tabellenblatt „%1“").arg(table.sheet);
    parts << QStringLiteral("Beträge aus %1").arg(columnName(table.amountColumn, table.amountHeader));
    QStringList labels;
    for (qsizetype i = 0; i < table.labelColumns.size(); ++i)
        labels << columnText(table.labelColumns[i], table.labelHeaders.value(i));
    if (labels.isEmpty())
        parts << QStringLiteral("ohne Bezeichnung");
    else
        parts << (labels.size() == 1 ? QStringLiteral("Bezeichnung aus Spalte %1")
                                     : QStringLiteral("Bezeichnung aus den Spalten %1"))
                     .arg(joined(labels));
    const qsizetype count = qsizetype(table.items.size());
    parts << (count == 1 ? QStringLiteral("1 Betrag")
                         : QStringLiteral("%1 Beträge").arg(QLocale().toString(count)));
    return parts;
}

QStringList leftOut(const ItemTable& table, const QString& oneVerb, const QString& manyVerb) {
    QStringList clauses;
    std::vector<Item> sums = table.sumRows;
    if (table.totalRow)
        sums.push_back(*table.totalRow);
    if (sums.size() == 1) {
        clauses << QStringLiteral("die Summenzeile %1 %2").arg(rowText(sums.front()), oneVerb);
    } else if (!sums.empty()) {
        QStringList rows;
        for (const Item& item : sums)
            rows << rowText(item);
        clauses << QStringLiteral("die Summenzeilen %1 %2").arg(joined(rows), manyVerb);
    }
    if (table.hiddenRows == 1)
        clauses << QStringLiteral("1 ausgeblendete Zeile %1").arg(oneVerb);
    else if (table.hiddenRows > 1)
        clauses << QStringLiteral("%1 ausgeblendete Zeilen %2")
                       .arg(QLocale().toString(table.hiddenRows), manyVerb);
    return clauses;
}

} // namespace ReadSummary
