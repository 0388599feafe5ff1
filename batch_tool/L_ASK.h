#pragma once
// Asking the road for one row: its question, the retries a passing failure earns, and the
// columns and points its answer gives.
#include "batch_tool/L_BATCH.h"
#include "batch_tool/L_LIST.h"
#include "map_service/L_FETCH.h"
#include "map_service/L_STATUS.h"

#include <functional>

namespace L_ASK {

constexpr qsizetype MaxQuestion = 500;    // characters; a longer address is BAD_INPUT
constexpr qint64 MaxWaitMs = 10 * 60'000; // a longer Retry-After stops the run
constexpr int Retries = 3;                // after a passing failure: 2, 4 and 8 s apart

// What one row's question gave.
struct Answer {
    L_STATUS::ServiceStatus status;
    QList<QStringList> rows;       // the added columns but status, a record each
    QList<L_OUTPUT::Point> places; // the records that are places (none for a MISMATCH)
    qint64 laterS = -1;            // the server asked to wait this long, longer than a run may
};

// How a row is asked: the options, the answers kept to consult, and where a wait is told.
struct Asker {
    const L_BATCH::Options *options = nullptr;
    const L_FETCH::AnswerStore *kept = nullptr;
    char delimiter = ',';                         // ";" writes numbers with a decimal comma
    std::function<void(const QString &)> waiting; // "" when the wait is over
};

// The names of the columns a mode adds, status last.
QStringList AddedColumns(const L_BATCH::Options &options);
// The answer of a row's question, asked again after a passing failure
// (Retry-After for 429 and 503, else 2, 4 and 8 s; GEODATEN_RETRY_MS sets the 2 s). Every
// hit is checked against the row's postcode and town (L_MATCH): the first that agrees is
// taken; where the row names either and none agrees, the status is MISMATCH.
Answer Ask(const Asker &asker, const L_LIST::Question &question);
// The answer of a row without a question to ask: EMPTY, COLUMNS.
Answer Without(const Asker &asker, L_STATUS::Status status);

} // namespace L_ASK
