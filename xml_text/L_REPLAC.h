#pragma once
// Replacing every occurrence of a text, and cutting trailing NULs.
#include <QString>

namespace L_REPLAC {

// Qt's case sensitivity for a compare mode: 1 ignores case (Qt's case folding, so "Ä"
// matches "ä"), anything else compares exactly.
Qt::CaseSensitivity CaseFor(int compareMode);
// Number of occurrences replaced, left to right and never overlapping; the search goes on
// after each inserted replacement. An empty search text gives 0 and no change. Linear in
// the text: the result is built once, not per occurrence.
int ReplaceAll(QString &text, const QString &search, const QString &replacement, int compareMode);
// The text less its trailing NUL characters; empty when all are NUL.
QString StripTrailingNul(const QString &text);

// A service's text fit for a file or a terminal: control characters (C0 but tab, DEL, C1)
// removed, and with them whole escape sequences (ESC [ ... final, ESC ] ... BEL or ESC \).
QString Clean(const QString &text);
// The text for a diagnostic line: every control character (C0, DEL, C1) written as \xNN,
// cut after `most` characters with "...".
QString Shown(const QString &text, qsizetype most);

} // namespace L_REPLAC
