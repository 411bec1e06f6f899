// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "liste/list_actions.h"
#include "liste/reconciliation_controller.h"
#include "liste/table_choice.h"

#include <QMainWindow>

#include <functional>
#include <vector>

class HitModel;
class HitPanel;
class ItemModel;
class ItemPanel;
class ListController;
class QLabel;
class QTabWidget;
class ReconciliationController;
class SearchPanel;
class StatementPanel;

// Kalvon Liste's window: the item list on the left; on the right the pages "Suche" (the search and
// the hits) and "Kontoauszug" (a bank statement's payments matched against the list). The
// controller holds the list, runs the search and the matching and words the status; the window
// takes the user's commands, reads files and the clipboard, and shows what the controller reports.
class ListWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ListWindow(QWidget* parent = nullptr);
    ~ListWindow() override;

    // What the menu commands do once the user has chosen a file or copied a range.
    void openFile(const QString& path);
    void pasteText(const QString& text);
    void exportHits(const QString& path);
    // Opens and reads a table off the window's thread, asks for its column where it must, and
    // takes it as the list of the file at path (empty: of the clipboard).
    void readTable(const TableChoice::Open& open, const QString& path);
    // A bank statement beside the list, matched against it at once when the list has items.
    void openStatement(const QString& path);
    // A file dropped or named on the command line: a bank statement by its content, else a list.
    void openDropped(const QString& path);
    void saveReport(const QString& path);
    // Asks before it replaces a file.
    void saveReconciliation(const QString& path);
    // Reads the saved statement and list again, then applies the saved decisions.
    void openReconciliation(const QString& path);

    ListController* controller() const { return m_controller; }
    ItemModel* itemModel() const;
    HitModel* hitModel() const;
    ReconciliationController* reconciliation() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildLayout();
    void connectActions();
    void connectController();
    void connectStatement();
    void setTabOrder();

    // Runs a command of the user; a failure is told in a message box and the window stays idle.
    void guarded(const std::function<void()>& command);
    void showMessage(const QString& text, bool critical = false);
    // A question with Ja and Nein; Enter and Escape answer Nein. true: Ja.
    bool ask(const QString& question);
    bool confirmReplace();
    // A new list read from the file at path (empty: from the clipboard).
    void load(const ItemTable& table, const QString& path);
    void firstRead(TableChoice::Reading& reading, const TableChoice::Open& open, const QString& path);
    void loadRead(const TableChoice::Reading& reading, const QString& path);

    void startSearch();
    void hitChosen(int hit);
    void settle();
    void copyHit();
    void chooseAndOpen();
    void chooseAndExport();
    void showInfo();
    void updateActions();

    // The page "Kontoauszug".
    StatementPanel* buildStatementPanel();
    void startMatching();
    void matchNewList();
    void matchingEnded(bool cancelled);
    void paymentChosen(int payment);
    void candidateChosen();
    void acceptCandidate(int candidate);
    void acceptAll();
    void assignSelected();
    std::vector<int> selectedItemRows() const;
    void showAssignText();
    void showStatement();
    void updateStatementActions();
    // The list's file as it was opened, empty for a pasted list.
    QString listFile() const;
    // A saved reconciliation's list read again: the statement opened and the decisions applied.
    void applyReconciliation(const ReconciliationController::Saved& saved, const QString& path,
                             const TableChoice::Reading& reading);
    void chooseAndOpenStatement();
    void chooseAndSaveReport();
    void chooseAndSaveReconciliation();
    void chooseAndOpenReconciliation();

    ListController* m_controller;
    ListActions m_actions;
    ItemPanel* m_itemPanel = nullptr;
    SearchPanel* m_searchPanel = nullptr;
    HitPanel* m_hitPanel = nullptr;
    QTabWidget* m_sidePages = nullptr;
    StatementPanel* m_statementPanel = nullptr;
    QString m_listFile; // the file the list was read from; empty for the clipboard
    QLabel* m_statusLabel = nullptr;
};
