// SPDX-License-Identifier: GPL-3.0-or-later
// The cells of one worksheet of an Excel workbook (Office Open XML).
#include "core/numbers/kalvon_error.h"
#include "core/tables/workbook_formats.h"
#include "core/tables/zip_parts.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <vector>

namespace Workbook {
namespace {

using CellGrid::Cell;

struct Relationship {
    QString type;
    QString part; // the part's name in the archive
};

struct SheetEntry {
    QString name;
    bool hidden = false;
    QString part;
};

struct WorkbookPart {
    std::vector<SheetEntry> sheets;
    bool date1904 = false;
    QString sharedStrings = QStringLiteral("xl/sharedStrings.xml");
    QString styles = QStringLiteral("xl/styles.xml");
};

// Where a relationship of a part in folder `base` points to, as a part name.
QString resolve(const QString& base, const QString& target) {
    const QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : base + target;
    return QDir::cleanPath(path);
}

void finish(const QXmlStreamReader& reader, const QString& part) {
    if (reader.hasError())
        WorkbookError::brokenXml(part, reader);
}

bool isTrue(QStringView value) {
    return value == u"1" || value == u"true";
}

// The r:id attribute, whatever the prefix of the relationships namespace.
QString relationshipId(const QXmlStreamAttributes& attributes) {
    for (const QXmlStreamAttribute& a : attributes) {
        if (a.name() == u"id" && !a.namespaceUri().isEmpty())
            return a.value().toString();
    }
    return {};
}

QHash<QString, Relationship> readRelationships(const ZipParts& parts) {
    const QString part = QStringLiteral("xl/_rels/workbook.xml.rels");
    QXmlStreamReader reader(parts.read(part));
    QHash<QString, Relationship> relationships;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (a.value(QLatin1String("TargetMode")) == u"External")
            continue;
        relationships.insert(a.value(QLatin1String("Id")).toString(),
                             {a.value(QLatin1String("Type")).toString(),
                              resolve(QStringLiteral("xl/"), a.value(QLatin1String("Target")).toString())});
    }
    finish(reader, part);
    return relationships;
}

WorkbookPart readWorkbook(const ZipParts& parts) {
    const QString part = QStringLiteral("xl/workbook.xml");
    const QHash<QString, Relationship> relationships = readRelationships(parts);
    WorkbookPart workbook;
    for (const Relationship& r : relationships) {
        if (r.type.endsWith(u"/sharedStrings"))
            workbook.sharedStrings = r.part;
        else if (r.type.endsWith(u"/styles"))
            workbook.styles = r.part;
    }
    QXmlStreamReader reader(parts.read(part));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == u"workbookPr") {
            workbook.date1904 = isTrue(a.value(QLatin1String("date1904")));
        } else if (reader.name() == u"sheet") {
            const Relationship r = relationships.value(relationshipId(a));
            if (!r.type.endsWith(u"/worksheet"))
                continue; // a chart sheet or a dialog sheet holds no cells
            const QStringView state = a.value(QLatin1String("state"));
            workbook.sheets.push_back({a.value(QLatin1String("name")).toString(),
                                       state == u"hidden" || state == u"veryHidden", r.part});
        }
    }
    finish(reader, part);
    return workbook;
}

// The text of a string item (or of one of its runs): its text runs joined, without phonetic guides.
QString stringItem(QXmlStreamReader& reader) {
    QString text;
    while (reader.readNextStartElement()) {
        if (reader.name() == u"t")
            text += reader.readElementText(QXmlStreamReader::SkipChildElements);
        else if (reader.name() == u"r")
            text += stringItem(reader);
        else
            reader.skipCurrentElement();
        if (text.size() > MaxCellText)
            text.truncate(MaxCellText);
    }
    return text;
}

QStringList readSharedStrings(const ZipParts& parts, const QString& part) {
    QStringList strings;
    if (!parts.contains(part))
        return strings;
    QXmlStreamReader reader(parts.read(part));
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"si")
            strings << stringItem(reader);
    }
    finish(reader, part);
    return strings;
}

// True when a number format shows a date or a time: a day, month, year, hour or second outside
// quoted text, brackets and escaped characters.
bool isDateCode(QStringView code) {
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (QStringView(u"dmyhsDMYHS").contains(c)) {
            return true;
        }
    }
    return false;
}

bool isDateFormat(int id, const QHash<int, QString>& codes) {
    const auto custom = codes.constFind(id);
    if (custom != codes.cend())
        return isDateCode(*custom);
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

// Per cell style (the s attribute of a cell): whether it shows a date.
std::vector<bool> readDateStyles(const ZipParts& parts, const QString& part) {
    std::vector<bool> dateStyles;
    if (!parts.contains(part))
        return dateStyles;
    QXmlStreamReader reader(parts.read(part));
    QHash<int, QString> codes;
    bool inCellFormats = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && reader.name() == u"cellXfs")
            inCellFormats = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == u"numFmt")
            codes.insert(a.value(QLatin1String("numFmtId")).toInt(),
                         a.value(QLatin1String("formatCode")).toString());
        else if (reader.name() == u"cellXfs")
            inCellFormats = true;
        else if (inCellFormats && reader.name() == u"xf")
            dateStyles.push_back(isDateFormat(a.value(QLatin1String("numFmtId")).toInt(), codes));
    }
    finish(reader, part);
    return dateStyles;
}

// A cell reference such as "C5": the 0-based column and the row from 1; false when it is none.
bool parseReference(QStringView ref, qint64& column, qint64& row) {
    qsizetype i = 0;
    qint64 c = 0;
    for (; i < ref.size() && i < 4 && ref[i].isLetter() && ref[i].unicode() < 128; ++i)
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (i == 0 || !ok || r < 1)
        return false;
    column = c - 1;
    row = r;
    return true;
}

// Reads one worksheet's cells.
class SheetReader {
public:
    SheetReader(const QStringList& strings, const std::vector<bool>& dateStyles, bool date1904)
        : m_strings(strings)
        , m_dateStyles(dateStyles)
        , m_date1904(date1904) {}

    CellGrid::Grid read(const QByteArray& xml, const QString& part, const CellGrid::Limits& limits);

private:
    bool cell(QXmlStreamReader& reader, Cell& cell);
    Cell valueCell(QStringView type, const QString& value, int style) const;

    const QStringList& m_strings;
    const std::vector<bool>& m_dateStyles;
    bool m_date1904;
};

CellGrid::Grid SheetReader::read(const QByteArray& xml, const QString& part, const CellGrid::Limits& limits) {
    CellGrid::Builder builder(limits);
    QXmlStreamReader reader(xml);
    qint64 row = 0, column = -1;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == u"row") {
            bool ok = false;
            const qint64 number = reader.attributes().value(QLatin1String("r")).toLongLong(&ok);
            row = ok && number >= 1 ? number : row + 1;
            column = -1;
        } else if (reader.name() == u"c") {
            qint64 r = row, c = column + 1;
            if (parseReference(reader.attributes().value(QLatin1String("r")), c, r))
                row = r;
            column = c;
            Cell content;
            if (cell(reader, content))
                builder.add(row, column, std::move(content));
        }
    }
    finish(reader, part);
    return builder.take();
}

// Reads the cell at the reader; false when it is empty.
bool SheetReader::cell(QXmlStreamReader& reader, Cell& result) {
    const QXmlStreamAttributes a = reader.attributes();
    const QString type = a.value(QLatin1String("t")).toString();
    const int style = a.value(QLatin1String("s")).toInt();
    QString value, inlineText;
    bool hasInline = false;
    while (reader.readNextStartElement()) {
        if (reader.name() == u"v") {
            value = reader.readElementText(QXmlStreamReader::SkipChildElements);
        } else if (reader.name() == u"is") {
            inlineText = stringItem(reader);
            hasInline = true;
        } else {
            reader.skipCurrentElement(); // the formula, whose result is the value
        }
    }
    if (type == u"inlineStr" || (hasInline && value.isEmpty()))
        result = Cell{0, Cell::Kind::Text, 0, inlineText.trimmed()};
    else
        result = valueCell(type, value, style);
    return result.kind == Cell::Kind::Value || !result.text.isEmpty();
}

Cell SheetReader::valueCell(QStringView type, const QString& value, int style) const {
    if (type == u"s") {
        bool ok = false;
        const int index = value.toInt(&ok);
        return Cell{0, Cell::Kind::Text, 0, ok ? m_strings.value(index).trimmed() : QString()};
    }
    if (type == u"b")
        return Cell{0, Cell::Kind::Text, 0,
                    value.trimmed() == u"1" ? QStringLiteral("WAHR") : QStringLiteral("FALSCH")};
    if (type == u"d") {
        const QDateTime when = QDateTime::fromString(value.trimmed(), Qt::ISODate);
        const QDate date = when.isValid() ? when.date() : QDate::fromString(value.trimmed(), Qt::ISODate);
        return Cell{0, Cell::Kind::Date, 0,
                    date.isValid()
                        ? dateText(date, when.isValid() ? when.time().msecsSinceStartOfDay() / 1000 : 0)
                        : value.trimmed()};
    }
    if (type == u"str" || type == u"e" || type == u"inlineStr")
        return Cell{0, Cell::Kind::Text, 0, value.trimmed()};
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok)
        return Cell{0, Cell::Kind::Text, 0, value.trimmed()};
    if (style >= 0 && std::size_t(style) < m_dateStyles.size() && m_dateStyles[std::size_t(style)])
        return Cell{0, Cell::Kind::Date, 0, serialDateText(number, m_date1904)};
    return Cell{0, Cell::Kind::Value, number, QString()};
}

} // namespace

void readXlsx(const ZipParts& parts, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet) {
    const WorkbookPart workbook = readWorkbook(parts);
    sheet.format = ItemTable::Format::Xlsx;
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
        sheet.names << workbook.sheets[i].name;
        if (workbook.sheets[i].hidden)
            sheet.hidden << int(i);
    }
    sheet.index = chooseSheet(sheet.names, sheet.hidden, wanted);
    const QString part = workbook.sheets[std::size_t(sheet.index)].part;
    const QByteArray xml = parts.read(part);
    const QStringList strings = readSharedStrings(parts, workbook.sharedStrings);
    const std::vector<bool> dateStyles = readDateStyles(parts, workbook.styles);
    sheet.grid = SheetReader(strings, dateStyles, workbook.date1904).read(xml, part, limits);
}

} // namespace Workbook
