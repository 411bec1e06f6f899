// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QThread;

// The header texts of the list's columns, for the choice of the customer column: read from the
// list's file on a thread of their own, so that a long list does not hold up the window.
class StatementColumns : public QObject {
    Q_OBJECT

public:
    explicit StatementColumns(QObject* parent = nullptr);
    // Waits for a reading that still runs.
    ~StatementColumns() override;

    // Reads the columns of this sheet (empty: the first) below this header row (0: found); an
    // empty path gives no columns. A reading still running is not reported any more.
    void read(const QString& path, const QString& sheet, int headerRow);

    // "C – Kunde" for a column with a header, else its letter.
    static QStringList choices(const QStringList& titles);

signals:
    // The header text of each column, empty where there is none; no columns when the file could
    // not be read.
    void columnsRead(const QStringList& titles);

private:
    QList<QThread*> m_threads;
    quint64 m_generation = 0;
};
