#include "ui/kalvon_error.h"

#include "ui/currency.h"
#include "ui/number_text.h"

KalvonError::KalvonError(Kind kind, QString subject, QString input)
    : m_kind(kind)
    , m_subject(std::move(subject))
    , m_input(std::move(input))
    , m_what(kind == Kind::Overflow ? "overflow" : "type mismatch") {}

QString KalvonError::userMessage() const {
    if (m_kind == Kind::Overflow) {
        const QString subject = m_subject.isEmpty() ? QStringLiteral("Ein Betrag") : m_subject;
        return QStringLiteral("%1 liegt außerhalb des zulässigen Bereichs von ±%2.")
            .arg(subject, NumberText::format(Currency::max()));
    }
    const QString subject = m_subject.isEmpty() ? QStringLiteral("Ein Eintrag") : m_subject;
    QString shown = m_input;
    if (shown.size() > 40)
        shown = shown.left(40) + QStringLiteral("…");
    return QStringLiteral("%1 ist keine gültige Zahl: „%2“.").arg(subject, shown);
}

const char* KalvonError::what() const noexcept {
    return m_what.c_str();
}
