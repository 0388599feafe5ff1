#include "batch_tool/L_FILES.h"

#include "geo_files/L_PFADE.h"

namespace L_FILES {

namespace {

using L_BATCH::Options;

// The output's dialect is the input's; a byte order mark tells spreadsheets it is UTF-8.
void Prepare(const L_LIST::List &list, L_OUTPUT::Output &out, const L_OUTPUT::Writer *writer,
             const QString &name, const QStringList &added) {
    out.writer = writer;
    out.name = name;
    out.added = added;
    out.delimiter = list.dialect.delimiter;
    out.lineEnd = list.dialect.lineEnd;
    out.sepLine = list.dialect.sepLine;
    out.bom = list.dialect.bom || list.dialect.encoding == L_CSV::Encoding::Windows1252;
    out.columns = L_LIST::EchoedHeader(list);
}

QString Unwritable(const QString &name, const QFileDevice &file) {
    return QStringLiteral("%1 kann nicht geschrieben werden: %2").arg(name, file.errorString());
}

// The file opened for reading and writing and locked for this run: a second run on it is
// refused (exit 2, with the message).
int OpenLocked(QFile &file, const QString &name, QString &message) {
    file.setFileName(name);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return message = Unwritable(name, file), L_BATCH::ExitUsage;
    if (L_PFADE::TryLock(file)) return 0;
    message = QStringLiteral("%1 wird gerade von einem anderen Lauf geschrieben").arg(name);
    return L_BATCH::ExitUsage;
}

// Emptied for the new rows: a file that keeps its old tail would mix two runs.
int Emptied(QFile &file, const QString &name, QString &message) {
    return file.resize(0) ? 0 : (message = Unwritable(name, file), L_BATCH::ExitWrite);
}

// The output file, locked for this run: a second run on it is refused. An earlier output
// is only read until the end, where the new one takes its place.
int OpenFile(Files &f, const Options &o, const L_LIST::List &list, QString &message) {
    if (const int refused = OpenLocked(f.lock, o.output, message)) return refused;
    f.resuming = o.resume && f.lock.size() > 0;
    if (!f.resuming) {
        f.out.device = &f.lock;
        return Emptied(f.lock, o.output, message);
    }
    if (!L_RESUME::Recognise(o.output, f.out, list, o, f.earlier, message))
        return L_BATCH::ExitUsage;
    f.replacement.setFileName(o.output);
    if (!f.replacement.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return message = Unwritable(o.output, f.replacement), L_BATCH::ExitUsage;
    f.out.device = &f.replacement;
    return 0;
}

// The list of the rows without a result, locked as the output is, emptied only then.
int OpenFailed(Files &f, const Options &o, const L_LIST::List &list, QString &message) {
    Prepare(list, f.failed, L_OUTPUT::Csv(), o.failed, {QStringLiteral("status")});
    if (const int refused = OpenLocked(f.failedFile, o.failed, message)) return refused;
    if (const int unwritten = Emptied(f.failedFile, o.failed, message)) return unwritten;
    f.failed.device = &f.failedFile;
    return L_OUTPUT::Begin(f.failed) ? 0 : L_BATCH::ExitWrite;
}

// Without a result: the status of a failure, but not of an empty row.
bool Failed(const QString &status) {
    const L_STATUS::Status code = L_STATUS::FromWord(status).code;
    return code != L_STATUS::Status::Ok && code != L_STATUS::Status::Empty;
}

} // namespace

bool Distinct(const Options &o, QString &message) {
    const bool standardInput = o.input == QStringLiteral("-");
    const auto input = [&](const QString &output) {
        return standardInput ? L_PFADE::IsStandardInput(output)
                             : L_PFADE::SameFile(o.input, output);
    };
    for (const QString &output : {o.output, o.failed})
        if (!output.isEmpty() && input(output))
            message = QStringLiteral("%1 ist die Eingabe; bitte eine andere Ausgabedatei nennen")
                          .arg(output);
    if (message.isEmpty() && !o.output.isEmpty() && !o.failed.isEmpty() &&
        L_PFADE::SameFile(o.output, o.failed))
        message = QStringLiteral("-o und --failed nennen dieselbe Datei %1; bitte zwei "
                                 "verschiedene nennen")
                      .arg(o.failed);
    return message.isEmpty();
}

int Open(Files &f, const Options &o, const L_LIST::List &list, const QStringList &added,
         QString &message) {
    Prepare(list, f.out, o.writer,
            o.output.isEmpty() ? QStringLiteral("Standardausgabe") : o.output, added);
    int exit = 0;
    if (o.output.isEmpty()) {
        f.stdoutFile.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered); // the descriptor
        f.out.device = &f.stdoutFile;
    } else if ((exit = OpenFile(f, o, list, message)) != 0) {
        return exit;
    }
    if (!L_OUTPUT::Begin(f.out)) return L_BATCH::ExitWrite;
    return o.failed.isEmpty() ? 0 : OpenFailed(f, o, list, message);
}

bool Write(Files &f, qint64 row, QStringList fields, const L_ASK::Answer &answer) {
    while (fields.size() < f.out.columns.size()) fields.append(QString());
    const QString status = L_STATUS::Word(answer.status);
    L_OUTPUT::Row written{row, fields, answer.rows, answer.places};
    for (QStringList &record : written.records) record.append(status);
    bool ok = L_OUTPUT::Write(f.out, written);
    if (ok && f.failed.device && Failed(status))
        ok = L_OUTPUT::Write(f.failed, {row, fields, {{status}}, {}});
    return ok;
}

bool Copy(Files &f, const QStringList &fields, const QByteArray &records, const QString &status) {
    bool ok = L_OUTPUT::Copy(f.out, records);
    if (ok && f.failed.device && Failed(status))
        ok = L_OUTPUT::Write(f.failed, {0, fields, {{status}}, {}});
    return ok;
}

bool Close(Files &f, bool written) {
    written = written && L_OUTPUT::End(f.out);
    if (f.failed.device) written = L_OUTPUT::End(f.failed) && written;
    if (!f.resuming) return written;
    if (written && f.replacement.commit()) return true;
    if (f.out.error.isEmpty() && f.failed.error.isEmpty())
        f.out.error = f.out.name + QStringLiteral(": ") + f.replacement.errorString();
    f.replacement.cancelWriting(); // the earlier output stays as it was
    return false;
}

QString Error(const Files &f) {
    return f.out.error.isEmpty() ? f.failed.error : f.out.error;
}

} // namespace L_FILES
