// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"
#include "core/tables/read_options.h"
#include "frontend/reconciliation/report.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class ItemModel;
class PaymentModel;
class CandidateModel;
class QSortFilterProxyModel;

// The options of the matching as Kalvon Liste's controls set them; the same as kalvon-abgleich's.
struct MatchSettings {
    int maxItems = 4;
    Currency tolerance;
    std::vector<Currency> skontoPercents{Currency::fromCount(2 * Currency::Scale),
                                         Currency::fromCount(3 * Currency::Scale)};
    int days = 180;
    // The list's column of customer numbers or names, 0-based; -1: as the list was read.
    int customerColumn = -1;
};

// A bank statement worked through beside the open-item list, without widgets: the statement read,
// the matching run on a worker thread over the open items of the list, the payments with their
// status and candidate sets, and the user's decisions. Accepting settles the items in the item
// model, through its undo stack, so that "Rückgängig" takes each step back whole.
class ReconciliationController : public QObject {
    Q_OBJECT

public:
    // The payment filter's choices, in the order the filter lists them.
    enum class Filter { All, Matched, Partial, Ambiguous, Unmatched, LeftOut };

    explicit ReconciliationController(ItemModel* items, QObject* parent = nullptr);
    // Ends a running matching and waits for it.
    ~ReconciliationController() override;

    // True when the bytes look like a camt.053, MT940 or bank CSV statement rather than a table of
    // open items (for a dropped file).
    static bool looksLikeStatement(const QString& path);

    // Reads the statement; a file that cannot be read throws KalvonError and changes nothing.
    void openStatement(const QString& path);
    bool hasStatement() const;
    QString statementFile() const;
    // The list's file, as the report and a saved reconciliation name it.
    void setItemsSource(const QString& path);
    // The header texts of the list's columns (TableReader::Layout::columnTitles), for the report's
    // names of the customer and date columns; without them it names their letters.
    void setItemsColumns(const QStringList& titles);

    MatchSettings settings() const;
    void setSettings(const MatchSettings& settings);

    // Matches the undecided payments against the open items on a worker thread; false while
    // another matching or nothing to match. Progress, the result or a failure come back as signals.
    bool startMatching();
    bool isRunning() const;
    void cancel();
    // Cancels and waits; nothing of that matching is reported any more.
    void stop();

    PaymentModel* payments() const;
    // The payments as the filter shows them.
    QSortFilterProxyModel* filteredPayments() const;
    void setFilter(Filter filter);
    // The filter's choices as the combo box lists them, in the order of Filter.
    static QStringList filterTexts();
    // The candidate sets of the chosen payment.
    CandidateModel* candidates() const;

    // Chooses a payment by its index in the report (-1: none): its items are shown in the hit
    // colour in the item model and its candidate sets listed. Returns the item model's first row
    // of its items, or -1.
    int choosePayment(int payment);
    int chosenPayment() const;
    // The chosen payment's details: basis, Skonto rate and discount, difference, remainder.
    QString detailsText() const;
    // Shows the items of the chosen payment's candidate set `candidate` in the hit colour (-1: the
    // payment's own items again); returns the item model's first row of them, or -1.
    int chooseCandidate(int candidate);

    // Assigns candidate set `candidate` of the chosen payment to it and settles its items (a
    // partial payment's items stay open), one step of the undo stack; the remaining undecided
    // payments are matched again without those items. Throws KalvonError when that cannot be.
    void acceptCandidate(int candidate);
    // Settles the items of every matched payment at once, one step of the undo stack; returns how
    // many payments were settled. Partial payments stay undecided: their items stay open.
    int acceptAll();
    // Assigns these item model rows to the chosen payment by hand (one undo step), settled as
    // acceptCandidate does; the others are matched again. Throws KalvonError when that cannot be.
    void assign(const std::vector<int>& rows);
    // True when the payment (index in the report) was accepted or assigned by the user.
    bool isDecided(int payment) const;
    // The sum of these rows and its difference to the chosen payment, for the live display.
    QString assignText(const std::vector<int>& rows) const;

    // The statement as worked through so far: what the report and the status line show.
    Abgleich::Report report() const;
    QString summaryText() const;
    // Writes the report as kalvon-abgleich does: an .xlsx workbook or, for a name ending in .csv,
    // the CSV. Throws KalvonError with the German message.
    void saveReport(const QString& path) const;

    // A reconciliation in progress as a small JSON file: the statement's and the list's files,
    // the settings and the decisions. An existing file is replaced only when replace is true (the
    // caller asks first); throws KalvonError.
    void saveReconciliation(const QString& path, bool replace = false) const;
    // What a saved reconciliation needs read again before its decisions apply.
    struct Saved {
        QString statementFile;
        QString itemsFile;
        QString itemsSheet;
        int itemsColumn = -1;
        int itemsHeaderRow = 0;
        // How to read the list again as it was read: its sheet, amount column and header row, and
        // the roles the matching needs (customer, IBAN, date, the invoice number as label).
        TableReader::Options readOptions() const;
    };
    // Throws KalvonError when the file is no saved reconciliation, or the statement or the list
    // has changed since it was saved.
    static Saved readSaved(const QString& path);
    // Applies a saved reconciliation's settings and decisions once its statement and list are
    // read again (one undo step), then matches the rest; throws KalvonError when they no longer
    // fit (an item or payment missing) and changes nothing then.
    void applySaved(const QString& path);

    // What the controller holds; defined where it is implemented.
    struct State;

signals:
    void busyChanged(bool busy);
    void progress(int permille);
    // The matching ended; the models show its result.
    void matched(bool cancelled);
    void failed(const QString& message);
    // The payments, their status or the decisions changed.
    void changed();

private:
    friend class DecisionCommand;
    void startRun();
    void runEnded(bool cancelled);
    void compose();
    void decisionsChanged();
    void listReset();

    std::unique_ptr<State> m_state;
};
