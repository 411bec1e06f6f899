// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's window: a bank statement opened, the report and a reconciliation in progress saved,
// and a saved reconciliation opened again.
#include "liste/list_window.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/table_reader.h"
#include "liste/item_model.h"
#include "liste/list_controller.h"
#include "liste/reconciliation_controller.h"
#include "liste/statement_panel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>

namespace {

const QString Workbook = QStringLiteral("Excel-Arbeitsmappe (*.xlsx)");
const QString CsvFile = QStringLiteral("CSV-Datei (*.csv)");
const QString SavedFilter = QStringLiteral("Abgleich (*.abgleich.json *.json)");

QString startFolder() {
    const QString folder = QSettings().value(QStringLiteral("lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

// The name a reconciliation is saved under by default: beside the statement, "auszug.abgleich.json".
QString savedName(const QString& statement) {
    const QFileInfo file(statement);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral(".abgleich.json"));
}

// The name with the suffix of the chosen file type when the user typed none.
QString withSuffix(const QString& path, const QString& filter) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("csv"))
        return path;
    return path + (filter == CsvFile ? QStringLiteral(".csv") : QStringLiteral(".xlsx"));
}

} // namespace

void ListWindow::openStatement(const QString& path) {
    guarded([&] {
        if (m_controller->isBusy())
            return;
        if (reconciliation()->hasStatement() &&
            !ask(QStringLiteral("Der neue Kontoauszug ersetzt den bisherigen mit seinem Abgleich. Die "
                                "ausgeglichenen Posten bleiben ausgeglichen. Fortfahren?")))
            return;
        reconciliation()->openStatement(path);
        m_sidePages->setCurrentWidget(m_statementPanel);
        showStatement();
        const QString name = QFileInfo(path).fileName();
        statusBar()->showMessage(
            itemModel()->itemCount() > 0
                ? QStringLiteral("Kontoauszug „%1“ geöffnet.").arg(name)
                : QStringLiteral("Kontoauszug „%1“ geöffnet; er wird abgeglichen, sobald "
                                 "die offenen Posten geöffnet sind.")
                      .arg(name),
            5000);
        // Matching starts with the next turn of the event loop: reading the statement and preparing
        // the matching would otherwise hold the window up together.
        QMetaObject::invokeMethod(this, &ListWindow::matchNewList, Qt::QueuedConnection);
    });
}

void ListWindow::openDropped(const QString& path) {
    if (ReconciliationController::looksLikeStatement(path))
        openStatement(path);
    else
        openFile(path);
}

void ListWindow::saveReport(const QString& path) {
    guarded([&] {
        reconciliation()->saveReport(path);
        statusBar()->showMessage(
            QStringLiteral("Bericht nach „%1“ gespeichert.").arg(QFileInfo(path).fileName()), 5000);
    });
}

void ListWindow::saveReconciliation(const QString& path) {
    guarded([&] {
        if (QFileInfo::exists(path) &&
            !ask(QStringLiteral("Die Datei „%1“ gibt es schon. Soll sie ersetzt werden?")
                     .arg(QDir::toNativeSeparators(path))))
            return;
        reconciliation()->saveReconciliation(path, true);
        statusBar()->showMessage(
            QStringLiteral("Abgleich nach „%1“ gespeichert.").arg(QFileInfo(path).fileName()), 5000);
    });
}

void ListWindow::openReconciliation(const QString& path) {
    guarded([&] {
        if (m_controller->isBusy() || !confirmReplace())
            return;
        const ReconciliationController::Saved saved = ReconciliationController::readSaved(path);
        // The list is read again off the window's thread, as opening it is.
        auto reading = std::make_shared<TableChoice::Reading>();
        m_controller->read(
            QFileInfo(saved.itemsFile).fileName(),
            [saved, reading] {
                try {
                    const TableReader::Options options = saved.readOptions();
                    OpenedSource source = TableReader::openFile(saved.itemsFile, options);
                    reading->table = TableReader::read(source, options);
                } catch (const KalvonError& e) {
                    reading->failure = e.userMessage();
                } catch (const std::exception&) {
                    reading->unexpected = std::current_exception();
                }
            },
            [this, saved, path, reading] { guarded([&] { applyReconciliation(saved, path, *reading); }); });
    });
}

void ListWindow::applyReconciliation(const ReconciliationController::Saved& saved, const QString& path,
                                     const TableChoice::Reading& reading) {
    if (reading.unexpected)
        std::rethrow_exception(reading.unexpected);
    if (!reading.failure.isEmpty()) {
        showMessage(reading.failure);
        return;
    }
    reconciliation()->openStatement(saved.statementFile);
    // As opening a list does: its folder is where the file dialogs start.
    QSettings().setValue(QStringLiteral("lastFolder"), QFileInfo(saved.itemsFile).absolutePath());
    load(*reading.table, saved.itemsFile);
    reconciliation()->setItemsSource(saved.itemsFile);
    reconciliation()->applySaved(path);
    m_statementPanel->showSettings(reconciliation()->settings());
    m_sidePages->setCurrentWidget(m_statementPanel);
    showStatement();
}

QString ListWindow::listFile() const {
    return m_listFile;
}

void ListWindow::chooseAndOpenStatement() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Kontoauszug öffnen"), startFolder(),
        QStringLiteral("Kontoauszüge (*.xml *.zip *.sta *.mt940 *.940 *.txt *.csv);;Alle Dateien (*)"));
    if (!path.isEmpty())
        openStatement(path);
}

void ListWindow::chooseAndSaveReport() {
    QString filter = Workbook;
    const QFileInfo statement(reconciliation()->statementFile());
    const QString suggested =
        statement.dir().filePath(statement.completeBaseName() + QStringLiteral("-abgleich.xlsx"));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Bericht speichern"), suggested,
                                                      Workbook + QStringLiteral(";;") + CsvFile, &filter);
    if (!path.isEmpty())
        saveReport(withSuffix(path, filter));
}

void ListWindow::chooseAndSaveReconciliation() {
    // The window asks itself before it replaces a file, in its own words.
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Abgleich speichern"), savedName(reconciliation()->statementFile()), SavedFilter,
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        saveReconciliation(path);
}

void ListWindow::chooseAndOpenReconciliation() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Abgleich öffnen"), startFolder(),
                                                      SavedFilter + QStringLiteral(";;Alle Dateien (*)"));
    if (!path.isEmpty())
        openReconciliation(path);
}
