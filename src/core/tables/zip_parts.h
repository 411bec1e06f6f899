// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <memory>

class QuaZip;
class QXmlStreamReader;

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
    // The unpacked part; throws KalvonError (Unreadable) when it is missing, broken or too large.
    QByteArray read(const QString& name) const;
    // The part, or an empty array when there is no such part.
    QByteArray readOptional(const QString& name) const;

private:
    QByteArray m_bytes;
    mutable QBuffer m_buffer;
    std::unique_ptr<QuaZip> m_zip;
    qint64 m_maxUnpacked;
};

// The failures of a workbook's parts, with their whole German message.
namespace WorkbookError {
[[noreturn]] void brokenXml(const QString& part, const QXmlStreamReader& reader);
[[noreturn]] void broken(const QString& detail);
} // namespace WorkbookError
