// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tables/zip_parts.h"

#include "core/numbers/kalvon_error.h"
#include "core/tables/cell_grid.h"

#include <QIODevice>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <cstring>

namespace {

[[noreturn]] void tooLarge(const QString& part, qint64 bound) {
    throw KalvonError::unreadable(
        QStringLiteral(
            "Der Teil „%1“ der Arbeitsmappe ist entpackt größer als %2; so große Arbeitsmappen werden "
            "nicht gelesen.")
            .arg(part, CellGrid::sizeText(bound)));
}

[[noreturn]] void stretchTooLong(const QString& part) {
    throw KalvonError::unreadable(
        QStringLiteral("Der Teil „%1“ der Arbeitsmappe enthält mehr als %2 Text oder Leerraum am Stück; so "
                       "lange Zellinhalte werden nicht gelesen.")
            .arg(part, CellGrid::sizeText(MaxStretch)));
}

[[noreturn]] void notUnpackable(const QString& part) {
    WorkbookError::broken(QStringLiteral("Der Teil „%1“ lässt sich nicht entpacken.").arg(part));
}

// Makes the part current and checks its declared size against the bound.
void select(QuaZip& zip, const QString& name, qint64 maxUnpacked) {
    if (!zip.setCurrentFile(name, QuaZip::csInsensitive))
        WorkbookError::broken(QStringLiteral("Der Teil „%1“ fehlt.").arg(name));
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info))
        notUnpackable(name);
    if (info.uncompressedSize > quint64(maxUnpacked))
        tooLarge(name, maxUnpacked);
}

} // namespace

// The current part of the archive as the XML reader reads it. A failure cannot be thrown through
// the reader: it ends the stream, and XmlPart::finish reports it.
class PartDevice : public QIODevice {
public:
    enum class Fault { None, TooLarge, TooLongStretch, Broken };

    PartDevice(QuaZip* zip, qint64 maxUnpacked)
        : m_file(zip)
        , m_maxUnpacked(maxUnpacked) {}

    bool start() { return m_file.open(QIODevice::ReadOnly) && open(QIODevice::ReadOnly); }
    // Closes the part; false when its data did not check out (a wrong checksum or size).
    bool closePart() {
        if (!m_file.isOpen())
            return true;
        m_file.close();
        return m_file.getZipError() == UNZ_OK;
    }
    Fault fault() const { return m_fault; }
    qint64 maxUnpacked() const { return m_maxUnpacked; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 failWith(Fault fault) {
        m_fault = fault;
        return -1;
    }

    QuaZipFile m_file;
    qint64 m_maxUnpacked;
    qint64 m_unpacked = 0;
    qint64 m_stretch = 0; // bytes since the last '<'
    Fault m_fault = Fault::None;
};

qint64 PartDevice::readData(char* data, qint64 size) {
    if (m_fault != Fault::None)
        return -1;
    const qint64 got = m_file.read(data, size);
    if (got < 0)
        return failWith(Fault::Broken);
    m_unpacked += got;
    if (m_unpacked > m_maxUnpacked)
        return failWith(Fault::TooLarge);
    const char* last = nullptr;
    for (const char* at = data;
         (at = static_cast<const char*>(std::memchr(at, '<', std::size_t(data + got - at)))); ++at)
        last = at;
    m_stretch = last ? data + got - last - 1 : m_stretch + got;
    if (m_stretch > MaxStretch)
        return failWith(Fault::TooLongStretch);
    return got;
}

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

QByteArray ZipParts::head(const QString& name, qint64 size) const {
    if (!m_zip->setCurrentFile(name, QuaZip::csInsensitive))
        WorkbookError::broken(QStringLiteral("Der Teil „%1“ fehlt.").arg(name));
    QuaZipFile file(m_zip.get());
    if (!file.open(QIODevice::ReadOnly))
        notUnpackable(name);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    const qint64 got = file.read(bytes.data(), size);
    if (got < 0)
        notUnpackable(name);
    bytes.resize(qsizetype(got));
    return bytes;
}

XmlPart::XmlPart(const ZipParts& parts, const QString& name)
    : m_name(name) {
    select(*parts.m_zip, name, parts.m_maxUnpacked);
    m_device = std::make_unique<PartDevice>(parts.m_zip.get(), parts.m_maxUnpacked);
    if (!m_device->start())
        notUnpackable(name);
    m_reader.setDevice(m_device.get());
    while (!m_reader.atEnd() && m_reader.readNext() != QXmlStreamReader::StartElement) {
        if (m_reader.tokenType() == QXmlStreamReader::DTD)
            WorkbookError::broken(
                QStringLiteral(
                    "Der Teil „%1“ enthält eine Dokumenttypdefinition (DTD); eine Arbeitsmappe hat "
                    "keine.")
                    .arg(name));
    }
}

XmlPart::~XmlPart() {
    m_reader.setDevice(nullptr);
}

void XmlPart::finish() {
    switch (m_device->fault()) {
    case PartDevice::Fault::TooLarge:
        tooLarge(m_name, m_device->maxUnpacked());
    case PartDevice::Fault::TooLongStretch:
        stretchTooLong(m_name);
    case PartDevice::Fault::Broken:
        notUnpackable(m_name);
    case PartDevice::Fault::None:
        break;
    }
    if (m_reader.hasError() && m_reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        WorkbookError::brokenXml(m_name, m_reader);
    if (!m_device->closePart())
        notUnpackable(m_name);
    if (m_reader.hasError())
        WorkbookError::brokenXml(m_name, m_reader);
}

void XmlPart::checkNesting(int depth) const {
    if (depth > MaxNesting)
        throw KalvonError::unreadable(
            QStringLiteral("Der Teil „%1“ der Arbeitsmappe schachtelt Elemente mehr als %2 Ebenen tief; so "
                           "tief geschachtelte Zellen werden nicht gelesen.")
                .arg(m_name)
                .arg(MaxNesting));
}
