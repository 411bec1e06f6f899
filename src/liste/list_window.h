// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/combination_search.h"
#include "core/tables/table_reader.h"

#include <QMainWindow>

class HitModel;
class ItemModel;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;
class SearchController;

// Kalvon Liste's window: a long list of items, the search over it and the hits found.
class ListWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ListWindow(QWidget* parent = nullptr);
    ~ListWindow() override;

    // What the menu commands do once the user has chosen a file or copied a range.
    void openFile(const QString& path);
    void pasteText(const QString& text);
    void exportHits(const QString& path);

    ItemModel* itemModel() const { return m_items; }
    HitModel* hitModel() const { return m_hits; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildActions();
    void buildWidgets();
    void setTabOrder();

    // Runs a command of the user; a failure is told in a message box and the window stays idle.
    template <class F> void guarded(F&& command);
    void showMessage(const QString& text, bool critical = false);
    bool confirmReplace();
    // Reads a table, with the user's choice of sheet and column where it is not clear.
    template <class Read> bool readTable(Read read, ItemTable* table);
    void load(const ItemTable& table, const QString& source);

    void startSearch();
    void setBusy(bool busy);
    void hitChosen(const QModelIndex& current);
    void searchFinished(bool cancelled);
    void showTotal(const QString& status = {});
    void listChanged();
    void settle();
    void copyHit();
    void chooseAndOpen();
    void chooseAndExport();
    void showInfo();
    void updateActions();
    void updateStatus();
    int currentHit() const;
    QString lastFolder() const;
    void rememberFolder(const QString& path);

    ItemModel* m_items;
    HitModel* m_hits;
    SearchController* m_search;
    bool m_busy = false;
    bool m_counted = false;
    CombinationSearch::Total m_total;
    QString m_source;       // the file name or "Zwischenablage", and where in it the list was read
    QString m_totalRowNote; // the total row left out, if any

    QTableView* m_itemView = nullptr;
    QTableView* m_hitView = nullptr;
    QLineEdit* m_target = nullptr;
    QRadioButton* m_exact = nullptr;
    QRadioButton* m_toleranceSearch = nullptr;
    QLineEdit* m_tolerance = nullptr;
    QRadioButton* m_amount = nullptr;
    QRadioButton* m_percent = nullptr;
    QSpinBox* m_maxItems = nullptr;
    QComboBox* m_order = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_totalLabel = nullptr;
    QPushButton* m_settleButton = nullptr;
    QLabel* m_statusLabel = nullptr;

    QAction* m_open = nullptr;
    QAction* m_export = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_copyHit = nullptr;
    QAction* m_settle = nullptr;
    QAction* m_addItem = nullptr;
    QAction* m_removeItems = nullptr;
    QAction* m_stop = nullptr;
    QAction* m_info = nullptr;
};
