// SPDX-License-Identifier: GPL-3.0-or-later
// The cells of one worksheet of an Excel workbook (Office Open XML).
#include "core/numbers/kalvon_error.h"
#include "core/tables/workbook_formats.h"
#include "core/tables/zip_parts.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>
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
    XmlPart part(parts, QStringLiteral("xl/_rels/workbook.xml.rels"));
    QXmlStreamReader& reader = part.reader();
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
    part.finish();
    return relationships;
}

WorkbookPart readWorkbook(const ZipParts& parts) {
    const QHash<QString, Relationship> relationships = readRelationships(parts);
    WorkbookPart workbook;
    for (const Relationship& r : relationships) {
        if (r.type.endsWith(u"/sharedStrings"))
            workbook.sharedStrings = r.part;
        else if (r.type.endsWith(u"/styles"))
            workbook.styles = r.part;
    }
    XmlPart part(parts, QStringLiteral("xl/workbook.xml"));
    QXmlStreamReader& reader = part.reader();
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
    part.finish();
    return workbook;
}

// The text of a string item (an <si> or an <is>, where the reader stands): its text runs joined,
// without phonetic guides. The reader ends on the item's end.
QString stringItem(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    QString text;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token != QXmlStreamReader::StartElement) {
            continue;
        } else if (reader.name() == u"t") {
            appendCut(text, reader.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (reader.name() == u"r") {
            part.checkNesting(++depth);
        } else {
            reader.skipCurrentElement();
        }
    }
    return text;
}

// The shared strings as cells, each text trimmed once for every cell that refers to it; their
// characters together within the bound on cell text.
std::vector<Cell> readSharedStrings(const ZipParts& parts, const QString& name,
                                    const CellGrid::Limits& limits) {
    std::vector<Cell> strings;
    if (!parts.contains(name))
        return strings;
    XmlPart part(parts, name);
    QXmlStreamReader& reader = part.reader();
    qint64 characters = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"si")
            continue;
        strings.push_back(Cell{0, Cell::Kind::Text, 0, stringItem(part).trimmed()});
        characters += strings.back().text.size();
        if (characters > limits.maxCellText)
            CellGrid::tooMuchText(limits.maxCellText);
    }
    part.finish();
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
std::vector<bool> readDateStyles(const ZipParts& parts, const QString& name) {
    std::vector<bool> dateStyles;
    if (!parts.contains(name))
        return dateStyles;
    XmlPart part(parts, name);
    QXmlStreamReader& reader = part.reader();
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
    part.finish();
    return dateStyles;
}

// A row number as written: digits from 1; -1 when it is none. One beyond maxRows is refused by its
// number, so that no count of rows can run past the integer range.
qint64 rowNumber(QStringView digits, int maxRows) {
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    qint64 number = 0;
    for (const QChar c : digits) {
        number = number * 10 + (c.unicode() - u'0');
        if (number > maxRows)
            CellGrid::rowBeyond(digits.toString(), maxRows);
    }
    return number >= 1 ? number : -1;
}

struct Reference {
    qint64 column = 0; // 0-based; beyond the last column when the letters say so
    qint64 row = 0;
};

// A cell reference such as "C5"; none when it is no reference.
std::optional<Reference> parseReference(QStringView ref, int maxRows) {
    qsizetype i = 0;
    qint64 column = 0;
    for (; i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128; ++i) {
        if (column <= CellGrid::MaxColumns)
            column = column * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
    }
    const qint64 row = rowNumber(ref.mid(i), maxRows);
    if (i == 0 || row < 1)
        return std::nullopt;
    return Reference{column - 1, row};
}

// A formula as a cell shows it: with its "=".
QString formulaText(const QString& formula) {
    return QLatin1Char('=') + formula.left(MaxCellText - 1);
}

struct SharedFormula {
    QString text;
    bool total = false;
};

// Reads one worksheet's cells: the hidden rows and columns, and a formula's stored value or, when
// there is none, the formula.
class SheetReader {
public:
    SheetReader(std::vector<Cell>& strings, const std::vector<bool>& dateStyles, bool date1904,
                const CellGrid::Limits& limits)
        : m_strings(strings)
        , m_dateStyles(dateStyles)
        , m_date1904(date1904)
        , m_maxRows(limits.maxRows)
        , m_builder(limits)
        , m_rowsSeen(std::size_t(limits.maxRows) + 1) {}

    CellGrid::Grid read(XmlPart& part);

private:
    void startRow(XmlPart& part);
    void hideColumns(const QXmlStreamAttributes& attributes);
    void readCell(XmlPart& part);
    SharedFormula formula(QXmlStreamReader& reader);
    Cell valueCell(QStringView type, const QString& value, int style);

    std::vector<Cell>& m_strings;
    const std::vector<bool>& m_dateStyles;
    bool m_date1904;
    int m_maxRows;
    CellGrid::Builder m_builder;
    std::vector<bool> m_rowsSeen;
    QHash<QString, SharedFormula> m_sharedFormulas; // by their index
    qint64 m_row = 0;
    qint64 m_column = -1;
    bool m_rowHidden = false;
};

CellGrid::Grid SheetReader::read(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == u"row")
            startRow(part);
        else if (reader.name() == u"c")
            readCell(part);
        else if (reader.name() == u"col")
            hideColumns(reader.attributes());
    }
    part.finish();
    return m_builder.take();
}

void SheetReader::startRow(XmlPart& part) {
    const QXmlStreamAttributes a = part.reader().attributes();
    const QStringView number = a.value(QLatin1String("r"));
    if (number.isEmpty()) {
        if (m_row >= m_maxRows)
            CellGrid::tooManyRows(m_maxRows);
        ++m_row;
    } else {
        m_row = rowNumber(number, m_maxRows);
        if (m_row < 1)
            WorkbookError::broken(QStringLiteral("Die Zeilennummer „%1“ in „%2“ ist ungültig.")
                                      .arg(number.left(20).toString(), part.name()));
    }
    if (m_rowsSeen[std::size_t(m_row)])
        WorkbookError::broken(
            QStringLiteral("Die Zeile %1 ist in „%2“ zweimal angegeben.").arg(m_row).arg(part.name()));
    m_rowsSeen[std::size_t(m_row)] = true;
    m_rowHidden = isTrue(a.value(QLatin1String("hidden")));
    m_column = -1;
}

void SheetReader::hideColumns(const QXmlStreamAttributes& attributes) {
    if (!isTrue(attributes.value(QLatin1String("hidden"))))
        return;
    bool minOk = false, maxOk = false;
    const qint64 first = attributes.value(QLatin1String("min")).toLongLong(&minOk);
    const qint64 last = attributes.value(QLatin1String("max")).toLongLong(&maxOk);
    if (minOk && maxOk && first >= 1 && last >= first)
        m_builder.hideColumns(first - 1, last - first + 1);
}

SharedFormula SheetReader::formula(QXmlStreamReader& reader) {
    const QXmlStreamAttributes a = reader.attributes();
    const bool shared = a.value(QLatin1String("t")) == u"shared";
    const QString index = a.value(QLatin1String("si")).toString();
    const QString text = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
    if (shared && text.isEmpty())
        return m_sharedFormulas.value(index, SharedFormula{QString(), false});
    SharedFormula formula{formulaText(text), isTotalFormula(text)};
    if (shared)
        m_sharedFormulas.insert(index, formula); // its other cells refer to it by the index
    return formula;
}

// Reads the cell at the reader into the grid when it is not empty.
void SheetReader::readCell(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    const QXmlStreamAttributes a = reader.attributes();
    const QStringView ref = a.value(QLatin1String("r"));
    Reference at{m_column + 1, std::max<qint64>(m_row, 1)};
    if (!ref.isEmpty()) {
        const std::optional<Reference> given = parseReference(ref, m_maxRows);
        if (!given)
            WorkbookError::broken(QStringLiteral("Der Zellbezug „%1“ in „%2“ ist ungültig.")
                                      .arg(ref.left(20).toString(), part.name()));
        at = *given;
    }
    m_row = at.row;
    m_column = at.column;
    const QString type = a.value(QLatin1String("t")).toString();
    const int style = a.value(QLatin1String("s")).toInt();
    QString value, inlineText;
    std::optional<SharedFormula> formula;
    bool hasValue = false, hasInline = false;
    while (reader.readNextStartElement()) {
        if (reader.name() == u"v") {
            value = reader.readElementText(QXmlStreamReader::SkipChildElements);
            hasValue = true;
        } else if (reader.name() == u"is") {
            inlineText = stringItem(part);
            hasInline = true;
        } else if (reader.name() == u"f") {
            formula = this->formula(reader);
        } else {
            reader.skipCurrentElement();
        }
    }
    Cell cell;
    if (type == u"inlineStr" || (hasInline && value.isEmpty()))
        cell = Cell{0, Cell::Kind::Text, 0, inlineText.trimmed()};
    else if (formula && (!hasValue || (value.isEmpty() && type != u"str")))
        cell = Cell{0, Cell::Kind::Missing, 0, formula->text}; // written without calculating
    else
        cell = valueCell(type, value, style);
    cell.totalFormula = formula && formula->total;
    if (cell.kind == Cell::Kind::Value || !cell.text.isEmpty()) {
        if (cell.reading == Cell::Reading::Unread)
            cell.readNumber();
        m_builder.add(m_row, m_column, std::move(cell), m_rowHidden);
    }
}

Cell SheetReader::valueCell(QStringView type, const QString& value, int style) {
    if (type == u"s") {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        if (!ok || index < 0 || std::size_t(index) >= m_strings.size())
            return Cell{0, Cell::Kind::Text, 0, QString()};
        Cell& string = m_strings[std::size_t(index)];
        if (string.reading == Cell::Reading::Unread)
            string.readNumber(); // once for every cell that shows it
        return string;
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
        return Cell{0, Cell::Kind::Text, 0, value.trimmed().left(MaxCellText)};
    const std::optional<double> number = storedNumber(value);
    if (!number)
        return Cell{0, Cell::Kind::Text, 0, value.trimmed().left(MaxCellText)};
    if (style >= 0 && std::size_t(style) < m_dateStyles.size() && m_dateStyles[std::size_t(style)])
        return Cell{0, Cell::Kind::Date, 0, serialDateText(*number, m_date1904)};
    return Cell{0, Cell::Kind::Value, *number, QString()};
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
    std::vector<Cell> strings = readSharedStrings(parts, workbook.sharedStrings, limits);
    const std::vector<bool> dateStyles = readDateStyles(parts, workbook.styles);
    XmlPart part(parts, workbook.sheets[std::size_t(sheet.index)].part);
    sheet.grid = SheetReader(strings, dateStyles, workbook.date1904, limits).read(part);
}

} // namespace Workbook
