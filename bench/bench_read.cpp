// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an export of open items as kalvon-find reads it: a file of range(0) rows (a header and
// invoices with number, date, customer and amount) through TableReader::readFile. The files are
// written before the clock starts, and the process's peak memory is reset after that, so that
// peak_MB is the benchmark program plus reading. Run each case in a process of its own
// (--benchmark_filter).
#include "core/tables/table_reader.h"
#include "open_items.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <sys/resource.h>

#include <functional>

namespace {

// Writes the rows in pieces of about a megabyte, so that writing adds little to the peak.
void writeChunked(QIODevice& out, int rows, const QString& head, const QString& tail,
                  const std::function<QString(const Invoice&)>& row) {
    QString text = head;
    for (int i = 1; i < rows; ++i) {
        text += row(openItem(i));
        if (text.size() > (1 << 20) || i + 1 == rows) {
            if (out.write(text.toUtf8()) < 0)
                qFatal("cannot write the benchmark's input");
            text.clear();
        }
    }
    if (out.write((text + tail).toUtf8()) < 0)
        qFatal("cannot write the benchmark's input");
}

// A semicolon CSV in the German format, as an accounting program exports it.
void writeCsv(const QString& path, int rows) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    const QLocale german(QLocale::German, QLocale::Germany);
    writeChunked(file, rows, QStringLiteral("Belegnr;Datum;Kunde;Betrag\n"), {}, [&german](const Invoice& v) {
        return QStringLiteral("%1;%2;%3;%4\n")
            .arg(v.number, v.date.toString(QStringLiteral("dd.MM.yyyy")), v.customer,
                 german.toString(double(v.cents) / 100, 'f', 2));
    });
}

// An .xlsx workbook as a spreadsheet program writes it, by the program beside this one.
void writeXlsx(const QString& path, int rows) {
    const QString writer =
        QCoreApplication::applicationDirPath() + QStringLiteral("/kalvon_bench_write_xlsx");
    if (QProcess::execute(writer, {path, QString::number(rows)}) != 0)
        qFatal("%s could not write %s", qPrintable(writer), qPrintable(path));
}

// An OpenDocument spreadsheet: the mimetype part first and stored, then content.xml.
void writeOds(const QString& path, int rows) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        qFatal("cannot create %s", qPrintable(path));
    {
        QuaZipFile mimetype(&zip);
        if (!mimetype.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("mimetype")), nullptr, 0, 0,
                           0) ||
            mimetype.write("application/vnd.oasis.opendocument.spreadsheet") < 0)
            qFatal("cannot write the mimetype part");
    }
    QuaZipFile content(&zip);
    if (!content.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("content.xml"))))
        qFatal("cannot write content.xml");
    const QString head = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\">"
        "<office:body><office:spreadsheet><table:table table:name=\"Offene Posten\">"
        "<table:table-row>"
        "<table:table-cell office:value-type=\"string\"><text:p>Belegnr</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"string\"><text:p>Datum</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"string\"><text:p>Kunde</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"string\"><text:p>Betrag</text:p></table:table-cell>"
        "</table:table-row>\n");
    const QString tail =
        QStringLiteral("</table:table></office:spreadsheet></office:body></office:document-content>");
    const QLocale german(QLocale::German, QLocale::Germany);
    writeChunked(content, rows, head, tail, [&german](const Invoice& v) {
        const QString amount = QString::number(double(v.cents) / 100, 'f', 2);
        return QStringLiteral(
                   "<table:table-row>"
                   "<table:table-cell office:value-type=\"string\"><text:p>%1</text:p></table:table-cell>"
                   "<table:table-cell office:value-type=\"date\" office:date-value=\"%2\">"
                   "<text:p>%3</text:p></table:table-cell>"
                   "<table:table-cell office:value-type=\"string\"><text:p>%4</text:p></table:table-cell>"
                   "<table:table-cell office:value-type=\"float\" office:value=\"%5\">"
                   "<text:p>%6</text:p></table:table-cell>"
                   "</table:table-row>\n")
            .arg(v.number, v.date.toString(Qt::ISODate), v.date.toString(QStringLiteral("dd.MM.yyyy")),
                 v.customer, amount, german.toString(double(v.cents) / 100, 'f', 2));
    });
    content.close();
    zip.close();
    if (zip.getZipError() != 0)
        qFatal("cannot write %s", qPrintable(path));
}

// Lets the process's peak memory start again from what it holds now (Linux: clear_refs 5).
void resetPeakMemory() {
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

void readBenchmark(benchmark::State& state, const char* suffix, void (*write)(const QString&, int)) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("offene-posten.") + QLatin1String(suffix));
    const int rows = int(state.range(0));
    write(path, rows);
    resetPeakMemory();
    std::size_t items = 0;
    for (auto _ : state) {
        try {
            items = TableReader::readFile(path, {}).items.size();
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
    if (items != std::size_t(rows - 1))
        state.SkipWithError("not every row was read");
    state.counters["items"] = double(items);
    state.counters["file_MB"] = double(QFile(path).size()) / (1 << 20);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_ReadCsv(benchmark::State& state) {
    readBenchmark(state, "csv", writeCsv);
}

void BM_ReadXlsx(benchmark::State& state) {
    readBenchmark(state, "xlsx", writeXlsx);
}

void BM_ReadOds(benchmark::State& state) {
    readBenchmark(state, "ods", writeOds);
}

} // namespace

// range(0) rows, the header among them: 100,000 is as many as a table may have.
BENCHMARK(BM_ReadCsv)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadXlsx)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadOds)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
