#pragma once
// The files a run writes: the output (standard output, or a file locked for the run; an
// earlier output of the same list is recognised first and replaced only at the end) and
// the list of the rows without a result, locked too. Neither may be the input, whatever
// way it comes (a name, a link, standard input), nor the other.
#include "batch_tool/L_ASK.h"
#include "batch_tool/L_LIST.h"
#include "batch_tool/L_OUTPUT.h"
#include "batch_tool/L_RESUME.h"

#include <QFile>
#include <QSaveFile>

namespace L_FILES {

struct Files {
    L_OUTPUT::Output out, failed;
    QFile lock, failedFile, stdoutFile;
    QSaveFile replacement; // resume: the new output, in place of the earlier at the end
    bool resuming = false;
    L_RESUME::Earlier earlier;
    Files() = default;
    Files(const Files &) = delete; // the outputs point at its members
    Files &operator=(const Files &) = delete;
};

// False, with a message, when an output is the input (by name, through a link, or the
// file standard input reads) or the other output (also when neither exists yet): checked
// before anything is read or written.
bool Distinct(const L_BATCH::Options &options, QString &message);
// Opens the outputs and writes their openings: 0, or the exit status with a message.
int Open(Files &files, const L_BATCH::Options &options, const L_LIST::List &list,
         const QStringList &added, QString &message);
// A row's records: its fields (the columns written back, short rows made whole) and what
// its question added, with the status; without a result (but an empty row) also in the
// list of those. False when a write failed.
bool Write(Files &files, qint64 row, QStringList fields, const L_ASK::Answer &answer);
// A row an earlier output held, copied as it stands; in the list of those without a result
// too when its status says so.
bool Copy(Files &files, const QStringList &fields, const QByteArray &records,
          const QString &status);
// Closes both as valid documents and puts the new output in the earlier one's place; when
// `written` is false (a write failed) the earlier output stays as it was. False, with
// Error(), when a write failed.
bool Close(Files &files, bool written);
QString Error(const Files &files);

} // namespace L_FILES
