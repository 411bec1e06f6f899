// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the real window and asks it to close while one of the run's real message boxes is open;
// the box is answered with its default button right after. A window under a modal box is
// blocked: Qt drops the window system's close requests for it (the close box does nothing), so
// the request is made the way Qt lets through, by QWindow::close(), the hardest case for the
// program. Exits with 0 only when the event loop ended with 0, no box followed the one that was
// open, the window was blocked at the request and is closed now, and no run is left.
//
// Usage: close_during_box_probe CASE, where CASE names the open box: warning, hit, info, end,
// error, tolerance, target.
#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

struct Case {
    QStringList values;
    QString target;
    bool tolerance = false;
    bool infoFromPump = false;
    QString box; // the title of the box that is open when the close request comes
};

Case caseNamed(const QString& name) {
    QStringList powers;
    for (int i = 0; i < 17; ++i)
        powers << QString::number(1 << i);
    if (name ==
        QLatin1String("warning")) // 17 values: the long-run warning; the first combination would be a hit
        return {powers, QStringLiteral("1"), false, false, QStringLiteral("Achtung")};
    if (name == QLatin1String("hit"))
        return {{QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("5")},
                QStringLiteral("25"),
                false,
                false,
                QStringLiteral("Ergebnis")};
    if (name == QLatin1String("info")) // "Info" chosen while the run handles events
        return {powers.mid(0, 9), QStringLiteral("0.5"), false, true, QStringLiteral("Info")};
    if (name == QLatin1String("end"))
        return {{QStringLiteral("5")}, QStringLiteral("7"), false, false, QStringLiteral("Ende")};
    if (name == QLatin1String("error"))
        return {{QStringLiteral("1e300")}, QStringLiteral("7"), false, false, QStringLiteral("Fehler")};
    if (name == QLatin1String("tolerance")) // tolerance search without a tolerance
        return {{QStringLiteral("5")}, QStringLiteral("5"), true, false, QStringLiteral("Projekt1")};
    if (name == QLatin1String("target")) // no target: the box comes before the run begins
        return {{QStringLiteral("5")}, QString(), false, false, QStringLiteral("Projekt1")};
    return {};
}

// Records whether the window is blocked by a modal box.
class BlockWatch : public QObject {
public:
    bool blocked = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowBlocked)
            blocked = true;
        else if (event->type() == QEvent::WindowUnblocked)
            blocked = false;
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    EventPump::chooseEventDispatcher();
    QApplication app(argc, argv);
    const QString name = app.arguments().value(1);
    const Case c = caseNamed(name);
    if (c.box.isEmpty()) {
        std::fprintf(stderr, "unknown case: %s\n", qPrintable(name));
        return 2;
    }

    Form2 form;
    for (int i = 0; i < c.values.size(); ++i)
        form.Text1[i]->setText(c.values[i]);
    form.txtSumme->setText(c.target);
    form.txtSumme_LostFocus();
    if (c.tolerance)
        form.Option1[1]->setChecked(true);
    form.show();
    BlockWatch watch;
    form.installEventFilter(&watch);

    QStringList seen;
    bool blockedAtRequest = false;
    bool requested = false;
    QObject boxWatch;
    // Every message box shown: note its title; when it is the chosen one, ask the main window
    // to close, then answer the box.
    struct ShowFilter : QObject {
        std::function<void(QMessageBox*)> onShow;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show)
                if (auto* box = qobject_cast<QMessageBox*>(o))
                    onShow(box);
            return false;
        }
    } showFilter;
    showFilter.onShow = [&](QMessageBox* box) {
        seen << box->windowTitle();
        std::printf("box: %s\n", qPrintable(box->windowTitle()));
        std::fflush(stdout);
        QPointer<QMessageBox> guarded(box);
        if (!requested && box->windowTitle() == c.box) {
            requested = true;
            QTimer::singleShot(0, &form, [&] {
                blockedAtRequest = watch.blocked;
                form.windowHandle()->close();
            });
        }
        QTimer::singleShot(0, &boxWatch, [guarded] {
            if (guarded && guarded->isVisible())
                guarded->defaultButton()->click();
        });
    };
    app.installEventFilter(&showFilter);

    int pumps = 0;
    if (c.infoFromPump) {
        EventPump::setPumpHook([&] {
            if (++pumps == 1)
                QTimer::singleShot(0, &form, [&form] { form.mnuInfo->trigger(); });
        });
    }
    QTimer::singleShot(0, &form, [&] {
        form.Command1->click();
        if (!requested) // the chosen box never came
            QCoreApplication::exit(3);
    });
    const int result = app.exec();
    EventPump::setPumpHook({});

    std::printf("exit: %d, blocked at the request: %d, window visible: %d, running: %d\n", result,
                int(blockedAtRequest), int(form.isVisible()), int(form.isRunning()));
    const bool clean = result == 0 && seen == QStringList{c.box} && blockedAtRequest && !form.isVisible() &&
                       !form.isRunning();
    return clean ? 0 : 1;
}
