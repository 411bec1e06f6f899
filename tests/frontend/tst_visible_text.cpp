// SPDX-License-Identifier: GPL-3.0-or-later
// Labels from files as the programs show them: control and reordering characters escaped.
#include "frontend/visible_text.h"

#include <QtTest>

class TestVisibleText : public QObject {
    Q_OBJECT

private slots:
    void escaped_data();
    void escaped();
    void everyCharacter();
};

void TestVisibleText::escaped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain label") << QStringLiteral("RE-2026-0101 Müller GmbH")
                                 << QStringLiteral("RE-2026-0101 Müller GmbH");
    QTest::newRow("escape sequence for the terminal")
        << QStringLiteral("RE-1\x1B[2J\x1B]0;x\x07") << QStringLiteral("RE-1\\x1B[2J\\x1B]0;x\\x07");
    QTest::newRow("backspace over the label")
        << QStringLiteral("RE-9\b\b\b1") << QStringLiteral("RE-9\\x08\\x08\\x081");
    QTest::newRow("line breaks and tab")
        << QStringLiteral("a\tb\r\nTreffer 2: c") << QStringLiteral("a\\tb\\r\\nTreffer 2: c");
    QTest::newRow("NUL, DEL and a C1 control")
        << QString::fromUtf16(u"a\u0000b\u007Fc\u009Bd", 7) << QStringLiteral("a\\x00b\\x7Fc\\x9Bd");
    QTest::newRow("right-to-left override")
        << QString::fromUtf16(u"RE-\u202Efdp.exe") << QStringLiteral("RE-\\u202Efdp.exe");
    QTest::newRow("embeddings and isolates")
        << QString::fromUtf16(u"\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069")
        << QStringLiteral("\\u202A\\u202B\\u202C\\u202D\\u2066\\u2067\\u2068\\u2069");
    QTest::newRow("marks and other scripts stay")
        << QString::fromUtf16(u"\u200F\u05D0\u0628 €") << QString::fromUtf16(u"\u200F\u05D0\u0628 €");
}

void TestVisibleText::escaped() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(VisibleText::escaped(text), shown);
}

// Every UTF-16 unit against a plain rule: what is escaped holds none of the characters, and what
// stays is the character itself.
void TestVisibleText::everyCharacter() {
    int escapedCount = 0;
    for (uint u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const QString one{QChar(char16_t(u))};
        const QString shown = VisibleText::escaped(one);
        const bool hidden = u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) ||
                            (u >= 0x2066 && u <= 0x2069);
        if (!hidden) {
            QCOMPARE(shown, one);
            continue;
        }
        ++escapedCount;
        QVERIFY2(shown.startsWith(QLatin1Char('\\')) && shown.size() >= 2, qPrintable(shown));
        for (const QChar c : shown)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, qPrintable(QString::number(u, 16)));
    }
    QCOMPARE(escapedCount, 32 + 33 + 5 + 4);
}

QTEST_GUILESS_MAIN(TestVisibleText)
#include "tst_visible_text.moc"
