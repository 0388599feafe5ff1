#pragma once
// What geodaten-batch tells on standard error: messages on lines of their own, the
// diagnostic lines of the core among them (once each, with the list line they are about),
// and on a terminal one progress line redrawn below them.
#include <QString>

namespace L_TERM {

// A line "geodaten-batch: <text>": a note, which --quiet silences.
void Note(const QString &text);
// The same for an error that ends the run: told even when quiet.
void Fail(const QString &text);
// --quiet: from now on only Fail is told (no notes, no diagnostic lines, no progress).
void SetQuiet(bool quiet);
// True when standard error is a terminal, the only place for a progress line.
bool Terminal();
// Shows (or, with an empty text, clears) the progress line; only on a terminal.
void Progress(const QString &text);
// Routes the core's diagnostic lines through Note's lock while it is installed: each line
// "<category>: Zeile <n>: <text>" with the calling thread's list line (AtLine), and a line
// that says what an earlier one said (its URL aside) is not told again.
void CatchDiagnostics(bool on);
// The list line the calling thread's diagnostic lines are about; 0: none.
void AtLine(qint64 line);
// "1 Zeile", "2 Zeilen".
QString Rows(qint64 count);

} // namespace L_TERM
