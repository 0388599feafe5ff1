#include "map_service/L_INET.h"

#include "map_service/L_CURL.h"
#include "map_service/L_ENV.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace L_INET {

namespace {

using L_LIMIT::StopRequested;

constexpr int PollMs = 100; // how soon a stop ends a transfer

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

// The header list of one request, freed through the loaded library.
struct FreeList {
    const L_CURL::Api *curl;
    void operator()(curl_slist *list) const { curl->slist_free_all(list); }
};
using Headers = std::unique_ptr<curl_slist, FreeList>;

// A server of one's own with a certificate of an internal authority: SSL_CERT_FILE names
// the certificates to trust, in place of the system's, as OpenSSL reads it.
QByteArray TrustedCertificates() {
    const QFileInfo file(qEnvironmentVariable("SSL_CERT_FILE"));
    return file.isFile() && file.isReadable() ? QFile::encodeName(file.absoluteFilePath())
                                              : QByteArray();
}

// Every option of the request, set anew on the thread's kept handle: nothing of the
// request before carries over but its connections, DNS answers and TLS sessions (the
// cookie engine is never switched on). False when libcurl refuses the protocol rules
// (older than 7.85): the request would not keep them.
bool SetOptions(const L_CURL::Api &curl, CURL *c, const Request &request, const QByteArray &url,
                Sink &sink) {
    long connectMs = 0, totalMs = 0;
    Timeouts(connectMs, totalMs);
    totalMs = long(qBound(qint64(1), L_LIMIT::RemainingMs(), qint64(totalMs))); // the deadline
    curl.easy_reset(c);
    curl.easy_setopt(c, CURLOPT_URL, url.constData());
    curl.easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl.easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // no SIGALRM in a GUI
    const bool ruled =
        curl.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK && // no file://
        curl.easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR,
                         request.httpsRedirectsOnly ? "https" : "http,https") == CURLE_OK;
    curl.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easy_setopt(c, CURLOPT_MAXREDIRS, MaxRedirects); // a loop ends here
    curl.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, qMin(connectMs, totalMs));
    curl.easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs); // silence and endless bodies
    curl.easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxResponseBytes));
    curl.easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl.easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    const QByteArray trusted = TrustedCertificates();
    if (!trusted.isEmpty()) curl.easy_setopt(c, CURLOPT_CAINFO, trusted.constData()); // copied
    return ruled;
}

// Runs the transfer, looking at the stop flag between polls; the libcurl result. A transfer
// abandoned by a stop closes its connection as the handle leaves the multi handle.
CURLcode Perform(const L_CURL::Api &curl, CURLM *multi, CURL *easy) {
    curl.multi_add_handle(multi, easy);
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (int running = 1; running;) {
        if (curl.multi_perform(multi, &running) != CURLM_OK) break;
        if (running && StopRequested()) break;
        if (running) curl.multi_poll(multi, nullptr, 0, PollMs, nullptr);
    }
    int left = 0;
    while (CURLMsg *message = curl.multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    curl.multi_remove_handle(multi, easy);
    return result;
}

// The transfer into the sink on the thread's kept handles; the answer's status and error
// are filled in.
bool Transfer(const Request &request, Sink &sink, Answer &answer) {
    const L_CURL::Api *curl = L_CURL::Curl();
    const L_CURL::Handles handles = L_CURL::ThreadHandles();
    if (!curl || !handles.easy) {
        answer.error = QStringLiteral("libcurl cannot start");
        return false;
    }
    const QByteArray url = request.url.toUtf8();
    if (!SetOptions(*curl, handles.easy, request, url, sink)) {
        answer.error = QStringLiteral("libcurl is older than 7.85");
        return false;
    }
    Headers headers(nullptr, FreeList{curl});
    if (!request.userAgent.isEmpty()) {
        headers.reset(
            curl->slist_append(nullptr, ("User-Agent: " + request.userAgent).constData()));
        curl->easy_setopt(handles.easy, CURLOPT_HTTPHEADER, headers.get());
    }
    const CURLcode code = Perform(*curl, handles.multi, handles.easy);
    curl->easy_getinfo(handles.easy, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_off_t retryAfter = 0; // seconds; a huge one is clamped before any arithmetic
    if (curl->easy_getinfo(handles.easy, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK &&
        retryAfter > 0)
        answer.retryAfterS = qint64(qMin<curl_off_t>(retryAfter, MaxRetryAfterS));
    if (code != CURLE_OK) {
        answer.error = StopRequested() ? QStringLiteral("abgebrochen")
                                       : QString::fromUtf8(curl->easy_strerror(code));
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
    const qint64 wanted = L_ENV::Integer("GEODATEN_TIMEOUT_MS", 1,
                                         std::numeric_limits<qint64>::max(), TotalTimeoutMs);
    totalMs = long(qMin<qint64>(TotalTimeoutMs, wanted));
    connectMs = long(qMin<qint64>(ConnectTimeoutMs, wanted));
}

L_STATUS::ServiceStatus StatusOf(const Answer &answer) {
    L_STATUS::ServiceStatus status;
    status.retryAfterS = answer.retryAfterS;
    switch (answer.outcome) {
    case Outcome::Answered:
        status.code = L_STATUS::Status::Ok;
        break;
    case Outcome::HttpError:
        status.code = L_STATUS::Status::Http;
        status.http = answer.status;
        break;
    case Outcome::NotWritten:
        status.code = L_STATUS::Status::File;
        break;
    case Outcome::NoAnswer:
        status.code = L_STATUS::Status::Network;
        break;
    }
    return status;
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
    answer.body = part.read(sink.size); // what was written, no more: no 16 MiB buffer a row
    if (answer.body.size() != sink.size) {
        answer.error =
            QStringLiteral("cannot read back %1: %2").arg(part.fileName(), part.errorString());
        answer.body.clear();
        return answer;
    }
    if (!answer.error.isEmpty()) { // an error status: the file stays as it was
        answer.outcome = Outcome::HttpError;
        return answer;
    }
    part.close();
    if (!ReplaceFile(part.fileName(), target.absoluteFilePath(), answer.error)) return answer;
    part.setAutoRemove(false); // it is the response file now
    answer.outcome = Outcome::Answered;
    return answer;
}

bool Ready() {
    return L_CURL::Curl() && L_CURL::ThreadHandles().easy;
}

bool DownloadToFile(const QString &url, const QString &file) {
    return Download(Request{url, {}, false}, file).outcome == Outcome::Answered;
}

} // namespace L_INET
