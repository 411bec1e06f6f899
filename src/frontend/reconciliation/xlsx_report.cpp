// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/report_writer.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "frontend/reconciliation/xlsx_library.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace Abgleich {
namespace {

const XlsxLibrary& x() {
    return XlsxLibrary::get();
}

// The green that the windows give the items of a hit.
constexpr lxw_color_t HitGreen = 0xC0FFC0;

enum Kind { Text, Money, Date, Whole, Kinds };

// The cell formats of one workbook: each kind plain, in the hit colour, and the header's.
struct Formats {
    Formats(lxw_workbook* workbook, const QString& currency) {
        const QByteArray money = currency.isEmpty() || currency == QLatin1String("EUR")
                                     ? QByteArrayLiteral("#,##0.00 [$\xE2\x82\xAC-407]")
                                     : QByteArrayLiteral("#,##0.00 \"") + currency.toUtf8() + '"';
        for (int hit = 0; hit < 2; ++hit) {
            for (int kind = 0; kind < Kinds; ++kind) {
                lxw_format* f = x().workbook_add_format(workbook);
                if (kind == Money)
                    x().format_set_num_format(f, money.constData());
                else if (kind == Date)
                    x().format_set_num_format_index(f, 14); // the short date of the reader's region
                else if (kind == Whole)
                    x().format_set_num_format_index(f, 1);
                if (hit) {
                    x().format_set_pattern(f, LXW_PATTERN_SOLID);
                    x().format_set_bg_color(f, HitGreen);
                }
                cells[hit][kind] = f;
            }
        }
        header = x().workbook_add_format(workbook);
        x().format_set_bold(header);
    }
    std::array<std::array<lxw_format*, Kinds>, 2> cells{};
    lxw_format* header = nullptr;
};

// One sheet: the header row frozen with an autofilter over it, then row after row.
class Sheet {
public:
    Sheet(lxw_workbook* workbook, const char* name, const QStringList& titles, const Formats& formats)
        : m_sheet(x().workbook_add_worksheet(workbook, name))
        , m_formats(formats)
        , m_columns(lxw_col_t(titles.size())) {
        for (int c = 0; c < titles.size(); ++c) {
            x().worksheet_write_string(m_sheet, 0, lxw_col_t(c), titles[c].toUtf8().constData(),
                                       formats.header);
            x().worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), qMax(12, int(titles[c].size()) + 4),
                                     nullptr);
        }
        x().worksheet_freeze_panes(m_sheet, 1, 0);
    }
    ~Sheet() { x().worksheet_autofilter(m_sheet, 0, 0, m_row, lxw_col_t(m_columns - 1)); }
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    void next(bool hit = false) {
        ++m_row;
        m_col = 0;
        m_hit = hit;
    }
    void text(const QString& value) {
        if (value.isEmpty())
            x().worksheet_write_blank(m_sheet, m_row, m_col++, format(Text));
        else
            x().worksheet_write_string(m_sheet, m_row, m_col++, value.toUtf8().constData(), format(Text));
    }
    void count(const mpz_class& value) {
        x().worksheet_write_number(m_sheet, m_row, m_col++, value.get_d(), format(Whole));
    }
    void percent(const std::optional<Currency>& value) {
        if (!value)
            return text(QString());
        x().worksheet_write_number(m_sheet, m_row, m_col++, double(value->count()) / double(Currency::Scale),
                                   format(Text));
    }
    void whole(qint64 value) {
        x().worksheet_write_number(m_sheet, m_row, m_col++, double(value), format(Whole));
    }
    void money(const std::optional<Currency>& value) {
        if (!value)
            return text(QString());
        x().worksheet_write_number(m_sheet, m_row, m_col++, double(value->count()) / double(Currency::Scale),
                                   format(Money));
    }
    void date(const QDate& value) {
        if (!value.isValid())
            return text(QString());
        lxw_datetime day{value.year(), value.month(), value.day(), 0, 0, 0.0};
        x().worksheet_write_datetime(m_sheet, m_row, m_col++, &day, format(Date));
    }
    // The payment's first columns: entry, date, payer, amount.
    void payment(const PaymentResult& p) {
        whole(p.entry);
        date(p.date);
        text(p.payer);
        money(p.amount);
    }
    void item(const OpenItem& item) {
        text(item.invoice);
        whole(item.row);
        money(item.amount);
    }

private:
    lxw_format* format(Kind kind) const { return m_formats.cells[m_hit][kind]; }

    lxw_worksheet* m_sheet;
    const Formats& m_formats;
    lxw_col_t m_columns;
    lxw_row_t m_row = 0;
    lxw_col_t m_col = 0;
    bool m_hit = false;
};

QStringList titles(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names)
        list << QString::fromUtf8(name);
    return list;
}

void matchedSheet(lxw_workbook* workbook, const Report& report, const Formats& formats) {
    Sheet sheet(workbook, "Zugeordnet",
                titles({"Buchung", "Datum", "Zahler", "Zahlbetrag", "Belegnr", "Zeile", "Postenbetrag",
                        "Skonto %", "Skonto", "Differenz", "Grundlage"}),
                formats);
    for (const PaymentResult& p : report.payments) {
        if (p.status != Status::Matched)
            continue;
        for (const int index : p.items) {
            sheet.next(true);
            sheet.payment(p);
            sheet.item(report.openItems[std::size_t(index)]);
            sheet.percent(p.skontoPercent);
            sheet.money(p.discount);
            sheet.money(p.difference);
            sheet.text(basisText(p.basis));
        }
    }
}

void ambiguousSheet(lxw_workbook* workbook, const Report& report, const Formats& formats) {
    Sheet sheet(workbook, "Mehrdeutig",
                titles({"Buchung", "Datum", "Zahler", "Zahlbetrag", "Möglichkeiten", "Möglichkeit", "Belegnr",
                        "Zeile", "Postenbetrag", "Verwendungszweck"}),
                formats);
    for (const PaymentResult& p : report.payments) {
        if (p.status != Status::Ambiguous)
            continue;
        for (std::size_t set = 0; set < p.candidates.size(); ++set) {
            for (const int index : p.candidates[set]) {
                sheet.next();
                sheet.payment(p);
                sheet.count(p.alternatives);
                sheet.whole(qint64(set + 1));
                sheet.item(report.openItems[std::size_t(index)]);
                sheet.text(p.text);
            }
        }
    }
}

void partialSheet(lxw_workbook* workbook, const Report& report, const Formats& formats) {
    Sheet sheet(workbook, "Teilzahlungen",
                titles({"Buchung", "Datum", "Zahler", "Zahlbetrag", "Belegnr", "Zeile", "Postenbetrag",
                        "Rest", "Grundlage"}),
                formats);
    for (const PaymentResult& p : report.payments) {
        if (p.status != Status::Partial)
            continue;
        for (const int index : p.items) {
            sheet.next();
            sheet.payment(p);
            sheet.item(report.openItems[std::size_t(index)]);
            sheet.money(p.remainder);
            sheet.text(basisText(p.basis));
        }
    }
}

void unmatchedSheet(lxw_workbook* workbook, const Report& report, const Formats& formats) {
    Sheet sheet(workbook, "Nicht zugeordnet",
                titles({"Buchung", "Datum", "Zahler", "Betrag", "Status", "Verwendungszweck"}), formats);
    for (const PaymentResult& p : report.payments) {
        if (p.status != Status::Unmatched && p.status != Status::LeftOut)
            continue;
        sheet.next();
        sheet.payment(p);
        sheet.text(statusText(p));
        sheet.text(p.text);
    }
}

void itemsSheet(lxw_workbook* workbook, const Report& report, const Formats& formats) {
    Sheet sheet(workbook, "Offene Posten",
                titles({"Zeile", "Belegnr", "Kunde", "Datum", "Betrag", "Status", "Buchung"}), formats);
    const std::vector<int> settledBy = report.settledBy();
    for (std::size_t i = 0; i < report.openItems.size(); ++i) {
        const OpenItem& item = report.openItems[i];
        sheet.next(settledBy[i] != 0);
        sheet.whole(item.row);
        sheet.text(item.invoice);
        sheet.text(item.customer);
        sheet.date(item.date);
        sheet.money(item.amount);
        sheet.text(settledBy[i] ? QStringLiteral("ausgeglichen") : QStringLiteral("offen"));
        if (settledBy[i])
            sheet.whole(settledBy[i]);
        else
            sheet.text(QString());
    }
}

KalvonError failure(const QString& path, const QString& reason) {
    return KalvonError::unreadable(
        QStringLiteral("Die Arbeitsmappe „%1“ lässt sich nicht schreiben: %2.").arg(path, reason));
}

} // namespace

void writeXlsx(const Report& report, const QString& path) {
    const QFileInfo target(path);
    QTemporaryFile temporary(
        target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!temporary.open())
        throw failure(path, temporary.errorString());
    temporary.close();
    const QByteArray temporaryName = QFile::encodeName(temporary.fileName());
    lxw_workbook* workbook = x().workbook_new(temporaryName.constData());
    if (!workbook)
        throw failure(path, QStringLiteral("kein Speicher"));
    {
        const Formats formats(workbook, report.source.currency);
        matchedSheet(workbook, report, formats);
        ambiguousSheet(workbook, report, formats);
        partialSheet(workbook, report, formats);
        unmatchedSheet(workbook, report, formats);
        itemsSheet(workbook, report, formats);
    }
    const lxw_error closed = x().workbook_close(workbook);
    if (closed != LXW_NO_ERROR)
        throw failure(path, QString::fromUtf8(x().lxw_strerror(closed)));
    // The file gets the permissions a new file of the user gets, not those of a temporary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temporaryName.constData(), 0666 & ~mask);
    if (std::rename(temporaryName.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw failure(path, QString::fromLocal8Bit(std::strerror(errno)));
    temporary.setAutoRemove(false);
}

} // namespace Abgleich
