// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/message_box.h"
#include "search/progress.h"
#include "search/search_engine.h"
#include "ui/command_button.h"
#include "ui/event_pump.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <cmath>

bool Form2::stopRequested() const {
    return cmdStop->tag() == QLatin1String("True");
}

void Form2::setStopRequest(bool stop) {
    cmdStop->setTag(stop ? QStringLiteral("True") : QStringLiteral("False"));
}

void Form2::cmdStop_Click() {
    setStopRequest(true);
}

void Form2::subTolBereich() {
    search.curToleranz = Currency();
    if (!NumberText::isNumeric(txtToleranz->text())) {
        MessageBoxService::show(QStringLiteral("Es muß ein Toleranzbereich angegeben werden"),
                                MsgButtons::Ok);
        setStopRequest(true);
        return;
    }
    if (toleranceAsAmount()) {
        search.curToleranz = inContext(QStringLiteral("Der Toleranzbetrag"),
                                       [&] { return NumberText::toCurrency(txtToleranz->text()); });
        return;
    }
    const double z = targetValue();
    const double p = inContext(QStringLiteral("Der Toleranzprozentsatz"),
                               [&] { return NumberText::toDouble(txtToleranz->text()); });
    search.curToleranz = inContext(QStringLiteral("Die prozentuale Toleranz (%1 % des Zielwerts)")
                                       .arg(NumberText::formatText(txtToleranz->text())),
                                   [&] { return NumberText::fromDouble((p * z) / 100.0); });
}

void Form2::Command1_Click() {
    // 1. A target must be given; only the empty text counts as missing.
    if (txtSumme->text().isEmpty()) {
        MessageBoxService::show(QStringLiteral("Es muß ein Zielwert angegeben werden"), MsgButtons::Ok);
        return;
    }

    bool countBegun = false;
    m_running = true;
    try {
        // 2. Busy state.
        setCursor(Qt::WaitCursor);
        setStopRequest(false);
        Command1->setEnabled(false);
        cmdClear->setEnabled(false);

        // 3. Tolerance range, formed once per run.
        if (toleranceSearchChosen()) {
            subTolBereich();
            leaveIfUnloading();
            search.curObergrenze = inContext(QStringLiteral("Die Obergrenze des Toleranzbereichs"),
                                             [&] { return targetAmount() + search.curToleranz; });
            search.curUntergrenze = inContext(QStringLiteral("Die Untergrenze des Toleranzbereichs"),
                                              [&] { return targetAmount() - search.curToleranz; });
        }

        // 4. Collect the non-zero numeric values in field order; the total counts every numeric field.
        search.bytAnzahl = 0;
        const Currency total = totalValueFields([&](int i, const QString& text) {
            const double value = NumberText::toDouble(text);
            if (value != 0.0) {
                search.dblWerte[search.bytAnzahl] = value;
                search.bytFeldNr[search.bytAnzahl] = quint8(i);
                ++search.bytAnzahl;
            }
        });
        const int n = search.bytAnzahl;

        // 5. Running total.
        lblSumme->setText(NumberText::format(total));

        // 6. Long-run warning.
        if (n > 16) {
            const QString prompt = QStringLiteral("Achtung, die Berechnung kann mehrere Minuten dauern!") +
                                   QLatin1Char('\r') + QStringLiteral("Berechnung durchführen?");
            if (MessageBoxService::show(prompt, MsgButtons::YesNo, MsgIcon::Warning,
                                        QStringLiteral("Achtung")) == MsgAnswer::No)
                setStopRequest(true);
            leaveIfUnloading();
        }

        // 7. Progress.
        ProgressBar1->setMaximum(n);
        Frame1->setVisible(true);
        cmdStop->setVisible(true);
        ProgressBar1->setVisible(true);
        countBegun = true;

        // 8. Count.
        countCombinations(qint32(std::pow(2.0, n) - 1.0), n);

        // 9. End message.
        leaveIfUnloading();
        MessageBoxService::show(QStringLiteral("Es wurde keine weitere Kombination gefunden"), MsgButtons::Ok,
                                MsgIcon::None, QStringLiteral("Ende"));
        leaveIfUnloading();
        leaveRun(countBegun);
    } catch (const KalvonError& error) {
        reportFailure(error);
        leaveRun(countBegun);
    } catch (const RunAborted&) {
        // The window is being closed: end without another message and let it close.
        m_running = false;
        close();
        return;
    }
    m_running = false;
    if (m_unloadRequested)
        close();
}

// 10. and 11.: reset the value list and give the window back.
void Form2::leaveRun(bool countBegun) {
    search.dblWerte.fill(0.0);
    search.bytFeldNr.fill(0);
    search.bytBits.fill(0);
    if (countBegun) {
        ProgressBar1->setVisible(false);
        Frame1->setVisible(false);
        cmdStop->setVisible(false);
    }
    Command1->setEnabled(true);
    cmdClear->setEnabled(true);
    unsetCursor();
}

void Form2::showProgress(int value) {
    if (ProgressBar1->value() != value)
        ProgressBar1->setValue(value);
}

// The window was asked to close while a box of the run or the event pump was open: the run ends
// at once, without a further message.
void Form2::leaveIfUnloading() const {
    if (m_unloadRequested)
        throw RunAborted{};
}

void Form2::pumpDuringRun() {
    EventPump::pumpEvents();
    leaveIfUnloading();
}

void Form2::countCombinations(qint32 count, int n) {
    const std::optional<SearchEngine> engine =
        m_literalSearch ? std::nullopt
                        : SearchEngine::prepare(std::span(search.dblWerte.data(), std::size_t(n)));
    if (!engine) {
        countLiterally(count, n);
        return;
    }
    SearchEngine::Hooks hooks;
    hooks.stopRequested = [this] {
        return stopRequested() || m_unloadRequested;
    };
    hooks.criteria = [this] {
        return SearchEngine::Criteria{exactSearchChosen(), search.curZielwert, toleranceSearchChosen(),
                                      search.curUntergrenze, search.curObergrenze};
    };
    hooks.testLiterally = [this](qint32 x) {
        quint8 bytstellen = 0;
        bin(x, bytstellen);
        subTesten(bytstellen);
        leaveIfUnloading();
    };
    hooks.showProgressAfter = [this, count, n](qint32 x) {
        showProgress(progressValueAfter(x, count, n));
    };
    hooks.pump = [this] {
        pumpDuringRun();
    };
    engine->run(count, hooks);
}

// The count as written: bin and subTesten for every combination. Used where a sum could
// overflow, so that the failure is reported at the combination where it happens.
void Form2::countLiterally(qint32 count, int n) {
    quint8 bytstellen = 0;
    for (qint32 x = 1; x <= count; ++x) {
        if (stopRequested())
            break;
        bin(x, bytstellen);
        subTesten(bytstellen);
        leaveIfUnloading();
        ProgressBar1->setValue(progressValueAfter(x, count, n));
        if (x % SearchEngine::PumpInterval == 0)
            pumpDuringRun();
    }
}
