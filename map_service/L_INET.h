#pragma once
// The blocking download of one answer, and the logging category on which every failure
// of a service is told.
#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

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
    NoAnswer,   // no complete answer: no connection, a timeout, a cut body, the cap
    NotWritten, // the answer could not be written or could not replace the response file
};
struct Answer {
    Outcome outcome = Outcome::NoAnswer;
    long status = 0; // HTTP status of the last response; 0 when none came
    QString error;   // why it failed, in words (libcurl's text, "HTTP 404", the file's trouble)
    QByteArray body; // the body as it came (an error status's too), read back from the part
                     // file the download wrote; empty when the transfer did not complete
};

// The outcome in the words of the batch tool's status column: "OK", "HTTP <status>",
// "NETWORK" (no complete answer) or "FILE" (the response file could not be written).
QString OutcomeWord(const Answer &answer);
// One diagnostic line: "<service>: <what>[: <message>] (<url>)", the service's own message
// when it sent one. The url must not carry a secret.
void Tell(const QString &service, const QString &what, const QString &message, const QString &url);

// GETs the URL (at most 5 redirects, http/https only, within the timeouts and the 16 MiB
// cap) into a new unique part file beside `file`, reads the body back through that file's
// own descriptor, and only on a status 200-299 renames it over `file`. A failure leaves
// `file` as it was; a symlink at `file` is replaced, never followed. Never throws, never
// shows a message.
Answer Download(const Request &request, const QString &file);
// Download of the URL with no header of its own; true when the answer replaced the file.
bool DownloadToFile(const QString &url, const QString &file);

// The connect and total timeouts in ms: the defaults, or GEODATEN_TIMEOUT_MS (a whole
// number above 0) when it is shorter. It never lengthens them.
void Timeouts(long &connectMs, long &totalMs);

} // namespace L_INET
