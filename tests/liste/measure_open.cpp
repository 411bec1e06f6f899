// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how long Kalvon Liste's event loop stands still while files are opened:
//     measure_liste_open FILE…
// For each file: when openFile returned, when the list was shown, and the longest gap between
// ticks of a 10 ms timer, over all and while the file was being read. A column dialog is answered
// with the header in row 1 (timed: the sheet laid out anew on the window's thread) and OK.
#include "frontend/message_box.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"
#include "liste/list_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Answers the column dialog once it shows.
void answerColumnDialog(QTimer& poll) {
    QObject::connect(&poll, &QTimer::timeout, [&poll] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        poll.stop();
        QElapsedTimer laidOut;
        laidOut.start();
        dialog->findChild<QSpinBox*>(QStringLiteral("spinHeaderRow"))->setValue(1);
        std::printf("  column dialog: header row laid out anew in %lld ms\n", laidOut.elapsed());
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    poll.start(5);
}

void measure(const QString& path) {
    ListWindow window;
    window.show();
    QTimer poll;
    answerColumnDialog(poll);
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, longestReading = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 gap = clock.elapsed() - last;
        longest = std::max(longest, gap);
        if (window.controller()->isBusy())
            longestReading = std::max(longestReading, gap);
        last = clock.elapsed();
    });
    QApplication::processEvents();
    clock.start();
    ticks.start(10);
    // Shown within openFile when the file is read on the window's thread.
    qint64 shown = -1;
    QEventLoop loop;
    QObject::connect(window.itemModel(), &QAbstractItemModel::modelReset, &loop, [&] {
        shown = clock.elapsed();
        loop.quit();
    });
    window.openFile(path);
    const qint64 returned = clock.elapsed();
    if (shown < 0) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QTimer::singleShot(100, &loop, &QEventLoop::quit); // the list painted
    loop.exec();
    std::printf("%s: openFile returned after %lld ms, the list of %d items shown after %lld ms; the longest "
                "gap %lld ms, while reading %lld ms\n",
                qPrintable(path), returned, window.itemModel()->rowCount(), shown, longest, longestReading);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MessageBoxService::setResponder([](const MsgRequest& m) {
        std::printf("  message: %s\n", qPrintable(m.prompt));
        return MsgAnswer::Yes;
    });
    for (const QString& path : QApplication::arguments().mid(1))
        measure(path);
    return 0;
}
