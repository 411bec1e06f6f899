// SPDX-License-Identifier: GPL-3.0-or-later
// Kalvon Liste's bank statement: the report saved, and a reconciliation in progress saved and
// opened again.
#include "liste/reconciliation_controller.h"

#include "core/numbers/kalvon_error.h"
#include "frontend/reconciliation/report_writer.h"
#include "liste/reconciliation_file.h"
#include "liste/reconciliation_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QUndoCommand>
#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

Abgleich::Report ReconciliationController::report() const {
    return m_state->report;
}

QString ReconciliationController::summaryText() const {
    if (!hasStatement())
        return QString();
    const Abgleich::Summary summary = m_state->report.summary();
    const int pending = m_state->payments->pendingCount();
    if (pending > 0)
        return QStringLiteral("Zahlungen: %1 gelesen, %2 noch nicht abgeglichen, %3 ausgelassen.")
            .arg(QLocale().toString(summary.payments), QLocale().toString(pending),
                 QLocale().toString(summary.leftOut));
    return Abgleich::summaryText(summary);
}

void ReconciliationController::saveReport(const QString& path) const {
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        Abgleich::writeXlsx(m_state->report, path);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Abgleich::csvReport(m_state->report)) < 0 ||
        !file.commit())
        throw KalvonError::unreadable(QStringLiteral("Die Datei „%1“ lässt sich nicht schreiben: %2")
                                          .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void ReconciliationController::saveReconciliation(const QString& path, bool replace) const {
    const State& s = *m_state;
    if (!s.statement)
        throw KalvonError::unreadable(QStringLiteral("Es ist kein Kontoauszug geöffnet."));
    if (s.itemsPath.isEmpty())
        throw KalvonError::unreadable(
            QStringLiteral("Die offenen Posten stammen nicht aus einer Datei; ein Abgleich lässt sich nur "
                           "zu einer Liste aus einer Datei speichern."));
    ReconciliationFile file;
    file.statementFile = QFileInfo(s.statementPath).absoluteFilePath();
    file.statementSha256 = ReconciliationFile::sha256Of(s.statementPath);
    file.itemsFile = QFileInfo(s.itemsPath).absoluteFilePath();
    file.itemsSha256 = ReconciliationFile::sha256Of(s.itemsPath);
    const ItemTable& table = s.items->source();
    file.itemsSheet = table.sheet;
    file.itemsColumn = table.amountColumn;
    file.itemsHeaderRow = table.headerRow;
    file.settings = s.settings;
    for (std::size_t e = 0; e < s.input.paymentOf.size(); ++e) {
        const auto d = s.decisions.find(s.input.paymentOf[e]);
        if (s.input.paymentOf[e] < 0 || d == s.decisions.end())
            continue;
        file.decisions.push_back({s.report.payments[e].entry, s.report.payments[e].part, d->second.assigned,
                                  d->second.basis, d->second.candidate, d->second.alternatives});
    }
    file.write(path, replace);
}

TableReader::Options ReconciliationController::Saved::readOptions() const {
    TableReader::Options options;
    options.sheet = itemsSheet;
    if (itemsColumn >= 0)
        options.column = TableReader::columnLetter(itemsColumn);
    options.headerRow = itemsHeaderRow;
    options.roles = true;
    return options;
}

ReconciliationController::Saved ReconciliationController::readSaved(const QString& path) {
    const ReconciliationFile file = ReconciliationFile::read(path);
    return {file.statementFile, file.itemsFile, file.itemsSheet, file.itemsColumn, file.itemsHeaderRow};
}

namespace {

// The saved decisions by the payments of this statement; throws when one no longer fits.
Decisions savedDecisions(const ReconciliationController::State& s, const ReconciliationFile& file) {
    QSet<int> open;
    for (int i = 0; i < s.items->itemCount(); ++i) {
        if (!s.items->isSettled(i))
            open.insert(s.items->item(i).row);
    }
    Decisions decisions;
    for (const ReconciliationFile::Decision& saved : file.decisions) {
        int index = -1;
        for (std::size_t e = 0; e < s.report.payments.size() && index < 0; ++e) {
            if (s.report.payments[e].entry == saved.entry && s.report.payments[e].part == saved.part)
                index = s.input.paymentOf[e];
        }
        if (index < 0 || decisions.count(index))
            throw KalvonError::unreadable(
                QStringLiteral(
                    "Der gespeicherte Abgleich nennt die Buchung %1, die der Kontoauszug nicht als "
                    "eingehende Zahlung enthält.")
                    .arg(saved.part ? QStringLiteral("%1.%2").arg(saved.entry).arg(saved.part)
                                    : QString::number(saved.entry)));
        for (const int row : saved.candidate.rows) {
            if (!open.contains(row))
                throw KalvonError::unreadable(
                    QStringLiteral(
                        "Der gespeicherte Abgleich nennt die Zeile %1, die in der Liste nicht offen ist.")
                        .arg(row));
            open.remove(row);
        }
        decisions[index] = Decision{saved.candidate, saved.basis, saved.alternatives, saved.assigned};
    }
    return decisions;
}

} // namespace

void ReconciliationController::applySaved(const QString& path) {
    State& s = *m_state;
    if (!s.statement)
        throw KalvonError::unreadable(QStringLiteral("Es ist kein Kontoauszug geöffnet."));
    const ReconciliationFile file = ReconciliationFile::read(path);
    if (QFileInfo(s.statementPath).canonicalFilePath() != QFileInfo(file.statementFile).canonicalFilePath())
        throw KalvonError::unreadable(
            QStringLiteral("Der gespeicherte Abgleich gehört zum Kontoauszug „%1“, geöffnet ist „%2“.")
                .arg(QDir::toNativeSeparators(file.statementFile),
                     QDir::toNativeSeparators(s.statementPath)));
    Decisions decisions = savedDecisions(s, file);
    stop();
    s.settings = file.settings;
    std::vector<int> rows;
    for (const auto& [index, d] : decisions) {
        if (d.settles())
            rows.insert(rows.end(), d.candidate.rows.begin(), d.candidate.rows.end());
    }
    if (decisions.empty()) {
        startRun();
        return;
    }
    pushDecisions(this, s.items, std::move(decisions), s.toModelRows(rows),
                  QStringLiteral("Abgleich öffnen"));
}
