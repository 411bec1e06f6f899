// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/zip_parts.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/cell_grid.h"

#include <QXmlStreamReader>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

namespace {

constexpr qint64 Chunk = qint64(1) << 18;

[[noreturn]] void tooLarge(const QString& part, qint64 bound) {
    throw KalvonError::unreadable(
        QStringLiteral(
            "Der Teil „%1“ der Arbeitsmappe ist entpackt größer als %2; so große Arbeitsmappen werden "
            "nicht gelesen.")
            .arg(part, CellGrid::sizeText(bound)));
}

[[noreturn]] void notUnpackable(const QString& part) {
    WorkbookError::broken(QStringLiteral("Der Teil „%1“ lässt sich nicht entpacken.").arg(part));
}

} // namespace

namespace WorkbookError {

void broken(const QString& detail) {
    throw KalvonError::unreadable(QStringLiteral("Die Arbeitsmappe ist beschädigt: %1").arg(detail));
}

void brokenXml(const QString& part, const QXmlStreamReader& reader) {
    broken(
        QStringLiteral("Der Teil „%1“ ist kein gültiges XML (Zeile %2).").arg(part).arg(reader.lineNumber()));
}

} // namespace WorkbookError

ZipParts::ZipParts(const QByteArray& bytes, qint64 maxUnpackedBytes)
    : m_bytes(bytes)
    , m_buffer(&m_bytes)
    , m_zip(std::make_unique<QuaZip>(&m_buffer))
    , m_maxUnpacked(maxUnpackedBytes) {
    if (!m_zip->open(QuaZip::mdUnzip))
        WorkbookError::broken(QStringLiteral("Das ZIP-Archiv lässt sich nicht öffnen."));
}

ZipParts::~ZipParts() = default;

bool ZipParts::contains(const QString& name) const {
    return m_zip->setCurrentFile(name, QuaZip::csInsensitive);
}

QByteArray ZipParts::readOptional(const QString& name) const {
    return contains(name) ? read(name) : QByteArray();
}

QByteArray ZipParts::read(const QString& name) const {
    if (!m_zip->setCurrentFile(name, QuaZip::csInsensitive))
        WorkbookError::broken(QStringLiteral("Der Teil „%1“ fehlt.").arg(name));
    QuaZipFileInfo64 info;
    if (!m_zip->getCurrentFileInfo(&info))
        notUnpackable(name);
    if (info.uncompressedSize > quint64(m_maxUnpacked))
        tooLarge(name, m_maxUnpacked);
    QuaZipFile file(m_zip.get());
    if (!file.open(QIODevice::ReadOnly))
        notUnpackable(name);
    QByteArray part;
    for (;;) {
        const qint64 room = m_maxUnpacked + 1 - part.size();
        const qsizetype old = part.size();
        part.resize(old + qsizetype(std::min(Chunk, room)));
        const qint64 got = file.read(part.data() + old, part.size() - old);
        if (got < 0)
            notUnpackable(name);
        part.resize(old + qsizetype(got));
        if (part.size() > m_maxUnpacked)
            tooLarge(name, m_maxUnpacked);
        if (got == 0)
            break;
    }
    file.close();
    if (file.getZipError() != UNZ_OK)
        notUnpackable(name);
    return part;
}
