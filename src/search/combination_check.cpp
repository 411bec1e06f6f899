// SPDX-License-Identifier: GPL-3.0-or-later
// The check of one combination against the target or the tolerance range, and how a hit is shown.
#include "ui/form2.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/message_box.h"
#include "ui/colors.h"

#include <QLineEdit>
#include <QStringList>

namespace {
// Names the value fields of the selected values 0 … last, for a failure message.
QString selectionSubject(const SearchState& s, int last) {
    QStringList fields;
    for (int i = 0; i <= last; ++i) {
        if (s.bytBits[i] == 1)
            fields << QStringLiteral("„%1.Wert“").arg(s.bytFeldNr[i] + 1);
    }
    return QStringLiteral("Die Summe der Werte aus %1").arg(fields.join(QStringLiteral(", ")));
}
} // namespace

void Form2::bin(qint32 wert, quint8& bytstellen) {
    quint8 k = 0;
    while (wert != 0) {
        search.bytBits[k] = quint8(wert % 2);
        wert /= 2;
        ++k;
    }
    bytstellen = k;
}

void Form2::subTesten(quint8& bytstellen) {
    Currency sum;
    for (int i = 0; i < bytstellen; ++i) {
        const double product = double(search.bytBits[i]) * search.dblWerte[i];
        try {
            const Currency amount = NumberText::fromDouble(product);
            try {
                sum += amount;
            } catch (KalvonError& e) {
                e.setSubject(selectionSubject(search, i));
                throw;
            }
        } catch (KalvonError& e) {
            if (e.subject().isEmpty())
                e.setSubject(QStringLiteral("Der Wert aus „%1.Wert“").arg(search.bytFeldNr[i] + 1));
            throw;
        }
    }
    if (exactSearchChosen() && sum == search.curZielwert)
        subErgebnis(sum);
    if (toleranceSearchChosen() && search.curUntergrenze <= sum && sum <= search.curObergrenze)
        subErgebnis(sum);
    for (int i = 0; i < bytstellen; ++i)
        search.bytBits[i] = 0;
}

void Form2::subErgebnis(const Currency& Summe) {
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    if (isMinimized())
        showNormal();
    repaint();
    for (int i = 0; i < search.bytAnzahl; ++i) {
        if (search.bytBits[i] == 1)
            Colors::setBackColor(Text1[search.bytFeldNr[i]], Colors::HitGreen);
    }
    Colors::setBackColor(txtSumme, Colors::HitGreen);
    const QString prompt = QStringLiteral("Die Summe der grün markierten") + QLatin1Char('\r') +
                           QStringLiteral("Felder ergibt: ") + NumberText::currencyText(Summe) +
                           QLatin1Char('.') + QLatin1Char('\r') + QStringLiteral("Weitersuchen?");
    if (MessageBoxService::show(prompt, MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Ergebnis")) ==
        MsgAnswer::No)
        setStopRequest(true);
    subFarbeCL();
}

void Form2::subFarbeCL() {
    for (QLineEdit* field : Text1)
        Colors::setBackColor(field, Colors::ValueFieldNormal);
    Colors::setBackColor(txtSumme, Colors::TargetFieldNormal);
}
