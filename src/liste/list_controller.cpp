// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/list_controller.h"

#include "core/numbers/number_text.h"
#include "core/tables/table_reader.h"
#include "frontend/read_summary.h"
#include "frontend/visible_text.h"
#include "liste/hit_model.h"
#include "liste/item_model.h"
#include "liste/reconciliation_controller.h"
#include "liste/search_controller.h"

#include <QLocale>
#include <QStringList>
#include <QUndoStack>

namespace {

// "Blatt „Offene Posten“, Beträge aus Spalte D („Betrag“)": where in its source a list was read.
QString placeInSource(const ItemTable& table) {
    QStringList where;
    if (!table.sheet.isEmpty())
        where << QStringLiteral("Blatt „%1“").arg(VisibleText::escaped(table.sheet));
    if (table.amountColumn >= 0) {
        const QString letter = TableReader::columnLetter(table.amountColumn);
        where << (table.amountHeader.isEmpty() ? QStringLiteral("Beträge aus Spalte %1").arg(letter)
                                               : QStringLiteral("Beträge aus Spalte %1 („%2“)")
                                                     .arg(letter, VisibleText::escaped(table.amountHeader)));
    }
    return where.join(QStringLiteral(", "));
}

// The amount in text written as accounting exports write it ("14.529,40 €"), in the plain form that
// every reader takes; text that is no amount stays as it is, so that its refusal quotes it.
QString plainAmount(const QString& text) {
    const NumberText::AmountText read = NumberText::readAmount(text);
    return read.ok() ? NumberText::currencyText(read.amount) : text;
}

} // namespace

ListController::ListController(QObject* parent)
    : QObject(parent)
    , m_items(new ItemModel(this))
    , m_hits(new HitModel(m_items, this))
    , m_search(new SearchController(this))
    , m_reader(new FileReader(this))
    , m_reconciliation(new ReconciliationController(m_items, this)) {
    connect(m_items, &ItemModel::listChanged, this, &ListController::listChanged);
    connect(m_reconciliation, &ReconciliationController::busyChanged, this, &ListController::setMatching);
    connect(m_items->undoStack(), &QUndoStack::indexChanged, this, &ListController::changed);
    connectSearch();
}

ListController::~ListController() {
    // The workers report to the models: they end before the models do. The statement's controller
    // works on the item model, which was made before it and would be deleted first.
    m_search->stop();
    m_reader->drop();
    delete m_reconciliation;
    // The models are deleted after this part of the controller; what they signal then (the undo
    // stack clears itself) must not reach it.
    for (QObject* sender : std::initializer_list<QObject*>{m_items, m_items->undoStack(), m_hits, m_search})
        sender->disconnect(this);
}

void ListController::connectSearch() {
    // The hits of the last search stay until a method takes the new one: a refused search keeps them.
    connect(m_search, &SearchController::searching, this, [this] {
        m_hits->clear();
        m_counted = false;
        showTotal(QStringLiteral("Suche läuft …"));
    });
    connect(m_search, &SearchController::progress, this, &ListController::progress);
    connect(m_search, &SearchController::counted, this, [this](const CombinationSearch::Total& total) {
        m_total = total;
        m_counted = true;
        showTotal(QStringLiteral("Suche läuft …"));
    });
    connect(m_search, &SearchController::hitsFound, m_hits, &HitModel::append);
    connect(m_search, &SearchController::finished, this, &ListController::searchFinished);
    connect(m_search, &SearchController::failed, this, [this](const QString& message) {
        setBusy(false);
        showTotal();
        emit failed(message);
    });
}

void ListController::load(const ItemTable& table, const QString& source) {
    m_title = VisibleText::escaped(source);
    m_source = m_title;
    if (const QString place = placeInSource(table); !place.isEmpty())
        m_source += QStringLiteral(", ") + place;
    // The sum rows and hidden rows left out: "; die Summenzeile 12 (10.622,90) ist nicht übernommen".
    const QStringList leftOut = ReadSummary::leftOut(table, QStringLiteral("ist nicht übernommen"),
                                                     QStringLiteral("sind nicht übernommen"));
    m_leftOutNote = leftOut.isEmpty() ? QString() : QStringLiteral("; ") + leftOut.join(QStringLiteral("; "));
    m_items->setItems(table);
    m_counted = false;
    setTotal({});
    emit progress(0);
    emit statusChanged(statusText());
}

QString ListController::windowTitle() const {
    return m_title.isEmpty() ? programName() : QStringLiteral("%1 – %2").arg(m_title, programName());
}

QString ListController::statusText() const {
    if (m_items->itemCount() == 0 && m_source.isEmpty())
        return QStringLiteral("Noch keine Liste: Datei > Öffnen… (Strg+O), eine Datei hierher "
                              "ziehen oder einen kopierten Bereich einfügen (Strg+V).");
    const QLocale locale;
    QString text = QStringLiteral("%1 Posten").arg(locale.toString(m_items->itemCount()));
    if (m_items->settledCount() > 0)
        text += QStringLiteral(", davon %1 ausgeglichen").arg(locale.toString(m_items->settledCount()));
    if (!m_source.isEmpty())
        text = QStringLiteral("%1: %2").arg(m_source, text);
    return text + m_leftOutNote;
}

bool ListController::hasChanges() const {
    return !m_items->undoStack()->isClean();
}

QString ListController::startSearch(const SearchInput& input) {
    if (isBusy())
        return {};
    PreparedSearch prepared = ListSearch::prepare(readable(input), *m_items);
    if (!prepared.refusal.isEmpty())
        return prepared.refusal;
    setBusy(true);
    m_search->start(std::move(prepared));
    setTotal(QStringLiteral("Suche wird vorbereitet…"));
    return {};
}

SearchInput ListController::readable(SearchInput input) {
    input.target = plainAmount(input.target);
    QString tolerance = input.toleranceText.trimmed();
    if (input.tolerance && tolerance.endsWith(QLatin1Char('%'))) {
        tolerance.chop(1);
        input.percent = true;
    }
    input.toleranceText = plainAmount(tolerance.trimmed());
    return input;
}

void ListController::cancel() {
    if (m_reader->isRunning()) {
        m_reader->drop();
        readingEnded();
    }
    m_search->cancel();
    m_reconciliation->cancel();
}

void ListController::stop() {
    m_reader->drop();
    m_search->stop();
    m_reconciliation->stop();
}

bool ListController::read(const QString& fileName, FileReader::Job job, FileReader::Done done) {
    if (isBusy())
        return false;
    setBusy(true);
    emit statusChanged(fileName.isEmpty()
                           ? QStringLiteral("Die Zwischenablage wird gelesen…")
                           : QStringLiteral("„%1“ wird gelesen…").arg(VisibleText::escaped(fileName)));
    return m_reader->start(std::move(job), [this, done = std::move(done)] {
        readingEnded();
        done();
    });
}

void ListController::readingEnded() {
    setBusy(false);
    emit statusChanged(statusText());
}

int ListController::chooseHit(int hit) {
    if (hit < 0 || hit >= m_hits->hitCount()) {
        m_items->setHighlighted({});
        return -1;
    }
    const std::vector<int>& rows = m_hits->hit(hit).rows;
    m_items->setHighlighted(rows);
    return rows.empty() ? -1 : rows.front();
}

QString ListController::settle(int hit) {
    if (isBusy() || hit < 0 || hit >= m_hits->hitCount())
        return {};
    const std::vector<int> rows = m_hits->hit(hit).rows;
    m_items->settle(rows);
    return QStringLiteral("%1 Posten ausgeglichen; „Rückgängig“ nimmt es zurück.")
        .arg(QLocale().toString(qsizetype(rows.size())));
}

void ListController::setBusy(bool busy) {
    m_busy = busy;
    m_items->setLocked(busy);
    emit progress(0);
    emit busyChanged(busy);
    emit changed();
}

void ListController::setMatching(bool matching) {
    m_matching = matching;
    m_items->setLocked(matching);
    emit busyChanged(isBusy());
    emit changed();
}

void ListController::searchFinished(bool cancelled) {
    setBusy(false);
    emit progress(cancelled ? 0 : 1000);
    showTotal(cancelled ? QStringLiteral("Abgebrochen") : QString());
    emit searchEnded(cancelled);
}

void ListController::showTotal(const QString& status) {
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
    setTotal(text);
}

void ListController::setTotal(const QString& text) {
    m_totalText = text;
    emit totalChanged(text);
}

void ListController::listChanged() {
    // The hit list has cleared itself: its hits named rows of the list as it was.
    if (m_counted) {
        m_counted = false;
        setTotal(QStringLiteral("Die Liste hat sich geändert; die Treffer sind entfernt."));
    }
    emit statusChanged(statusText());
    emit changed();
}
