#pragma once
// The folder of the response file, and the whole-file read into a byte text.
#include <QString>

namespace L_TEMPPA {

// The first of seven candidates that applies, always ending in a separator, found anew on
// every call. Windows: TEMP, TMP, C:\Temp, C:\Tmp, GetTempPath, <Windows>\Temp, the
// program's folder. Elsewhere the Windows-only ones map to what a Unix user expects:
// TEMP, TMP, $TMPDIR, $XDG_RUNTIME_DIR, QDir::tempPath(), /tmp, the program's folder.
// Candidates 1-4 and 6 must name an existing folder; 5 and 7 are taken as they are.
QString GetTempFolder();
// Length of the file in bytes, with content = its bytes as a byte text (one Latin-1
// character per byte). A missing file, or one that cannot be read, gives 0 and leaves
// content as it was.
qint32 ReadFileText(const QString &path, QString &content);

} // namespace L_TEMPPA
