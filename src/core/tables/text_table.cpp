// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/text_table.h"

#include "core/numbers/number_text.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace TextTable {
namespace {

// Windows-1252 where it differs from Latin-1: 0x80 to 0x9F. The five unassigned bytes are shown
// as U+FFFD.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? Cp1252High[byte - 0x80] : char16_t(byte));
    }
    return text;
}

QString decodeWith(QStringDecoder::Encoding encoding, const QByteArray& bytes) {
    QStringDecoder decoder(encoding);
    return decoder.decode(bytes);
}

// A field keeps at most as many characters as a spreadsheet cell holds; the rest of a longer one is
// skipped, so that one huge field costs no more memory than a cell.
constexpr qsizetype MaxFieldText = 32767;

void appendCapped(QString& text, QStringView part) {
    text += part.left(std::max<qsizetype>(0, MaxFieldText - text.size()));
}

struct Field {
    int column = 0;
    QString text; // without quotes, blanks around it dropped
    bool quoted = false;
};

// Splits text into records, one at a time.
class RecordReader {
public:
    RecordReader(QStringView text, QChar delimiter)
        : m_text(text)
        , m_delimiter(delimiter) {}

    // Reads the next record, handing each field that is not empty to onField as it comes, so that a
    // record of millions of fields is never held whole; fieldCount gets its number of fields, empty
    // ones included. False at the end of the text.
    template <class F> bool next(int& fieldCount, F&& onField);

private:
    bool atLineEnd(qsizetype pos) const { return m_text[pos] == u'\n' || m_text[pos] == u'\r'; }
    bool readField(Field& field); // true when the record ends after the field
    bool readQuoted(QString& text);
    bool finishField(qsizetype from, QString& text);

    QStringView m_text;
    QChar m_delimiter;
    qsizetype m_pos = 0;
};

template <class F> bool RecordReader::next(int& fieldCount, F&& onField) {
    if (m_pos >= m_text.size())
        return false;
    fieldCount = 0;
    bool end = false;
    while (!end) {
        Field field;
        end = readField(field);
        field.column = fieldCount++;
        if (!field.text.isEmpty())
            onField(std::move(field));
    }
    return true;
}

bool RecordReader::readField(Field& field) {
    const qsizetype start = m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
        QString quoted;
        if (readQuoted(quoted)) {
            field.quoted = true;
            const bool end = finishField(m_pos, quoted);
            field.text = std::move(quoted).trimmed();
            return end;
        }
        m_pos = start; // never closed: the quote is an ordinary character
    }
    QString text;
    const bool end = finishField(start, text);
    field.text = std::move(text).trimmed();
    return end;
}

// Reads a quoted field's inside from the opening quote at m_pos on. False when the quote is
// never closed.
bool RecordReader::readQuoted(QString& text) {
    qsizetype pos = m_pos + 1;
    while (pos < m_text.size()) {
        const qsizetype quote = m_text.indexOf(u'"', pos);
        if (quote < 0)
            return false;
        appendCapped(text, m_text.mid(pos, quote - pos));
        if (quote + 1 < m_text.size() && m_text[quote + 1] == u'"') {
            text += u'"';
            pos = quote + 2;
        } else {
            m_pos = quote + 1;
            return true;
        }
    }
    return false;
}

// Appends the characters from `from` up to the delimiter or the line end and moves past them.
bool RecordReader::finishField(qsizetype from, QString& text) {
    qsizetype pos = from;
    while (pos < m_text.size() && m_text[pos] != m_delimiter && !atLineEnd(pos))
        ++pos;
    appendCapped(text, m_text.mid(from, pos - from));
    if (pos >= m_text.size()) {
        m_pos = pos;
        return true;
    }
    if (m_text[pos] == m_delimiter) {
        m_pos = pos + 1;
        return false;
    }
    m_pos = pos + (m_text[pos] == u'\r' && pos + 1 < m_text.size() && m_text[pos + 1] == u'\n' ? 2 : 1);
    return true;
}

bool endsWithDigit(const QString& text) {
    return !text.isEmpty() && text.back().isDigit();
}

bool startsWithDigit(const QString& text) {
    return !text.isEmpty() && text.front().isDigit();
}

// True when the two fields joined by a comma are one amount ("1.234,50 €", "EUR 11.174,13").
bool joinedAmount(const QString& left, const QString& right) {
    return NumberText::readAmount(QString(left + QLatin1Char(',') + right)).status !=
           NumberText::AmountText::Status::NotANumber;
}

// True when a comma between the two unquoted fields, next to each other, belongs to a number:
// splitting there would turn a column of amounts into two columns of fragments.
bool joinsNumber(const Field& left, const Field& right) {
    return right.column == left.column + 1 && !left.quoted && !right.quoted && endsWithDigit(left.text) &&
           startsWithDigit(right.text) && joinedAmount(left.text, right.text);
}

// The delimiter is judged by the first records, and within the first characters of a long line.
constexpr int SampleRecords = 1000;
constexpr qsizetype SampleCharacters = qsizetype(1) << 20;

// How many of the first records the delimiter splits into its most frequent number of fields;
// 0 when that number is one.
int consistency(QStringView text, QChar delimiter) {
    RecordReader reader(text.left(SampleCharacters), delimiter);
    std::map<int, int> records; // by number of fields
    bool joins = false;
    for (int sampled = 0; sampled < SampleRecords;) {
        int fields = 0, cells = 0;
        Field previous;
        previous.column = -2;
        const bool more = reader.next(fields, [&](Field&& field) {
            joins = joins || (delimiter == u',' && joinsNumber(previous, field));
            previous = std::move(field);
            ++cells;
        });
        if (!more)
            break;
        if (joins)
            return 0;
        if (cells == 0)
            continue;
        ++records[fields];
        ++sampled;
    }
    int best = 0, bestFields = 1;
    for (const auto& [fields, count] : records) {
        if (count > best) {
            best = count;
            bestFields = fields;
        }
    }
    return bestFields >= 2 ? best : 0;
}

} // namespace

QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringDecoder::Utf8, bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return decodeWith(QStringDecoder::Utf16LE, bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return decodeWith(QStringDecoder::Utf16BE, bytes.mid(2));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QChar detectDelimiter(QStringView text) {
    QChar best = u';';
    int bestScore = 0;
    for (const QChar candidate : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
        const int score = consistency(text, candidate);
        if (score > bestScore) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

CellGrid::Grid parse(QStringView text, QChar delimiter, const CellGrid::Limits& limits) {
    CellGrid::Builder builder(limits);
    RecordReader reader(text, delimiter);
    int fields = 0;
    for (qint64 row = 1;; ++row) {
        const bool more = reader.next(fields, [&](Field&& field) {
            builder.add(row, field.column,
                        CellGrid::Cell{0, CellGrid::Cell::Kind::Text, 0, std::move(field.text)});
        });
        if (!more)
            break;
    }
    return builder.take();
}

} // namespace TextTable
