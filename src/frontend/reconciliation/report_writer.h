// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frontend/reconciliation/report.h"

#include <QByteArray>
#include <QString>

// The report in the forms kalvon-abgleich writes: German text, JSON, CSV for a spreadsheet, and an
// .xlsx workbook. Numbers in text and CSV follow the default locale.
namespace Abgleich {

QString textReport(const Report& report);
QString jsonReport(const Report& report);
QByteArray csvReport(const Report& report);
// Writes the workbook to a temporary file beside path and renames it, so that a failure leaves
// no half-written file; throws KalvonError (Unreadable) with the German message.
void writeXlsx(const Report& report, const QString& path);

// Shared wording: "zugeordnet", "Teilzahlung" …, and an item as "RE-2026-0101 (Zeile 4)".
QString statusText(const PaymentResult& payment);
QString itemName(const OpenItem& item);
QString basisText(Basis basis);
// "Buchung 3", or "Buchung 3.2" for the second payment of a batch booking.
QString entryText(const PaymentResult& payment);
// The text report's summary line without its line break: "Zahlungen: 13 gelesen, 7 zugeordnet, …".
QString summaryText(const Summary& summary);
// One payment as the text report shows it: its head line, status and details, lines indented.
QString paymentText(const Report& report, const PaymentResult& payment);
// A date in the regional short format with a four-digit year; empty when unknown.
QString regionalDate(const QDate& date);

} // namespace Abgleich
