#pragma once
// The folder of the response file, and the whole-file read into a byte text.
#include <QString>

namespace L_TEMPPA {

// The first of seven candidates that applies, always ending in a separator, found anew on
// every call. Windows: TEMP, TMP, C:\Temp, C:\Tmp, GetTempPath, <Windows>\Temp, the
// program's folder. Elsewhere the Windows-only ones map to folders of this user's own (no
// shared /tmp, where another user could block the response file's name): TEMP, TMP,
// $TMPDIR, $XDG_RUNTIME_DIR, the cache folder ($XDG_CACHE_HOME or ~/.cache; none where
// the account has none yet), /run/user/<uid>, the program's folder. Candidates 1-4 and 6
// must name an existing folder; 5 and 7 are taken as the platform gives them.
QString GetTempFolder();
// Length of the file in bytes, with content = its bytes as a byte text (one Latin-1
// character per byte). Only a regular file is read (no FIFO, device or symlink), and no
// more than the size it had when opened. A missing file, or one that cannot be read so,
// gives 0 and leaves content as it was.
qint32 ReadFileText(const QString &path, QString &content);

// The program's folder in the user's cache: $XDG_CACHE_HOME/geodaten/ (~/.cache/geodaten/).
QString CacheFolder();
// Where short-lived files of this session go: $XDG_RUNTIME_DIR/geodaten/ where it is set,
// else the cache folder.
QString RuntimeFolder();
// The folder, created (with its parents) for this user alone (mode 0700) when missing,
// ending in a separator; empty when it cannot be made.
QString OwnFolder(const QString &folder);

} // namespace L_TEMPPA
