// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/number_text.h"
#include "core/tables/item_table.h"
#include "frontend/message_box.h"
#include "liste/list_controller.h"

#include <QList>
#include <QLocale>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <initializer_list>
#include <utility>

// German regional settings, settings files in Qt's test location, and every message box answered
// by script and recorded.
class ListFixture {
public:
    ListFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QStandardPaths::setTestModeEnabled(true);
        MessageBoxService::setResponder([this](const MsgRequest& m) {
            messages << m;
            if (m.buttons == MsgButtons::Ok)
                return MsgAnswer::Ok;
            return answers.isEmpty() || answers.takeFirst() ? MsgAnswer::Yes : MsgAnswer::No;
        });
    }
    ~ListFixture() { MessageBoxService::setResponder({}); }
    ListFixture(const ListFixture&) = delete;
    ListFixture& operator=(const ListFixture&) = delete;

    QStringList texts() const {
        QStringList out;
        for (const MsgRequest& m : messages)
            out << m.prompt;
        return out;
    }

    QList<MsgRequest> messages;
    QList<bool> answers; // for questions, in order; then Ja
};

// Waits until the controller is idle again: a file or the clipboard read and its column chosen,
// or a search ended. false: still busy after 30 s.
inline bool waitForIdle(const ListController* controller) {
    return QTest::qWaitFor([controller] { return !controller->isBusy(); }, 30000);
}

// A CSV file's bytes: a header, then rows - 1 invoices with amounts from 1,00 to 999,99.
inline QByteArray largeCsv(int rows) {
    QByteArray bytes = "Rechnung;Betrag\n";
    for (int i = 1; i < rows; ++i)
        bytes += "RE-" + QByteArray::number(i) + ';' + QByteArray::number(i % 999 + 1) + ',' +
                 QByteArray::number(10 + i % 90) + '\n';
    return bytes;
}

// A table of items from (label, amount) pairs, numbered as rows 2, 3, … below a header.
inline ItemTable itemTable(std::initializer_list<std::pair<const char*, const char*>> items) {
    ItemTable table;
    table.format = ItemTable::Format::Text;
    int row = 1;
    for (const auto& [label, amount] : items)
        table.items.push_back(
            {NumberText::toCurrency(QString::fromUtf8(amount)), ++row, QString::fromUtf8(label)});
    return table;
}

// count amounts scattered between 1,00 and 100.000,00, and half their total: a target that no table
// of reachable sums takes, so that meet in the middle works on it (52 amounts: some seconds).
inline ItemTable longList(int count, Currency* halfTotal) {
    ItemTable table;
    qint64 total = 0;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 cents = (i + 1) * 7919 * 104729 % 9999900 + 100;
        table.items.push_back({Currency::fromCount(cents * 100), int(i) + 2, {}});
        total += cents * 100;
    }
    *halfTotal = Currency::fromCount(total / 200 * 100);
    return table;
}

// A string list from UTF-8 literals, for test tables.
inline QStringList strings(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}
