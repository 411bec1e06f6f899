// SPDX-License-Identifier: GPL-3.0-or-later
// MT940 account statements.
#include "core/tables/statement_formats.h"

namespace StatementFormats {

bool looksLikeMt940(QStringView text) {
    return text.contains(u":20:") && text.contains(u":25:") && text.contains(u":61:");
}

void readMt940(QStringView, const QString& file, const Options&, Statement&) {
    fail(QStringLiteral("MT940-Auszüge wie %1 lassen sich noch nicht lesen.").arg(fileText(file)));
}

} // namespace StatementFormats
