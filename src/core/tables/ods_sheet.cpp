// SPDX-License-Identifier: GPL-3.0-or-later
// The cells of one sheet of an OpenDocument spreadsheet (content.xml).
#include "core/tables/workbook_formats.h"
#include "core/tables/zip_parts.h"

#include <QDateTime>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace Workbook {
namespace {

using CellGrid::Cell;

const QString Content = QStringLiteral("content.xml");
const QString TableNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString OfficeNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString TextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString StyleNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");

// A repeat count as written; LibreOffice fills a sheet up with one huge repeat of empty rows or
// cells, which costs nothing here, and a larger count than a sheet can have is cut.
qint64 repeat(const QXmlStreamReader& reader, QLatin1String attribute) {
    bool ok = false;
    const qint64 count = reader.attributes().value(TableNs, attribute).toLongLong(&ok);
    return ok && count > 1 ? std::min(count, qint64(1) << 31) : 1;
}

bool isElement(const QXmlStreamReader& reader, const QString& ns, QStringView name) {
    return reader.name() == name && reader.namespaceUri() == ns;
}

// The text of a paragraph, with its spaces, tabs and line breaks; notes and annotations left out.
QString paragraph(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    QString text;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::Characters) {
            appendCut(text, reader.text());
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (isElement(reader, TextNs, u"s")) {
                bool ok = false;
                const qint64 count = reader.attributes().value(TextNs, QLatin1String("c")).toLongLong(&ok);
                appendCut(text, QString(qsizetype(std::clamp<qint64>(ok ? count : 1, 1, MaxCellText)), u' '));
                reader.skipCurrentElement();
            } else if (isElement(reader, TextNs, u"tab")) {
                appendCut(text, u"\t");
                reader.skipCurrentElement();
            } else if (isElement(reader, TextNs, u"line-break")) {
                appendCut(text, u"\n");
                reader.skipCurrentElement();
            } else if (isElement(reader, TextNs, u"note") || isElement(reader, OfficeNs, u"annotation")) {
                reader.skipCurrentElement();
            } else {
                part.checkNesting(++depth); // a span or a link: its text belongs to the paragraph
            }
        }
    }
    return text;
}

// The paragraphs of a cell, one a line; annotations and drawings left out.
QString cellText(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    QString text;
    bool first = true;
    while (reader.readNextStartElement()) {
        if (isElement(reader, TextNs, u"p") || isElement(reader, TextNs, u"h")) {
            if (!first)
                appendCut(text, u"\n");
            appendCut(text, paragraph(part));
            first = false;
        } else {
            reader.skipCurrentElement();
        }
    }
    return text.trimmed();
}

Cell dateCell(QStringView value, const QString& shown) {
    const QDateTime when = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (when.isValid())
        return Cell{0, Cell::Kind::Date, 0, dateText(when.date(), when.time().msecsSinceStartOfDay() / 1000)};
    const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
    return Cell{0, Cell::Kind::Date, 0, date.isValid() ? dateText(date, 0) : shown};
}

// A formula as a cell shows it: "of:=SUM([.D2:.D5])" as "=SUM([.D2:.D5])".
QString formulaText(const QString& formula) {
    const qsizetype equals = formula.indexOf(u'=');
    return (equals < 0 ? QStringLiteral("=") + formula : formula.mid(equals)).left(MaxCellText);
}

// The cell's value as the attributes give it, or its shown text.
Cell valueCell(const QXmlStreamAttributes& a, QStringView type, const QString& shown) {
    if (type == u"float" || type == u"percentage" || type == u"currency") {
        if (const std::optional<double> number = storedNumber(a.value(OfficeNs, QLatin1String("value"))))
            return Cell{0, Cell::Kind::Value, *number, QString()};
    }
    if (type == u"date")
        return dateCell(a.value(OfficeNs, QLatin1String("date-value")), shown);
    if (type == u"time")
        return Cell{0, Cell::Kind::Date, 0, shown};
    const QStringView string = a.value(OfficeNs, QLatin1String("string-value"));
    return Cell{0, Cell::Kind::Text, 0,
                shown.isEmpty() ? string.trimmed().left(MaxCellText).toString() : shown};
}

// A formula whose value the file does not hold: no value type, or no value for its type.
bool lacksValue(const QXmlStreamAttributes& a, QStringView type) {
    if (type.isEmpty())
        return true;
    if (type == u"float" || type == u"percentage" || type == u"currency")
        return !a.hasAttribute(OfficeNs, QLatin1String("value"));
    if (type == u"date")
        return !a.hasAttribute(OfficeNs, QLatin1String("date-value"));
    if (type == u"time")
        return !a.hasAttribute(OfficeNs, QLatin1String("time-value"));
    if (type == u"boolean")
        return !a.hasAttribute(OfficeNs, QLatin1String("boolean-value"));
    return false; // a text result may be empty
}

// The cell at the reader, read to its end; its text read as a number once for all its repeats.
Cell cell(XmlPart& part) {
    const QXmlStreamAttributes a = part.reader().attributes();
    const QStringView type = a.value(OfficeNs, QLatin1String("value-type"));
    const QString formula = a.value(TableNs, QLatin1String("formula")).toString();
    const QString shown = cellText(part);
    Cell cell = !formula.isEmpty() && lacksValue(a, type)
                    ? Cell{0, Cell::Kind::Missing, 0, formulaText(formula)}
                    : valueCell(a, type, shown);
    cell.totalFormula = !formula.isEmpty() && isTotalFormula(formula);
    cell.readNumber();
    return cell;
}

// Reads the cells of one table into the builder.
class TableReader {
public:
    explicit TableReader(const CellGrid::Limits& limits)
        : m_builder(limits) {}
    void read(XmlPart& part);
    CellGrid::Grid take() { return m_builder.take(); }

private:
    void row(XmlPart& part);
    void column(QXmlStreamReader& reader);

    CellGrid::Builder m_builder;
    qint64 m_row = 1;    // the number of the next row
    qint64 m_column = 0; // of the next column described
};

void TableReader::read(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (isElement(reader, TableNs, u"table-row"))
                row(part);
            else if (isElement(reader, TableNs, u"table-column"))
                column(reader);
            else if (isElement(reader, TableNs, u"table") || isElement(reader, TableNs, u"shapes"))
                reader.skipCurrentElement();
            else
                part.checkNesting(++depth); // header rows, row and column groups: theirs belong to the table
        }
    }
}

// A column description: hidden ("collapse") or not, for as many columns as it repeats.
void TableReader::column(QXmlStreamReader& reader) {
    const qint64 columns = repeat(reader, QLatin1String("number-columns-repeated"));
    if (reader.attributes().value(TableNs, QLatin1String("visibility")) == u"collapse")
        m_builder.hideColumns(m_column, columns);
    m_column = std::min<qint64>(m_column + columns, CellGrid::MaxColumns);
    reader.skipCurrentElement();
}

void TableReader::row(XmlPart& part) {
    QXmlStreamReader& reader = part.reader();
    const qint64 rows = repeat(reader, QLatin1String("number-rows-repeated"));
    const QStringView visibility = reader.attributes().value(TableNs, QLatin1String("visibility"));
    const bool hidden = visibility == u"collapse" || visibility == u"filter";
    qint64 column = 0;
    bool filled = false;
    while (reader.readNextStartElement()) {
        const qint64 columns = repeat(reader, QLatin1String("number-columns-repeated"));
        if (isElement(reader, TableNs, u"table-cell")) {
            const Cell content = cell(part);
            if (content.kind == Cell::Kind::Value || !content.text.isEmpty()) {
                for (qint64 i = 0; i < columns; ++i)
                    m_builder.add(m_row, column + i, content, hidden);
                filled = true;
            }
        } else {
            reader.skipCurrentElement(); // a cell covered by a merged one is empty
        }
        column += columns;
    }
    for (qint64 i = 1; filled && i < rows; ++i)
        m_builder.repeatLastRow(m_row + i);
    m_row += rows;
}

// How well a sheet fits the one wanted: 2 the one, 1 the one unless a later sheet is (a number
// before a name, a hidden first sheet before a visible one), 0 not at all.
int fit(const QString& wanted, const QString& name, int index, bool hidden) {
    const QString trimmed = wanted.trimmed();
    if (trimmed.isEmpty())
        return hidden ? (index == 0 ? 1 : 0) : 2;
    if (name.trimmed().compare(trimmed, Qt::CaseInsensitive) == 0)
        return 2;
    bool ok = false;
    return trimmed.toInt(&ok) == index + 1 && ok ? 1 : 0;
}

} // namespace

// One pass over content.xml: the table styles that hide a sheet come first, then the sheets; only
// the cells of the sheet that fits best so far are kept.
void readOds(const ZipParts& parts, const QString& wanted, const CellGrid::Limits& limits, Sheet& sheet) {
    sheet.format = ItemTable::Format::Ods;
    XmlPart part(parts, Content);
    QXmlStreamReader& reader = part.reader();
    QSet<QString> hiddenStyles;
    QString style;
    int best = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (isElement(reader, StyleNs, u"style")) {
            style = a.value(StyleNs, QLatin1String("name")).toString();
        } else if (isElement(reader, StyleNs, u"table-properties")) {
            if (a.value(TableNs, QLatin1String("display")) == u"false")
                hiddenStyles.insert(style);
        } else if (isElement(reader, TableNs, u"table")) {
            const int index = int(sheet.names.size());
            const bool hidden =
                hiddenStyles.contains(a.value(TableNs, QLatin1String("style-name")).toString());
            sheet.names << a.value(TableNs, QLatin1String("name")).toString();
            if (hidden)
                sheet.hidden << index;
            const int fits = fit(wanted, sheet.names.back(), index, hidden);
            if (fits > best) {
                TableReader table(limits);
                table.read(part);
                sheet.grid = table.take();
                sheet.index = index;
                best = fits;
            } else {
                reader.skipCurrentElement();
            }
        }
    }
    part.finish();
    if (chooseSheet(sheet.names, sheet.hidden, wanted) != sheet.index)
        WorkbookError::broken(QStringLiteral("Die Tabellenblätter lassen sich nicht zuordnen."));
}

} // namespace Workbook
