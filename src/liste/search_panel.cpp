// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/search_panel.h"

#include "liste/list_widgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>

using ListWidgets::buddyLabel;
using ListWidgets::named;

SearchPanel::SearchPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Suche"), parent) {
    buildControls();
    buildLayout();
    // Enter anywhere in the search fields starts the search.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter =
            new QShortcut(QKeySequence(key), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, &SearchPanel::searchRequested);
    }
    connect(m_searchButton, &QPushButton::clicked, this, &SearchPanel::searchRequested);
    connect(m_stopButton, &QPushButton::clicked, this, &SearchPanel::stopRequested);
}

void SearchPanel::buildControls() {
    m_target = named(new QLineEdit, "editTarget", QStringLiteral("Zielwert"));
    m_exact = named(new QRadioButton(QStringLiteral("gen&aue Suche")), "optionExact",
                    QStringLiteral("genaue Suche"));
    m_toleranceSearch = named(new QRadioButton(QStringLiteral("&Toleranzsuche")), "optionTolerance",
                              QStringLiteral("Toleranzsuche"));
    m_tolerance = named(new QLineEdit, "editTolerance", QStringLiteral("Toleranz"));
    m_amount = named(new QRadioButton(QStringLiteral("Betra&g")), "optionAmount",
                     QStringLiteral("Toleranz als Betrag"));
    m_percent = named(new QRadioButton(QStringLiteral("&Prozent")), "optionPercent",
                      QStringLiteral("Toleranz in Prozent des Zielwerts"));
    m_maxItems = named(new QSpinBox, "spinMaxItems", QStringLiteral("höchstens so viele Posten je Treffer"));
    m_maxItems->setRange(0, 999);
    m_maxItems->setSpecialValueText(QStringLiteral("beliebig viele"));
    m_order = named(new QComboBox, "comboOrder", QStringLiteral("Reihenfolge der Treffer"));
    m_order->addItem(QStringLiteral("Kombinationsnummer"), int(CombinationSearch::Order::Window));
    m_order->addItem(QStringLiteral("wenigste Posten zuerst"), int(CombinationSearch::Order::Items));
    m_order->addItem(QStringLiteral("nächste Summe zuerst"), int(CombinationSearch::Order::Difference));
    m_searchButton =
        named(new QPushButton(QStringLiteral("&Suchen")), "buttonSearch", QStringLiteral("Suchen"));
    m_stopButton =
        named(new QPushButton(QStringLiteral("Abbrechen")), "buttonStop", QStringLiteral("Abbrechen"));
    m_progress = named(new QProgressBar, "progressSearch", QStringLiteral("Fortschritt der Suche"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);

    // Each pair of options is a group of its own.
    auto* mode = new QButtonGroup(this);
    mode->addButton(m_exact);
    mode->addButton(m_toleranceSearch);
    auto* kind = new QButtonGroup(this);
    kind->addButton(m_amount);
    kind->addButton(m_percent);
    m_exact->setChecked(true);
    m_amount->setChecked(true);
    auto toleranceShown = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{m_tolerance, m_amount, m_percent})
            w->setEnabled(m_toleranceSearch->isChecked());
    };
    connect(m_toleranceSearch, &QRadioButton::toggled, this, toleranceShown);
    toleranceShown();
    // A tolerance typed with "%" is a percentage: the option says so.
    connect(m_tolerance, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.trimmed().endsWith(QLatin1Char('%')))
            m_percent->setChecked(true);
    });
}

void SearchPanel::buildLayout() {
    auto* grid = new QGridLayout(this);
    grid->addWidget(buddyLabel(QStringLiteral("&Zielwert:"), m_target), 0, 0);
    grid->addWidget(m_target, 0, 1, 1, 3);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(m_exact);
    modeRow->addWidget(m_toleranceSearch);
    modeRow->addStretch();
    grid->addLayout(modeRow, 1, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("T&oleranz:"), m_tolerance), 2, 0);
    grid->addWidget(m_tolerance, 2, 1);
    grid->addWidget(m_amount, 2, 2);
    grid->addWidget(m_percent, 2, 3);
    grid->addWidget(buddyLabel(QStringLiteral("hö&chstens:"), m_maxItems), 3, 0);
    auto* maxRow = new QHBoxLayout;
    maxRow->addWidget(m_maxItems);
    maxRow->addWidget(new QLabel(QStringLiteral("Posten")));
    maxRow->addStretch();
    grid->addLayout(maxRow, 3, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("&Reihenfolge:"), m_order), 4, 0);
    grid->addWidget(m_order, 4, 1, 1, 3);
    auto* run = new QHBoxLayout;
    run->addWidget(m_searchButton);
    run->addWidget(m_stopButton);
    run->addWidget(m_progress, 1);
    grid->addLayout(run, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
}

SearchInput SearchPanel::input() const {
    SearchInput input;
    input.target = m_target->text();
    input.tolerance = m_toleranceSearch->isChecked();
    input.toleranceText = m_tolerance->text();
    input.percent = m_percent->isChecked();
    input.maxItems = m_maxItems->value();
    input.order = CombinationSearch::Order(m_order->currentData().toInt());
    return input;
}

void SearchPanel::setBusy(bool busy) {
    m_searchButton->setEnabled(!busy);
    m_stopButton->setEnabled(busy);
}

void SearchPanel::setProgress(int permille) {
    m_progress->setValue(permille);
}

QList<QWidget*> SearchPanel::tabStops() const {
    return {m_target,  m_exact,    m_toleranceSearch, m_tolerance,    m_amount,
            m_percent, m_maxItems, m_order,           m_searchButton, m_stopButton};
}
