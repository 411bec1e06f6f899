// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/matching/matcher.h"
#include "liste/reconciliation_controller.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A reconciliation in progress as a small JSON file: the statement's and the list's files with a
// SHA-256 of each, how the list was read, the settings and the decisions. File names are kept
// relative to the reconciliation's folder, so that a folder moved as a whole still opens.
struct ReconciliationFile {
    struct Decision {
        int entry = 0; // the payment's entry and part, as the report names it
        int part = 0;
        bool assigned = false; // by hand; else a candidate set accepted
        Matching::Basis basis = Matching::Basis::None;
        Matching::Candidate candidate; // its rows as the spreadsheet shows them
        mpz_class alternatives;
    };

    QString statementFile; // absolute once read
    QByteArray statementSha256;
    QString itemsFile;
    QByteArray itemsSha256;
    QString itemsSheet;
    int itemsColumn = -1;   // the amount column, 0-based
    int itemsHeaderRow = 0; // as the spreadsheet shows it; 0 without a header
    MatchSettings settings;
    std::vector<Decision> decisions;

    // The SHA-256 of a file's bytes in hex; throws KalvonError when it cannot be read.
    static QByteArray sha256Of(const QString& path);
    // Writes the file; an existing one only when replace is true. Throws KalvonError.
    void write(const QString& path, bool replace) const;
    // Reads a file; throws KalvonError for one that is no reconciliation, and when the statement or
    // the list has changed since it was saved.
    static ReconciliationFile read(const QString& path);
};
