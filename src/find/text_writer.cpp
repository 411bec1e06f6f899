// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/number_text.h"
#include "find/hit_writer.h"
#include "frontend/read_summary.h"
#include "frontend/terminal.h"
#include "frontend/visible_text.h"

#include <QLocale>
#include <QStringList>

namespace FindCommand {
namespace {

// The line that says what was read from a table.
QString sourceLine(const ItemTable& table) {
    QString line = QStringLiteral("Gelesen: ") + ReadSummary::parts(table).join(QStringLiteral(", "));
    QStringList notes =
        ReadSummary::leftOut(table, QStringLiteral("zählt nicht mit"), QStringLiteral("zählen nicht mit"));
    if (table.hiddenRows > 0)
        notes.last() += QStringLiteral(" (--all-rows nimmt sie auf)");
    if (!notes.isEmpty())
        line += QStringLiteral("; ") + notes.join(QStringLiteral("; "));
    return line + QStringLiteral(".\n");
}

// A hit as German text lines, and the total at the end.
class TextWriter : public HitWriter {
public:
    using HitWriter::HitWriter;

    void counted(const CombinationSearch::Total&) override {
        if (m_list.table.isTable())
            Terminal::print(m_out, sourceLine(m_list.table));
    }

    void hit(quint64 number, const CombinationSearch::Hit& hit) override {
        QStringList items;
        for (const Item* item : itemsOf(hit))
            items << QStringLiteral("%1 (%2)").arg(itemName(*item), NumberText::formatAmount(item->amount));
        QString line = QStringLiteral("Treffer %1: %2 = %3")
                           .arg(QLocale().toString(number), items.join(QStringLiteral(" + ")),
                                NumberText::formatAmount(hit.sum));
        if (m_list.tolerance)
            line += QStringLiteral(" (Differenz %1)").arg(difference(hit.sum));
        Terminal::print(m_out, line + QLatin1Char('\n'));
    }

    void finished(const CombinationSearch::Outcome& outcome, quint64 listed) override {
        const mpz_class& total = outcome.total.count;
        const mpz_class unlisted = total - mpz_class(static_cast<unsigned long>(listed));
        QString line;
        if (total == 0)
            line = QStringLiteral("Es wurde keine Kombination gefunden.");
        else if (outcome.total.atLeast)
            line = QStringLiteral("Mindestens %1 Treffer; alle zu zählen hätte zu lange gedauert.")
                       .arg(NumberText::formatCount(total));
        else if (unlisted == 0)
            line = QStringLiteral("Insgesamt %1 Treffer.").arg(NumberText::formatCount(total));
        else
            line = QStringLiteral("Insgesamt %1 Treffer, davon %2 nicht aufgeführt.")
                       .arg(NumberText::formatCount(total), NumberText::formatCount(unlisted));
        Terminal::print(m_out, line + QLatin1Char('\n'));
    }

private:
    QString itemName(const Item& item) const {
        if (!m_list.table.isTable())
            return QStringLiteral("Nr. %1").arg(item.row);
        return item.label.isEmpty() ? QStringLiteral("Zeile %1").arg(item.row)
                                    : VisibleText::escaped(item.label);
    }

    // The sum's distance from the target with its sign: "+0,05", "-19,95", "0,00". A hit lies in
    // the tolerance range around the target, so the distance is an amount itself.
    QString difference(Currency sum) const {
        const Currency d = sum - m_list.target;
        const QString text = NumberText::formatAmount(d);
        return d > Currency() ? QLocale().positiveSign() + text : text;
    }
};

} // namespace

std::unique_ptr<HitWriter> makeTextWriter(const SearchList& list, std::FILE* out) {
    return std::make_unique<TextWriter>(list, out);
}

} // namespace FindCommand
