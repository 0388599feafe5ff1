#pragma once
// The download of one answer, the seam through which answers are kept, and the logging
// category on which every failure of a service is told.
#include "map_service/L_STATUS.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <atomic>
#include <functional>

// One line per failed request, refused request or empty answer ("geodaten.service").
Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace L_INET {

constexpr qint64 MaxResponseBytes = 16 * 1024 * 1024; // no map answer comes near this
constexpr long ConnectTimeoutMs = 10'000;
constexpr long TotalTimeoutMs = 30'000;
constexpr long MaxRedirects = 5;

// One request: what to fetch and how.
struct Request {
    QString url;
    QByteArray userAgent;            // empty: no User-Agent header at all
    bool httpsRedirectsOnly = false; // a request that carries a secret follows only https
};

// How a download ended.
enum class Outcome {
    Replaced,   // complete, HTTP status 200-299, and the response file replaced
    HttpError,  // complete, with another status
    NoAnswer,   // no complete answer: no connection, a timeout, a cut body, the cap, a stop
    NotWritten, // the answer could not be written or could not replace the response file
};
struct Answer {
    Outcome outcome = Outcome::NoAnswer;
    long status = 0;         // HTTP status of the last response; 0 when none came
    QString error;           // why it failed, in words (libcurl's text, "HTTP 404", ...)
    QByteArray body;         // the body as it came (an error status's too), read back from
                             // the part file the download wrote; empty when incomplete
    qint64 retryAfterS = -1; // Retry-After (seconds or a date) in seconds; -1 without one
    bool kept = false;       // answered from kept answers: no request was made
};

// Answers kept by their request URL: `recall` gives the body of one (false when none),
// `remember` offers the body of an answer that was read, found something or nothing.
enum class Keep { Found, Nothing };
struct Kept {
    std::function<bool(const QString &url, QByteArray &body)> recall;
    std::function<void(const QString &url, const QByteArray &body, Keep how)> remember;
};

// Limits of the calling thread's transfers and waits: a flag that abandons them at once,
// and a steady-clock time (ms) by which they end. Each thread starts without either.
struct Limits {
    const std::atomic<bool> *stop = nullptr;
    qint64 deadlineMs = 0; // 0: none beyond the timeouts
};
void SetLimits(const Limits &limits);
bool StopRequested();
qint64 NowMs();       // the steady clock of the deadline
qint64 RemainingMs(); // until the deadline; a large number without one
// Waits `ms`; false, at once, when the stop flag is set or the deadline comes first.
bool SleepMs(qint64 ms);

// The status of a download that did not replace the file: NETWORK, HTTP <code>, FILE.
L_STATUS::ServiceStatus StatusOf(const Answer &answer);
// One diagnostic line: "<service>: <what>[: <message>] (<url>)", the service's own message
// when it sent one; control characters shown as \xNN, message and url cut at 300
// characters. The url must not carry a secret.
void Tell(const QString &service, const QString &what, const QString &message, const QString &url);

// GETs the URL (at most 5 redirects, http/https only, within the timeouts, the thread's
// limits and the 16 MiB cap) into a new unique part file beside `file`, reads the body back
// through that file's own descriptor, and only on a status 200-299 renames it over `file`.
// A failure leaves `file` as it was; a symlink at `file` is replaced, never followed. Never
// throws, never shows a message.
Answer Download(const Request &request, const QString &file);
// Download of the URL with no header of its own; true when the answer replaced the file.
bool DownloadToFile(const QString &url, const QString &file);
// The kept answer of the URL, or else its download in the host's turn (L_PACE).
Answer Fetch(const Request &request, const QString &file, const Kept *kept);
// Offers an answer that was downloaded and read to the kept answers, as the status read
// from it says: OK found something, ZERO_RESULTS nothing; any other is not kept.
void Remember(const Kept *kept, const Answer &answer, const QString &url,
              const L_STATUS::ServiceStatus &status);

// The connect and total timeouts in ms: the defaults, or GEODATEN_TIMEOUT_MS (a whole
// number above 0) when it is shorter. It never lengthens them.
void Timeouts(long &connectMs, long &totalMs);

} // namespace L_INET
