// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

void Form2::txtSumme_LostFocus() {
    guarded([&] {
        txtSumme->setText(NumberText::formatText(txtSumme->text()));
        if (NumberText::isNumeric(txtSumme->text())) {
            search.curZielwert = targetAmount();
        }
    });
}

namespace {
const QString TargetSubject = QStringLiteral("Der Zielwert in „Zielwert (Summe)“");
} // namespace

Currency Form2::targetAmount() const {
    return inContext(TargetSubject, [&] { return NumberText::toCurrency(txtSumme->text()); });
}

double Form2::targetValue() const {
    return inContext(TargetSubject, [&] { return NumberText::toDouble(txtSumme->text()); });
}

void Form2::txtToleranz_LostFocus() {
    txtToleranz->setText(NumberText::formatText(txtToleranz->text()));
}

void Form2::Option1_Click(int index) {
    const bool tolerance = index == 1;
    txtToleranz->setVisible(tolerance);
    Frame3->setVisible(tolerance);
    Label3->setVisible(tolerance);
    Frame4->setVisible(tolerance);
}
