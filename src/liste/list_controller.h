// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"
#include "core/tables/item_table.h"
#include "liste/file_reader.h"
#include "liste/list_search.h"

#include <QObject>
#include <QString>

class HitModel;
class ItemModel;
class ReconciliationController;
class SearchController;

// What Kalvon Liste's window shows, without its widgets: the item list and the hits, the search
// over the list, a bank statement matched against the list, and the texts of the status line and
// of the hit count. The window passes the user's commands on and shows what comes back. The
// search and the matching are never busy at once.
class ListController : public QObject {
    Q_OBJECT

public:
    explicit ListController(QObject* parent = nullptr);
    ~ListController() override;

    static QString programName() { return QStringLiteral("Kalvon Liste"); }

    ItemModel* items() const { return m_items; }
    HitModel* hits() const { return m_hits; }
    SearchController* search() const { return m_search; }
    ReconciliationController* reconciliation() const { return m_reconciliation; }
    // A search or a matching runs.
    bool isBusy() const { return m_busy || m_matching; }

    // A new list read from source (a file name or "Zwischenablage").
    void load(const ItemTable& table, const QString& source);
    // The window title: the source of the list, then the program.
    QString windowTitle() const;
    // "rechnungen.csv, Beträge aus Spalte C („Betrag“): 2 Posten", or how to get a list.
    QString statusText() const;
    QString totalText() const { return m_totalText; }
    // Changes or settlements that closing the window or another list would lose.
    bool hasChanges() const;

    // Starts the search the fields ask for. A refusal comes back as its text (empty: started); a
    // target or tolerance that is no valid number throws KalvonError.
    QString startSearch(const SearchInput& input);
    // Cancels the search or the matching that runs.
    void cancel();
    // The fields as the search reads them: a target or tolerance as an amount is written (a
    // currency mark, "−"), a tolerance typed with "%" as a percentage.
    static SearchInput readable(SearchInput input);
    // Ends a running search or matching and waits for it, and drops a reading; nothing of
    // them is reported any more.
    void stop();

    // Runs job on the reading thread, busy until done (on this thread) and the status saying what
    // is read: the file fileName, or the clipboard when it is empty. false while busy. Cancelling
    // drops the reading.
    bool read(const QString& fileName, FileReader::Job job, FileReader::Done done);

    // Shows the items of hit number `hit` (-1: none) in the hit colour; returns the first item's
    // row, or -1.
    int chooseHit(int hit);
    // Settles the items of a hit; returns the note for the status bar, empty when nothing changed.
    QString settle(int hit);

signals:
    void busyChanged(bool busy);
    void progress(int permille);
    void totalChanged(const QString& text);
    void statusChanged(const QString& text);
    // The search ended and its hits are all listed.
    void searchEnded(bool cancelled);
    // The search failed; the message says why.
    void failed(const QString& message);
    // The list or its history changed: what the commands may do has changed with it.
    void changed();

private:
    void connectSearch();
    void setBusy(bool busy);
    void setMatching(bool matching);
    void searchFinished(bool cancelled);
    void showTotal(const QString& status = {});
    void setTotal(const QString& text);
    void listChanged();
    void readingEnded();

    ItemModel* m_items;
    HitModel* m_hits;
    SearchController* m_search;
    FileReader* m_reader;
    ReconciliationController* m_reconciliation;
    bool m_busy = false;
    bool m_matching = false;
    bool m_counted = false;
    CombinationSearch::Total m_total;
    QString m_title;       // the file name or "Zwischenablage"
    QString m_source;      // the same, and where in it the list was read
    QString m_leftOutNote; // the sum rows and hidden rows left out, if any
    QString m_totalText;
};
