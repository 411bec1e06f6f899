// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/matching/match_text.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace Matching::MatchText {

namespace {

// Characters that may stand between the parts of one number; anything else ends it.
bool joinsTokens(QChar c) {
    return c.isSpace() || c == u'-' || c == u'/' || c == u'.' || c == u'_' || c == u'#';
}

QString normalisedToken(QStringView token) {
    QString folded = token.toString().toCaseFolded();
    qsizetype zeros = 0;
    while (zeros + 1 < folded.size() && folded.at(zeros) == u'0')
        ++zeros;
    return folded.mid(zeros);
}

// The text's tokens in segments: tokens of one segment are separated only by joining characters.
std::vector<std::vector<QString>> segments(const QString& text) {
    std::vector<std::vector<QString>> result(1);
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isLetterOrNumber()) {
            qsizetype end = i;
            while (end < text.size() && text.at(end).isLetterOrNumber())
                ++end;
            result.back().push_back(normalisedToken(QStringView(text).mid(i, end - i)));
            i = end;
            continue;
        }
        if (!joinsTokens(c) && !result.back().empty())
            result.emplace_back();
        ++i;
    }
    return result;
}

// ä, ö, ü and ß as ae, oe, ue and ss; other letters without their accents.
QString withoutAccents(const QString& lower) {
    QString spelled;
    spelled.reserve(lower.size());
    for (const QChar c : lower) {
        switch (c.unicode()) {
        case 0x00E4:
            spelled += QStringLiteral("ae");
            break;
        case 0x00F6:
            spelled += QStringLiteral("oe");
            break;
        case 0x00FC:
            spelled += QStringLiteral("ue");
            break;
        case 0x00DF:
            spelled += QStringLiteral("ss");
            break;
        default:
            spelled += c;
        }
    }
    QString plain;
    for (const QChar c : spelled.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    return plain;
}

} // namespace

QString referenceKey(const QString& number) {
    QString key;
    for (const auto& segment : segments(number))
        for (const QString& token : segment)
            key += token;
    return key;
}

QString nameKey(const QString& name) {
    static const QRegularExpression legalForm(QStringLiteral(
        "(^|[^a-z0-9])(gmbh|mbh|ag|kg|kgaa|ohg|gbr|ug|e\\s*\\.?\\s*k|e\\s*\\.?\\s*kfm|e\\s*\\.?\\s*v|"
        "co|haftungsbeschraenkt)(?=$|[^a-z0-9])"));
    QString plain = withoutAccents(name.toCaseFolded());
    plain.replace(legalForm, QStringLiteral("\\1 "));
    QStringList words;
    QString word;
    for (const QChar c : plain + u' ') {
        if (c.isLetterOrNumber()) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    words.sort();
    return words.join(u' ');
}

QString ibanKey(const QString& iban) {
    QString key;
    for (const QChar c : iban)
        if (c.isLetterOrNumber())
            key += c.toUpper();
    return key;
}

void KeyFinder::add(const QString& key, int id) {
    if (key.isEmpty())
        return;
    m_ids[key].push_back(id);
    m_longest = std::max(m_longest, key.size());
}

std::vector<int> KeyFinder::find(const QString& text) const {
    std::vector<int> found;
    for (const auto& segment : segments(text)) {
        for (std::size_t first = 0; first < segment.size(); ++first) {
            QString joined;
            for (std::size_t last = first; last < segment.size(); ++last) {
                joined += segment[last];
                if (joined.size() > m_longest)
                    break;
                const auto hit = m_ids.constFind(joined);
                if (hit != m_ids.constEnd())
                    found.insert(found.end(), hit->begin(), hit->end());
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

} // namespace Matching::MatchText
