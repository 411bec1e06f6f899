// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_window.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "liste/column_dialog.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/list_message.h"
#include "liste/list_search.h"
#include "liste/search_controller.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const QString ProgramName = QStringLiteral("Kalvon Liste");

// The wait cursor for as long as the window reads a table.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QAction* action(QObject* parent, const char* name, const QString& text, const QKeySequence& keys = {}) {
    auto* a = new QAction(text, parent);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    return a;
}

template <class W> W* named(W* widget, const char* name, const QString& accessibleName) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QTableView* tableView(const char* name, const QString& accessibleName) {
    auto* view = named(new QTableView, name, accessibleName);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setTabKeyNavigation(false); // Tab leaves the table for the next control
    view->verticalHeader()->hide();
    // Fixed row heights keep the view fast with a hundred thousand rows.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setWordWrap(false);
    return view;
}

} // namespace

ListWindow::ListWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_items(new ItemModel(this))
    , m_hits(new HitModel(m_items, this))
    , m_search(new SearchController(this)) {
    setObjectName(QStringLiteral("ListWindow"));
    setWindowTitle(ProgramName);
    setAcceptDrops(true);
    buildActions();
    buildWidgets();
    setTabOrder();

    connect(
        m_items, &ItemModel::amountRefused, this, [this](const QString& message) { showMessage(message); },
        Qt::QueuedConnection); // after the editor has closed
    connect(m_items, &ItemModel::listChanged, this, &ListWindow::listChanged);
    // A label edited keeps the hits; the hit list shows it anew.
    connect(m_items, &QAbstractItemModel::dataChanged, m_hitView->viewport(), qOverload<>(&QWidget::update));
    connect(m_items->undoStack(), &QUndoStack::indexChanged, this, &ListWindow::updateActions);
    connect(m_hitView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ListWindow::hitChosen);
    // A cleared hit list resets its selection without a signal: no hit is chosen any more.
    connect(m_hits, &QAbstractItemModel::modelReset, this, [this] { hitChosen({}); });
    // The hits of the last search stay until a method takes the new one: a refused search keeps them.
    connect(m_search, &SearchController::searching, this, [this] {
        m_hits->clear();
        m_counted = false;
        showTotal(QStringLiteral("Suche läuft …"));
    });
    connect(m_search, &SearchController::progress, m_progress, &QProgressBar::setValue);
    connect(m_search, &SearchController::counted, this, [this](const CombinationSearch::Total& total) {
        m_total = total;
        m_counted = true;
        showTotal(QStringLiteral("Suche läuft …"));
    });
    connect(m_search, &SearchController::hitsFound, m_hits, &HitModel::append);
    connect(m_search, &SearchController::finished, this, &ListWindow::searchFinished);
    connect(m_search, &SearchController::failed, this, [this](const QString& message) {
        setBusy(false);
        showTotal();
        showMessage(message);
    });

    const QSettings settings;
    if (!restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray()))
        resize(1000, 640);
    updateActions();
    updateStatus();
}

ListWindow::~ListWindow() {
    // The worker reports to this window's models: it ends before they do.
    m_search->stop();
    // The children are deleted after this part of the window; what they signal then (the undo
    // stack clears itself) must not reach it.
    for (QObject* sender : std::initializer_list<QObject*>{m_items, m_items->undoStack(), m_hits,
                                                           m_hitView->selectionModel(), m_search})
        sender->disconnect(this);
}

void ListWindow::buildActions() {
    m_open = action(this, "actionOpen", QStringLiteral("Ö&ffnen…"), QKeySequence::Open);
    m_export = action(this, "actionExport", QStringLiteral("Treffer &exportieren…"));
    m_quit = action(this, "actionQuit", QStringLiteral("&Beenden"), QKeySequence::Quit);
    m_undo = action(this, "actionUndo", QStringLiteral("&Rückgängig"), QKeySequence::Undo);
    m_paste = action(this, "actionPaste", QStringLiteral("&Einfügen"), QKeySequence::Paste);
    m_copyHit = action(this, "actionCopyHit", QStringLiteral("Treffer &kopieren"), QKeySequence::Copy);
    m_settle = action(this, "actionSettle", QStringLiteral("&Ausgleichen"));
    m_addItem = action(this, "actionAddItem", QStringLiteral("Posten &hinzufügen"), Qt::Key_Insert);
    m_removeItems =
        action(this, "actionRemoveItems", QStringLiteral("Posten &löschen"), QKeySequence::Delete);
    m_stop = action(this, "actionStop", QStringLiteral("Suche abbrechen"), Qt::Key_Escape);
    m_info = action(this, "actionInfo", QStringLiteral("&Info"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->addAction(m_open);
    file->addAction(m_export);
    file->addSeparator();
    file->addAction(m_quit);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    edit->addAction(m_undo);
    edit->addSeparator();
    edit->addAction(m_paste);
    edit->addAction(m_copyHit);
    edit->addAction(m_settle);
    edit->addSeparator();
    edit->addAction(m_addItem);
    edit->addAction(m_removeItems);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    help->addAction(m_info);
    addAction(m_stop);

    connect(m_open, &QAction::triggered, this, &ListWindow::chooseAndOpen);
    connect(m_export, &QAction::triggered, this, &ListWindow::chooseAndExport);
    connect(m_quit, &QAction::triggered, this, &QWidget::close);
    connect(m_undo, &QAction::triggered, this, [this] { guarded([this] { m_items->undoStack()->undo(); }); });
    connect(m_paste, &QAction::triggered, this, [this] { pasteText(QGuiApplication::clipboard()->text()); });
    connect(m_copyHit, &QAction::triggered, this, &ListWindow::copyHit);
    connect(m_settle, &QAction::triggered, this, &ListWindow::settle);
    connect(m_addItem, &QAction::triggered, this, [this] {
        const int row = m_items->addItem();
        if (row < 0)
            return;
        const QModelIndex amount = m_items->index(row, ItemModel::AmountColumn);
        m_itemView->setCurrentIndex(amount);
        m_itemView->setFocus();
        m_itemView->edit(amount);
    });
    connect(m_removeItems, &QAction::triggered, this, [this] {
        std::vector<int> rows;
        for (const QModelIndex& index : m_itemView->selectionModel()->selectedRows())
            rows.push_back(index.row());
        m_items->removeItems(rows);
    });
    connect(m_stop, &QAction::triggered, m_search, &SearchController::cancel);
    connect(m_info, &QAction::triggered, this, &ListWindow::showInfo);
}

void ListWindow::buildWidgets() {
    m_itemView = tableView("tableItems", QStringLiteral("Posten"));
    m_itemView->setModel(m_items);
    m_itemView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    // The label takes the room there is; row and amount keep their widths.
    m_itemView->horizontalHeader()->resizeSection(ItemModel::RowColumn, 70);
    m_itemView->horizontalHeader()->resizeSection(ItemModel::AmountColumn, 120);
    m_itemView->horizontalHeader()->setSectionResizeMode(ItemModel::LabelColumn, QHeaderView::Stretch);
    // Adding and deleting items: keys in the table, and its context menu.
    for (QAction* a : {m_addItem, m_removeItems}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_itemView->addAction(a);
    }
    m_itemView->setContextMenuPolicy(Qt::ActionsContextMenu);

    m_target = named(new QLineEdit, "editTarget", QStringLiteral("Zielwert"));
    m_exact = named(new QRadioButton(QStringLiteral("gen&aue Suche")), "optionExact",
                    QStringLiteral("genaue Suche"));
    m_toleranceSearch = named(new QRadioButton(QStringLiteral("&Toleranzsuche")), "optionTolerance",
                              QStringLiteral("Toleranzsuche"));
    m_tolerance = named(new QLineEdit, "editTolerance", QStringLiteral("Toleranz"));
    m_amount = named(new QRadioButton(QStringLiteral("Betra&g")), "optionAmount",
                     QStringLiteral("Toleranz als Betrag"));
    m_percent = named(new QRadioButton(QStringLiteral("&Prozent")), "optionPercent",
                      QStringLiteral("Toleranz in Prozent des Zielwerts"));
    m_maxItems = named(new QSpinBox, "spinMaxItems", QStringLiteral("höchstens so viele Posten je Treffer"));
    m_maxItems->setRange(0, 999);
    m_maxItems->setSpecialValueText(QStringLiteral("beliebig viele"));
    m_order = named(new QComboBox, "comboOrder", QStringLiteral("Reihenfolge der Treffer"));
    m_order->addItem(QStringLiteral("Kombinationsnummer"), int(CombinationSearch::Order::Window));
    m_order->addItem(QStringLiteral("wenigste Posten zuerst"), int(CombinationSearch::Order::Items));
    m_order->addItem(QStringLiteral("nächste Summe zuerst"), int(CombinationSearch::Order::Difference));
    m_searchButton =
        named(new QPushButton(QStringLiteral("&Suchen")), "buttonSearch", QStringLiteral("Suchen"));
    m_stopButton =
        named(new QPushButton(QStringLiteral("Abbrechen")), "buttonStop", QStringLiteral("Abbrechen"));
    m_progress = named(new QProgressBar, "progressSearch", QStringLiteral("Fortschritt der Suche"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);

    // Each pair of options is a group of its own.
    auto* mode = new QButtonGroup(this);
    mode->addButton(m_exact);
    mode->addButton(m_toleranceSearch);
    auto* kind = new QButtonGroup(this);
    kind->addButton(m_amount);
    kind->addButton(m_percent);
    m_exact->setChecked(true);
    m_amount->setChecked(true);
    auto toleranceShown = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{m_tolerance, m_amount, m_percent})
            w->setEnabled(m_toleranceSearch->isChecked());
    };
    connect(m_toleranceSearch, &QRadioButton::toggled, this, toleranceShown);
    toleranceShown();

    auto* searchBox = new QGroupBox(QStringLiteral("Suche"));
    auto* grid = new QGridLayout(searchBox);
    grid->addWidget(buddyLabel(QStringLiteral("&Zielwert:"), m_target), 0, 0);
    grid->addWidget(m_target, 0, 1, 1, 3);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(m_exact);
    modeRow->addWidget(m_toleranceSearch);
    modeRow->addStretch();
    grid->addLayout(modeRow, 1, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("T&oleranz:"), m_tolerance), 2, 0);
    grid->addWidget(m_tolerance, 2, 1);
    grid->addWidget(m_amount, 2, 2);
    grid->addWidget(m_percent, 2, 3);
    grid->addWidget(buddyLabel(QStringLiteral("hö&chstens:"), m_maxItems), 3, 0);
    auto* maxRow = new QHBoxLayout;
    maxRow->addWidget(m_maxItems);
    maxRow->addWidget(new QLabel(QStringLiteral("Posten")));
    maxRow->addStretch();
    grid->addLayout(maxRow, 3, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("&Reihenfolge:"), m_order), 4, 0);
    grid->addWidget(m_order, 4, 1, 1, 3);
    auto* run = new QHBoxLayout;
    run->addWidget(m_searchButton);
    run->addWidget(m_stopButton);
    run->addWidget(m_progress, 1);
    grid->addLayout(run, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    // Enter anywhere in the search fields starts the search.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter =
            new QShortcut(QKeySequence(key), searchBox, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, &ListWindow::startSearch);
    }
    connect(m_searchButton, &QPushButton::clicked, this, &ListWindow::startSearch);
    connect(m_stopButton, &QPushButton::clicked, m_search, &SearchController::cancel);

    m_hitView = tableView("tableHits", QStringLiteral("Treffer"));
    m_hitView->setModel(m_hits);
    m_hitView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_hitView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_hitView->horizontalHeader()->resizeSection(HitModel::NumberColumn, 60);
    m_hitView->horizontalHeader()->resizeSection(HitModel::SumColumn, 110);
    m_hitView->horizontalHeader()->resizeSection(HitModel::DifferenceColumn, 90);
    m_hitView->horizontalHeader()->setSectionResizeMode(HitModel::ItemsColumn, QHeaderView::Stretch);
    m_totalLabel = named(new QLabel, "labelTotal", QStringLiteral("Zahl der Treffer"));
    m_totalLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_settleButton =
        named(new QPushButton(QStringLiteral("A&usgleichen")), "buttonSettle", QStringLiteral("Ausgleichen"));
    m_settleButton->setToolTip(
        QStringLiteral("Die Posten des gewählten Treffers als ausgeglichen markieren"));
    connect(m_settleButton, &QPushButton::clicked, m_settle, &QAction::trigger);
    auto* hitBox = new QGroupBox(QStringLiteral("Treffer"));
    auto* hitLayout = new QVBoxLayout(hitBox);
    hitLayout->addWidget(m_hitView);
    auto* hitFoot = new QHBoxLayout;
    hitFoot->addWidget(m_totalLabel, 1);
    hitFoot->addWidget(m_settleButton);
    hitLayout->addLayout(hitFoot);

    auto* itemBox = new QGroupBox(QStringLiteral("Posten"));
    auto* itemLayout = new QVBoxLayout(itemBox);
    itemLayout->addWidget(m_itemView);
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(searchBox);
    rightLayout->addWidget(hitBox, 1);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(itemBox);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    m_statusLabel = new QLabel;
    statusBar()->addWidget(m_statusLabel, 1);
}

void ListWindow::setTabOrder() {
    const QList<QWidget*> order{m_itemView,   m_target,  m_exact,       m_toleranceSearch, m_tolerance,
                                m_amount,     m_percent, m_maxItems,    m_order,           m_searchButton,
                                m_stopButton, m_hitView, m_settleButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

template <class F> void ListWindow::guarded(F&& command) {
    try {
        command();
    } catch (const KalvonError& e) {
        showMessage(e.userMessage());
    } catch (const std::exception&) {
        showMessage(
            QStringLiteral(
                "Der Befehl ist an einem unerwarteten Fehler gescheitert (zu wenig Arbeitsspeicher?)."),
            true);
    }
}

void ListWindow::showMessage(const QString& text, bool critical) {
    ListMessageBox::show(this, {critical ? ListMessage::Icon::Critical : ListMessage::Icon::Warning,
                                ProgramName, text, false});
}

bool ListWindow::confirmReplace() {
    if (m_items->undoStack()->count() == 0)
        return true;
    return ListMessageBox::show(
        this, {ListMessage::Icon::Question, ProgramName,
               QStringLiteral("Die neue Liste ersetzt die bisherige mit allen Änderungen und ausgeglichenen "
                              "Posten. Fortfahren?"),
               true});
}

template <class Read> bool ListWindow::readTable(Read read, ItemTable* table) {
    TableReader::Layout layout;
    QString failure;
    try {
        const WaitCursor wait;
        *table = read(TableReader::Options(), &layout);
    } catch (const KalvonError& e) {
        // A workbook whose first sheet holds no list: another sheet may.
        if (ColumnDialog::visibleSheets(layout) < 2)
            throw;
        failure = e.userMessage();
    }
    if (failure.isEmpty() && !ColumnDialog::needsChoice(layout))
        return true;
    const QStringList sheets = layout.sheets;
    ColumnDialog dialog(
        layout, failure.isEmpty() ? table->amountColumn : -1, failure,
        [&](int sheet) {
            const WaitCursor wait;
            TableReader::Options options;
            options.sheet = sheets.value(sheet);
            TableReader::Layout other;
            read(options, &other);
            return other;
        },
        this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const WaitCursor wait;
    *table = read(dialog.options(), nullptr);
    return true;
}

void ListWindow::openFile(const QString& path) {
    guarded([&] {
        if (m_busy || !confirmReplace())
            return;
        ItemTable table;
        const auto read = [&](const TableReader::Options& options, TableReader::Layout* layout) {
            return TableReader::readFile(path, options, layout);
        };
        if (!readTable(read, &table))
            return;
        rememberFolder(path);
        load(table, QFileInfo(path).fileName());
    });
}

void ListWindow::pasteText(const QString& text) {
    guarded([&] {
        if (m_busy)
            return;
        if (text.trimmed().isEmpty()) {
            showMessage(
                QStringLiteral("Die Zwischenablage enthält keinen Text. Kopieren Sie zuerst einen Bereich "
                               "aus der Tabellenkalkulation."));
            return;
        }
        if (!confirmReplace())
            return;
        ItemTable table;
        const auto read = [&](const TableReader::Options& options, TableReader::Layout* layout) {
            return TableReader::readText(text, options, layout);
        };
        if (readTable(read, &table))
            load(table, QStringLiteral("Zwischenablage"));
    });
}

void ListWindow::load(const ItemTable& table, const QString& source) {
    m_source = source;
    QStringList where;
    if (!table.sheet.isEmpty())
        where << QStringLiteral("Blatt „%1“").arg(table.sheet);
    if (table.amountColumn >= 0) {
        const QString letter = TableReader::columnLetter(table.amountColumn);
        where << (table.amountHeader.isEmpty()
                      ? QStringLiteral("Beträge aus Spalte %1").arg(letter)
                      : QStringLiteral("Beträge aus Spalte %1 („%2“)").arg(letter, table.amountHeader));
    }
    if (!where.isEmpty())
        m_source += QStringLiteral(", ") + where.join(QStringLiteral(", "));
    m_totalRowNote = table.totalRow ? QStringLiteral("; die Summenzeile %1 (%2) ist nicht übernommen")
                                          .arg(table.totalRow->row)
                                          .arg(NumberText::formatAmount(table.totalRow->amount))
                                    : QString();
    m_items->setItems(table);
    m_counted = false;
    m_totalLabel->clear();
    m_progress->setValue(0);
    m_itemView->resizeColumnToContents(ItemModel::AmountColumn);
    m_itemView->scrollToTop();
    setWindowTitle(QStringLiteral("%1 – %2").arg(source, ProgramName));
    updateStatus();
}

void ListWindow::exportHits(const QString& path) {
    guarded([&] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_hits->csv()) < 0 || !file.commit()) {
            showMessage(QStringLiteral("Die Datei „%1“ lässt sich nicht schreiben: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
            return;
        }
        rememberFolder(path);
        statusBar()->showMessage(QStringLiteral("%1 Treffer nach „%2“ exportiert.")
                                     .arg(QLocale().toString(m_hits->hitCount()), QFileInfo(path).fileName()),
                                 5000);
    });
}

void ListWindow::startSearch() {
    guarded([this] {
        if (m_busy)
            return;
        // An amount still being typed in the list counts: its editor hands it over as it loses
        // the focus.
        if (const QWidget* editor = QApplication::focusWidget(); editor && m_itemView->isAncestorOf(editor))
            m_itemView->setFocus();
        SearchInput input;
        input.target = m_target->text();
        input.tolerance = m_toleranceSearch->isChecked();
        input.toleranceText = m_tolerance->text();
        input.percent = m_percent->isChecked();
        input.maxItems = m_maxItems->value();
        input.order = CombinationSearch::Order(m_order->currentData().toInt());
        PreparedSearch prepared = ListSearch::prepare(input, *m_items);
        if (!prepared.refusal.isEmpty()) {
            showMessage(prepared.refusal);
            return;
        }
        setBusy(true);
        m_search->start(std::move(prepared));
        m_totalLabel->setText(QStringLiteral("Suche wird vorbereitet…"));
    });
}

void ListWindow::setBusy(bool busy) {
    m_busy = busy;
    m_items->setLocked(busy);
    m_progress->setValue(0);
    updateActions();
}

void ListWindow::searchFinished(bool cancelled) {
    setBusy(false);
    m_progress->setValue(cancelled ? 0 : m_progress->maximum());
    showTotal(cancelled ? QStringLiteral("Abgebrochen") : QString());
    if (!cancelled && m_hits->hitCount() > 0 && !m_hitView->currentIndex().isValid())
        m_hitView->setCurrentIndex(m_hits->index(0, HitModel::ItemsColumn));
}

void ListWindow::showTotal(const QString& status) {
    QString text;
    if (m_counted) {
        const QString count = NumberText::formatCount(m_total.count);
        if (m_total.count == 0)
            text = QStringLiteral("Es wurde keine Kombination gefunden.");
        else if (m_total.atLeast)
            text = QStringLiteral("Mindestens %1 Treffer").arg(count);
        else
            text = QStringLiteral("Insgesamt %1 Treffer").arg(count);
        if (m_total.count > m_hits->hitCount() && !m_busy && status.isEmpty())
            text += QStringLiteral(", die ersten %1 aufgeführt").arg(QLocale().toString(m_hits->hitCount()));
    }
    if (!status.isEmpty())
        text = text.isEmpty() ? status : QStringLiteral("%1 – %2").arg(status, text);
    m_totalLabel->setText(text);
}

void ListWindow::hitChosen(const QModelIndex& current) {
    if (!current.isValid() || current.row() >= m_hits->hitCount()) {
        m_items->setHighlighted({});
    } else {
        const std::vector<int>& rows = m_hits->hit(current.row()).rows;
        m_items->setHighlighted(rows);
        if (!rows.empty())
            m_itemView->scrollTo(m_items->index(rows.front(), ItemModel::AmountColumn),
                                 QAbstractItemView::PositionAtCenter);
    }
    updateActions();
}

void ListWindow::listChanged() {
    // The hit list has cleared itself: its hits named rows of the list as it was.
    if (m_counted) {
        m_counted = false;
        m_totalLabel->setText(QStringLiteral("Die Liste hat sich geändert; die Treffer sind entfernt."));
    }
    updateStatus();
    updateActions();
}

void ListWindow::settle() {
    guarded([this] {
        const int hit = currentHit();
        if (m_busy || hit < 0)
            return;
        const std::vector<int> rows = m_hits->hit(hit).rows;
        m_items->settle(rows);
        statusBar()->showMessage(
            QStringLiteral("%1 Posten ausgeglichen; „Rückgängig“ nimmt es zurück.").arg(rows.size()), 5000);
    });
}

void ListWindow::copyHit() {
    const int hit = currentHit();
    if (hit >= 0)
        QGuiApplication::clipboard()->setText(m_hits->clipboardText(hit));
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

void ListWindow::showInfo() {
    ListMessageBox::show(this,
                         {ListMessage::Icon::Information, QStringLiteral("Info"),
                          QStringLiteral("%1 %2\n\nFindet in langen Listen die Posten, die zusammen einen "
                                         "Zielwert ergeben.\nLizenz: GPL-3.0-or-later")
                              .arg(ProgramName, QStringLiteral(KALVON_VERSION)),
                          false});
}

void ListWindow::updateActions() {
    const bool hitChosen = currentHit() >= 0;
    m_open->setEnabled(!m_busy);
    m_paste->setEnabled(!m_busy);
    m_export->setEnabled(!m_busy && m_hits->hitCount() > 0);
    m_copyHit->setEnabled(hitChosen);
    m_settle->setEnabled(!m_busy && hitChosen);
    m_settleButton->setEnabled(m_settle->isEnabled());
    m_undo->setEnabled(!m_busy && m_items->undoStack()->canUndo());
    m_undo->setText(m_items->undoStack()->canUndo()
                        ? QStringLiteral("&Rückgängig: %1").arg(m_items->undoStack()->undoText())
                        : QStringLiteral("&Rückgängig"));
    m_addItem->setEnabled(!m_busy);
    m_removeItems->setEnabled(!m_busy && m_items->itemCount() > 0);
    m_stop->setEnabled(m_busy);
    m_searchButton->setEnabled(!m_busy);
    m_stopButton->setEnabled(m_busy);
}

void ListWindow::updateStatus() {
    if (m_items->itemCount() == 0 && m_source.isEmpty()) {
        m_statusLabel->setText(
            QStringLiteral("Noch keine Liste: Datei > Öffnen… (Strg+O), eine Datei hierher "
                           "ziehen oder einen kopierten Bereich einfügen (Strg+V)."));
        return;
    }
    const QLocale locale;
    QString text = QStringLiteral("%1 Posten").arg(locale.toString(m_items->itemCount()));
    if (m_items->settledCount() > 0)
        text += QStringLiteral(", davon %1 ausgeglichen").arg(locale.toString(m_items->settledCount()));
    if (!m_source.isEmpty())
        text = QStringLiteral("%1: %2").arg(m_source, text);
    m_statusLabel->setText(text + m_totalRowNote);
}

int ListWindow::currentHit() const {
    const QModelIndex current = m_hitView->currentIndex();
    return current.isValid() && current.row() < m_hits->hitCount() ? current.row() : -1;
}

QString ListWindow::lastFolder() const {
    const QString folder = QSettings().value(QStringLiteral("lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void ListWindow::rememberFolder(const QString& path) {
    QSettings().setValue(QStringLiteral("lastFolder"), QFileInfo(path).absolutePath());
}

void ListWindow::closeEvent(QCloseEvent* event) {
    m_search->stop();
    QSettings().setValue(QStringLiteral("geometry"), saveGeometry());
    event->accept();
}

void ListWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!m_busy && !urls.isEmpty() && urls.constFirst().isLocalFile())
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
        this, [this, path] { openFile(path); }, Qt::QueuedConnection);
}
