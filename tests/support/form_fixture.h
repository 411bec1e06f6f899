// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scripted_responder.h"
#include "ui/colors.h"
#include "ui/event_pump.h"
#include "ui/form2.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTest>

#include <memory>
#include <optional>

// A fresh window under German regional settings, with scripted message boxes.
struct FormFixture {
    FormFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        form = std::make_unique<Form2>();
    }
    ~FormFixture() { EventPump::setPumpHook({}); }

    // Shows the window and waits until it is the active one, so that focus changes are real.
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    // The window as a run leaves it: buttons enabled, progress hidden, the value list cleared.
    void verifyIdle() const {
        QVERIFY(form->Command1->isEnabled());
        QVERIFY(form->cmdClear->isEnabled());
        QVERIFY(!form->Frame1->isVisible());
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!form->isRunning());
        for (int i = 0; i < 23; ++i) {
            QCOMPARE(form->search.dblWerte[i], 0.0);
            QCOMPARE(form->search.bytFeldNr[i], quint8(0));
            QCOMPARE(form->search.bytBits[i], quint8(0));
        }
    }

    void setValues(const QStringList& values) {
        for (int i = 0; i < values.size(); ++i)
            form->Text1[i]->setText(values[i]);
    }
    // Types the target and leaves the field.
    void setTarget(const QString& text) {
        form->txtSumme->setText(text);
        form->txtSumme_LostFocus();
    }
    void chooseTolerance(bool amount, const QString& tolerance) {
        form->Option1[1]->setChecked(true);
        (amount ? form->Option2[1] : form->Option2[0])->setChecked(true);
        form->txtToleranz->setText(tolerance);
    }
    // The sums shown by the hit questions, in order.
    QStringList hitSums() const {
        QStringList sums;
        for (const MsgRequest& r : msgs.boxes) {
            if (r.title == QLatin1String("Ergebnis"))
                sums << r.prompt.section(QLatin1Char('\r'), 1, 1).mid(15).chopped(1);
        }
        return sums;
    }

    ScriptedResponder msgs;
    std::unique_ptr<Form2> form;
};

// The base of the window's test classes: every test function gets a fresh FormFixture `f`, its
// window shown and, unless the class asks for less, the active one; it ends with the test function.
class FormTest : public QObject {
    Q_OBJECT

protected:
    enum class Show { Active, Shown };
    explicit FormTest(Show show = Show::Active)
        : m_show(show) {}
    Form2& form() { return *f->form; }

    std::optional<FormFixture> f;

private slots:
    void init() {
        f.emplace();
        if (m_show == Show::Active)
            f->showActive();
        else
            f->form->show();
    }
    void cleanup() { f.reset(); }

private:
    Show m_show;
};

// The values 1, 2, 4, … 2^(n−1): the sum of combination X is X itself.
inline QStringList powersOfTwo(int n) {
    QStringList values;
    for (int i = 0; i < n; ++i)
        values << QString::number(1 << i);
    return values;
}

// A control's background colour as #RRGGBB.
inline QString colourOf(const QWidget* w) {
    return QColor(Colors::backColor(w)).name().toUpper();
}

// A string list from UTF-8 literals, for test tables.
inline QStringList strings(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}
