// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/column_dialog.h"

#include "core/numbers/kalvon_error.h"
#include "frontend/visible_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The widest a sheet or column name is shown, in pixels: the dialog fits a screen 1024 pixels
// wide however long the names are. The whole name is in the entry's tooltip.
constexpr int NameWidth = 480;

// Adds an entry that shows the name, control characters escaped and shortened in the middle
// where it is long, and keeps data.
void addName(QComboBox* box, const QString& name, int data) {
    const QString shown = VisibleText::escaped(name);
    box->addItem(box->fontMetrics().elidedText(shown, Qt::ElideMiddle, NameWidth), data);
    box->setItemData(box->count() - 1, shown, Qt::ToolTipRole);
}

} // namespace

ColumnDialog::ColumnDialog(const TableReader::Layout& layout, int amountColumn, const QString& note,
                           SheetLayout sheetLayout, QWidget* parent)
    : QDialog(parent)
    , m_sheetLayout(std::move(sheetLayout))
    , m_sheets(new QComboBox(this))
    , m_columns(new QComboBox(this))
    , m_headerRow(new QSpinBox(this))
    , m_note(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("ColumnDialog"));
    setWindowTitle(QStringLiteral("Spalte der Beträge"));
    m_sheets->setObjectName(QStringLiteral("comboSheet"));
    m_sheets->setAccessibleName(QStringLiteral("Tabellenblatt"));
    m_columns->setObjectName(QStringLiteral("comboColumn"));
    m_columns->setAccessibleName(QStringLiteral("Spalte der Beträge"));
    m_headerRow->setObjectName(QStringLiteral("spinHeaderRow"));
    m_headerRow->setAccessibleName(QStringLiteral("Zeile der Überschrift"));
    m_headerRow->setRange(0, TableReader::Options().maxRows);
    m_headerRow->setSpecialValueText(QStringLiteral("automatisch"));
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    m_note->setObjectName(QStringLiteral("labelNote"));
    m_note->setWordWrap(true);
    // A note that names a long sheet wraps within the dialog's width rather than widening it.
    m_note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_note->setMinimumWidth(NameWidth);
    for (QComboBox* box : {m_sheets, m_columns})
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* form = new QFormLayout;
    auto* sheetLabel = new QLabel(QStringLiteral("&Blatt:"), this);
    sheetLabel->setBuddy(m_sheets);
    auto* columnLabel = new QLabel(QStringLiteral("&Spalte:"), this);
    columnLabel->setBuddy(m_columns);
    form->addRow(sheetLabel, m_sheets);
    auto* headerLabel = new QLabel(QStringLiteral("Überschrift in &Zeile:"), this);
    headerLabel->setBuddy(m_headerRow);
    form->addRow(headerLabel, m_headerRow);
    form->addRow(columnLabel, m_columns);
    auto* box = new QVBoxLayout(this);
    box->addWidget(new QLabel(QStringLiteral("In welcher Spalte stehen die Beträge?"), this));
    box->addLayout(form);
    box->addWidget(m_note);
    box->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Only the sheets the workbook shows; each entry keeps its index among all sheets.
    for (qsizetype i = 0; i < layout.sheets.size(); ++i) {
        if (!layout.hiddenSheets.contains(int(i))) {
            addName(m_sheets, layout.sheets[i], int(i));
            if (i == layout.sheet)
                m_sheets->setCurrentIndex(m_sheets->count() - 1);
        }
    }
    sheetLabel->setVisible(m_sheets->count() > 1);
    m_sheets->setVisible(m_sheets->count() > 1);
    showLayout(layout, amountColumn, note);
    connect(m_sheets, &QComboBox::currentIndexChanged, this, &ColumnDialog::showChosen);
    connect(m_headerRow, &QSpinBox::valueChanged, this, &ColumnDialog::showChosen);
}

int ColumnDialog::visibleSheets(const TableReader::Layout& layout) {
    return int(layout.sheets.size() - layout.hiddenSheets.size());
}

bool ColumnDialog::needsChoice(const TableReader::Layout& layout) {
    return visibleSheets(layout) > 1 || layout.amountColumns.size() > 1;
}

ColumnDialog::Choice ColumnDialog::choice() const {
    Choice choice;
    if (m_sheets->count() > 0)
        choice.sheet = m_sheets->currentData().toInt();
    if (m_columns->count() > 0)
        choice.amountColumn = m_columns->currentData().toInt();
    choice.headerRow = m_headerRow->value();
    return choice;
}

void ColumnDialog::showLayout(const TableReader::Layout& layout, int preferred, const QString& note) {
    m_layout = layout;
    m_columns->clear();
    for (const int column : layout.amountColumns) {
        const QString title = layout.columnTitles.value(column).trimmed();
        const QString letter = TableReader::columnLetter(column);
        addName(m_columns, title.isEmpty() ? letter : QStringLiteral("%1 – %2").arg(letter, title), column);
        if (column == preferred)
            m_columns->setCurrentIndex(m_columns->count() - 1);
    }
    QString shown = note;
    if (shown.isEmpty() && m_columns->count() == 0)
        shown = QStringLiteral("Auf diesem Blatt steht keine Spalte mit Beträgen.");
    m_note->setText(shown);
    m_note->setToolTip(shown);
    m_note->setVisible(!shown.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_columns->count() > 0 && note.isEmpty());
}

void ColumnDialog::showChosen() {
    const int sheet = m_sheets->count() > 0 ? m_sheets->currentData().toInt() : 0;
    QString failure;
    try {
        showLayout(m_sheetLayout(sheet, m_headerRow->value()), -1, {});
        return;
    } catch (const KalvonError& e) {
        failure = e.userMessage();
    } catch (const std::exception&) {
        failure = QStringLiteral("Dieses Blatt lässt sich nicht lesen.");
    }
    TableReader::Layout unreadable;
    unreadable.sheets = m_layout.sheets;
    showLayout(unreadable, -1, failure);
}
