// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's real window, offscreen: a search over a long list from the click on "Suchen" until
// its hits are shown, with the longest stall of the event loop meanwhile.
#include "core/tables/item_table.h"
#include "frontend/message_box.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"
#include "liste/list_window.h"
#include "liste/search_controller.h"
#include "stall_meter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <algorithm>
#include <random>

namespace {

// The window with range(0) amounts of two decimals and a target that three of them make; at most
// range(1) items per hit.
void BM_ListeSearch(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString refusal;
    MessageBoxService::setResponder([&refusal](const MsgRequest& m) {
        refusal = m.prompt;
        return MsgAnswer::No;
    });
    std::mt19937_64 rng(7);
    ItemTable table;
    for (int i = 0; i < state.range(0); ++i)
        table.items.push_back({Currency::fromCount(qint64(rng() % 10000000 + 100) * 100), i + 2, QString()});
    const std::size_t n = table.items.size();
    const qint64 target = table.items[3].amount.count() + table.items[n / 4].amount.count() +
                          table.items[n * 3 / 4].amount.count();

    ListWindow window;
    window.show();
    window.itemModel()->setItems(table);
    window.findChild<QLineEdit*>(QStringLiteral("editTarget"))
        ->setText(QLocale().toString(double(target) / 10000, 'f', 2));
    window.findChild<QSpinBox*>(QStringLiteral("spinMaxItems"))->setValue(int(state.range(1)));
    auto* search = window.findChild<SearchController*>();
    auto* button = window.findChild<QPushButton*>(QStringLiteral("buttonSearch"));
    qint64 longestStall = 0;
    double longestBusy = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(search, &SearchController::finished, &loop, &QEventLoop::quit);
        QObject::connect(search, &SearchController::failed, &loop, &QEventLoop::quit);
        const StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        button->click();
        if (refusal.isEmpty())
            loop.exec();
        QCoreApplication::processEvents(); // the hit list painted
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longestStall = std::max(longestStall, stalls.longest());
        longestBusy = std::max(longestBusy, stalls.longestBusy());
        if (!refusal.isEmpty() || window.hitModel()->hitCount() == 0) {
            state.SkipWithError(refusal.isEmpty() ? "no hit shown" : qPrintable(refusal));
            break;
        }
    }
    state.counters["hits_shown"] = window.hitModel()->hitCount();
    state.counters["longest_stall_ms"] = double(longestStall);
    state.counters["gui_cpu_in_stall_ms"] = longestBusy;
    MessageBoxService::setResponder({});
}

// range(0) items put into the window's list and shown, then the list scrolled to its end and
// shown again.
void BM_ListeShowItems(benchmark::State& state) {
    ItemTable table;
    for (int i = 0; i < state.range(0); ++i)
        table.items.push_back({Currency::fromCount(qint64(i) * 1234567 % 100000000), i + 2,
                               QStringLiteral("RE-%1 Kunde %2").arg(i + 10000).arg(i % 97)});
    ListWindow window;
    window.show();
    QCoreApplication::processEvents();
    auto* view = window.findChild<QTableView*>(QStringLiteral("tableItems"));
    for (auto _ : state) {
        window.itemModel()->setItems(table);
        QCoreApplication::processEvents();
        view->scrollToBottom();
        QCoreApplication::processEvents();
    }
}

// An .xlsx workbook as a spreadsheet program writes it: invoice numbers and customers as shared
// strings, the amounts as numbers, count rows under a header.
QString writeWorkbook(const QString& path, int count) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        qFatal("cannot create %s", qPrintable(path));
    auto part = [&zip](const char* name, const QString& text) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(QLatin1String(name))) ||
            file.write(text.toUtf8()) < 0)
            qFatal("cannot write %s", name);
    };
    const QString head = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    const QString main = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    const QString rels =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    const QString ct = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.");
    part("[Content_Types].xml",
         head + QStringLiteral(
                    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" "
                    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"%1sheet.main+xml\"/>"
                    "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"%1worksheet+xml\"/>"
                    "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"%1sharedStrings+xml\"/>"
                    "</Types>")
                    .arg(ct));
    part("_rels/.rels",
         head + QStringLiteral("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                               "relationships\"><Relationship Id=\"rId1\" Type=\"%1/officeDocument\" "
                               "Target=\"xl/workbook.xml\"/></Relationships>")
                    .arg(rels));
    part("xl/workbook.xml",
         head + QStringLiteral("<workbook xmlns=\"%1\" xmlns:r=\"%2\"><sheets><sheet "
                               "name=\"Offene Posten\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                               "</workbook>")
                    .arg(main, rels));
    part("xl/_rels/workbook.xml.rels",
         head + QStringLiteral(
                    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"%1/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                    "<Relationship Id=\"rId2\" Type=\"%1/sharedStrings\" Target=\"sharedStrings.xml\"/>"
                    "</Relationships>")
                    .arg(rels));
    QString strings = QStringLiteral("<si><t>Rechnung</t></si><si><t>Kunde</t></si><si><t>Betrag</t></si>");
    QString rows =
        QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                       "<c r=\"C1\" t=\"s\"><v>2</v></c></row>");
    for (int i = 0; i < count; ++i) {
        const int row = i + 2;
        strings +=
            QStringLiteral("<si><t>RE-%1</t></si><si><t>Kunde %2 GmbH</t></si>").arg(10000 + i).arg(i % 613);
        rows += QStringLiteral(
                    "<row r=\"%1\"><c r=\"A%1\" t=\"s\"><v>%2</v></c><c r=\"B%1\" t=\"s\"><v>%3</v></c>"
                    "<c r=\"C%1\"><v>%4.%5</v></c></row>")
                    .arg(row)
                    .arg(3 + 2 * i)
                    .arg(4 + 2 * i)
                    .arg(i * 7919 % 100000)
                    .arg(i % 100, 2, 10, QLatin1Char('0'));
    }
    part("xl/sharedStrings.xml", head + QStringLiteral("<sst xmlns=\"%1\">%2</sst>").arg(main, strings));
    part("xl/worksheets/sheet1.xml",
         head +
             QStringLiteral("<worksheet xmlns=\"%1\"><sheetData>%2</sheetData></worksheet>").arg(main, rows));
    zip.close();
    return path;
}

// A workbook of range(0) rows opened in the window as "Datei > Öffnen…" opens it, read off the
// window's thread, and shown.
void BM_ListeOpenXlsx(benchmark::State& state) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QTemporaryDir dir;
    const QString path =
        writeWorkbook(dir.filePath(QStringLiteral("offene-posten.xlsx")), int(state.range(0)));
    MessageBoxService::setResponder([&state](const MsgRequest& m) {
        state.SkipWithError(qPrintable(m.prompt));
        return MsgAnswer::No;
    });
    ListWindow window;
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        window.openFile(path);
        while (window.controller()->isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }
    if (window.itemModel()->itemCount() != state.range(0))
        state.SkipWithError("not every row was read");
    MessageBoxService::setResponder({});
}

} // namespace

BENCHMARK(BM_ListeOpenXlsx)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListeShowItems)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListeSearch)->Args({40, 0})->Args({2000, 3})->Unit(benchmark::kMillisecond)->UseManualTime();
