#pragma once
// The folder of the response file, the whole-file read into a byte text, and the folders
// and files of this user's own.
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
// The folder, created (with its parents) for this user alone (mode 0700) when missing,
// ending in a separator. An existing one must be this user's and no symlink; wider rights
// than 0700 are narrowed to it. Empty when it cannot be made so.
QString OwnFolder(const QString &folder);
// True when `path` is a regular file of this user's that no one else may write, in a
// folder of this user's that no one else may write in; a missing file is made so (0600).
// `head` gets its first 16 bytes. A symlink at the path is refused, never followed and
// never made through. False, with why in words, for anything else.
bool OwnFile(const QString &path, QByteArray &head, QString &why);

} // namespace L_TEMPPA
