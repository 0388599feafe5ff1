#pragma once
// The run: the output opened (never the input, one run at a time), every row asked and
// written in input order by up to --parallel workers, progress, summary and exit status.
#include "batch_tool/L_BATCH.h"

namespace L_RUN {

// The whole run: one of L_BATCH's exit statuses; messages, notes, progress and the summary
// go to standard error.
int Run(const L_BATCH::Options &options);
// Ends a run in progress at once (SIGINT, SIGTERM; safe in a signal handler): transfers and
// waits are abandoned, finished rows kept, the output closed as a valid document.
void Interrupt();

} // namespace L_RUN
