#pragma once
// The download of one answer into the response file, within its limits: the timeouts, the
// size cap, the redirect rules and the calling thread's stop flag and deadline (L_LIMIT).
// Each thread keeps its connections from one request to the next.
#include "map_service/L_LIMIT.h"
#include "map_service/L_STATUS.h"

#include <QByteArray>
#include <QString>

namespace L_INET {

constexpr qint64 MaxResponseBytes = 16 * 1024 * 1024; // no map answer comes near this
constexpr long ConnectTimeoutMs = 10'000;
constexpr long TotalTimeoutMs = 30'000;
constexpr long MaxRedirects = 5;
constexpr qint64 MaxRetryAfterS = 86'400; // a longer wish reads as a day: waits stay in range

// One request: what to fetch and how.
struct Request {
    QString url;
    QByteArray userAgent;            // empty: no User-Agent header at all
    bool httpsRedirectsOnly = false; // a request that carries a secret follows only https
    bool publicServer = false;       // to a public server: one request a second (L_PACE)
};

// How a download ended.
enum class Outcome {
    Answered,   // complete, HTTP status 200-299, the response file replaced (or, through
                // L_FETCH, the answer found in the answers stored: no file written)
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
    qint64 retryAfterS = -1; // Retry-After (seconds or a date) in seconds, at most
                             // MaxRetryAfterS; -1 without one
    bool stored = false;     // answered from the answers stored: no request was made
};

// The status of a download that did not replace the file: NETWORK, HTTP <code>, FILE.
L_STATUS::ServiceStatus StatusOf(const Answer &answer);

// GETs the URL (at most 5 redirects, http/https only, no cookies, within the timeouts, the
// thread's limits and the 16 MiB cap) into a new unique part file beside `file`, reads the
// body back through that file's own descriptor, and only on a status 200-299 renames it
// over `file`. A failure leaves `file` as it was; a symlink at `file` is replaced, never
// followed. HTTPS trusts the certificates of SSL_CERT_FILE where it names a readable file.
// Without libcurl: NoAnswer, "libcurl cannot start". Never throws, never shows a message.
Answer Download(const Request &request, const QString &file);
// Loads libcurl and makes the thread's handles, so that a download after a wait for the
// host's turn starts at once; false when libcurl cannot start.
bool Ready();
// Download of the URL with no header of its own; true when the answer replaced the file.
bool DownloadToFile(const QString &url, const QString &file);

// The connect and total timeouts in ms: the defaults, or GEODATEN_TIMEOUT_MS (a whole
// number above 0) when it is shorter. It never lengthens them.
void Timeouts(long &connectMs, long &totalMs);

} // namespace L_INET
