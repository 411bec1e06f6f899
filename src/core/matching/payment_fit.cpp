// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/payment_fit.h"

#include "core/numbers/kalvon_error.h"

#include <algorithm>

namespace Matching::PaymentFit {

namespace {

__extension__ using Int128 = __int128;

constexpr qint64 Cent = Currency::Scale / 100;
// A percentage's count is in ten-thousandths of a percent: the share is count / PercentUnit.
constexpr qint64 PercentUnit = 100 * Currency::Scale;

Int128 abs128(Int128 v) {
    return v < 0 ? -v : v;
}

// numerator / denominator rounded half away from zero; denominator > 0.
Int128 roundedHalfAway(Int128 numerator, Int128 denominator) {
    const Int128 magnitude = (abs128(numerator) * 2 + denominator) / (denominator * 2);
    return numerator < 0 ? -magnitude : magnitude;
}

Currency checked(Int128 count) {
    if (count > std::numeric_limits<qint64>::max() || count < std::numeric_limits<qint64>::min())
        throw KalvonError(KalvonError::Kind::Overflow);
    return Currency::fromCount(qint64(count));
}

Currency sumOf(std::span<const Currency> amounts) {
    Currency sum;
    for (const Currency a : amounts)
        sum += a;
    return sum;
}

bool within(Currency difference, Currency tolerance) {
    return difference.magnitude() <= tolerance.magnitude();
}

// The Skonto fit at one rate, either rounding; none when neither meets the payment.
std::optional<Candidate> skontoAt(Currency payment, Currency sum, Currency perInvoice, Currency percent,
                                  Currency tolerance) {
    const Currency onTotal = discount(sum, percent);
    const Currency totalDifference = payment - (sum - onTotal);
    const Currency invoiceDifference = payment - (sum - perInvoice);
    const bool totalFits = within(totalDifference, tolerance);
    const bool invoiceFits = within(invoiceDifference, tolerance);
    if (!totalFits && !invoiceFits)
        return std::nullopt;
    Candidate c;
    c.sum = sum;
    c.skontoPercent = percent;
    const bool takeTotal =
        totalFits && (!invoiceFits || totalDifference.magnitude() <= invoiceDifference.magnitude());
    c.discount = takeTotal ? onTotal : perInvoice;
    c.difference = takeTotal ? totalDifference : invoiceDifference;
    c.rounding = onTotal == perInvoice ? SkontoRounding::Both
                 : takeTotal           ? SkontoRounding::OnTotal
                                       : SkontoRounding::PerInvoice;
    return c;
}

} // namespace

Currency discount(Currency amount, Currency percent) {
    // Amounts below about 100 million at rates below about 100 % stay within 64 bits.
    if (amount.magnitude() < quint64(1) << 40 && percent.magnitude() < quint64(1) << 20) {
        const qint64 product = amount.count() * percent.count(), unit = PercentUnit * Cent;
        const qint64 magnitude = ((product < 0 ? -product : product) * 2 + unit) / (unit * 2);
        return Currency::fromCount((product < 0 ? -magnitude : magnitude) * Cent);
    }
    const Int128 cents =
        roundedHalfAway(Int128(amount.count()) * percent.count(), Int128(PercentUnit) * Cent);
    return checked(cents * Cent);
}

std::optional<Fit> sumFit(Currency payment, Currency sum, std::span<const Currency> perInvoice,
                          const Options& options) {
    if (within(payment - sum, options.tolerance)) {
        Fit fit;
        fit.candidate.sum = sum;
        fit.candidate.difference = payment - sum;
        return fit;
    }
    if (sum <= Currency())
        return std::nullopt;
    std::optional<Fit> best;
    for (std::size_t r = 0; r < options.skontoPercents.size(); ++r) {
        auto c = skontoAt(payment, sum, perInvoice[r], options.skontoPercents[r], options.tolerance);
        if (c && (!best || c->difference.magnitude() < best->candidate.difference.magnitude()))
            best = Fit{Kind::Skonto, *c};
    }
    return best;
}

std::optional<Fit> amountFit(Currency payment, std::span<const Currency> amounts, const Options& options) {
    std::vector<Currency> perInvoice;
    for (const Currency percent : options.skontoPercents) {
        Currency total;
        for (const Currency a : amounts)
            total += discount(a, percent);
        perInvoice.push_back(total);
    }
    return sumFit(payment, sumOf(amounts), perInvoice, options);
}

Fit referenceFit(Currency payment, std::span<const Currency> amounts, const Options& options) {
    if (auto fit = amountFit(payment, amounts, options))
        return *fit;
    Fit fit{Kind::PartialOrOver, {}};
    fit.candidate.sum = sumOf(amounts);
    fit.candidate.difference = payment - fit.candidate.sum;
    if (payment < fit.candidate.sum)
        fit.candidate.remainder = fit.candidate.sum - payment;
    else
        fit.candidate.overpayment = payment - fit.candidate.sum;
    return fit;
}

std::vector<std::pair<qint64, qint64>> sumRanges(Currency payment, const Options& options) {
    const Int128 p = payment.count(), tolerance = options.tolerance.magnitude();
    std::vector<std::pair<Int128, Int128>> ranges{{p - tolerance, p + tolerance}};
    // The discount differs from the exact share by at most half a cent on the total, or half a
    // cent an invoice.
    const Int128 slack = tolerance + Int128(options.maxItems) * Cent / 2 + 1;
    for (const Currency percent : options.skontoPercents) {
        const Int128 kept = PercentUnit - percent.count();
        ranges.emplace_back((p - slack) * PercentUnit / kept - 1, (p + slack) * PercentUnit / kept + 1);
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<qint64, qint64>> merged;
    // Sums of maxItems items stay within half the range (SubsetSums checks it), so no hit is lost
    // and the searches can subtract within the range.
    const Int128 low = std::numeric_limits<qint64>::min() / 2, high = std::numeric_limits<qint64>::max() / 2;
    for (auto [from, to] : ranges) {
        from = std::clamp(from, low, high);
        to = std::clamp(to, low, high);
        if (!merged.empty() && from <= Int128(merged.back().second) + 1)
            merged.back().second = std::max(merged.back().second, qint64(to));
        else
            merged.emplace_back(qint64(from), qint64(to));
    }
    return merged;
}

} // namespace Matching::PaymentFit
