// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/column_dialog.h"

#include "core/kalvon_error.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ColumnDialog::ColumnDialog(const TableReader::Layout& layout, int amountColumn, SheetLayout sheetLayout,
                           QWidget* parent)
    : QDialog(parent)
    , m_sheetLayout(std::move(sheetLayout))
    , m_sheets(new QComboBox(this))
    , m_columns(new QComboBox(this))
    , m_note(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("ColumnDialog"));
    setWindowTitle(QStringLiteral("Spalte der Beträge"));
    m_sheets->setObjectName(QStringLiteral("comboSheet"));
    m_sheets->setAccessibleName(QStringLiteral("Tabellenblatt"));
    m_columns->setObjectName(QStringLiteral("comboColumn"));
    m_columns->setAccessibleName(QStringLiteral("Spalte der Beträge"));
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    m_note->setWordWrap(true);

    auto* form = new QFormLayout;
    auto* sheetLabel = new QLabel(QStringLiteral("&Blatt:"), this);
    sheetLabel->setBuddy(m_sheets);
    auto* columnLabel = new QLabel(QStringLiteral("&Spalte:"), this);
    columnLabel->setBuddy(m_columns);
    form->addRow(sheetLabel, m_sheets);
    form->addRow(columnLabel, m_columns);
    auto* box = new QVBoxLayout(this);
    box->addWidget(new QLabel(QStringLiteral("In welcher Spalte stehen die Beträge?"), this));
    box->addLayout(form);
    box->addWidget(m_note);
    box->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_sheets->addItems(layout.sheets);
    m_sheets->setCurrentIndex(layout.sheet);
    sheetLabel->setVisible(layout.sheets.size() > 1);
    m_sheets->setVisible(layout.sheets.size() > 1);
    showColumns(layout, amountColumn);
    connect(m_sheets, &QComboBox::currentIndexChanged, this, &ColumnDialog::chooseSheet);
}

bool ColumnDialog::needsChoice(const TableReader::Layout& layout) {
    return layout.sheets.size() > 1 || layout.amountColumns.size() > 1;
}

int ColumnDialog::sheet() const {
    return m_sheets->count() > 0 ? m_sheets->currentIndex() : -1;
}

int ColumnDialog::column() const {
    return m_columns->count() > 0 ? m_columns->currentData().toInt() : -1;
}

void ColumnDialog::showColumns(const TableReader::Layout& layout, int preferred) {
    m_columns->clear();
    for (const int column : layout.amountColumns) {
        const QString title = layout.columnTitles.value(column).trimmed();
        const QString letter = TableReader::columnLetter(column);
        m_columns->addItem(title.isEmpty() ? letter : QStringLiteral("%1 – %2").arg(letter, title), column);
        if (column == preferred)
            m_columns->setCurrentIndex(m_columns->count() - 1);
    }
    m_note->setText(m_columns->count() > 0
                        ? QString()
                        : QStringLiteral("Auf diesem Blatt steht keine Spalte mit Beträgen."));
    m_note->setVisible(m_columns->count() == 0);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_columns->count() > 0);
}

void ColumnDialog::chooseSheet(int sheet) {
    try {
        showColumns(m_sheetLayout(sheet), -1);
    } catch (const KalvonError& e) {
        m_columns->clear();
        m_note->setText(e.userMessage());
        m_note->setVisible(true);
        m_buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    }
}
