// Interim: plain lists only, until the table reader lands. Not for merging.
#include "core/amount_list.h"
#include "core/kalvon_error.h"
#include "core/number_text.h"
#include "core/table_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace TableReader {
QString columnLetter(int column) {
    QString s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}
ItemTable readFile(const QString& path, const Options&, Layout*) {
    QFile file;
    bool opened;
    if (path.isEmpty() || path == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened)
        throw KalvonError::unreadable((QFileInfo::exists(path)
                                           ? QStringLiteral("Die Datei „%1“ lässt sich nicht lesen.")
                                           : QStringLiteral("Die Datei „%1“ gibt es nicht."))
                                          .arg(path));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    ItemTable t;
    for (const QString& cell : AmountList::split(text)) {
        Item item;
        item.row = int(t.items.size()) + 1;
        try {
            item.amount = NumberText::toCurrency(cell);
        } catch (KalvonError& e) {
            const QString subject = QStringLiteral("Der Betrag Nr. %1").arg(item.row);
            e.setSubject(e.kind() == KalvonError::Kind::Overflow
                             ? QStringLiteral("%1, „%2“,").arg(subject, e.quotedInput())
                             : subject);
            throw;
        }
        t.items.push_back(item);
    }
    return t;
}
} // namespace TableReader
