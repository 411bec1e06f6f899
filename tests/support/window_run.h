// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scripted_responder.h"
#include "ui/form2.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QtTest>

// What one search through the real window showed.
struct WindowRun {
    QStringList shownValues; // the value fields after they were left
    QString total;           // lblSumme after the values were left
    QString shownTarget;     // the target field after it was left
    qint64 targetCount = 0;  // curZielwert
    QStringList hitSums;     // the sums of the hit questions, in order
    QStringList titles;      // every message box, in order
};

// Types the values and the target into a fresh window in the current default locale, leaves each
// field by a real focus change and clicks "Berechnen". Every hit is answered Yes.
inline WindowRun runInWindow(const QStringList& values, const QString& target) {
    ScriptedResponder msgs;
    Form2 form;
    form.show();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form))
        qWarning("the window did not become active");
    WindowRun run;
    for (int i = 0; i < values.size(); ++i) {
        form.Text1[i]->setFocus(Qt::TabFocusReason);
        form.Text1[i]->setText(values[i]);
        form.Command1->setFocus(Qt::TabFocusReason);
        run.shownValues << form.Text1[i]->text();
    }
    run.total = form.lblSumme->text();
    form.txtSumme->setFocus(Qt::TabFocusReason);
    form.txtSumme->setText(target);
    form.Command1->setFocus(Qt::TabFocusReason);
    run.shownTarget = form.txtSumme->text();
    run.targetCount = form.search.curZielwert.count();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    for (const MsgRequest& r : msgs.boxes) {
        run.titles << r.title;
        if (r.title == QLatin1String("Ergebnis"))
            run.hitSums << r.prompt.section(QLatin1Char('\r'), 1, 1).mid(15).chopped(1);
    }
    return run;
}
