// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QString>

// JSON values as the command-line programs write them.
namespace JsonText {

// An amount as a string of plain decimal text: '-' when negative, '.', exactly four decimals.
QString amount(Currency value);
// A string in quotes, with quotes, backslashes and control characters escaped.
QString string(const QString& text);

} // namespace JsonText
