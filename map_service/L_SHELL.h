#pragma once
// Opening a link in the user's browser.
#include <QString>

namespace L_SHELL {

// Hands the file or link to the desktop's opener without waiting for it: xdg-open on
// Linux (which honours $BROWSER), the shell's "open" verb on Windows. Above 32 when the
// opener was started, 32 or less when not; an empty link opens nothing and gives 2.
// GEODATEN_API_KEY is not in the environment of the opener or of what it starts.
qintptr ShellOpen(qintptr windowHandle, const QString &file, const QString &parameters,
                  qint32 showMode);

} // namespace L_SHELL
