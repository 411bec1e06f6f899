// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_search.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "liste/item_model.h"

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

    return prepared;
}

namespace {

using CombinationSearch::Refusal;

QString fewerItems(int items) {
    return items > 0
               ? QStringLiteral("die Zahl der Beträge einer Kombination auf höchstens %1 begrenzen "
                                "(„höchstens %1 Posten“)")
                     .arg(items)
               : QStringLiteral("die Zahl der Beträge einer Kombination begrenzen („höchstens … Posten“)");
}

QString remedy(const Refusal& refusal) {
    switch (refusal.reason) {
    case Refusal::Reason::NoMethod:
        return fewerItems(refusal.fittingItems) +
               QStringLiteral(", weniger Beträge angeben oder einen kleineren Zielwert suchen");
    case Refusal::Reason::NoMethodInOrder:
        return fewerItems(refusal.fittingItems) +
               QStringLiteral(", die Reihenfolge der Kombinationsnummer wählen („Kombinationsnummer“) oder "
                              "weniger Beträge angeben");
    case Refusal::Reason::Memory:
        if (refusal.method == QLatin1String("reachable-sums"))
            return QStringLiteral("einen kleineren Zielwert oder weniger Beträge angeben");
        if (refusal.method.isEmpty())
            return fewerItems(0) + QStringLiteral(" oder weniger Beträge angeben");
        return QStringLiteral("weniger Beträge angeben");
    case Refusal::Reason::TooManyAmounts:
        return QStringLiteral("Posten ausgleichen oder löschen");
    case Refusal::Reason::SumRange:
        break;
    }
    return {};
}

} // namespace

QString failureText(const KalvonError& error) {
    const Refusal* refusal = CombinationSearch::refusalOf(error);
    const QString help = refusal ? remedy(*refusal) : QString();
    return help.isEmpty() ? error.userMessage()
                          : QStringLiteral("%1 Abhilfe: %2.").arg(error.userMessage(), help);
}

} // namespace ListSearch
