// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/refusal_text.h"

#include "core/numbers/kalvon_error.h"
#include "core/search/combination_search.h"

namespace FindCommand {
namespace {

using CombinationSearch::Refusal;

QString fewerItems(int items) {
    return items > 0 ? QStringLiteral("die Zahl der Beträge einer Kombination auf höchstens %1 begrenzen "
                                      "(--max-items %1)")
                           .arg(items)
                     : QStringLiteral("die Zahl der Beträge einer Kombination begrenzen (--max-items)");
}

QString memoryRemedy(const Refusal& refusal) {
    if (refusal.method == QLatin1String("meet-in-the-middle"))
        return QStringLiteral(
            "eine kleinere Zahl aufzuführender Treffer (--limit) oder weniger Beträge angeben");
    if (refusal.method == QLatin1String("reachable-sums"))
        return QStringLiteral("einen kleineren Zielwert oder weniger Beträge angeben");
    return QStringLiteral("die Zahl der Beträge einer Kombination begrenzen (--max-items) oder weniger "
                          "Beträge angeben");
}

QString remedy(const Refusal& refusal) {
    switch (refusal.reason) {
    case Refusal::Reason::NoMethod:
        return fewerItems(refusal.fittingItems) +
               QStringLiteral(", weniger Beträge angeben oder einen kleineren Zielwert suchen");
    case Refusal::Reason::NoMethodInOrder:
        return fewerItems(refusal.fittingItems) +
               QStringLiteral(", die Reihenfolge der Kombinationsnummer wählen (--order window) oder weniger "
                              "Beträge angeben");
    case Refusal::Reason::Memory:
        return memoryRemedy(refusal);
    case Refusal::Reason::TooManyAmounts:
        return QStringLiteral("die Liste aufteilen");
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

} // namespace FindCommand
