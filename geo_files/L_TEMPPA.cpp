#include "geo_files/L_TEMPPA.h"

#include "geo_files/L_PFADE.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace L_TEMPPA {

namespace {

QString Env(const char *name) {
    return qEnvironmentVariable(name);
}

// The candidate when it names an existing folder, else empty.
QString ExistingFolder(const QString &path) {
    return L_PFADE::FolderExists(path) ? L_PFADE::AddBackslash(path) : QString();
}

// Candidates 3 and 4: fixed folders on Windows, per-user variables elsewhere.
QString FixedCandidate(int which) {
#ifdef Q_OS_WIN
    return which == 3 ? QStringLiteral("C:\\Temp") : QStringLiteral("C:\\Tmp");
#else
    return which == 3 ? Env("TMPDIR") : Env("XDG_RUNTIME_DIR");
#endif
}

// Candidate 5: the platform's own temporary path, taken as the platform gives it. On Linux
// the user's cache folder ($XDG_CACHE_HOME or ~/.cache) stands in: a folder of this user's
// alone, where no one else can plant a file at the response file's name, as anyone can in
// the shared /tmp. Where a new account has none yet, the platform has no answer (as
// GetTempPath failing), and the next candidate follows.
QString PlatformTempPath() {
#ifdef Q_OS_WIN
    wchar_t buffer[256] = {};
    const DWORD count = GetTempPathW(256, buffer);
    if (count == 0 || count > 256) return QString();
    return L_PFADE::AddBackslash(L_PFADE::TrimSpaces(QString::fromWCharArray(buffer, count)));
#else
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return QFileInfo(cache).isDir() ? L_PFADE::AddBackslash(cache) : QString();
#endif
}

// Candidate 6: the Windows folder's Temp; on Linux the user's own runtime folder, which
// systemd keeps for every logged-in user even where XDG_RUNTIME_DIR is not set.
QString WindowsTemp() {
#ifdef Q_OS_WIN
    const QString windows = L_PFADE::GetWindowsFolder();
    if (windows.isEmpty()) return QString();
    return ExistingFolder(L_PFADE::AddBackslash(windows) + QStringLiteral("Temp"));
#else
    return ExistingFolder(QStringLiteral("/run/user/%1").arg(getuid()));
#endif
}

// The bytes of a regular file, no more than its size said: a FIFO would block the window, a
// device would never end, and a symlink could lead anywhere. False for anything else.
bool ReadRegularFile(const QString &path, QByteArray &bytes) {
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.isSymLink() || !file.open(QIODevice::ReadOnly)) return false;
    bytes = file.read(qMin<qint64>(info.size(), INT32_MAX));
#else
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    QFile file;
    struct stat status {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    bytes = file.read(qMin<qint64>(status.st_size, INT32_MAX));
#endif
    return file.error() == QFileDevice::NoError;
}

QString ProgramFolder() {
    const QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return L_PFADE::AddBackslash(QDir::toNativeSeparators(dir));
}

} // namespace

QString GetTempFolder() {
    for (const QString &candidate :
         {ExistingFolder(Env("TEMP")), ExistingFolder(Env("TMP")),
          ExistingFolder(FixedCandidate(3)), ExistingFolder(FixedCandidate(4))}) {
        if (!candidate.isEmpty()) return candidate;
    }
    QString folder = PlatformTempPath();
    if (folder.isEmpty()) folder = WindowsTemp();
    if (folder.isEmpty()) folder = ProgramFolder();
    return folder;
}

qint32 ReadFileText(const QString &path, QString &content) {
    QByteArray bytes;
    if (!L_PFADE::FileExists(path) || !ReadRegularFile(path, bytes)) return 0;
    content = QString::fromLatin1(bytes);
    return qint32(bytes.size());
}

QString CacheFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/geodaten/");
}

QString OwnFolder(const QString &folder) {
    if (folder.isEmpty()) return QString();
    const QString path = L_PFADE::StripTrailingSeparator(folder);
    if (!QFileInfo(path).isDir() && !QFileInfo(path).isSymLink() && !QDir().mkpath(path))
        return QString();
#ifdef Q_OS_WIN
    if (QFileInfo(path).isSymLink()) return QString();
#else
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return QString(); // a symlink, or no folder
    struct stat status {};
    const bool own = ::fstat(fd, &status) == 0 && status.st_uid == ::geteuid() &&
                     ((status.st_mode & 077) == 0 || ::fchmod(fd, 0700) == 0);
    ::close(fd);
    if (!own) return QString();
#endif
    return L_PFADE::AddBackslash(folder);
}

bool OwnFile(const QString &path, QByteArray &head, QString &why) {
    head.clear();
#ifdef Q_OS_WIN
    QFile file(path);
    if (QFileInfo(path).isSymLink()) return why = QStringLiteral("is a symlink"), false;
    if (!file.open(QFileInfo::exists(path) ? QIODevice::ReadOnly : QIODevice::ReadWrite))
        return why = file.errorString(), false;
    head = file.read(16);
    return true;
#else
    struct stat status {};
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(folder.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return why = QStringLiteral("its folder cannot be read"), false;
    if (status.st_uid != ::geteuid())
        return why = QStringLiteral("its folder belongs to another user"), false;
    if (status.st_mode & 022) return why = QStringLiteral("its folder is open to others"), false;
    const QByteArray name = QFile::encodeName(path);
    int fd = -1; // made when missing; another process may make it meanwhile
    for (int attempt = 0; fd < 0 && attempt < 2; ++attempt) {
        fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
    }
    if (fd < 0)
        return why = errno == ELOOP ? QStringLiteral("is a symlink")
                                    : QString::fromLocal8Bit(strerror(errno)),
               false;
    char bytes[16];
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const ssize_t read = regular ? ::read(fd, bytes, sizeof bytes) : 0;
    ::close(fd);
    head = QByteArray(bytes, qMax<ssize_t>(read, 0));
    why = !regular                       ? QStringLiteral("is no regular file")
          : status.st_uid != ::geteuid() ? QStringLiteral("belongs to another user")
          : status.st_mode & 022         ? QStringLiteral("is open to others")
                                         : QString();
    return why.isEmpty();
#endif
}

} // namespace L_TEMPPA
