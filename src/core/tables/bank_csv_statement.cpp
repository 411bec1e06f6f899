// SPDX-License-Identifier: GPL-3.0-or-later
// Bank CSV exports.
#include "core/tables/statement_formats.h"

namespace StatementFormats {

bool looksLikeBankCsv(QStringView, bool) {
    return false;
}

void readBankCsv(QStringView, const QString& file, const Options&, Statement&) {
    fail(QStringLiteral("CSV-Kontoauszüge wie %1 lassen sich noch nicht lesen.").arg(fileText(file)));
}

} // namespace StatementFormats
