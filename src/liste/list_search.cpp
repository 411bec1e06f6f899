// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_search.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "liste/item_model.h"

#include <QRegularExpression>

namespace ListSearch {

PreparedSearch prepare(const SearchInput& input, const ItemModel& items) {
    PreparedSearch prepared;
    if (input.target.trimmed().isEmpty()) {
        prepared.refusal = QStringLiteral("Bitte geben Sie einen Zielwert ein.");
        return prepared;
    }
    if (input.tolerance && input.toleranceText.trimmed().isEmpty()) {
        prepared.refusal =
            QStringLiteral("Bitte geben Sie eine Toleranz ein oder wählen Sie die genaue Suche.");
        return prepared;
    }
    CombinationSearch::Request& request = prepared.request;
    const Currency target =
        inContext(QStringLiteral("Der Zielwert"), [&] { return NumberText::toCurrency(input.target); });
    Currency tolerance;
    if (input.tolerance) {
        tolerance = inContext(QStringLiteral("Die Toleranz"),
                              [&] { return NumberText::toCurrency(input.toleranceText); });
        if (tolerance < Currency()) {
            prepared.refusal = QStringLiteral("Die Toleranz darf nicht negativ sein: „%1“.")
                                   .arg(input.toleranceText.trimmed());
            return prepared;
        }
    }
    request.setRange(target, tolerance, input.tolerance && input.percent);
    request.maxItems = std::max(0, input.maxItems);
    request.order = input.order;
    request.limit = ListedHits;

    prepared.rows = items.searchableRows();
    if (prepared.rows.empty()) {
        prepared.refusal = QStringLiteral("Die Liste enthält keinen offenen Betrag ungleich null.");
        return prepared;
    }
    request.amounts.reserve(prepared.rows.size());
    for (const int row : prepared.rows)
        request.amounts.push_back(items.item(row).amount);

    // A request that no method takes is refused now, before the hit list is touched: run() then
    // throws at once, and a method it might start after all ends at its first look at cancelled.
    CombinationSearch::Request inWindowOrder = request;
    inWindowOrder.order = CombinationSearch::Order::Window;
    if (!CombinationSearch::choose(request) && !CombinationSearch::choose(inWindowOrder)) {
        CombinationSearch::Control stopAtOnce;
        stopAtOnce.cancelled = [] {
            return true;
        };
        try {
            CombinationSearch::run(request, stopAtOnce);
        } catch (const KalvonError& e) {
            if (e.kind() != KalvonError::Kind::Unsupported)
                throw;
            throw KalvonError::unsupported(inWindowTerms(e.userMessage()));
        }
    }
    return prepared;
}

QString inWindowTerms(QString message) {
    message.replace(QRegularExpression(QStringLiteral("\\(--max-items (\\d+)\\)")),
                    QStringLiteral("(„höchstens \\1 Posten“)"));
    message.replace(QStringLiteral("(--max-items)"), QStringLiteral("(„höchstens … Posten“)"));
    message.replace(QStringLiteral("(--order window)"), QStringLiteral("(„Kombinationsnummer“)"));
    return message;
}

} // namespace ListSearch
