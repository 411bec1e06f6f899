// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/hit_writer.h"
#include "frontend/hit_csv.h"

#include <cstdio>

namespace FindCommand {
namespace {

void write(std::FILE* out, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), out);
}

// One line per item of each hit, for a spreadsheet program.
class CsvWriter : public HitWriter {
public:
    using HitWriter::HitWriter;

    void counted(const CombinationSearch::Total&) override { write(m_out, HitCsv::header()); }
    void hit(quint64 number, const CombinationSearch::Hit& hit) override {
        write(m_out, HitCsv::hitLines(number, itemsOf(hit), hit.sum));
    }
    void finished(const CombinationSearch::Outcome&, quint64) override {}
};

} // namespace

std::vector<const Item*> HitWriter::itemsOf(const CombinationSearch::Hit& hit) const {
    std::vector<const Item*> items;
    for (const int index : hit.items)
        items.push_back(m_list.searched[std::size_t(index)]);
    return items;
}

std::unique_ptr<HitWriter> makeCsvWriter(const SearchList& list, std::FILE* out) {
    return std::make_unique<CsvWriter>(list, out);
}

} // namespace FindCommand
