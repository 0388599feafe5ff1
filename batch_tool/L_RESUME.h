#pragma once
// --resume: an earlier output of the same list, recognised before anything is changed,
// then read record by record while the new output is written in its place. Rows are
// matched by position (csv) or by the row each point carries; a record cut off by a kill
// is left out, and so is a row whose status was a passing failure: both are asked again.
#include "batch_tool/L_LIST.h"
#include "batch_tool/L_OUTPUT.h"

#include <QFile>

namespace L_RESUME {

struct Earlier {
    const L_OUTPUT::Output *out = nullptr; // as this run writes it
    QFile records, bytes;                  // the file, read as records and as bytes
    L_OUTPUT::Reading reading;
    qint64 opening = 0;   // the bytes of its opening
    qint64 rows = 0;      // the input rows it holds
    L_OUTPUT::Group next; // read ahead
};

// Recognises the file as an output of this list written with these options: its opening
// as this run would write it, and each record's input columns equal to its input row's.
// The file is only read. False, with a message, when it is not such an output.
bool Recognise(const QString &path, const L_OUTPUT::Output &out, const L_LIST::List &list,
               const L_BATCH::Options &options, Earlier &earlier, QString &message);
// The earlier records of input row `row` (rows are asked in order): false when it holds
// none; `status` their status word, `fields` the input's columns as they stand there.
bool Records(Earlier &earlier, qint64 row, QByteArray &bytes, QString &status);

} // namespace L_RESUME
