// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/accessibility.h"

#include "ui/form2.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace {

const char* const RunningTotalProperty = "kalvonRunningTotal";

// A label whose name is fixed and whose shown text is its value, so that a screen reader says
// what the number is and which number it is.
class RunningTotalAccessible : public QAccessibleWidget {
public:
    explicit RunningTotalAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* runningTotalFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLabel") || !object->property(RunningTotalProperty).toBool())
        return nullptr;
    return new RunningTotalAccessible(static_cast<QLabel*>(object));
}

// A caption broken over two lines at a hyphen and a blank ("Toleranz- bereich") names the one word.
QString captionName(const QString& caption) {
    return QString(caption).replace(QStringLiteral("- "), QString());
}

void name(QLabel* caption, QLineEdit* field) {
    caption->setBuddy(field);
    field->setAccessibleName(captionName(caption->text()));
}

} // namespace

namespace Accessibility {

void nameControls(Form2& form) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(runningTotalFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    for (int i = 0; i < 23; ++i)
        name(form.Label1[i], form.Text1[i]);
    name(form.Label2, form.txtSumme);
    name(form.Label3, form.txtToleranz);

    form.lblSumme->setProperty(RunningTotalProperty, true);
    form.lblSumme->setAccessibleName(form.Label4->text());
    // An active screen reader may have asked for the label already and got the plain interface.
    QAccessibleInterface* total = QAccessible::queryAccessibleInterface(form.lblSumme);
    if (total && !dynamic_cast<RunningTotalAccessible*>(total))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(total));
    form.ProgressBar1->setAccessibleName(form.Frame1->title());
}

} // namespace Accessibility
