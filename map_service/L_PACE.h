#pragma once
// How often a map server may be asked, kept across all of this user's processes: the
// window and every geodaten-batch run take turns per host through a small time-stamp file.
#include <QString>

namespace L_PACE {

// The public servers' rule: at most one request a second from all processes together.
constexpr qint64 PublicPauseMs = 1000;

// True when the URL's host is one of the open servers the program ships as a default.
bool IsPublicHost(const QString &url);
// The pause between two requests to the URL's host: GEODATEN_PACE_MS (0-60000, default 0)
// for any host of one's own; for a public host at least PublicPauseMs.
qint64 PauseMs(const QString &url);
// Waits for the host's turn and takes it: returns once the pause since the last request
// of any of this user's processes to that host has passed. False, at once, when the
// thread's stop flag is set or its deadline would pass first (L_INET::SetLimits).
bool WaitForTurn(const QString &url);

} // namespace L_PACE
