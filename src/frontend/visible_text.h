// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Text from a file shown to the user: control characters and the characters that reorder text
// (bidirectional embeddings, overrides and isolates) are written as visible escapes, so that a
// label can neither act on the terminal nor disguise what it says.
namespace VisibleText {

// "\t", "\n" and "\r" for tab and line breaks, "\x1B" for the other control characters (C0, DEL
// and C1), "\u202E" for U+202A to U+202E and U+2066 to U+2069. Everything else stays as it is.
QString escaped(const QString& text);

} // namespace VisibleText
