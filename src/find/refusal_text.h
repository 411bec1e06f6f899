// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class KalvonError;

namespace FindCommand {

// The message kalvon-find gives for a failure: a refused search with its remedy in kalvon-find's
// options (--max-items, --order, --limit), any other failure as it words itself.
QString failureText(const KalvonError& error);

} // namespace FindCommand
