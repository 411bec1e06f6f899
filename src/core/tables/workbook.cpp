// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/workbook.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/workbook_formats.h"
#include "core/tables/zip_parts.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace Workbook {
namespace {

const QString OdsMimeType = QStringLiteral("application/vnd.oasis.opendocument.spreadsheet");

QString sheetList(const QStringList& names, const QList<int>& hidden) {
    QStringList shown;
    for (qsizetype i = 0; i < names.size(); ++i) {
        shown << (hidden.contains(int(i)) ? QStringLiteral("„%1“ (ausgeblendet)") : QStringLiteral("„%1“"))
                     .arg(names[i]);
    }
    return shown.join(QStringLiteral(", "));
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
        QString::fromUtf8(parts.read(QStringLiteral("mimetype"))).trimmed() == OdsMimeType)
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
            if (!hidden.contains(int(i)))
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
