#include "map_service/L_INET.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

Q_LOGGING_CATEGORY(lcService, "geodaten.service")

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

using Curl = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

void SetOptions(CURL *c, const Request &request, const QByteArray &url, Sink &sink) {
    long connectMs = 0, totalMs = 0;
    Timeouts(connectMs, totalMs);
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);                // no SIGALRM in a GUI
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https"); // no file:// or others
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR,
                     request.httpsRedirectsOnly ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, MaxRedirects); // a loop ends here
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs); // silence and endless bodies
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxResponseBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
}

// The transfer into the sink; the answer's status and error are filled in.
bool Transfer(const Request &request, Sink &sink, Answer &answer) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Curl curl(initialised == CURLE_OK ? curl_easy_init() : nullptr, &curl_easy_cleanup);
    if (!curl) {
        answer.error = QStringLiteral("libcurl cannot start");
        return false;
    }
    const QByteArray url = request.url.toUtf8();
    SetOptions(curl.get(), request, url, sink);
    Headers headers(nullptr, &curl_slist_free_all);
    if (!request.userAgent.isEmpty()) {
        headers.reset(curl_slist_append(nullptr, ("User-Agent: " + request.userAgent).constData()));
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    }
    const CURLcode code = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.status);
    if (code != CURLE_OK) {
        answer.error = QString::fromUtf8(curl_easy_strerror(code));
        return false;
    }
    if (answer.status < 200 || answer.status > 299)
        answer.error = QStringLiteral("HTTP %1").arg(answer.status);
    return true;
}

// Replaces the target itself: a symlink there is replaced, not followed.
bool ReplaceFile(const QString &from, const QString &to, QString &error) {
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                    reinterpret_cast<const wchar_t *>(to.utf16()), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = QStringLiteral("cannot replace %1 (error %2)").arg(to).arg(GetLastError());
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    error =
        QStringLiteral("cannot replace %1: %2").arg(to, QString::fromLocal8Bit(strerror(errno)));
#endif
    return false;
}

} // namespace

void Timeouts(long &connectMs, long &totalMs) {
    connectMs = ConnectTimeoutMs;
    totalMs = TotalTimeoutMs;
    bool ok = false;
    const long wanted = qEnvironmentVariable("GEODATEN_TIMEOUT_MS").toLong(&ok);
    if (!ok || wanted <= 0) return;
    totalMs = qMin(totalMs, wanted);
    connectMs = qMin(connectMs, wanted);
}

QString OutcomeWord(const Answer &answer) {
    switch (answer.outcome) {
    case Outcome::Replaced:
        return QStringLiteral("OK");
    case Outcome::HttpError:
        return QStringLiteral("HTTP %1").arg(answer.status);
    case Outcome::NotWritten:
        return QStringLiteral("FILE");
    case Outcome::NoAnswer:
        break;
    }
    return QStringLiteral("NETWORK");
}

void Tell(const QString &service, const QString &what, const QString &message, const QString &url) {
    const QString said = message.isEmpty() ? QString() : QStringLiteral(": ") + message;
    qCWarning(lcService).noquote()
        << service + QStringLiteral(": ") + what + said + QStringLiteral(" (") + url + u')';
}

Answer Download(const Request &request, const QString &file) {
    Answer answer;
    if (request.url.isEmpty() || file.isEmpty()) {
        answer.error = QStringLiteral("nothing to download");
        return answer;
    }
    const QFileInfo target(file);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!part.open()) {
        answer.outcome = Outcome::NotWritten;
        answer.error =
            QStringLiteral("cannot write in %1: %2").arg(target.absolutePath(), part.errorString());
        return answer;
    }
    Sink sink{&part};
    if (!Transfer(request, sink, answer)) return answer;
    answer.outcome = Outcome::NotWritten;
    // What is read is what this download wrote: the part file through its own descriptor,
    // never the shared name, which another process may replace at any moment.
    if (!part.flush() || !part.seek(0)) {
        answer.error = part.errorString();
        return answer;
    }
    answer.body = part.read(MaxResponseBytes);
    if (!answer.error.isEmpty()) { // an error status: the file stays as it was
        answer.outcome = Outcome::HttpError;
        return answer;
    }
    part.close();
    if (!ReplaceFile(part.fileName(), target.absoluteFilePath(), answer.error)) return answer;
    part.setAutoRemove(false); // it is the response file now
    answer.outcome = Outcome::Replaced;
    return answer;
}

bool DownloadToFile(const QString &url, const QString &file) {
    return Download(Request{url, {}, false}, file).outcome == Outcome::Replaced;
}

} // namespace L_INET
