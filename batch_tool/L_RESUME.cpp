#include "batch_tool/L_RESUME.h"

#include "map_service/L_STATUS.h"
#include "xml_text/L_REPLAC.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace L_RESUME {

namespace {

using L_OUTPUT::Format;

QByteArray BytesAt(Earlier &e, qint64 from, qint64 to) {
    e.bytes.seek(from);
    return e.bytes.read(to - from);
}

// The next csv group: one record, or with --all as many as its "hits" says.
bool NextCsv(Earlier &e, qint64 row, Group &group) {
    const qint64 from = L_LIST::Position(e.source);
    QStringList fields;
    qint64 line = 0;
    int records = 1;
    for (int k = 0; k < records; ++k) {
        if (L_CSV::ReadRecord(e.source, fields, line) != L_CSV::Read::Record ||
            L_LIST::Position(e.source) > e.end)
            return false; // cut off
        if (k > 0) continue;
        group.fields = fields.mid(0, e.width);
        group.status = fields.value(fields.size() - 1);
        if (e.hitsAt >= 0 &&
            (group.status == QStringLiteral("OK") || group.status == QStringLiteral("MISMATCH")))
            records = qMax(1, fields.value(e.hitsAt).toInt());
    }
    group.row = row;
    group.bytes = BytesAt(e, from, L_LIST::Position(e.source));
    return true;
}

// A point line's row and its input columns.
bool ParsePoint(Format format, const QByteArray &line, const QStringList &columns, Group &group) {
    QString id;
    group.fields = QStringList(columns.size(), QString());
    if (format == Format::GeoJson) {
        const QJsonObject feature =
            QJsonDocument::fromJson(line.startsWith(',') ? line.mid(1) : line).object();
        id = feature.value(QStringLiteral("id")).toString();
        const QJsonObject properties = feature.value(QStringLiteral("properties")).toObject();
        for (qsizetype k = 0; k < columns.size(); ++k)
            group.fields[k] = properties.value(columns[k]).toString();
    } else {
        const bool gpx = format == Format::Gpx;
        static const QRegularExpression gpxRow(QStringLiteral("<geodaten:row>([0-9.]+)<")),
            kmlRow(QStringLiteral("<Placemark id=\"r([0-9.]+)\""));
        id = (gpx ? gpxRow : kmlRow).match(QString::fromUtf8(line)).captured(1);
        QXmlStreamReader xml(line);
        xml.setNamespaceProcessing(false);
        const QString element = gpx ? QStringLiteral("geodaten:column") : QStringLiteral("Data");
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd())
            if (xml.isStartElement() && xml.qualifiedName() == element) {
                const qsizetype k =
                    columns.indexOf(xml.attributes().value(QStringLiteral("name")).toString());
                if (!gpx) xml.readNextStartElement(); // <value>
                const QString text = xml.readElementText();
                if (k >= 0) group.fields[k] = text;
            }
    }
    group.row = id.section(u'.', 0, 0).toLongLong();
    return group.row > 0;
}

// The next point group: the lines of one row, read up to the first line of another.
bool NextPoints(Earlier &e, const QStringList &columns, Group &group) {
    group = Group();
    Group line;
    for (;;) {
        const qint64 from = e.records.pos();
        const QByteArray text = e.records.readLine();
        const bool record = text.endsWith('\n') && e.records.pos() <= e.end &&
                            ParsePoint(e.format, text.trimmed(), columns, line);
        if (!record || (group.row > 0 && line.row != group.row)) {
            e.records.seek(from); // another row's, or the end: read again next time
            return group.row > 0;
        }
        if (group.row == 0) group = line;
        group.bytes += text;
    }
}

bool Next(Earlier &e, qint64 row, Group &group) {
    group = Group();
    return e.format == Format::Csv ? NextCsv(e, row, group) : NextPoints(e, e.columns, group);
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

// The input's fields as the earlier output holds them: padded; for XML without controls.
QStringList AsWritten(const Earlier &e, QStringList fields, qsizetype width) {
    while (fields.size() < width) fields.append(QString());
    fields = fields.mid(0, width);
    if (e.format == Format::Gpx || e.format == Format::Kml)
        for (QString &field : fields) field = L_REPLAC::Clean(field);
    return fields;
}

// Every group against its input row; the count of rows it holds.
bool Verify(Earlier &e, const L_LIST::List &list, QString &message, const QString &name) {
    L_CSV::Source input = L_LIST::Body(list);
    QStringList fields;
    qint64 line = 0, read = 0;
    for (Group group; Next(e, read + 1, group);) {
        while (read < group.row && L_CSV::ReadRecord(input, fields, line) == L_CSV::Read::Record)
            ++read;
        if (read != group.row || AsWritten(e, L_LIST::Echoed(list, fields), e.width) !=
                                     AsWritten(e, group.fields, e.width)) {
            message = QStringLiteral("%1: der Eintrag für Zeile %2 der Liste passt nicht zu ihr; "
                                     "die Datei bleibt, wie sie ist")
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
    e.source = L_CSV::Source{&e.records, e.source.delimiter, L_CSV::Encoding::Utf8, {}, 0, 1};
}

} // namespace

bool Recognise(const QString &path, const L_OUTPUT::Output &out, const QStringList &added,
               const L_LIST::List &list, const L_BATCH::Options &options, Earlier &e,
               QString &message) {
    e.format = out.format;
    e.records.setFileName(path);
    e.bytes.setFileName(path);
    if (!e.records.open(QIODevice::ReadOnly) || !e.bytes.open(QIODevice::ReadOnly)) {
        message =
            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(path, e.records.errorString());
        return false;
    }
    const QByteArray opening = L_OUTPUT::Opening(out, added);
    const QByteArray start = e.records.read(opening.size());
    if (!opening.startsWith(start)) { // a run cut off in its opening wrote a part of it
        message = QStringLiteral("%1 ist keine Ausgabe dieser Liste mit diesen Optionen; "
                                 "die Datei bleibt, wie sie ist")
                      .arg(path);
        return false;
    }
    e.opening = start.size();
    e.end = qMax(e.opening, LastLineEnd(e.bytes));
    e.columns = L_LIST::EchoedHeader(list);
    e.width = int(e.columns.size());
    e.hitsAt = options.all ? e.width + int(added.indexOf(QStringLiteral("hits"))) : -1;
    e.source.delimiter = out.delimiter;
    Rewind(e);
    if (!Verify(e, list, message, path)) return false;
    Rewind(e);
    Next(e, 1, e.next);
    return true;
}

bool Records(Earlier &e, qint64 row, QByteArray &bytes, bool &final) {
    if (e.next.row != row) return false;
    bytes = e.next.bytes;
    final = e.format != Format::Csv || !L_STATUS::Passing(L_STATUS::FromWord(e.next.status));
    Next(e, row + 1, e.next);
    return true;
}

} // namespace L_RESUME
