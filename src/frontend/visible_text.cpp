// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/visible_text.h"

namespace VisibleText {
namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool reordersText(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

QString escape(char16_t c) {
    switch (c) {
    case u'\t':
        return QStringLiteral("\\t");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    }
    const QString hex = QString::number(uint(c), 16).toUpper();
    if (isControl(c))
        return QStringLiteral("\\x") + hex.rightJustified(2, QLatin1Char('0'));
    return QStringLiteral("\\u") + hex.rightJustified(4, QLatin1Char('0'));
}

} // namespace

QString escaped(const QString& text) {
    qsizetype first = 0;
    while (first < text.size() && !isControl(text[first].unicode()) && !reordersText(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text; // the usual case: nothing to escape, no copy
    QString out = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isControl(c) || reordersText(c))
            out += escape(c);
        else
            out += text[i];
    }
    return out;
}

} // namespace VisibleText
