// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "liste/list_search.h"

#include <QGroupBox>
#include <QList>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The group "Suche": target, exact or tolerance search, the item limit, the order, "Suchen",
// "Abbrechen" and the progress bar. It reads what the user typed; the controller runs the search.
class SearchPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit SearchPanel(QWidget* parent = nullptr);

    // The fields as typed.
    SearchInput input() const;
    // While a search runs, "Suchen" is off and "Abbrechen" on.
    void setBusy(bool busy);
    void setProgress(int permille);
    // The controls in the order Tab visits them.
    QList<QWidget*> tabStops() const;

signals:
    // "Suchen" clicked, or Enter in any of the fields.
    void searchRequested();
    void stopRequested();

private:
    void buildControls();
    void buildLayout();

    QLineEdit* m_target = nullptr;
    QRadioButton* m_exact = nullptr;
    QRadioButton* m_toleranceSearch = nullptr;
    QLineEdit* m_tolerance = nullptr;
    QRadioButton* m_amount = nullptr;
    QRadioButton* m_percent = nullptr;
    QSpinBox* m_maxItems = nullptr;
    QComboBox* m_order = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QProgressBar* m_progress = nullptr;
};
