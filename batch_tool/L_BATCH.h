#pragma once
// geodaten-batch: coordinates or distances for every row of a CSV list, through the
// provider the window uses, written row by row as they finish.
#include "batch_tool/L_OUTPUT.h"

#include <QString>
#include <QStringList>

namespace L_BATCH {

enum class Mode { Geocode, Distance };

struct Options {
    Mode mode = Mode::Geocode;
    QString input = QStringLiteral("-"); // a file, or "-" for standard input
    QString output;                      // a file; empty for standard output
    L_OUTPUT::Format format = L_OUTPUT::Format::Csv;
    bool all = false, resume = false, quiet = false;
    QString column;      // --column: the address column
    QStringList columns; // --columns: the start and end columns
};

constexpr int ExitAllFound = 0, ExitSomeWithout = 1, ExitUsage = 2, ExitInterrupted = 130;

// The options of a command line (without the program's name). False, with a message,
// for a usage error; `help` or `version` set when asked for.
bool ParseArguments(const QStringList &arguments, Options &options, QString &message, bool &help,
                    bool &version);
// What --help prints, in German.
QString Usage();
// The whole run: one of the exit statuses; messages, notes, progress and the summary go
// to standard error.
int Run(const Options &options);
// Asks a run in progress to end after its current row (SIGINT, SIGTERM): its output is
// closed as a valid document and the run ends with ExitInterrupted.
void RequestStop();

} // namespace L_BATCH
