// SPDX-License-Identifier: GPL-3.0-or-later
#include "liste/reconciliation_file.h"

#include "core/numbers/kalvon_error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr int FormatVersion = 1;
const QLatin1String Kind("kalvon-abgleich");

// Amounts as ten-thousandths, exactly.
QJsonValue amount(Currency value) {
    return QString::number(value.count());
}

QJsonValue optionalAmount(const std::optional<Currency>& value) {
    return value ? amount(*value) : QJsonValue();
}

Currency amountOf(const QJsonValue& value) {
    bool ok = false;
    const qint64 count = value.toString().toLongLong(&ok);
    if (!ok)
        throw KalvonError::unreadable(QStringLiteral("ein Betrag fehlt oder ist keine Zahl"));
    return Currency::fromCount(count);
}

std::optional<Currency> optionalAmountOf(const QJsonValue& value) {
    if (value.isNull() || value.isUndefined())
        return std::nullopt;
    return amountOf(value);
}

QJsonArray rowsJson(const std::vector<int>& rows) {
    QJsonArray array;
    for (const int row : rows)
        array.append(row);
    return array;
}

QJsonObject decisionJson(const ReconciliationFile::Decision& d) {
    static const char* const bases[] = {"none", "reference", "amount"};
    const Matching::Candidate& c = d.candidate;
    return QJsonObject{
        {QStringLiteral("entry"), d.entry},
        {QStringLiteral("part"), d.part},
        {QStringLiteral("how"), d.assigned ? QStringLiteral("assigned") : QStringLiteral("accepted")},
        {QStringLiteral("basis"), QLatin1String(bases[int(d.basis)])},
        {QStringLiteral("rows"), rowsJson(c.rows)},
        {QStringLiteral("sum"), amount(c.sum)},
        {QStringLiteral("skonto_percent"), optionalAmount(c.skontoPercent)},
        {QStringLiteral("discount"), optionalAmount(c.discount)},
        {QStringLiteral("difference"), amount(c.difference)},
        {QStringLiteral("remainder"), optionalAmount(c.remainder)},
        {QStringLiteral("overpayment"), optionalAmount(c.overpayment)},
        {QStringLiteral("alternatives"), QString::fromStdString(d.alternatives.get_str())}};
}

ReconciliationFile::Decision decisionOf(const QJsonObject& o) {
    ReconciliationFile::Decision d;
    d.entry = o.value(QStringLiteral("entry")).toInt();
    d.part = o.value(QStringLiteral("part")).toInt();
    d.assigned = o.value(QStringLiteral("how")).toString() == QLatin1String("assigned");
    const QString basis = o.value(QStringLiteral("basis")).toString();
    d.basis = basis == QLatin1String("reference") ? Matching::Basis::Reference
              : basis == QLatin1String("amount")  ? Matching::Basis::Amount
                                                  : Matching::Basis::None;
    for (const QJsonValue& row : o.value(QStringLiteral("rows")).toArray())
        d.candidate.rows.push_back(row.toInt());
    if (d.entry <= 0 || d.candidate.rows.empty())
        throw KalvonError::unreadable(
            QStringLiteral("eine Entscheidung nennt keine Buchung oder keine Posten"));
    d.candidate.sum = amountOf(o.value(QStringLiteral("sum")));
    d.candidate.skontoPercent = optionalAmountOf(o.value(QStringLiteral("skonto_percent")));
    d.candidate.discount = optionalAmountOf(o.value(QStringLiteral("discount")));
    d.candidate.difference = amountOf(o.value(QStringLiteral("difference")));
    d.candidate.remainder = optionalAmountOf(o.value(QStringLiteral("remainder")));
    d.candidate.overpayment = optionalAmountOf(o.value(QStringLiteral("overpayment")));
    if (d.alternatives.set_str(o.value(QStringLiteral("alternatives")).toString().toStdString(), 10) != 0)
        d.alternatives = 0;
    return d;
}

QJsonObject settingsJson(const MatchSettings& s) {
    QJsonArray skonto;
    for (const Currency rate : s.skontoPercents)
        skonto.append(amount(rate));
    return QJsonObject{{QStringLiteral("max_items"), s.maxItems},
                       {QStringLiteral("tolerance"), amount(s.tolerance)},
                       {QStringLiteral("skonto_percent"), skonto},
                       {QStringLiteral("days"), s.days},
                       {QStringLiteral("customer_column"), s.customerColumn}};
}

MatchSettings settingsOf(const QJsonObject& o) {
    MatchSettings s;
    s.maxItems = o.value(QStringLiteral("max_items")).toInt(s.maxItems);
    s.tolerance = amountOf(o.value(QStringLiteral("tolerance")));
    s.skontoPercents.clear();
    for (const QJsonValue& rate : o.value(QStringLiteral("skonto_percent")).toArray())
        s.skontoPercents.push_back(amountOf(rate));
    s.days = o.value(QStringLiteral("days")).toInt(s.days);
    s.customerColumn = o.value(QStringLiteral("customer_column")).toInt(-1);
    return s;
}

QJsonObject fileJson(const QDir& folder, const QString& path, const QByteArray& sha256) {
    return QJsonObject{{QStringLiteral("file"), folder.relativeFilePath(path)},
                       {QStringLiteral("sha256"), QString::fromLatin1(sha256)}};
}

// A file named in the reconciliation, resolved against its folder; throws when it has changed.
QString checkedFile(const QDir& folder, const QJsonObject& o, const QString& what, QByteArray* sha256) {
    const QString path = QDir::cleanPath(folder.absoluteFilePath(o.value(QStringLiteral("file")).toString()));
    *sha256 = o.value(QStringLiteral("sha256")).toString().toLatin1();
    if (!QFileInfo(path).isFile())
        throw KalvonError::unreadable(
            QStringLiteral("%1 „%2“ ist nicht mehr da.").arg(what, QDir::toNativeSeparators(path)));
    if (ReconciliationFile::sha256Of(path) != *sha256)
        throw KalvonError::unreadable(
            QStringLiteral("%1 „%2“ hat sich geändert, seit der Abgleich gespeichert wurde; seine "
                           "Entscheidungen passen womöglich nicht mehr.")
                .arg(what, QDir::toNativeSeparators(path)));
    return path;
}

} // namespace

QByteArray ReconciliationFile::sha256Of(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw KalvonError::unreadable(QStringLiteral("Die Datei „%1“ lässt sich nicht lesen: %2")
                                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    return hash.result().toHex();
}

void ReconciliationFile::write(const QString& path, bool replace) const {
    const QString shown = QDir::toNativeSeparators(path);
    if (!replace && QFileInfo::exists(path))
        throw KalvonError::unreadable(
            QStringLiteral("Die Datei „%1“ gibt es schon; sie wird nicht überschrieben.").arg(shown));
    const QDir folder = QFileInfo(path).absoluteDir();
    QJsonObject items = fileJson(folder, itemsFile, itemsSha256);
    items.insert(QStringLiteral("sheet"), itemsSheet);
    items.insert(QStringLiteral("column"), itemsColumn);
    items.insert(QStringLiteral("header_row"), itemsHeaderRow);
    QJsonArray list;
    for (const Decision& d : decisions)
        list.append(decisionJson(d));
    const QJsonObject root{{QStringLiteral("kind"), Kind},
                           {QStringLiteral("version"), FormatVersion},
                           {QStringLiteral("statement"), fileJson(folder, statementFile, statementSha256)},
                           {QStringLiteral("open_items"), items},
                           {QStringLiteral("settings"), settingsJson(settings)},
                           {QStringLiteral("decisions"), list}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit())
        throw KalvonError::unreadable(
            QStringLiteral("Die Datei „%1“ lässt sich nicht schreiben: %2").arg(shown, file.errorString()));
}

ReconciliationFile ReconciliationFile::read(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw KalvonError::unreadable(
            QStringLiteral("Die Datei „%1“ lässt sich nicht lesen: %2").arg(shown, file.errorString()));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(qint64(16) << 20), &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || root.value(QStringLiteral("kind")).toString() != Kind ||
        root.value(QStringLiteral("version")).toInt() != FormatVersion)
        throw KalvonError::unreadable(
            QStringLiteral("„%1“ ist kein gespeicherter Abgleich von Kalvon Liste.").arg(shown));
    ReconciliationFile saved;
    const QDir folder = QFileInfo(path).absoluteDir();
    const QJsonObject items = root.value(QStringLiteral("open_items")).toObject();
    saved.statementFile = checkedFile(folder, root.value(QStringLiteral("statement")).toObject(),
                                      QStringLiteral("Der Kontoauszug"), &saved.statementSha256);
    saved.itemsFile =
        checkedFile(folder, items, QStringLiteral("Die Liste der offenen Posten"), &saved.itemsSha256);
    saved.itemsSheet = items.value(QStringLiteral("sheet")).toString();
    saved.itemsColumn = items.value(QStringLiteral("column")).toInt(-1);
    saved.itemsHeaderRow = items.value(QStringLiteral("header_row")).toInt();
    try {
        saved.settings = settingsOf(root.value(QStringLiteral("settings")).toObject());
        for (const QJsonValue& d : root.value(QStringLiteral("decisions")).toArray())
            saved.decisions.push_back(decisionOf(d.toObject()));
    } catch (const KalvonError& e) {
        throw KalvonError::unreadable(
            QStringLiteral("Der gespeicherte Abgleich „%1“ ist beschädigt: %2.").arg(shown, e.userMessage()));
    }
    return saved;
}
