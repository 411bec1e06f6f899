// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/statement_input.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace StatementInput {
namespace {

Currency tolerance(const QString& text) {
    if (text.trimmed().isEmpty())
        return {};
    const Currency amount =
        inContext(QStringLiteral("Die Toleranz"), [&] { return NumberText::toAmount(text); });
    if (amount < Currency())
        throw KalvonError::unreadable(
            QStringLiteral("Die Toleranz darf nicht negativ sein: „%1“.").arg(text.trimmed()));
    return amount;
}

// Rates from 0 to under 100 %, sorted and each once; 0 stands for no Skonto.
std::vector<Currency> skontoRates(const QString& text) {
    std::vector<Currency> rates;
    const Currency hundred = Currency::fromCount(100 * Currency::Scale);
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        const NumberText::AmountText read = NumberText::readAmount(part.trimmed());
        if (!read.ok() || read.amount < Currency() || !(read.amount < hundred))
            throw KalvonError::unreadable(
                QStringLiteral("Skonto erwartet Prozentsätze unter 100, getrennt durch Semikolons "
                               "(etwa „2; 3“ oder „1,5; 3“), nicht „%1“.")
                    .arg(text.trimmed()));
        if (read.amount != Currency() && std::find(rates.begin(), rates.end(), read.amount) == rates.end())
            rates.push_back(read.amount);
    }
    std::sort(rates.begin(), rates.end());
    return rates;
}

} // namespace

MatchSettings read(const Fields& fields) {
    MatchSettings settings;
    settings.maxItems = fields.maxItems;
    settings.tolerance = tolerance(fields.tolerance);
    settings.skontoPercents = skontoRates(fields.skonto);
    settings.days = fields.days;
    settings.customerColumn = fields.customerColumn;
    return settings;
}

QString skontoText(const std::vector<Currency>& rates) {
    QStringList parts;
    for (const Currency rate : rates)
        parts << QLocale().toString(double(rate.count()) / Currency::Scale, 'g', 6);
    return parts.join(QStringLiteral("; "));
}

} // namespace StatementInput
