#include "batch_tool/L_OUTCSV.h"

#include "xml_text/L_CSV.h"

#include <QRegularExpression>

namespace L_OUTCSV {

namespace {

using L_OUTPUT::Output;

QByteArray Opening(const Output &out) {
    return (out.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) +
           (out.sepLine ? QByteArray("sep=") + out.delimiter + out.lineEnd : QByteArray()) +
           L_CSV::EncodeRecord(out.columns + out.added, out.delimiter) + out.lineEnd;
}

QByteArray Records(Output &out, const L_OUTPUT::Row &row) {
    QByteArray bytes;
    for (const QStringList &record : row.records) {
        QStringList cells = row.fields; // the user's own, as they were
        for (const QString &value : record) cells.append(SafeCell(value));
        bytes += L_CSV::EncodeRecord(cells, out.delimiter) + out.lineEnd;
    }
    return bytes;
}

QByteArray Closing(const Output &) {
    return QByteArray();
}

// One record, or with --all as many as its "hits" says (a row with places).
bool Next(const Output &out, L_OUTPUT::Reading &r, qint64 row, L_OUTPUT::Group &group) {
    const qint64 from = L_CSV::Position(r.source);
    QStringList fields;
    qint64 line = 0;
    for (int k = 0, records = 1; k < records; ++k) {
        if (L_CSV::ReadRecord(r.source, fields, line) != L_CSV::Read::Record ||
            L_CSV::Position(r.source) > r.end)
            return false; // cut off
        if (k > 0) continue;
        group.fields = fields.mid(0, out.columns.size());
        group.status = fields.value(fields.size() - 1);
        const bool places =
            group.status == QStringLiteral("OK") || group.status == QStringLiteral("MISMATCH");
        if (r.hitsAt >= 0 && places) records = qBound(1, fields.value(r.hitsAt).toInt(), 1000);
    }
    group.row = row;
    const qint64 to = L_CSV::Position(r.source);
    if (!r.bytes->seek(from)) return false;
    group.bytes = r.bytes->read(to - from);
    return group.bytes.size() == to - from;
}

} // namespace

const L_OUTPUT::Writer Format{"csv", false, &Opening, &Records, &Closing, &Next, nullptr, nullptr};

QString SafeCell(const QString &text) {
    static const QString risky = QStringLiteral("=+-@\t\r");
    static const QRegularExpression number(QStringLiteral("^-?\\d+([.,]\\d+)?$"));
    if (text.isEmpty() || !risky.contains(text[0]) || number.match(text).hasMatch()) return text;
    return u'\'' + text;
}

} // namespace L_OUTCSV
