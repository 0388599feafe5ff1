#include "batch_tool/L_RESUME.h"

namespace L_RESUME {

namespace {

bool Next(Earlier &e, qint64 row, L_OUTPUT::Group &group) {
    return L_OUTPUT::Next(*e.out, e.reading, row, group);
}

// Just after the file's last line end: what a kill left after it is no complete record.
qint64 LastLineEnd(QFile &file) {
    constexpr qint64 Chunk = 64 * 1024;
    for (qint64 to = file.size(); to > 0; to -= Chunk) {
        const qint64 from = qMax<qint64>(0, to - Chunk);
        file.seek(from);
        const qsizetype at = file.read(to - from).lastIndexOf('\n');
        if (at >= 0) return from + at + 1;
    }
    return 0;
}

// The input's fields as any format holds them: as wide as the columns, and without what
// no format may hold (control characters, non-characters, lone surrogates).
QStringList AsWritten(QStringList fields, qsizetype width) {
    while (fields.size() < width) fields.append(QString());
    fields = fields.mid(0, width);
    for (QString &field : fields) field = L_OUTPUT::XmlChars(field);
    return fields;
}

// Every group against its input row; the count of rows it holds.
bool Verify(Earlier &e, const L_LIST::List &list, QString &message, const QString &name) {
    L_CSV::Source input = L_LIST::Body(list);
    const qsizetype width = e.out->columns.size();
    QStringList fields;
    qint64 line = 0, read = 0;
    for (L_OUTPUT::Group group; Next(e, read + 1, group);) {
        while (read < group.row && L_CSV::ReadRecord(input, fields, line) == L_CSV::Read::Record)
            ++read;
        if (read != group.row ||
            AsWritten(L_LIST::Echoed(list, fields), width) != AsWritten(group.fields, width)) {
            message =
                QStringLiteral("%1: der Eintrag für Zeile %2 der Liste passt nicht zu ihr; "
                               "die Datei bleibt, wie sie ist (ohne --resume ersetzt ein Lauf sie)")
                    .arg(name)
                    .arg(group.row);
            return false;
        }
        e.rows = group.row;
    }
    return true;
}

// Where the earlier output's records start reading, for a pass.
void Rewind(Earlier &e) {
    e.records.seek(e.opening);
    e.reading.source = L_CSV::Source{&e.records, e.out->delimiter, L_CSV::Encoding::Utf8, {}, 0, 1};
}

} // namespace

bool Recognise(const QString &path, const L_OUTPUT::Output &out, const L_LIST::List &list,
               const L_BATCH::Options &options, Earlier &e, QString &message) {
    e.out = &out;
    e.records.setFileName(path);
    e.bytes.setFileName(path);
    if (!e.records.open(QIODevice::ReadOnly) || !e.bytes.open(QIODevice::ReadOnly)) {
        message =
            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(path, e.records.errorString());
        return false;
    }
    const QByteArray opening = out.writer->opening(out);
    const QByteArray start = e.records.read(opening.size());
    if (!opening.startsWith(start)) { // a run cut off in its opening wrote a part of it
        message =
            QStringLiteral("%1 ist keine Ausgabe dieser Liste mit diesen Optionen; "
                           "die Datei bleibt, wie sie ist (ohne --resume ersetzt ein Lauf sie)")
                .arg(path);
        return false;
    }
    e.opening = start.size();
    e.reading.file = &e.records;
    e.reading.bytes = &e.bytes;
    e.reading.end = qMax(e.opening, LastLineEnd(e.bytes));
    const qsizetype hits = out.added.indexOf(QStringLiteral("hits"));
    e.reading.hitsAt = options.all && hits >= 0 ? int(out.columns.size() + hits) : -1;
    Rewind(e);
    if (!Verify(e, list, message, path)) return false;
    Rewind(e);
    Next(e, 1, e.next);
    return true;
}

bool Records(Earlier &e, qint64 row, QByteArray &bytes, QString &status) {
    if (e.next.row != row) return false;
    bytes = e.next.bytes;
    status = e.next.status;
    Next(e, row + 1, e.next);
    return true;
}

} // namespace L_RESUME
