// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/numbers/kalvon_error.h"

#include "core/numbers/currency.h"
#include "core/numbers/number_text.h"

namespace {

bool showsPlainly(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

// The offending text as the message quotes it: at most 40 characters, and every character that
// would not show or would steer the message's display (control characters, line breaks, bidi
// marks and overrides, a broken surrogate) shown as U+FFFD.
QString quoted(const QString& input) {
    const QChar replacement(QChar::ReplacementCharacter);
    QString shown;
    int characters = 0;
    qsizetype i = 0;
    for (; i < input.size() && characters < 40; ++i, ++characters) {
        const QChar c = input.at(i);
        if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
            const char32_t ucs = QChar::surrogateToUcs4(c, input.at(i + 1));
            if (showsPlainly(ucs))
                shown.append(c).append(input.at(i + 1));
            else
                shown.append(replacement);
            ++i;
        } else {
            shown.append(showsPlainly(c.unicode()) ? c : replacement);
        }
    }
    if (i < input.size())
        shown += QStringLiteral("…");
    return shown;
}

} // namespace

KalvonError::KalvonError(Kind kind, QString subject, QString input)
    : m_kind(kind)
    , m_subject(std::move(subject))
    , m_input(std::move(input))
    , m_what(kind == Kind::Overflow       ? "overflow"
             : kind == Kind::TypeMismatch ? "type mismatch"
                                          : m_subject.toStdString()) {}

QString KalvonError::userMessage() const {
    if (m_kind == Kind::Unreadable || m_kind == Kind::Unsupported)
        return m_subject;
    if (m_kind == Kind::Overflow) {
        const QString subject = m_subject.isEmpty() ? QStringLiteral("Ein Betrag") : m_subject;
        return QStringLiteral("%1 liegt außerhalb des zulässigen Bereichs von ±%2.")
            .arg(subject, NumberText::format(Currency::max()));
    }
    const QString subject = m_subject.isEmpty() ? QStringLiteral("Ein Eintrag") : m_subject;
    return QStringLiteral("%1 ist keine gültige Zahl: „%2“.").arg(subject, quotedInput());
}

QString KalvonError::quotedInput() const {
    return quoted(m_input);
}

const char* KalvonError::what() const noexcept {
    return m_what.c_str();
}
