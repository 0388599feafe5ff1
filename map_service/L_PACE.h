#pragma once
// How often a map server may be asked, kept across all of this user's processes: the
// window and every geodaten-batch run reserve turns per host in a small time-stamp file.
#include <QString>

namespace L_PACE {

// The public servers' rule: at most one request a second from all processes together.
constexpr qint64 PublicPauseMs = 1000;

// The URL's host as turns compare it: lower case, an IDN in its ASCII form, without a
// trailing dot ("Nominatim.OpenStreetMap.org." is "nominatim.openstreetmap.org").
QString HostOf(const QString &url);
// The pause between two requests to a host: GEODATEN_PACE_MS (0-60000, default 0) for a
// server of one's own; for a public server (one a provider ships as its default,
// L_SERVICE) at least PublicPauseMs.
qint64 PauseMs(bool publicServer);
// Waits for the host's turn: returns once the pause since the last turn any of this user's
// processes reserved at that host has passed, and any pause the host asked for is over.
// False, at once, when the thread's stop flag is set or its deadline would pass first
// (L_LIMIT). A stamp file locked for about a second (its holder stopped) is used without
// the lock; one that cannot be written keeps the turns within this process; either costs
// one diagnostic line.
bool WaitForTurn(const QString &url, bool publicServer);
// Every later turn at the URL's host in this process waits until `ms` from now have passed
// (a server's 429 or 503 with Retry-After).
void PauseHost(const QString &url, qint64 ms);

} // namespace L_PACE
