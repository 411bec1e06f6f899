// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/matcher.h"

#include "core/numbers/kalvon_error.h"

namespace Matching {

Result match(const std::vector<Payment>&, const std::vector<Item>&, const Options&) {
    throw KalvonError::unsupported(QStringLiteral("not yet"));
}

} // namespace Matching
