#include "map_service/L_INET.h"

#include "map_service/L_PACE.h"
#include "xml_text/L_REPLAC.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <curl/curl.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

Q_LOGGING_CATEGORY(lcService, "geodaten.service")

namespace L_INET {

namespace {

thread_local Limits limits;

constexpr qsizetype ShownCharacters = 300; // of a message or URL in a diagnostic line
constexpr int PollMs = 100;                // how soon a stop ends a transfer

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
using Multi = std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

void SetOptions(CURL *c, const Request &request, const QByteArray &url, Sink &sink) {
    long connectMs = 0, totalMs = 0;
    Timeouts(connectMs, totalMs);
    totalMs = long(qBound(qint64(1), RemainingMs(), qint64(totalMs))); // the thread's deadline
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);                // no SIGALRM in a GUI
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https"); // no file:// or others
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR,
                     request.httpsRedirectsOnly ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, MaxRedirects); // a loop ends here
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, qMin(connectMs, totalMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs); // silence and endless bodies
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxResponseBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
}

// Runs the transfer, looking at the stop flag between polls; the libcurl result.
CURLcode Perform(CURLM *multi, CURL *easy) {
    curl_multi_add_handle(multi, easy);
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (int running = 1; running;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (running && StopRequested()) break;
        if (running) curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
    }
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    curl_multi_remove_handle(multi, easy);
    return result;
}

// The transfer into the sink; the answer's status and error are filled in.
bool Transfer(const Request &request, Sink &sink, Answer &answer) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Curl curl(initialised == CURLE_OK ? curl_easy_init() : nullptr, &curl_easy_cleanup);
    Multi multi(curl ? curl_multi_init() : nullptr, &curl_multi_cleanup);
    if (!multi) {
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
    const CURLcode code = Perform(multi.get(), curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.status);
    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(curl.get(), CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK &&
        retryAfter > 0)
        answer.retryAfterS = qint64(retryAfter);
    if (code != CURLE_OK) {
        answer.error = StopRequested() ? QStringLiteral("abgebrochen")
                                       : QString::fromUtf8(curl_easy_strerror(code));
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

void SetLimits(const Limits &wanted) {
    limits = wanted;
}

bool StopRequested() {
    return limits.stop && limits.stop->load();
}

qint64 NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 RemainingMs() {
    return limits.deadlineMs > 0 ? limits.deadlineMs - NowMs() : qint64(1) << 40;
}

bool SleepMs(qint64 ms) {
    const qint64 until = NowMs() + ms;
    if (until > NowMs() + RemainingMs()) return false; // the deadline comes first
    for (qint64 left; !StopRequested() && (left = until - NowMs()) > 0;)
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(left, 20)));
    return !StopRequested();
}

void Timeouts(long &connectMs, long &totalMs) {
    connectMs = ConnectTimeoutMs;
    totalMs = TotalTimeoutMs;
    bool ok = false;
    const long wanted = qEnvironmentVariable("GEODATEN_TIMEOUT_MS").toLong(&ok);
    if (!ok || wanted <= 0) return;
    totalMs = qMin(totalMs, wanted);
    connectMs = qMin(connectMs, wanted);
}

L_STATUS::ServiceStatus StatusOf(const Answer &answer) {
    L_STATUS::ServiceStatus status;
    status.retryAfterS = answer.retryAfterS;
    switch (answer.outcome) {
    case Outcome::Replaced:
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

void Tell(const QString &service, const QString &what, const QString &message, const QString &url) {
    using L_REPLAC::Shown;
    const QString said = message.isEmpty() ? QString() : QStringLiteral(": ") + message;
    qCWarning(lcService).noquote() << service + QStringLiteral(": ") +
                                          Shown(what + said, ShownCharacters) +
                                          QStringLiteral(" (") + Shown(url, ShownCharacters) + u')';
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
    answer.body.squeeze();         // kept answers hold their bytes, not the read's buffer
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

Answer Fetch(const Request &request, const QString &file, const Kept *kept) {
    Answer answer;
    if (kept && kept->recall && kept->recall(request.url, answer.body)) {
        answer.outcome = Outcome::Replaced;
        answer.status = 200;
        answer.kept = true;
        return answer;
    }
    if (!L_PACE::WaitForTurn(request.url)) {
        answer.error = StopRequested()
                           ? QStringLiteral("abgebrochen")
                           : QStringLiteral("Timeout was reached (waiting for the turn)");
        return answer;
    }
    return Download(request, file);
}

void Remember(const Kept *kept, const Answer &answer, const QString &url,
              const L_STATUS::ServiceStatus &status) {
    const bool found = status.code == L_STATUS::Status::Ok;
    if (!found && status.code != L_STATUS::Status::ZeroResults) return;
    if (kept && kept->remember && !answer.kept && answer.outcome == Outcome::Replaced)
        kept->remember(url, answer.body, found ? Keep::Found : Keep::Nothing);
}

} // namespace L_INET
