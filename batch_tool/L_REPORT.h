#pragma once
// What a run tells of itself: its first lines (the columns asked with, what the first row
// makes of them, the way to the servers) and its summary, whose counts add up to the rows
// and agree with the status column.
#include "batch_tool/L_LIST.h"
#include "map_service/L_STATUS.h"

#include <map>

namespace L_REPORT {

// The rows written, by what their status says, and where their answers came from.
struct Counts {
    qint64 written = 0, found = 0, without = 0, mismatched = 0, empty = 0;
    qint64 copied = 0;                  // of them, held by an earlier output (--resume)
    qint64 repeated = 0, cached = 0;    // answered by the run's memory, by the kept answers
    std::map<QString, qint64> failures; // the status words of those without a result
    qint64 passing = 0;                 // of those, the failures a --resume asks again
};

// A row written: OK found, EMPTY empty, MISMATCH mismatched, any other without a result.
void Count(Counts &counts, const L_STATUS::ServiceStatus &status, bool copied);
// "3 Zeilen, 1 gefunden, 1 ohne Ergebnis, 1 abweichend, 1 leer; ohne Ergebnis: 1 NETWORK",
// the parts that are 0 left out (but found and without), then what was already done and
// where answers came from.
QString Summary(const Counts &counts);
// The progress line: "12/100 Zeilen (12 %), 00:00:04 vergangen, noch etwa 00:00:30" (the
// estimate once `worked` rows were asked), and what the run waits for, if anything.
QString Progress(qint64 done, qint64 total, qint64 worked, qint64 elapsedMs,
                 const QString &waiting);
// A run's end that is not its rows' (told with its exit status; -1 for none): the list
// had no more rows after row `shrunkAfter` (-1: it did not shrink), the server asked to
// wait `laterS` seconds (-1: it did not), a quote opened on `unterminatedLine` (0: none).
int Ending(const QString &list, qint64 shrunkAfter, qint64 laterS, qint64 unterminatedLine);
// The first lines; `paced` when the servers asked are public ones (one request a second).
void Notes(const L_BATCH::Options &options, const L_LIST::List &list, const L_LIST::Survey &survey,
           bool paced);

} // namespace L_REPORT
