#include "batch_tool/L_OUTPUT.h"

#include "map_service/L_VALUE.h"
#include "xml_text/L_CSV.h"
#include "xml_text/L_REPLAC.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace L_OUTPUT {

namespace {

const struct {
    const char *name;
    Format format;
} Formats[] = {
    {"csv", Format::Csv}, {"geojson", Format::GeoJson}, {"gpx", Format::Gpx}, {"kml", Format::Kml}};

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

// Coordinates in the form the formats ask for: decimal points, no exponent.
QString Coordinate(const QString &serviceText) {
    return L_VALUE::FormatServiceNumber(L_VALUE::LeadingNumber(serviceText));
}

QString RowId(const Point &point) {
    return QString::number(point.row) +
           (point.hit > 1 ? u'.' + QString::number(point.hit) : QString());
}

// Text for XML: escaped, and without the characters XML cannot hold.
QString Xml(const QString &text) {
    return L_REPLAC::Clean(text).toHtmlEscaped();
}

// The row's columns as elements named `element` with a "name" attribute, each value as
// the element's text or in a child `valueElement`.
QString ColumnElements(const Output &out, const QStringList &fields, const QString &element,
                       const QString &valueElement) {
    QString xml;
    for (qsizetype k = 0; k < out.columns.size(); ++k) {
        const QString value =
            valueElement.isEmpty()
                ? Xml(fields.value(k))
                : QStringLiteral("<%1>%2</%1>").arg(valueElement, Xml(fields.value(k)));
        xml += QStringLiteral("<%1 name=\"%2\">%3</%1>").arg(element, Xml(out.columns[k]), value);
    }
    return xml;
}

QByteArray GeoJsonFeature(const Output &out, const QStringList &fields, const Point &point) {
    QJsonObject properties{{QStringLiteral("name"), point.name},
                           {QStringLiteral("description"), point.description}};
    for (qsizetype k = 0; k < out.columns.size(); ++k)
        properties.insert(out.columns[k], fields.value(k));
    const QJsonObject geometry{
        {QStringLiteral("type"), QStringLiteral("Point")},
        {QStringLiteral("coordinates"), QJsonArray{L_VALUE::LeadingNumber(point.longitude),
                                                   L_VALUE::LeadingNumber(point.latitude)}}};
    const QJsonObject feature{{QStringLiteral("type"), QStringLiteral("Feature")},
                              {QStringLiteral("id"), RowId(point)},
                              {QStringLiteral("geometry"), geometry},
                              {QStringLiteral("properties"), properties}};
    return QJsonDocument(feature).toJson(QJsonDocument::Compact);
}

QString GpxWaypoint(const Output &out, const QStringList &fields, const Point &point) {
    return QStringLiteral("<wpt lat=\"%1\" lon=\"%2\"><name>%3</name><desc>%4</desc><extensions>"
                          "<geodaten:row>%5</geodaten:row>%6</extensions></wpt>")
        .arg(Coordinate(point.latitude), Coordinate(point.longitude), Xml(point.name),
             Xml(point.description), RowId(point),
             ColumnElements(out, fields, QStringLiteral("geodaten:column"), QString()));
}

QString KmlPlacemark(const Output &out, const QStringList &fields, const Point &point) {
    return QStringLiteral("<Placemark id=\"r%1\"><name>%2</name><description>%3</description>"
                          "<ExtendedData>%4</ExtendedData><Point><coordinates>%5,%6</coordinates>"
                          "</Point></Placemark>")
        .arg(RowId(point), Xml(point.name), Xml(point.description),
             ColumnElements(out, fields, QStringLiteral("Data"), QStringLiteral("value")),
             Coordinate(point.longitude), Coordinate(point.latitude));
}

// A GeoJSON record line less a separator an earlier run wrote before it.
QByteArray Feature(Output &out, QByteArray line) {
    if (line.startsWith(',')) line.remove(0, 1);
    const QByteArray separated = (out.firstFeature ? QByteArray() : QByteArray(",")) + line;
    out.firstFeature = false;
    return separated;
}

} // namespace

bool FormatNamed(const QString &name, Format &format) {
    for (const auto &f : Formats)
        if (name.toLower() == QLatin1String(f.name)) return format = f.format, true;
    return false;
}

QStringList FormatNames() {
    QStringList names;
    for (const auto &f : Formats) names.append(QString::fromLatin1(f.name));
    return names;
}

QByteArray Opening(const Output &out, const QStringList &added) {
    switch (out.format) {
    case Format::Csv:
        return (out.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) +
               (out.sepLine ? QByteArray("sep=") + out.delimiter + out.lineEnd : QByteArray()) +
               L_CSV::EncodeRecord(out.columns + added, out.delimiter) + out.lineEnd;
    case Format::GeoJson:
        return "{\"type\":\"FeatureCollection\",\"features\":[\n";
    case Format::Gpx:
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx "
               "xmlns=\"http://www.topografix.com/GPX/1/1\" "
               "xmlns:geodaten=\"https://geodaten.invalid/columns\" version=\"1.1\" "
               "creator=\"geodaten-batch\">\n";
    case Format::Kml:
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml "
               "xmlns=\"http://www.opengis.net/kml/2.2\">\n"
               "<Document>\n";
    }
    return QByteArray();
}

QByteArray Closing(const Output &out) {
    switch (out.format) {
    case Format::Csv:
        return QByteArray();
    case Format::GeoJson:
        return "]}\n";
    case Format::Gpx:
        return "</gpx>\n";
    case Format::Kml:
        return "</Document>\n</kml>\n";
    }
    return QByteArray();
}

bool Begin(Output &out, const QStringList &added) {
    return Put(out, Opening(out, added));
}

bool Record(Output &out, const QStringList &fields) {
    return Put(out, L_CSV::EncodeRecord(fields, out.delimiter) + out.lineEnd);
}

bool Place(Output &out, const QStringList &fields, const Point &point) {
    QByteArray line;
    if (out.format == Format::GeoJson) line = Feature(out, GeoJsonFeature(out, fields, point));
    if (out.format == Format::Gpx) line = GpxWaypoint(out, fields, point).toUtf8();
    if (out.format == Format::Kml) line = KmlPlacemark(out, fields, point).toUtf8();
    return Put(out, line + '\n');
}

bool Copy(Output &out, const QByteArray &records) {
    if (out.format != Format::GeoJson) return Put(out, records);
    QByteArray lines;
    for (const QByteArray &line : records.split('\n'))
        if (!line.isEmpty()) lines += Feature(out, line) + '\n';
    return Put(out, lines);
}

bool End(Output &out) {
    return Put(out, Closing(out));
}

QString SafeCell(const QString &text) {
    static const QString risky = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && risky.contains(text[0]) ? u'\'' + text : text;
}

} // namespace L_OUTPUT
