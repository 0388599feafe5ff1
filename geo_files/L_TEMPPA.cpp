#include "geo_files/L_TEMPPA.h"

#include "geo_files/L_PFADE.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
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

// Candidate 5: the platform's own temporary path, not tested for existence.
QString PlatformTempPath() {
#ifdef Q_OS_WIN
    wchar_t buffer[256] = {};
    const DWORD count = GetTempPathW(256, buffer);
    if (count == 0 || count > 256) return QString();
    return L_PFADE::AddBackslash(L_PFADE::TrimSpaces(QString::fromWCharArray(buffer, count)));
#else
    return L_PFADE::AddBackslash(QDir::tempPath());
#endif
}

// Candidate 6: the Windows folder's Temp, or /tmp here.
QString WindowsTemp() {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("Temp");
#else
    const QString name = QStringLiteral("tmp");
#endif
    const QString windows = L_PFADE::GetWindowsFolder();
    if (windows.isEmpty()) return QString();
    return ExistingFolder(L_PFADE::AddBackslash(windows) + name);
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
    if (!L_PFADE::FileExists(path)) return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return 0;
    content = QString::fromLatin1(bytes);
    return qint32(qMin<qint64>(bytes.size(), INT32_MAX));
}

} // namespace L_TEMPPA
