#pragma once
// Paths, separators and existence tests. Both "\" and "/" count as separators when a
// path is taken apart; the separator that is added is the native one.
#include <QFileDevice>
#include <QString>

namespace L_PFADE {

// The native separator that AddBackslash appends: "\" on Windows, "/" elsewhere.
QChar NativeSeparator();
// The text without leading and trailing spaces (code 32 only; tabs and line breaks stay).
QString TrimSpaces(const QString &text);
// The Windows folder ending in a separator; elsewhere the root "/". Empty when unknown.
QString GetWindowsFolder();
// True when a file or folder (or, with "*" or "?" in the last part, any entry) matches.
// An empty path and "." give false.
bool FileExists(const QString &path);
// True when the path, less one trailing separator, names a folder. A drive ("C:") or a
// network path ("\\...") also counts when anything at all is found in it.
bool FolderExists(const QString &path);
// The trimmed path with the native separator appended unless it already ends in one;
// empty stays empty.
QString AddBackslash(const QString &path);
// The text less one trailing "\" or "/"; a text of 0 or 1 characters stays as it is.
QString StripTrailingSeparator(const QString &text);
// What follows the last separator (empty when the path ends in one); the whole path when
// it has none. With stripFirst, one trailing separator is removed first.
QString PathLastPart(const QString &path, bool stripFirst);
// What precedes the last separator; the whole path when it has none.
QString PathParent(const QString &path);
// The text before its first NUL character, trimmed.
QString CutAtNul(const QString &text);
// True when standard error goes to a terminal (where a progress line may be rewritten).
bool StandardErrorIsTerminal();
// Takes an exclusive lock on the open file for this process without waiting; false when
// another holds it. Closing the file gives the lock up.
bool TryLock(QFileDevice &file);
// True when both paths name one file: through a symlink or a hard link where both exist;
// where one does not exist yet, when both would create the same one (the real folder and
// the name, a dangling link followed). Empty paths are no file.
bool SameFile(const QString &a, const QString &b);
// True when the path names the file standard input reads (its device and inode; a pipe or
// a terminal is no file). Windows: false.
bool IsStandardInput(const QString &path);

} // namespace L_PFADE
