#include "map_service/L_INET.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace L_INET {

namespace {

struct Sink {
    QFile *file;
    qint64 size = 0;
};

// Returning less than was given aborts the transfer: that is how the cap holds on every
// libcurl version, whatever the server claims in Content-Length.
size_t WriteBody(char *data, size_t one, size_t count, void *user) {
    auto *sink = static_cast<Sink *>(user);
    const qint64 n = qint64(one * count);
    if (sink->size + n > MaxResponseBytes) return 0;
    if (sink->file->write(data, n) != n) return 0;
    sink->size += n;
    return size_t(n);
}

void Timeouts(long &connectMs, long &totalMs) {
    connectMs = ConnectTimeoutMs;
    totalMs = TotalTimeoutMs;
    bool ok = false;
    const long wanted = qEnvironmentVariable("GEODATEN_TIMEOUT_MS").toLong(&ok);
    if (ok && wanted > 0) {
        totalMs = wanted;
        connectMs = qMin(connectMs, wanted);
    }
}

bool Fetch(const QString &url, Sink &sink) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialised != CURLE_OK) return false;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) return false;
    long connectMs = 0, totalMs = 0;
    Timeouts(connectMs, totalMs);
    const QByteArray address = url.toUtf8();
    CURL *c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.constData());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);                // no SIGALRM in a GUI
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https"); // no file:// or others
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, MaxRedirects); // a loop ends here
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs); // silence and endless bodies
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxResponseBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    if (curl_easy_perform(c) != CURLE_OK) return false;
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    return status >= 200 && status <= 299;
}

// Replaces the target itself: a symlink there is replaced, not followed.
bool ReplaceFile(const QString &from, const QString &to) {
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                       reinterpret_cast<const wchar_t *>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace

bool DownloadToFile(const QString &url, const QString &file) {
    if (url.isEmpty() || file.isEmpty()) return false;
    const QFileInfo target(file);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!part.open()) return false;
    Sink sink{&part};
    if (!Fetch(url, sink) || !part.flush()) return false;
    part.close();
    if (!ReplaceFile(part.fileName(), target.absoluteFilePath())) return false;
    part.setAutoRemove(false); // it is the response file now
    return true;
}

} // namespace L_INET
