// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's window: getting a list in (a file opened or dropped, the clipboard) and the hits
// out to a file.
#include "liste/list_window.h"

#include "frontend/message_box.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/item_panel.h"
#include "liste/list_controller.h"

#include <QBuffer>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>

#include <exception>
#include <memory>
#include <optional>

namespace {

// The folder of the last file opened or exported, where the file dialogs start.
QString lastFolder() {
    const QString folder = QSettings().value(QStringLiteral("lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void rememberFolder(const QString& path) {
    QSettings().setValue(QStringLiteral("lastFolder"), QFileInfo(path).absolutePath());
}

} // namespace

bool ListWindow::confirmReplace() {
    if (itemModel()->undoStack()->count() == 0)
        return true;
    return ask(QStringLiteral("Die neue Liste ersetzt die bisherige mit allen Änderungen und ausgeglichenen "
                              "Posten. Fortfahren?"));
}

void ListWindow::openFile(const QString& path) {
    guarded([&] {
        if (m_controller->isBusy() || !confirmReplace())
            return;
        readTable(
            [path](const TableReader::Options& options, TableReader::Layout* layout) {
                return TableReader::openFile(path, options, layout);
            },
            path);
    });
}

void ListWindow::pasteText(const QString& text) {
    guarded([&] {
        if (m_controller->isBusy())
            return;
        if (text.trimmed().isEmpty()) {
            showMessage(
                QStringLiteral("Die Zwischenablage enthält keinen Text. Kopieren Sie zuerst einen Bereich "
                               "aus der Tabellenkalkulation."));
            return;
        }
        if (!confirmReplace())
            return;
        // The text as bytes of a file: read within the same bounds.
        readTable(
            [bytes = text.toUtf8()](const TableReader::Options& options, TableReader::Layout* layout) {
                QByteArray copy = bytes;
                QBuffer buffer(&copy);
                buffer.open(QIODevice::ReadOnly);
                return TableReader::open(buffer, options, layout);
            },
            {});
    });
}

void ListWindow::readTable(const TableChoice::Open& open, const QString& path) {
    auto reading = std::make_shared<TableChoice::Reading>();
    m_controller->read(
        QFileInfo(path).fileName(), [open, reading] { *reading = TableChoice::first(open); },
        [this, open, reading, path] { guarded([&] { firstRead(*reading, open, path); }); });
}

// On the GUI thread: the column dialog where it must ask, then the chosen column read off it again.
void ListWindow::firstRead(TableChoice::Reading& reading, const TableChoice::Open& open,
                           const QString& path) {
    if (!reading.needsChoice()) {
        loadRead(reading, path);
        return;
    }
    const std::optional<TableChoice::Chosen> chosen = TableChoice::choose(reading, open, this);
    if (!chosen)
        return;
    auto read = std::make_shared<TableChoice::Reading>();
    m_controller->read(
        QFileInfo(path).fileName(),
        [read, source = std::move(reading.source), chosen = *chosen]() mutable {
            *read = TableChoice::readChosen(std::move(source), chosen);
        },
        [this, read, path] { guarded([&] { loadRead(*read, path); }); });
}

void ListWindow::loadRead(const TableChoice::Reading& reading, const QString& path) {
    if (reading.unexpected)
        std::rethrow_exception(reading.unexpected); // told as any other unexpected failure
    if (!reading.failure.isEmpty()) {
        showMessage(reading.failure);
        return;
    }
    if (!path.isEmpty())
        rememberFolder(path);
    load(*reading.table, path);
}

void ListWindow::load(const ItemTable& table, const QString& path) {
    // Set first: the statement's page asks for the list's file as the list is replaced.
    m_listFile = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    m_controller->load(table, path.isEmpty() ? QStringLiteral("Zwischenablage") : QFileInfo(path).fileName());
    m_itemPanel->showNewList();
    setWindowTitle(m_controller->windowTitle());
}

void ListWindow::exportHits(const QString& path) {
    guarded([&] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(hitModel()->csv()) < 0 || !file.commit()) {
            showMessage(QStringLiteral("Die Datei „%1“ lässt sich nicht schreiben: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
            return;
        }
        rememberFolder(path);
        statusBar()->showMessage(
            QStringLiteral("%1 Treffer nach „%2“ exportiert.")
                .arg(QLocale().toString(hitModel()->hitCount()), QFileInfo(path).fileName()),
            5000);
    });
}

void ListWindow::chooseAndOpen() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Liste öffnen"), lastFolder(),
        QStringLiteral("Tabellen (*.csv *.tsv *.txt *.xlsx *.ods);;Alle Dateien (*)"));
    if (!path.isEmpty())
        openFile(path);
}

void ListWindow::chooseAndExport() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Treffer exportieren"),
        QDir(lastFolder()).filePath(QStringLiteral("treffer.csv")), QStringLiteral("CSV-Dateien (*.csv)"));
    if (!path.isEmpty())
        exportHits(path);
}

void ListWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!m_controller->isBusy() && !urls.isEmpty() && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void ListWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = urls.constFirst().toLocalFile();
    // Opening may ask questions; the drag source is not kept waiting for them.
    QMetaObject::invokeMethod(
        this, [this, path] { openDropped(path); }, Qt::QueuedConnection);
}
