// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/tables/item_table.h"
#include "liste/list_actions.h"
#include "liste/table_choice.h"

#include <QMainWindow>

#include <functional>

class HitModel;
class HitPanel;
class ItemModel;
class ItemPanel;
class ListController;
class QLabel;
class SearchPanel;

// Kalvon Liste's window: the item list on the left, the search and the hits on the right. The
// controller holds the list, runs the search and words the status; the window takes the user's
// commands, reads files and the clipboard, and shows what the controller reports.
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

    ListController* controller() const { return m_controller; }
    ItemModel* itemModel() const;
    HitModel* hitModel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildLayout();
    void connectActions();
    void connectController();
    void setTabOrder();

    // Runs a command of the user; a failure is told in a message box and the window stays idle.
    void guarded(const std::function<void()>& command);
    void showMessage(const QString& text, bool critical = false);
    // A question with Ja and Nein; Enter and Escape answer Nein. true: Ja.
    bool ask(const QString& question);
    bool confirmReplace();
    void load(const ItemTable& table, const QString& source);
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

    ListController* m_controller;
    ListActions m_actions;
    ItemPanel* m_itemPanel = nullptr;
    SearchPanel* m_searchPanel = nullptr;
    HitPanel* m_hitPanel = nullptr;
    QLabel* m_statusLabel = nullptr;
};
