#pragma once
// How a request ended, in one word: the status column of geodaten-batch and the diagnostic
// lines both speak it.
#include <QString>

#include <cmath>

namespace L_STATUS {

enum class Status {
    Ok,              // "OK"
    ZeroResults,     // "ZERO_RESULTS": the service found nothing
    Mismatch,        // "MISMATCH": places found, none in the row's own postcode or town
    Empty,           // "EMPTY": no address in the row, nothing asked
    Columns,         // "COLUMNS": a row too short for the chosen columns
    BadInput,        // "BAD_INPUT": an address no service should be sent (over 500 characters)
    Refused,         // "REFUSED": the key would go out unprotected
    File,            // "FILE": the response file could not be written
    Network,         // "NETWORK": no complete answer
    Http,            // "HTTP <code>"
    InvalidResponse, // "INVALID_RESPONSE": not the service's form, or impossible numbers
    Service,         // the service's own word ("REQUEST_DENIED", "NoRoute", ...)
};

// The outcome of a query: its status, and what a route's numbers were (NaN when none).
struct ServiceStatus {
    Status code = Status::Network;
    long http = 0;           // with Http: the code
    QString word;            // with Service: the service's own word
    qint64 retryAfterS = -1; // what the server asked to wait, in seconds; -1 when it did not
    double DrivingMetres = std::nan(""), DrivingSeconds = std::nan("");
    double ShortestMetres = std::nan(""); // the shortest of the routes asked for
    qint32 StartHits = -1, EndHits = -1;  // places the geocoder found for each end; -1 unknown
};

// The status column's word: "OK", "HTTP 404", "NoRoute", ...
QString Word(const ServiceStatus &status);
// The status a word stands for (the service's own words as Service); an empty word is
// Network.
ServiceStatus FromWord(const QString &word);
// A transient failure: no answer, HTTP 429 or 5xx, OVER_QUERY_LIMIT, the response file.
// A run asks such a row again.
bool Transient(const ServiceStatus &status);
// A status of that code, its other fields as a fresh one has them.
ServiceStatus Of(Status code);
// No road on Earth is longer than its circumference, nor takes longer than 60 days.
constexpr double MaxRoadMetres = 40'075'017, MaxRoadSeconds = 60 * 86400;
// A route answer's numbers: a missing, negative, infinite or unearthly one (driving metres,
// seconds, the shortest metres) makes it INVALID_RESPONSE.
void CheckRouteNumbers(ServiceStatus &status);
// The service's word read as a status: "OK" (any case) and "ZERO_RESULTS" are ours,
// anything else is the service's own, its control characters and escape sequences removed
// and cut at 100 characters; empty is INVALID_RESPONSE.
ServiceStatus FromService(const QString &word);

} // namespace L_STATUS
