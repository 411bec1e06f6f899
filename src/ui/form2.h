// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/kalvon_error.h"
#include "search/search_state.h"

#include <QMainWindow>

#include <array>
#include <functional>

class CommandButton;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The program's only window. Its controls carry the names the handlers use; the handlers are
// implemented by area: search/ (the run and the combination test), entry/ (the input fields,
// Enter and Clear) and ui/ (construction, menu and lifetime).
class Form2 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Controls, by their names.
    std::array<QLineEdit*, 23> Text1{};
    std::array<QLabel*, 23> Label1{};
    std::array<QRadioButton*, 2> Option1{};
    std::array<QRadioButton*, 2> Option2{};
    QLineEdit* txtSumme = nullptr;
    QLineEdit* txtToleranz = nullptr;
    QLabel* lblSumme = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdClear = nullptr;
    CommandButton* cmdStop = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* mnuDatei = nullptr;
    QAction* mnuEnd = nullptr;
    QAction* mnuInfo = nullptr;

    // Form-level working data of the search.
    SearchState search;

    // Event handlers.
    void Command1_Click();
    void cmdStop_Click();
    void Text1_LostFocus(int index);
    void txtSumme_LostFocus();
    void txtToleranz_LostFocus();
    void Option1_Click(int index);
    void Form_KeyPress(int& keyAscii);
    void cmdClear_Click();
    void mnuEnd_Click();
    void mnuInfo_Click();
    // Paste into a value field: a list of amounts fills it and the following fields (entry/paste.cpp).
    // False when the text holds a single amount and is left to the field's own paste.
    bool Text1_Paste(int index, const QString& text);

    // Procedures of the search.
    void subTolBereich();
    void bin(qint32 wert, quint8& bytstellen);
    void subTesten(quint8& bytstellen);
    void subErgebnis(const Currency& Summe);
    void subFarbeCL();

    // The search mode and the tolerance's unit as the option buttons show them.
    bool exactSearchChosen() const;
    bool toleranceSearchChosen() const;
    bool toleranceAsAmount() const;

    // Forces the literal per-combination count (for comparison with the fast engine).
    void setLiteralSearch(bool literal) { m_literalSearch = literal; }
    bool isRunning() const { return m_running; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct RunAborted {};

    void buildControls();
    void chooseFont();
    void buildMenu();
    void connectHandlers();
    void buildTabOrder();
    void updateOptionFocusPolicies();

    void rewriteValueFieldAndTotal(int index);
    // The total of the numeric value fields, taken in field order; `counted` sees each such field
    // right after its amount was added. A failure names the field, or the total where that overflows.
    Currency totalValueFields(const std::function<void(int index, const QString& text)>& counted = {}) const;
    // The target field's text as an amount; a failure names the target field.
    Currency targetAmount() const;
    double targetValue() const;
    bool stopRequested() const;
    void setStopRequest(bool stop);
    void countCombinations(qint32 count, int n);
    void countLiterally(qint32 count, int n);
    void pumpDuringRun();
    void leaveIfUnloading() const;
    void leaveRun(bool countBegun);
    void reportFailure(const KalvonError& error);
    void showProgress(int value);
    // Every handler runs its body through this: a failed conversion is reported, never thrown on.
    template <class F> void guarded(F&& body) {
        try {
            body();
        } catch (const KalvonError& error) {
            reportFailure(error);
        }
    }

    bool m_running = false;
    bool m_unloadRequested = false;
    bool m_literalSearch = false;
};
