#include "batch_tool/L_OUTPUT.h"

#include "map_service/L_VALUE.h"
#include "xml_text/L_CSV.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace L_OUTPUT {

namespace {

void Flush(Output &out) {
    if (auto *file = qobject_cast<QFileDevice *>(out.device)) file->flush();
}

// Coordinates in the form the formats ask for: decimal points, no exponent.
QString Coordinate(const QString &serviceText) {
    return L_VALUE::FormatServiceNumber(L_VALUE::LeadingNumber(serviceText));
}

void GeoJsonFeature(Output &out, const QStringList &fields, const Point &point) {
    QJsonObject properties{{QStringLiteral("name"), point.name},
                           {QStringLiteral("description"), point.description}};
    for (qsizetype k = 0; k < out.columns.size(); ++k)
        properties.insert(out.columns[k], fields.value(k));
    const QJsonObject geometry{
        {QStringLiteral("type"), QStringLiteral("Point")},
        {QStringLiteral("coordinates"), QJsonArray{L_VALUE::LeadingNumber(point.longitude),
                                                   L_VALUE::LeadingNumber(point.latitude)}}};
    const QJsonObject feature{{QStringLiteral("type"), QStringLiteral("Feature")},
                              {QStringLiteral("geometry"), geometry},
                              {QStringLiteral("properties"), properties}};
    out.device->write(out.firstFeature ? "\n" : ",\n");
    out.device->write(QJsonDocument(feature).toJson(QJsonDocument::Compact));
    out.firstFeature = false;
}

// The row's columns as elements named `element` with a "name" attribute; each value as the
// element's text or, with `valueElement`, in a child of that name.
void ColumnElements(Output &out, const QStringList &fields, const QString &element,
                    const QString &valueElement) {
    for (qsizetype k = 0; k < out.columns.size(); ++k) {
        out.xml->writeStartElement(element);
        out.xml->writeAttribute(QStringLiteral("name"), out.columns[k]);
        if (valueElement.isEmpty())
            out.xml->writeCharacters(fields.value(k));
        else
            out.xml->writeTextElement(valueElement, fields.value(k));
        out.xml->writeEndElement();
    }
}

void GpxWaypoint(Output &out, const QStringList &fields, const Point &point) {
    QXmlStreamWriter &xml = *out.xml;
    xml.writeStartElement(QStringLiteral("wpt"));
    xml.writeAttribute(QStringLiteral("lat"), Coordinate(point.latitude));
    xml.writeAttribute(QStringLiteral("lon"), Coordinate(point.longitude));
    xml.writeTextElement(QStringLiteral("name"), point.name);
    xml.writeTextElement(QStringLiteral("desc"), point.description);
    xml.writeStartElement(QStringLiteral("extensions"));
    ColumnElements(out, fields, QStringLiteral("geodaten:column"), QString());
    xml.writeEndElement();
    xml.writeEndElement();
}

void KmlPlacemark(Output &out, const QStringList &fields, const Point &point) {
    QXmlStreamWriter &xml = *out.xml;
    xml.writeStartElement(QStringLiteral("Placemark"));
    xml.writeTextElement(QStringLiteral("name"), point.name);
    xml.writeTextElement(QStringLiteral("description"), point.description);
    xml.writeStartElement(QStringLiteral("ExtendedData"));
    ColumnElements(out, fields, QStringLiteral("Data"), QStringLiteral("value"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("Point")); // longitude first, as KML writes it
    xml.writeTextElement(QStringLiteral("coordinates"),
                         Coordinate(point.longitude) + u',' + Coordinate(point.latitude));
    xml.writeEndElement();
    xml.writeEndElement();
}

void BeginXml(Output &out) {
    out.xml = std::make_unique<QXmlStreamWriter>(out.device);
    out.xml->setAutoFormatting(true);
    out.xml->writeStartDocument();
    if (out.format == Format::Gpx) {
        out.xml->writeStartElement(QStringLiteral("gpx"));
        out.xml->writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
        out.xml->writeNamespace(QStringLiteral("https://geodaten.invalid/columns"),
                                QStringLiteral("geodaten"));
        out.xml->writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
        out.xml->writeAttribute(QStringLiteral("creator"), QStringLiteral("geodaten-batch"));
    } else {
        out.xml->writeStartElement(QStringLiteral("kml"));
        out.xml->writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
        out.xml->writeStartElement(QStringLiteral("Document"));
    }
}

} // namespace

void Begin(Output &out, const QStringList &added, bool bom) {
    switch (out.format) {
    case Format::Csv:
        if (bom) out.device->write("\xEF\xBB\xBF");
        Record(out, out.columns + added);
        return;
    case Format::GeoJson:
        out.device->write(R"({"type":"FeatureCollection","features":[)");
        break;
    case Format::Gpx:
    case Format::Kml:
        BeginXml(out);
        break;
    }
    Flush(out);
}

void Record(Output &out, const QStringList &fields) {
    out.device->write(L_CSV::EncodeRecord(fields, out.delimiter) + out.lineEnd);
    Flush(out);
}

void Place(Output &out, const QStringList &fields, const Point &point) {
    if (out.format == Format::GeoJson) GeoJsonFeature(out, fields, point);
    if (out.format == Format::Gpx) GpxWaypoint(out, fields, point);
    if (out.format == Format::Kml) KmlPlacemark(out, fields, point);
    Flush(out);
}

void End(Output &out) {
    if (out.format == Format::GeoJson) out.device->write("\n]}\n");
    if (out.xml) out.xml->writeEndDocument(); // closes every open element
    Flush(out);
}

} // namespace L_OUTPUT
