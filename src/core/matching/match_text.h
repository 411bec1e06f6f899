// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

#include <vector>

// How payments and open items are compared as text: invoice and customer numbers as whole tokens,
// names without their spelling variants and legal forms, IBANs without spaces.
namespace Matching::MatchText {

// A number as a key: its runs of letters and digits, case-folded, leading zeros dropped, joined.
// "RE-2026-0017", "re 2026/17" and "RE.2026.17" all give "re202617"; empty when it has none.
QString referenceKey(const QString& number);

// A name as a key: case-folded, ä/ö/ü/ß and ae/oe/ue/ss alike, other accents and punctuation
// dropped, the legal forms (GmbH, AG, KG, e.K., GbR, UG, OHG, e.V., & Co., haftungsbeschränkt)
// left out, the words sorted. "Müller GmbH" and "MUELLER" give "mueller".
QString nameKey(const QString& name);

// An IBAN without spaces, in capitals.
QString ibanKey(const QString& iban);

// Keys looked up in free text: a key is found where consecutive tokens of the text joined give
// it, the tokens separated only by spaces, '-', '/', '.', '_' or '#'. A key therefore stands as
// whole tokens: "RE-2026-17" is not found in "RE-2026-170" nor in "XRE-2026-17".
class KeyFinder {
public:
    // id is returned by find() wherever key occurs; empty keys are ignored.
    void add(const QString& key, int id);
    bool isEmpty() const { return m_ids.isEmpty(); }
    // The ids of every key found in text, ascending, each once.
    std::vector<int> find(const QString& text) const;

private:
    QHash<QString, std::vector<int>> m_ids;
    qsizetype m_longest = 0;
};

} // namespace Matching::MatchText
