// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <any>
#include <exception>
#include <string>
#include <utility>

// The one failure type of the core library. For number conversion and amount arithmetic it
// carries what failed (the kind), which quantity it concerns (a German noun phrase, for example
// "Der Betrag in „5.Wert“") and, for a type mismatch, the offending text. An input that cannot be
// read and a search that no method can take carry their whole German message instead.
class KalvonError : public std::exception {
public:
    enum class Kind {
        TypeMismatch, // text that is not a number
        Overflow,     // a value outside the Currency range
        Unreadable,   // a file or table that cannot be read
        Unsupported   // a search that no method can take, or for which memory runs out
    };

    KalvonError(Kind kind, QString subject = {}, QString input = {});
    // A failure of the kind Unreadable or Unsupported, with its whole message.
    static KalvonError unreadable(QString message) {
        return KalvonError(Kind::Unreadable, std::move(message));
    }
    static KalvonError unsupported(QString message) {
        return KalvonError(Kind::Unsupported, std::move(message));
    }

    Kind kind() const { return m_kind; }
    const QString& subject() const { return m_subject; }
    const QString& input() const { return m_input; }
    void setSubject(const QString& subject) { m_subject = subject; }
    // Figures that a front end words in its own terms (a search's refusal, say); empty for most
    // failures. The wing that throws defines their type.
    const std::any& details() const { return m_details; }
    KalvonError& withDetails(std::any details) {
        m_details = std::move(details);
        return *this;
    }

    // German text for the message box that reports the failure.
    QString userMessage() const;
    // The offending text as a message may quote it: shortened, and nothing in it that would not
    // show plainly.
    QString quotedInput() const;
    const char* what() const noexcept override;

private:
    Kind m_kind;
    QString m_subject;
    QString m_input;
    std::string m_what;
    std::any m_details;
};

// Runs f and gives a failure that does not yet name its quantity the subject given here.
template <class F> auto inContext(const QString& subject, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (KalvonError& e) {
        if (e.subject().isEmpty())
            e.setSubject(subject);
        throw;
    }
}
