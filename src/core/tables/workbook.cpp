// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/workbook.h"

#include "core/numbers/kalvon_error.h"
#include "core/numbers/number_text.h"
#include "core/tables/workbook_formats.h"
#include "core/tables/zip_parts.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace Workbook {
namespace {

const QString OdsMimeType = QStringLiteral("application/vnd.oasis.opendocument.spreadsheet");

bool isHidden(const QList<int>& hidden, qsizetype index) {
    return std::binary_search(hidden.begin(), hidden.end(), int(index));
}

// The first sheets by name, and how many more there are.
QString sheetList(const QStringList& names, const QList<int>& hidden) {
    constexpr qsizetype Listed = 10;
    constexpr qsizetype LongestName = 40;
    QStringList shown;
    for (qsizetype i = 0; i < std::min(names.size(), Listed); ++i) {
        const QString name =
            names[i].size() > LongestName ? names[i].left(LongestName - 1) + QStringLiteral("…") : names[i];
        shown << (isHidden(hidden, i) ? QStringLiteral("„%1“ (ausgeblendet)") : QStringLiteral("„%1“"))
                     .arg(name);
    }
    QString list = shown.join(QStringLiteral(", "));
    if (names.size() > Listed)
        list += QStringLiteral(" und %1 weitere")
                    .arg(NumberText::formatCount(mpz_class(static_cast<long>(names.size() - Listed))));
    return list;
}

bool isNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'.';
}

// The index after the quoted text or bracketed reference that starts at `at`, which ends with `close`.
qsizetype skipTo(QStringView formula, qsizetype at, QChar close) {
    const qsizetype end = formula.indexOf(close, at + 1);
    return end < 0 ? formula.size() : end + 1;
}

int sheetByNumber(const QString& wanted, qsizetype count) {
    bool ok = false;
    const int number = wanted.toInt(&ok);
    return ok && number >= 1 && number <= count ? number - 1 : -1;
}

} // namespace

bool isZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

bool isCompoundFile(const QByteArray& bytes) {
    return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

void read(const QByteArray& bytes, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet) {
    const ZipParts parts(bytes, limits.maxUnpackedBytes);
    if (parts.contains(QStringLiteral("xl/workbook.xml")))
        return readXlsx(parts, wanted, limits, sheet);
    if (parts.contains(QStringLiteral("mimetype")) &&
        QString::fromUtf8(parts.head(QStringLiteral("mimetype"), 256)).trimmed() == OdsMimeType)
        return readOds(parts, wanted, limits, sheet);
    throw KalvonError::unreadable(QStringLiteral(
        "Das ZIP-Archiv ist weder eine Excel-Arbeitsmappe (.xlsx) noch eine OpenDocument-Tabelle (.ods)."));
}

int chooseSheet(const QStringList& names, const QList<int>& hidden, const QString& wanted) {
    if (names.isEmpty())
        throw KalvonError::unreadable(QStringLiteral("Die Arbeitsmappe hat kein Tabellenblatt."));
    const QString name = wanted.trimmed();
    if (name.isEmpty()) {
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!isHidden(hidden, i))
                return int(i);
        }
        return 0;
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    const int index = sheetByNumber(name, names.size());
    if (index < 0)
        throw KalvonError::unreadable(
            QStringLiteral("Ein Tabellenblatt „%1“ gibt es nicht. Die Arbeitsmappe hat: %2.")
                .arg(wanted, sheetList(names, hidden)));
    return index;
}

std::optional<double> storedNumber(QStringView text) {
    // QString::toDouble reads through the locale machinery, some hundred times slower on a sheet of
    // millions of numbers; the stored form is plain ASCII (anything else turns into '?' here).
    text = text.trimmed();
    if (text.startsWith(u'+'))
        text = text.mid(1);
    const QByteArray ascii = text.toLatin1();
    const char* const end = ascii.constData() + ascii.size();
    double value = 0;
    const auto [stop, error] = std::from_chars(ascii.constData(), end, value);
    if (ascii.isEmpty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

void appendCut(QString& text, QStringView more) {
    text += more.left(std::max<qsizetype>(0, MaxCellText - text.size()));
}

bool isTotalFormula(QStringView formula) {
    static const QStringList totals{QStringLiteral("SUM"),          QStringLiteral("SUBTOTAL"),
                                    QStringLiteral("AGGREGATE"),    QStringLiteral("SUMME"),
                                    QStringLiteral("TEILERGEBNIS"), QStringLiteral("AGGREGAT")};
    qsizetype i = 0;
    while (i < formula.size()) {
        const QChar c = formula[i];
        if (c == u'"' || c == u'\'' || c == u'[') {
            i = skipTo(formula, i, c == u'[' ? QChar(u']') : c);
            continue;
        }
        if (!isNameCharacter(c)) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < formula.size() && isNameCharacter(formula[i]))
            ++i;
        QStringView name = formula.mid(start, i - start);
        name = name.mid(name.lastIndexOf(u'.') + 1); // "_xlfn.AGGREGATE", "COM.MICROSOFT.AGGREGATE"
        qsizetype next = i;
        while (next < formula.size() && formula[next].isSpace())
            ++next;
        if (next < formula.size() && formula[next] == u'(' &&
            totals.contains(name.toString(), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString dateText(QDate date, int secondsOfDay) {
    const QLocale locale;
    const QTime time = QTime(0, 0).addSecs(secondsOfDay);
    if (!date.isValid())
        return locale.toString(time, QLocale::ShortFormat);
    static const QRegularExpression years(QStringLiteral("y+"));
    QString format = locale.dateFormat(QLocale::ShortFormat);
    format.replace(years, QStringLiteral("yyyy"));
    QString text = locale.toString(date, format);
    if (secondsOfDay != 0)
        text += QLatin1Char(' ') + locale.toString(time, QLocale::ShortFormat);
    return text;
}

QString serialDateText(double serial, bool date1904) {
    // Excel's days end on 31 December 9999; a negative serial is no date.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466) {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(serial, 'g', QLocale::FloatingPointShortest);
    }
    auto days = qint64(std::floor(serial));
    int seconds = int(std::lround((serial - double(days)) * 86400));
    if (seconds == 86400) {
        ++days;
        seconds = 0;
    }
    if (days == 0)
        return dateText(QDate(), seconds);
    // The 1900 system counts a 29 February 1900 that never was (day 60), as Lotus 1-2-3 did.
    const QDate base = date1904 ? QDate(1904, 1, 1) : days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return dateText(base.addDays(days), seconds);
}

} // namespace Workbook
