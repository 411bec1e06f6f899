// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class HitModel;
class QAction;
class QLabel;
class QPushButton;
class QTableView;

// The group "Treffer": the hit list, the number of hits and "Ausgleichen".
class HitPanel : public QGroupBox {
    Q_OBJECT

public:
    // settle: the action that the button "Ausgleichen" triggers and follows.
    HitPanel(HitModel* hits, QAction* settle, QWidget* parent = nullptr);

    // The chosen hit's number from 0, or -1 when none is chosen.
    int currentHit() const;
    // Chooses the first hit when none is chosen yet.
    void chooseFirst();
    void setTotalText(const QString& text);
    QTableView* view() const { return m_view; }
    QPushButton* settleButton() const { return m_settleButton; }

signals:
    // Another hit was chosen; -1: none is any more.
    void hitChosen(int hit);

private:
    HitModel* m_hits;
    QTableView* m_view;
    QLabel* m_totalLabel;
    QPushButton* m_settleButton;
};
