// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over table reading: CSV, TSV, plain lists, .xlsx and .ods bytes through
// TableReader::read. The first byte of an input picks the options, the rest is the file. For any
// input the reader must give a table or a KalvonError with a message, within its bounds; a crash,
// another exception, a hang or a table beyond the bounds is a finding.
#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"

#include <QByteArray>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The bounds lowered from the programs' so that an input that reaches one costs little; the code
// that enforces them is the same.
TableReader::Options optionsFor(std::uint8_t choice) {
    TableReader::Options options;
    options.maxRows = 20000;
    options.maxCells = 200000;
    options.maxUnpackedBytes = qint64(32) << 20;
    switch (choice % 6) {
    case 1:
        options.column = QStringLiteral("Betrag");
        break;
    case 2:
        options.sheet = QStringLiteral("2");
        break;
    case 3:
        options.delimiter = QChar(u';');
        break;
    case 4:
        options.labels = QStringList{QStringLiteral("A"), QStringLiteral("C")};
        break;
    case 5:
        options.noLabel = true;
        break;
    default:
        break;
    }
    return options;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const bool localeSet = [] {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        return true;
    }();
    (void)localeSet;
    const TableReader::Options options = optionsFor(data[0]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    try {
        const ItemTable table = TableReader::read(bytes, options);
        if (qint64(table.items.size()) > options.maxCells)
            fail("more items than the bound on cells");
        for (const Item& item : table.items) {
            if (item.row < 1 || item.row > std::max<qint64>(options.maxRows, options.maxCells))
                fail("an item's row lies outside the rows read");
        }
    } catch (const KalvonError& e) {
        if (e.userMessage().isEmpty())
            fail("a failure without a message");
    }
    return 0;
}
