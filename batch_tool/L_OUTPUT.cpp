#include "batch_tool/L_OUTPUT.h"

#include "batch_tool/L_OUTCSV.h"
#include "batch_tool/L_OUTGPX.h"
#include "batch_tool/L_OUTJSN.h"
#include "batch_tool/L_OUTKML.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"

#include <QFileDevice>

namespace L_OUTPUT {

namespace {

// The formats, the first the default.
const Writer *const Writers[] = {&L_OUTCSV::Format, &L_OUTJSN::Format, &L_OUTGPX::Format,
                                 &L_OUTKML::Format};

// Whole bytes, flushed to the system; on failure the file is cut back to its last
// complete record and the reason kept.
bool Put(Output &out, const QByteArray &bytes) {
    if (!out.error.isEmpty()) return false;
    auto *file = qobject_cast<QFileDevice *>(out.device);
    qint64 at = 0; // a short write is tried on, so that the system tells why it stops
    for (qint64 n = 0; at < bytes.size() && (n = out.device->write(bytes.mid(at))) > 0;) at += n;
    if (at == bytes.size() && (!file || file->flush())) {
        out.written += bytes.size();
        return true;
    }
    out.error = out.name + QStringLiteral(": ") + out.device->errorString();
    if (file) file->resize(out.written); // never a cut record; where it cannot, so be it
    return false;
}

// A character XML 1.0 cannot hold: a non-character (U+FDD0-U+FDEF, U+xFFFE, U+xFFFF) or
// half of a surrogate pair without its other half.
bool NotForXml(const QString &text, qsizetype k) {
    const char16_t c = text[k].unicode();
    if (c >= 0xFDD0 && c <= 0xFDEF) return true;
    if (c == 0xFFFE || c == 0xFFFF) return true;
    if (QChar::isHighSurrogate(c))
        return k + 1 >= text.size() || !text[k + 1].isLowSurrogate() ||
               (QChar::surrogateToUcs4(c, text[k + 1].unicode()) & 0xFFFE) == 0xFFFE;
    // A low half goes with its high half: both stay, or both go.
    if (QChar::isLowSurrogate(c))
        return k == 0 || !text[k - 1].isHighSurrogate() || NotForXml(text, k - 1);
    return false;
}

} // namespace

const Writer *Named(const QString &name) {
    for (const Writer *writer : Writers)
        if (name.toLower() == QLatin1String(writer->name)) return writer;
    return nullptr;
}

QStringList Names() {
    QStringList names;
    for (const Writer *writer : Writers) names.append(QString::fromLatin1(writer->name));
    return names;
}

const Writer *Csv() {
    return Writers[0];
}

bool Begin(Output &out) {
    return Put(out, out.writer->opening(out));
}

bool Write(Output &out, const Row &row) {
    return Put(out, out.writer->records(out, row));
}

bool Copy(Output &out, const QByteArray &records) {
    return Put(out, out.writer->again ? out.writer->again(out, records) : records);
}

bool End(Output &out) {
    return Put(out, out.writer->closing(out));
}

QString RowId(qint64 row, int hit) {
    return QString::number(row) + (hit > 1 ? u'.' + QString::number(hit) : QString());
}

QList<std::pair<QString, QString>> Properties(const Output &out, const Row &row,
                                              const Point &place) {
    QList<std::pair<QString, QString>> properties;
    for (qsizetype k = 0; k < out.columns.size(); ++k)
        properties.append({out.columns[k], row.fields.value(k)});
    const QStringList &values = row.records.value(place.record);
    for (qsizetype k = 0; k < out.added.size(); ++k)
        if (out.added[k] != QStringLiteral("lat") && out.added[k] != QStringLiteral("lon"))
            properties.append({out.added[k], values.value(k)});
    return properties;
}

QString XmlChars(const QString &text) {
    const QString clean = L_REPLAC::Clean(text);
    QString kept;
    kept.reserve(clean.size());
    for (qsizetype k = 0; k < clean.size(); ++k)
        if (!NotForXml(clean, k)) kept += clean[k];
    return kept;
}

QString XmlText(const QString &text) {
    return XmlChars(text).toHtmlEscaped();
}

QString Coordinate(double degrees) {
    return L_VALUE::FormatServiceNumber(degrees);
}

bool Next(const Output &out, Reading &reading, qint64 row, Group &group) {
    group = Group();
    if (out.writer->next) return out.writer->next(out, reading, row, group);
    for (Group line;;) { // the lines of one row, up to the first line of another
        const qint64 from = reading.file->pos();
        const QByteArray text = reading.file->readLine();
        line = Group();
        const bool record = text.endsWith('\n') && reading.file->pos() <= reading.end &&
                            out.writer->line(out, text.trimmed(), line);
        if (!record || (group.row > 0 && line.row != group.row)) {
            reading.file->seek(from); // another row's, or the end: read again next time
            return group.row > 0;
        }
        if (group.row == 0) group = line;
        group.bytes += text;
    }
}

} // namespace L_OUTPUT
