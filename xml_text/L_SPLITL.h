#pragma once
// Splitting a text into a text list and joining one. A text list keeps entry 0 empty;
// its count is the index of its last entry.
#include <QString>
#include <QStringList>

namespace L_SPLITL {

// Number of fields stored in list[1..count]. Fields are trimmed of spaces when `trim`
// is set; empty fields (adjacent separators, a leading or trailing one, an empty text)
// are kept unless `skipEmpty`. An empty separator gives 0 and a list of entry 0 alone.
int SplitList(const QString &text, QStringList &list, const QString &separator, int compareMode,
              bool trim, bool skipEmpty);
// Entries 1..last joined with the separator (entry 0 is never read); one trailing
// separator is removed.
QString JoinList(const QStringList &list, const QString &separator, bool trim, bool skipEmpty);

} // namespace L_SPLITL
