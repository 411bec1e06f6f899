// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"

#include <QLabel>
#include <QLineEdit>

void Form2::Text1_LostFocus(int index) {
    guarded([&] { rewriteValueFieldAndTotal(index); });
}

void Form2::rewriteValueFieldAndTotal(int index) {
    QLineEdit* field = Text1[index];
    if (NumberText::isNumeric(field->text())) {
        const QString shown = NumberText::format(NumberText::toDouble(field->text()));
        // Text already in the display format is left alone, so the field keeps its undo history.
        if (shown != field->text())
            field->setText(shown);
    }

    // Empty while the fields are counted: a failure leaves it so.
    lblSumme->setText(QString());
    lblSumme->setText(NumberText::format(totalValueFields()));
}

Currency Form2::totalValueFields(const std::function<void(int index, const QString& text)>& counted) const {
    Currency total;
    for (int i = 0; i < 23; ++i) {
        const QString text = Text1[i]->text();
        if (!NumberText::isNumeric(text))
            continue;
        const Currency amount = inContext(QStringLiteral("Der Betrag in „%1.Wert“").arg(i + 1),
                                          [&] { return NumberText::toCurrency(text); });
        total =
            inContext(QStringLiteral("Die Summe der eingegebenen Zahlen"), [&] { return total + amount; });
        if (counted)
            counted(i, text);
    }
    return total;
}
