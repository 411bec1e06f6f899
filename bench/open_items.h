// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

// One invoice of a generated list of open items, the same in every file format the benchmarks
// write: amounts are two-decimal values up to 99.999,99, in cents.
struct Invoice {
    QString number;
    QDate date;
    QString customer;
    qint64 cents = 0;
};

// The i-th invoice of the list, i from 1.
Invoice openItem(int i);
