// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the event loop's longest stall while Kalvon Liste opens a file: measure_open PATH [PATH2 ...]
#include "frontend/message_box.h"
#include "core/tables/table_reader.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"
#include "liste/list_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QLocale>
#include <QThread>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MessageBoxService::setResponder([](const MsgRequest& m) {
        std::printf("message: %s\n", qPrintable(m.prompt));
        return MsgAnswer::Yes;
    });
    if (qEnvironmentVariableIsSet("EXP")) {
        for (int k = 0; k < 2; ++k) {
            QElapsedTimer t;
            t.start();
            ItemTable a = TableReader::readFile(QString::fromLocal8Bit(argv[1]), TableReader::Options());
            std::printf("main thread: %lld ms\n", t.elapsed());
            t.restart();
            QThread* th = QThread::create([&] { a = TableReader::readFile(QString::fromLocal8Bit(argv[1]), TableReader::Options()); });
            th->start();
            th->wait();
            std::printf("worker thread: %lld ms\n", t.elapsed());
            delete th;
        }
        return 0;
    }
    for (int i = 1; i < argc && !qEnvironmentVariableIsSet("SKIP"); ++i) {
        ListWindow window;
        window.show();
        QElapsedTimer clock;
        qint64 last = 0, longest = 0, longestReading = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 gap = clock.elapsed() - last;
            longest = std::max(longest, gap);
            if (window.controller()->isBusy())
                longestReading = std::max(longestReading, gap);
            last = clock.elapsed();
        });
        // A column dialog: the header row set to 1 (timed: the sheet laid out anew), then OK.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            poll.stop();
            QElapsedTimer t;
            t.start();
            dialog->findChild<QSpinBox*>(QStringLiteral("spinHeaderRow"))->setValue(1);
            std::printf("header row laid out anew in %lld ms\n", t.elapsed());
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        poll.start(5);
        QApplication::processEvents();
        clock.start();
        timer.start(10);
        window.openFile(QString::fromLocal8Bit(argv[i]));
        const qint64 returned = clock.elapsed();
        QEventLoop loop;
        QObject::connect(window.itemModel(), &QAbstractItemModel::modelReset, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        const qint64 done = clock.elapsed();
        QElapsedTimer settle;
        settle.start();
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("%s: openFile returned after %lld ms, list shown after %lld ms, %d items; longest gap %lld ms "
                    "(while busy reading %lld ms)\n",
                    argv[i], returned, done, window.itemModel()->rowCount(), longest, longestReading);
    }
    // What the GUI thread does with a list once it is read: the models take it.
    ListWindow window;
    window.show();
    const ItemTable table = TableReader::readFile(QString::fromLocal8Bit(argv[1]), TableReader::Options());
    QElapsedTimer load;
    load.start();
    window.controller()->load(table, QStringLiteral("x"));
    const qint64 models = load.elapsed();
    QApplication::processEvents();
    std::printf("the controller's load: %lld ms, then the views: %lld ms\n", models, load.elapsed() - models);
    return 0;
}
