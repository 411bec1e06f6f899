// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/table_reader.h"
#include "find/hit_writer.h"
#include "frontend/json_text.h"
#include "frontend/terminal.h"

#include <QStringList>

namespace FindCommand {
namespace {

QString column(int index, const QString& header) {
    return QStringLiteral("{\"letter\": %1, \"header\": %2}")
        .arg(JsonText::string(TableReader::columnLetter(index)),
             header.isEmpty() ? QStringLiteral("null") : JsonText::string(header));
}

QString source(const ItemTable& table) {
    static const char* const formats[] = {"list", "text", "xlsx", "ods"};
    QStringList labels;
    for (qsizetype i = 0; i < table.labelColumns.size(); ++i)
        labels << column(table.labelColumns[i], table.labelHeaders.value(i));
    return QStringLiteral("{\"format\": \"%1\", \"sheet\": %2, \"header\": %3, \"amount_column\": %4, "
                          "\"label_columns\": [%5], "
                          "\"total_row\": %6}")
        .arg(QLatin1String(formats[int(table.format)]),
             table.sheet.isEmpty() ? QStringLiteral("null") : JsonText::string(table.sheet),
             table.hasHeader ? QStringLiteral("true") : QStringLiteral("false"),
             column(table.amountColumn, table.amountHeader), labels.join(QStringLiteral(", ")),
             table.totalRow ? QString::number(table.totalRow->row) : QStringLiteral("null"));
}

// One JSON object, one hit per line.
class JsonWriter : public HitWriter {
public:
    using HitWriter::HitWriter;

    void counted(const CombinationSearch::Total& total) override {
        QString head = QStringLiteral("{\"amounts\": %1, \"total\": %2, \"total_at_least\": %3, ")
                           .arg(m_list.table.items.size())
                           .arg(QString::fromStdString(total.count.get_str()),
                                total.atLeast ? QStringLiteral("true") : QStringLiteral("false"));
        if (m_list.table.isTable())
            head += QStringLiteral("\"source\": %1, ").arg(source(m_list.table));
        Terminal::print(m_out, head + QStringLiteral("\"hits\": ["));
    }

    void hit(quint64 number, const CombinationSearch::Hit& hit) override {
        QStringList numbers, rows, labels;
        for (const int index : hit.items) {
            const Item* item = m_list.searched[std::size_t(index)];
            numbers << QString::number(item - m_list.table.items.data() + 1);
            rows << QString::number(item->row);
            labels << JsonText::string(item->label);
        }
        QString line =
            QStringLiteral("%1\n  {\"items\": [%2], ")
                .arg(number == 1 ? QString() : QStringLiteral(","), numbers.join(QStringLiteral(", ")));
        if (m_list.table.isTable())
            line += QStringLiteral("\"rows\": [%1], \"labels\": [%2], ")
                        .arg(rows.join(QStringLiteral(", ")), labels.join(QStringLiteral(", ")));
        line += QStringLiteral("\"sum\": %1, \"difference\": %2}")
                    .arg(JsonText::amount(hit.sum), JsonText::amount(hit.sum - m_list.target));
        Terminal::print(m_out, line);
    }

    void finished(const CombinationSearch::Outcome& outcome, quint64 listed) override {
        Terminal::print(
            m_out, QStringLiteral("%1], \"method\": %2}\n")
                       .arg(listed > 0 ? QStringLiteral("\n") : QString(), JsonText::string(outcome.method)));
    }
};

} // namespace

std::unique_ptr<HitWriter> makeJsonWriter(const SearchList& list, std::FILE* out) {
    return std::make_unique<JsonWriter>(list, out);
}

} // namespace FindCommand
