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

void finish(const QXmlStreamReader& reader) {
    if (reader.hasError())
        WorkbookError::brokenXml(Content, reader);
}

void appendCut(QString& text, QStringView more) {
    text += more.left(std::max<qsizetype>(0, MaxCellText - text.size()));
}

// The text of a paragraph, with its spaces, tabs and line breaks; notes and annotations left out.
QString paragraph(QXmlStreamReader& reader) {
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
                ++depth; // a span or a link: its text belongs to the paragraph
            }
        }
    }
    return text;
}

// The paragraphs of a cell, one a line; annotations and drawings left out.
QString cellText(QXmlStreamReader& reader) {
    QString text;
    bool first = true;
    while (reader.readNextStartElement()) {
        if (isElement(reader, TextNs, u"p") || isElement(reader, TextNs, u"h")) {
            if (!first)
                appendCut(text, u"\n");
            appendCut(text, paragraph(reader));
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

// The cell at the reader, read to its end.
Cell cell(QXmlStreamReader& reader) {
    const QXmlStreamAttributes a = reader.attributes();
    const QStringView type = a.value(OfficeNs, QLatin1String("value-type"));
    const QString value = a.value(OfficeNs, QLatin1String("value")).toString();
    const QString date = a.value(OfficeNs, QLatin1String("date-value")).toString();
    const QString string = a.value(OfficeNs, QLatin1String("string-value")).toString();
    const QString shown = cellText(reader);
    if (type == u"float" || type == u"percentage" || type == u"currency") {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok)
            return Cell{0, Cell::Kind::Value, number, QString()};
    }
    if (type == u"date")
        return dateCell(date, shown);
    if (type == u"time")
        return Cell{0, Cell::Kind::Date, 0, shown};
    return Cell{0, Cell::Kind::Text, 0, shown.isEmpty() ? string.trimmed().left(MaxCellText) : shown};
}

// Reads the cells of one table into the builder.
class TableReader {
public:
    explicit TableReader(const CellGrid::Limits& limits)
        : m_builder(limits) {}
    void read(QXmlStreamReader& reader);
    CellGrid::Grid take() { return m_builder.take(); }

private:
    void row(QXmlStreamReader& reader);

    CellGrid::Builder m_builder;
    qint64 m_row = 1; // the number of the next row
};

void TableReader::read(QXmlStreamReader& reader) {
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (isElement(reader, TableNs, u"table-row"))
                row(reader);
            else if (isElement(reader, TableNs, u"table") || isElement(reader, TableNs, u"shapes"))
                reader.skipCurrentElement();
            else
                ++depth; // header rows, row groups: their rows belong to the table
        }
    }
}

void TableReader::row(QXmlStreamReader& reader) {
    const qint64 rows = repeat(reader, QLatin1String("number-rows-repeated"));
    qint64 column = 0;
    bool filled = false;
    while (reader.readNextStartElement()) {
        const qint64 columns = repeat(reader, QLatin1String("number-columns-repeated"));
        if (isElement(reader, TableNs, u"table-cell")) {
            const Cell content = cell(reader);
            if (content.kind == Cell::Kind::Value || !content.text.isEmpty()) {
                for (qint64 i = 0; i < columns; ++i)
                    m_builder.add(m_row, column + i, content);
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
    QXmlStreamReader reader(parts.read(Content));
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
                table.read(reader);
                sheet.grid = table.take();
                sheet.index = index;
                best = fits;
            } else {
                reader.skipCurrentElement();
            }
        }
    }
    finish(reader);
    if (chooseSheet(sheet.names, sheet.hidden, wanted) != sheet.index)
        WorkbookError::broken(QStringLiteral("Die Tabellenblätter lassen sich nicht zuordnen."));
}

} // namespace Workbook
