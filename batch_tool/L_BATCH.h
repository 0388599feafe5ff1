#pragma once
// geodaten-batch's command line: its options, their German help, and what they may not be
// together. Every option and format name stands once, in the table of L_BATCH.cpp.
#include "batch_tool/L_OUTPUT.h"

#include <QString>
#include <QStringList>

namespace L_BATCH {

enum class Mode { Geocode, Distance, Reverse };

struct Options {
    Mode mode = Mode::Geocode;
    QString input = QStringLiteral("-");              // a file, or "-" for standard input
    QString output;                                   // a file; empty for standard output
    QString failed;                                   // --failed: the rows without a result
    const L_OUTPUT::Writer *writer = L_OUTPUT::Csv(); // --format
    bool all = false, resume = false, quiet = false, noCache = false;
    QString encoding;        // --encoding: "utf-8" or "windows-1252"; empty: told by the file
    QStringList column;      // --column: the address's columns, joined with ", "
    QStringList from, to;    // --from/--to (or --columns VON,NACH): the ends' columns
    QString lat, lon, point; // --lat/--lon or --point: the point's columns
    int parallel = 1;        // --parallel: requests in flight to servers of one's own
    int year = 0, days = 0;  // --pauschale JAHR, --tage N (0: not given, 220 days)
    QString coords;          // --coords: dms, dm, utm, mgrs or geo
    QStringList countries;   // --country: ISO 3166-1 alpha-2 codes, lower case
};

constexpr int ExitAllFound = 0, ExitSomeWithout = 1, ExitUsage = 2, ExitWrite = 3,
              ExitInterrupted = 130;

// The options of a command line (without the program's name). False, with a message,
// for a usage error; `help` or `version` set when asked for.
bool ParseArguments(const QStringList &arguments, Options &options, QString &message, bool &help,
                    bool &version);
// What --help prints, in German.
QString Usage();

} // namespace L_BATCH
