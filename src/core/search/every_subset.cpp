// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/search/every_subset.h"

#include "core/numbers/kalvon_error.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace CombinationSearch {
namespace {

__extension__ using Int128 = __int128;

constexpr int MaxAmounts = 22;

class EverySubsetMethod : public SearchMethod {
public:
    QString name() const override { return QStringLiteral("every-subset"); }

    Estimate estimate(const ValidRequest& valid) const override {
        const Request& request = valid.request();
        Estimate e;
        const std::size_t n = request.amounts.size();
        e.fits = n <= std::size_t(MaxAmounts);
        const double subsets = double(quint64(1) << std::min<std::size_t>(n, 63));
        e.seconds = subsets * 3e-9;
        e.bytes =
            e.fits ? saturatedBytes(subsets * double(sizeof(Found))) : 0; // every subset a hit, at worst
        return e;
    }

    Outcome run(const ValidRequest& valid, const Control& control) const override {
        const Request& request = valid.request();
        const int n = int(request.amounts.size());
        if (n > MaxAmounts)
            throw KalvonError::unsupported(
                QStringLiteral("Jede Teilmenge zu versuchen geht nur bis %1 Beträge.").arg(MaxAmounts));
        // The sum of each subset follows from that of the previous one in Gray code order, in 128
        // bits: with a size limit, a subset of more amounts may leave the Currency range.
        const quint32 count = quint32(1) << n;
        const qint64 lower = request.lower.count(), upper = request.upper.count();
        const int minItems = request.minItems, maxItems = request.itemCap();
        std::vector<Found> found;
        Int128 sum = 0;
        Outcome outcome;
        for (quint32 step = 1; step < count; ++step) {
            const int bit = std::countr_zero(step);
            const quint32 gray = step ^ (step >> 1);
            const qint64 amount = request.amounts[std::size_t(bit)].count();
            sum = (gray >> bit & 1) ? sum + amount : sum - amount;
            const int size = std::popcount(gray);
            if (lower <= sum && sum <= upper && size >= minItems && size <= maxItems)
                found.push_back({gray, qint64(sum)});
            if ((step & 0xFFFF) == 0) {
                if (control.cancelled && control.cancelled()) {
                    outcome.cancelled = true;
                    return outcome;
                }
                if (control.progress)
                    control.progress(int(quint64(step) * 900 / count));
            }
        }
        outcome.total.count = static_cast<unsigned long>(found.size());
        if (control.counted)
            control.counted(outcome.total);

        const std::size_t wanted = std::size_t(std::min<quint64>(request.limit, found.size()));
        std::vector<int> itemsA, itemsB;
        auto less = [&](const Found& a, const Found& b) {
            if (request.order == Order::Window)
                return a.subset < b.subset;
            return before(request.order, request.target,
                          Hit{indices(a.subset, itemsA), Currency::fromCount(a.sum)},
                          Hit{indices(b.subset, itemsB), Currency::fromCount(b.sum)});
        };
        std::partial_sort(found.begin(), found.begin() + std::ptrdiff_t(wanted), found.end(), less);
        for (std::size_t i = 0; i < wanted && control.hit; ++i) {
            if (!control.hit(Hit{indices(found[i].subset, itemsA), Currency::fromCount(found[i].sum)}) ||
                (control.cancelled && control.cancelled())) {
                outcome.cancelled = true;
                break;
            }
        }
        if (control.progress)
            control.progress(1000);
        return outcome;
    }

private:
    struct Found {
        quint32 subset;
        qint64 sum;
    };

    static std::span<const int> indices(quint32 subset, std::vector<int>& out) {
        out.clear();
        for (; subset != 0; subset &= subset - 1)
            out.push_back(std::countr_zero(subset));
        return out;
    }
};

} // namespace

const SearchMethod& everySubset() {
    static const EverySubsetMethod method;
    return method;
}

} // namespace CombinationSearch
