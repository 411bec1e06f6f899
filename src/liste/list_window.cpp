// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_window.h"

#include "core/numbers/kalvon_error.h"
#include "frontend/message_box.h"
#include "liste/hit_model.h"
#include "liste/hit_panel.h"
#include "liste/item_model.h"
#include "liste/item_panel.h"
#include "liste/list_controller.h"
#include "liste/reconciliation_controller.h"
#include "liste/search_panel.h"
#include "liste/statement_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>

ListWindow::ListWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_controller(new ListController(this))
    , m_actions(this) {
    setObjectName(QStringLiteral("ListWindow"));
    setWindowTitle(m_controller->windowTitle());
    setAcceptDrops(true);
    buildLayout();
    setTabOrder();
    connectActions();
    connectController();
    connectStatement();
    // Ctrl+Z in a search or matching field does what the menu says it does: it takes back the last
    // change to the list, not the typing in the field.
    for (QWidget* panel : std::initializer_list<QWidget*>{m_searchPanel, m_statementPanel})
        for (QLineEdit* field : panel->findChildren<QLineEdit*>())
            field->installEventFilter(this);

    const QSettings settings;
    if (!restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray()))
        resize(1000, 640);
    updateActions();
    m_statusLabel->setText(m_controller->statusText());
}

ListWindow::~ListWindow() {
    // The worker reports to the controller's models: it ends before they do. What the models
    // and the hit list signal while they are deleted must not reach this part of the window.
    m_controller->stop();
    for (QObject* sender : std::initializer_list<QObject*>{m_controller, m_controller->items(), m_hitPanel,
                                                           reconciliation(), m_statementPanel, m_sidePages})
        sender->disconnect(this);
}

ItemModel* ListWindow::itemModel() const {
    return m_controller->items();
}

HitModel* ListWindow::hitModel() const {
    return m_controller->hits();
}

ReconciliationController* ListWindow::reconciliation() const {
    return m_controller->reconciliation();
}

void ListWindow::buildLayout() {
    m_itemPanel = new ItemPanel(itemModel(), m_actions.addItem, m_actions.removeItems);
    m_searchPanel = new SearchPanel;
    m_hitPanel = new HitPanel(hitModel(), m_actions.settle);
    auto* search = new QWidget;
    auto* searchLayout = new QVBoxLayout(search);
    searchLayout->addWidget(m_searchPanel);
    searchLayout->addWidget(m_hitPanel, 1);
    // The search and the statement share the right side, so that the list stays in view beside
    // either. The pages are switched with their mnemonics or Ctrl+Tab; Tab goes on to the controls.
    m_statementPanel = buildStatementPanel();
    m_sidePages = new QTabWidget;
    m_sidePages->setObjectName(QStringLiteral("tabsSide"));
    m_sidePages->setAccessibleName(QStringLiteral("Suche und Kontoauszug"));
    m_sidePages->addTab(search, QStringLiteral("Such&e"));
    m_sidePages->addTab(m_statementPanel, QStringLiteral("&Kontoauszug"));
    m_sidePages->setFocusPolicy(Qt::NoFocus);
    m_sidePages->tabBar()->setFocusPolicy(Qt::NoFocus);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_itemPanel);
    splitter->addWidget(m_sidePages);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);
    m_statusLabel = new QLabel;
    statusBar()->addWidget(m_statusLabel, 1);
}

void ListWindow::setTabOrder() {
    QList<QWidget*> order{m_itemPanel->view()};
    order << m_searchPanel->tabStops() << m_hitPanel->view();
    order << m_hitPanel->settleButton() << m_statementPanel->tabStops();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void ListWindow::connectActions() {
    connect(m_actions.open, &QAction::triggered, this, &ListWindow::chooseAndOpen);
    connect(m_actions.exportHits, &QAction::triggered, this, &ListWindow::chooseAndExport);
    connect(m_actions.openStatement, &QAction::triggered, this, &ListWindow::chooseAndOpenStatement);
    connect(m_actions.saveReport, &QAction::triggered, this, &ListWindow::chooseAndSaveReport);
    connect(m_actions.saveReconciliation, &QAction::triggered, this,
            &ListWindow::chooseAndSaveReconciliation);
    connect(m_actions.openReconciliation, &QAction::triggered, this,
            &ListWindow::chooseAndOpenReconciliation);
    connect(m_actions.quit, &QAction::triggered, this, &QWidget::close);
    connect(m_actions.undo, &QAction::triggered, this,
            [this] { guarded([this] { itemModel()->undoStack()->undo(); }); });
    connect(m_actions.paste, &QAction::triggered, this,
            [this] { pasteText(QGuiApplication::clipboard()->text()); });
    connect(m_actions.copyHit, &QAction::triggered, this, &ListWindow::copyHit);
    connect(m_actions.settle, &QAction::triggered, this, &ListWindow::settle);
    connect(m_actions.addItem, &QAction::triggered, m_itemPanel, &ItemPanel::addItem);
    connect(m_actions.removeItems, &QAction::triggered, m_itemPanel, &ItemPanel::removeSelected);
    connect(m_actions.stop, &QAction::triggered, m_controller, &ListController::cancel);
    connect(m_actions.info, &QAction::triggered, this, &ListWindow::showInfo);
    connect(m_searchPanel, &SearchPanel::searchRequested, this, &ListWindow::startSearch);
    connect(m_searchPanel, &SearchPanel::stopRequested, m_controller, &ListController::cancel);
    connect(m_hitPanel, &HitPanel::hitChosen, this, &ListWindow::hitChosen);
}

void ListWindow::connectController() {
    ItemModel* items = itemModel();
    connect(
        items, &ItemModel::amountRefused, this, [this](const QString& message) { showMessage(message); },
        Qt::QueuedConnection); // after the editor has closed
    // A label edited keeps the hits; the hit list shows it anew.
    connect(items, &QAbstractItemModel::dataChanged, m_hitPanel->view()->viewport(),
            qOverload<>(&QWidget::update));
    connect(m_controller, &ListController::progress, m_searchPanel, &SearchPanel::setProgress);
    connect(m_controller, &ListController::totalChanged, m_hitPanel, &HitPanel::setTotalText);
    connect(m_controller, &ListController::statusChanged, m_statusLabel, &QLabel::setText);
    connect(m_controller, &ListController::changed, this, &ListWindow::updateActions);
    connect(m_controller, &ListController::searchEnded, this, [this](bool cancelled) {
        if (!cancelled)
            m_hitPanel->chooseFirst();
    });
    connect(m_controller, &ListController::failed, this, [this](const QString& m) { showMessage(m); });
}

void ListWindow::guarded(const std::function<void()>& command) {
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
    MessageBoxService::show({text, MsgButtons::Ok, critical ? MsgIcon::Critical : MsgIcon::Warning,
                             ListController::programName(), MsgAnswer::Ok, this});
}

bool ListWindow::ask(const QString& question) {
    return MessageBoxService::show({question, MsgButtons::YesNo, MsgIcon::Question,
                                    ListController::programName(), MsgAnswer::No, this}) == MsgAnswer::Yes;
}

void ListWindow::startSearch() {
    guarded([this] {
        if (m_controller->isBusy())
            return;
        // An amount still being typed in the list counts.
        m_itemPanel->finishEditing();
        const QString refusal = m_controller->startSearch(m_searchPanel->input());
        if (!refusal.isEmpty())
            showMessage(refusal);
    });
}

void ListWindow::hitChosen(int hit) {
    const int first = m_controller->chooseHit(hit);
    if (first >= 0)
        m_itemPanel->showRow(first);
    updateActions();
}

void ListWindow::settle() {
    guarded([this] {
        const QString note = m_controller->settle(m_hitPanel->currentHit());
        if (!note.isEmpty())
            statusBar()->showMessage(note, 5000);
    });
}

void ListWindow::copyHit() {
    const int hit = m_hitPanel->currentHit();
    if (hit >= 0)
        QGuiApplication::clipboard()->setText(hitModel()->clipboardText(hit));
}

void ListWindow::showInfo() {
    const QString text = QStringLiteral("%1 %2\n\nFindet in langen Listen die Posten, die zusammen einen "
                                        "Zielwert ergeben.\nLizenz: GPL-3.0-or-later")
                             .arg(ListController::programName(), QStringLiteral(KALVON_VERSION));
    MessageBoxService::show(
        {text, MsgButtons::Ok, MsgIcon::Information, QStringLiteral("Info"), MsgAnswer::Ok, this});
}

void ListWindow::updateActions() {
    const bool busy = m_controller->isBusy();
    const bool hitChosen = m_hitPanel->currentHit() >= 0;
    QUndoStack* undo = itemModel()->undoStack();
    m_actions.open->setEnabled(!busy);
    m_actions.paste->setEnabled(!busy);
    m_actions.exportHits->setEnabled(!busy && hitModel()->hitCount() > 0);
    m_actions.copyHit->setEnabled(hitChosen);
    m_actions.settle->setEnabled(!busy && hitChosen);
    m_actions.undo->setEnabled(!busy && undo->canUndo());
    m_actions.undo->setText(undo->canUndo() ? QStringLiteral("&Rückgängig: %1").arg(undo->undoText())
                                            : QStringLiteral("&Rückgängig"));
    m_actions.addItem->setEnabled(!busy);
    m_actions.removeItems->setEnabled(!busy && itemModel()->itemCount() > 0);
    m_actions.stop->setEnabled(busy);
    m_searchPanel->setBusy(busy);
    updateStatementActions();
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool undoKey = (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
                         static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo);
    if (!undoKey || !m_actions.undo->isEnabled())
        return QMainWindow::eventFilter(watched, event);
    // The field is kept from taking the key as its own; the key press then runs the menu's command.
    event->accept();
    if (event->type() == QEvent::KeyPress)
        m_actions.undo->trigger();
    return true;
}

void ListWindow::closeEvent(QCloseEvent* event) {
    if (m_controller->hasChanges() &&
        !ask(QStringLiteral("Beim Beenden gehen die Änderungen und die ausgeglichenen Posten dieser Liste "
                            "verloren. Trotzdem beenden?"))) {
        event->ignore();
        return;
    }
    m_controller->stop();
    QSettings().setValue(QStringLiteral("geometry"), saveGeometry());
    event->accept();
}
