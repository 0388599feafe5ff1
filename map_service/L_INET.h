#pragma once
// The blocking download of one answer.
#include <QString>

namespace L_INET {

constexpr qint64 MaxResponseBytes = 16 * 1024 * 1024; // no map answer comes near this
constexpr long ConnectTimeoutMs = 10'000;
constexpr long TotalTimeoutMs = 30'000;
constexpr long MaxRedirects = 5;

// True when a GET of the URL completed with an HTTP status 200-299 (after at most 5
// redirects, within the timeouts and the size cap); the body then replaces the file.
// The body is written to a new unique file beside the target and renamed over it only on
// success, so a failure leaves the previous file as it was and a symlink at the target is
// replaced, never followed. No failure shows a message; every failure gives false.
// GEODATEN_TIMEOUT_MS, when set, shortens the total timeout (and the connect timeout to
// at most that) for tests.
bool DownloadToFile(const QString &url, const QString &file);

} // namespace L_INET
