#pragma once
// What geodaten-batch tells on standard error: messages on lines of their own, the
// diagnostic lines of the core among them, and on a terminal one progress line redrawn
// below them.
#include <QString>

namespace L_TERM {

// A line "geodaten-batch: <text>".
void Say(const QString &text);
// True when standard error is a terminal, the only place for a progress line.
bool Terminal();
// Shows (or, with an empty text, clears) the progress line; only on a terminal.
void Progress(const QString &text);
// Routes the core's diagnostic lines through Say's lock while it is installed.
void CatchDiagnostics(bool on);
// "1 Zeile", "2 Zeilen".
QString Rows(qint64 count);

} // namespace L_TERM
