#include "geo_files/L_PFADE.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace L_PFADE {

namespace {

bool IsSeparator(QChar c) {
    return c == u'\\' || c == u'/';
}

qsizetype LastSeparator(const QString &path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (IsSeparator(path[i])) return i;
    return -1;
}

// A pattern with wildcards in its last part matches like a directory search would.
bool AnyEntryMatches(const QString &pattern) {
    const qsizetype cut = LastSeparator(pattern);
    const QString folder = cut < 0 ? QStringLiteral(".") : pattern.left(cut + 1);
    const QString name = pattern.mid(cut + 1);
    // "*.*" matches every entry, as the Windows search does, extensionless names included.
    const QString filter = name == QStringLiteral("*.*") ? QStringLiteral("*") : name;
    const QDir dir(folder);
    return !dir.entryList({filter}, QDir::AllEntries | QDir::Hidden | QDir::System).isEmpty();
}

// Where a path would create its file: a symlink at it followed (also a dangling one),
// then its folder's real path and its name.
QString Destination(const QString &path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

} // namespace

QChar NativeSeparator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

QString TrimSpaces(const QString &text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

QString GetWindowsFolder() {
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return QString();
    return AddBackslash(CutAtNul(QString::fromWCharArray(buffer, length)));
#else
    // No Windows folder here: the root stands in for it, so that its "tmp" is /tmp.
    return QStringLiteral("/");
#endif
}

bool FileExists(const QString &path) {
    if (path.isEmpty() || path == QStringLiteral(".")) return false;
    const QString last = path.mid(LastSeparator(path) + 1);
    if (last.contains(u'*') || last.contains(u'?')) return AnyEntryMatches(path);
    return QFileInfo::exists(path);
}

bool FolderExists(const QString &path) {
    if (path.isEmpty()) return false;
    const QString p = StripTrailingSeparator(path);
    if (QFileInfo(p).isDir()) return true;
    const bool drive = p.size() == 2 && p[1] == u':';
    const bool network = p.startsWith(QStringLiteral("\\\\"));
    if (drive || network) return FileExists(p + QStringLiteral("\\*.*"));
    return false;
}

QString AddBackslash(const QString &path) {
    const QString trimmed = TrimSpaces(path);
    if (trimmed.isEmpty() || trimmed.endsWith(NativeSeparator())) return trimmed;
    return trimmed + NativeSeparator();
}

QString StripTrailingSeparator(const QString &text) {
    if (text.size() <= 1 || !IsSeparator(text.back())) return text;
    return text.left(text.size() - 1);
}

QString PathLastPart(const QString &path, bool stripFirst) {
    const QString p = stripFirst ? StripTrailingSeparator(path) : path;
    const qsizetype cut = LastSeparator(p);
    return cut < 0 ? p : p.mid(cut + 1);
}

QString PathParent(const QString &path) {
    const qsizetype cut = LastSeparator(path);
    return cut < 0 ? path : path.left(cut);
}

QString CutAtNul(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return TrimSpaces(nul < 0 ? text : text.left(nul));
}

bool StandardErrorIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(2) != 0;
#else
    return isatty(2) != 0;
#endif
}

bool TryLock(QFileDevice &file) {
#ifdef Q_OS_WIN
    OVERLAPPED at{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
#else
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
#endif
}

bool SameFile(const QString &a, const QString &b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    const QFileInfo first(a), second(b);
    if (!first.exists() || !second.exists()) return Destination(a) == Destination(b);
    if (first.canonicalFilePath() == second.canonicalFilePath()) return true;
#ifdef Q_OS_WIN
    return false; // hard links: the canonical path is all Windows offers here cheaply
#else
    struct stat x {
    }, y{};
    return ::stat(QFile::encodeName(a).constData(), &x) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
#endif
}

bool IsStandardInput(const QString &path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    struct stat input {
    }, named{};
    return !path.isEmpty() && ::fstat(0, &input) == 0 && S_ISREG(input.st_mode) &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           input.st_dev == named.st_dev && input.st_ino == named.st_ino;
#endif
}

} // namespace L_PFADE
