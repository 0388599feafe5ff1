#include "batch_tool/L_OUTJSN.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace L_OUTJSN {

namespace {

using L_OUTPUT::Output;

// A JSON string: quotes, backslashes and control characters escaped; a lone surrogate,
// which no UTF-8 can hold, left out.
QString String(const QString &text) {
    QString out = QStringLiteral("\"");
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t c = text[k].unicode();
        const bool paired =
            QChar::isHighSurrogate(c)
                ? k + 1 < text.size() && text[k + 1].isLowSurrogate()
                : !QChar::isLowSurrogate(c) || (k > 0 && text[k - 1].isHighSurrogate());
        if (c == u'"' || c == u'\\')
            out += u'\\' + text[k];
        else if (c < 0x20)
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QChar(u'0'));
        else if (paired)
            out += text[k];
    }
    return out + u'"';
}

// Properties in the list's order (a JSON object written by hand: Qt's would sort them);
// "name" and "description" first where no column takes the key.
QString PropertiesOf(const Output &out, const L_OUTPUT::Row &row, const L_OUTPUT::Point &place) {
    const QList<std::pair<QString, QString>> columns = L_OUTPUT::Properties(out, row, place);
    QStringList keys, members;
    for (const auto &[key, value] : columns) keys.append(key);
    for (const auto &[key, value] : {std::pair{QStringLiteral("name"), place.name},
                                     {QStringLiteral("description"), place.description}})
        if (!keys.contains(key)) members.append(String(key) + u':' + String(value));
    for (const auto &[key, value] : columns) members.append(String(key) + u':' + String(value));
    return u'{' + members.join(u',') + u'}';
}

QByteArray Opening(const Output &) {
    return "{\"type\":\"FeatureCollection\",\"features\":[\n";
}

// A feature line, with the separator before it but for the first.
QByteArray Separated(Output &out, QByteArray line) {
    if (line.startsWith(',')) line.remove(0, 1);
    const QByteArray separated = (out.firstRecord ? QByteArray() : QByteArray(",")) + line;
    out.firstRecord = false;
    return separated;
}

QByteArray Records(Output &out, const L_OUTPUT::Row &row) {
    QByteArray bytes;
    for (const L_OUTPUT::Point &place : row.places)
        bytes += Separated(out, QStringLiteral("{\"type\":\"Feature\",\"id\":%1,\"geometry\":"
                                               "{\"type\":\"Point\",\"coordinates\":[%2,%3]},"
                                               "\"properties\":%4}")
                                    .arg(String(L_OUTPUT::RowId(row.row, place.hit)),
                                         L_OUTPUT::Coordinate(place.longitude),
                                         L_OUTPUT::Coordinate(place.latitude),
                                         PropertiesOf(out, row, place))
                                    .toUtf8()) +
                 '\n';
    return bytes;
}

QByteArray Closing(const Output &) {
    return "]}\n";
}

bool Parse(const Output &out, const QByteArray &line, L_OUTPUT::Group &group) {
    const QJsonObject feature =
        QJsonDocument::fromJson(line.startsWith(',') ? line.mid(1) : line).object();
    const QJsonObject properties = feature.value(QStringLiteral("properties")).toObject();
    for (const QString &column : out.columns)
        group.fields.append(properties.value(column).toString());
    group.status = properties.value(QStringLiteral("status")).toString();
    group.row = feature.value(QStringLiteral("id")).toString().section(u'.', 0, 0).toLongLong();
    return group.row > 0;
}

// Feature lines of an earlier run, separated as they now follow this run's.
QByteArray Again(Output &out, const QByteArray &records) {
    QByteArray lines;
    for (const QByteArray &line : records.split('\n'))
        if (!line.isEmpty()) lines += Separated(out, line) + '\n';
    return lines;
}

} // namespace

const L_OUTPUT::Writer Format{"geojson", true,    &Opening, &Records,
                              &Closing,  nullptr, &Parse,   &Again};

} // namespace L_OUTJSN
