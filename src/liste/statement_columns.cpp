// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/statement_columns.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"
#include "frontend/visible_text.h"

#include <QThread>

#include <memory>

namespace {

QStringList columnTitles(const QString& path, const QString& sheet, int headerRow) {
    TableReader::Options options;
    options.sheet = sheet;
    options.headerRow = headerRow;
    TableReader::Layout layout;
    try {
        OpenedSource source = TableReader::openFile(path, options, &layout);
        TableReader::select(source, options, &layout);
    } catch (const KalvonError&) {
        // The layout holds what was known by then; the list itself was read before.
    }
    return layout.columnTitles;
}

} // namespace

StatementColumns::StatementColumns(QObject* parent)
    : QObject(parent) {}

StatementColumns::~StatementColumns() {
    ++m_generation;
    for (QThread* thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

void StatementColumns::read(const QString& path, const QString& sheet, int headerRow) {
    const quint64 generation = ++m_generation;
    if (path.isEmpty()) {
        emit columnsRead({});
        return;
    }
    auto titles = std::make_shared<QStringList>();
    QThread* thread = QThread::create([=] { *titles = columnTitles(path, sheet, headerRow); });
    m_threads << thread;
    // A reading of an earlier list ends on its own; only the latest one is reported.
    connect(thread, &QThread::finished, this, [this, thread, titles, generation] {
        m_threads.removeOne(thread);
        thread->wait();
        delete thread;
        if (generation == m_generation)
            emit columnsRead(*titles);
    });
    thread->start();
}

QStringList StatementColumns::choices(const QStringList& titles) {
    QStringList out;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const QString letter = TableReader::columnLetter(int(i));
        const QString title = VisibleText::escaped(titles[i].trimmed());
        out << (title.isEmpty() ? letter : QStringLiteral("%1 – %2").arg(letter, title));
    }
    return out;
}
