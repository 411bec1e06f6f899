// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <memory>

class QuaZip;
class PartDevice;

// The parts of a zip archive, each unpacked within a bound: an entry whose declared size is too
// large is refused before it is unpacked, and unpacking stops at the bound, since a declared size
// may lie.
class ZipParts {
public:
    // Throws KalvonError (Unreadable) when the bytes are no zip archive that can be opened.
    ZipParts(const QByteArray& bytes, qint64 maxUnpackedBytes);
    ~ZipParts();
    ZipParts(const ZipParts&) = delete;
    ZipParts& operator=(const ZipParts&) = delete;

    bool contains(const QString& name) const;
    // The first `size` bytes of the unpacked part, or fewer when it is shorter; throws KalvonError
    // (Unreadable) when it is missing or broken.
    QByteArray head(const QString& name, qint64 size) const;

private:
    friend class XmlPart;

    QByteArray m_bytes;
    mutable QBuffer m_buffer;
    std::unique_ptr<QuaZip> m_zip;
    qint64 m_maxUnpacked;
};

// The most bytes between two tags of a part: text, blanks or a tag. A cell's text is at most 32,767
// characters, so a longer stretch is no sheet a spreadsheet program writes; an XML reader would
// hold it whole.
constexpr qint64 MaxStretch = qint64(1) << 20;

// One XML part of the archive, unpacked as the reader goes: a part that unpacks beyond the bound
// or holds a stretch beyond MaxStretch stops there, and one with a document type definition (whose
// entities could expand without bound) is refused. Only one part of an archive is open at a time.
class XmlPart {
public:
    // Opens the part and reads up to its first element; throws KalvonError (Unreadable) when it is
    // missing or cannot be unpacked.
    XmlPart(const ZipParts& parts, const QString& name);
    ~XmlPart();
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    QXmlStreamReader& reader() { return m_reader; }
    const QString& name() const { return m_name; }
    // After the last token: throws KalvonError (Unreadable) for a part that was too large, could not
    // be unpacked or is no well-formed XML.
    void finish();
    // Throws KalvonError (Unreadable) when elements are nested deeper than MaxNesting.
    void checkNesting(int depth) const;

private:
    QString m_name;
    std::unique_ptr<PartDevice> m_device;
    QXmlStreamReader m_reader;
};

// The deepest nesting of elements read inside a cell or a table; a workbook needs a few levels.
constexpr int MaxNesting = 100;

// The failures of a workbook's parts, with their whole German message.
namespace WorkbookError {
[[noreturn]] void brokenXml(const QString& part, const QXmlStreamReader& reader);
[[noreturn]] void broken(const QString& detail);
} // namespace WorkbookError
