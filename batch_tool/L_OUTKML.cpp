#include "batch_tool/L_OUTKML.h"

#include <QXmlStreamReader>

namespace L_OUTKML {

namespace {

using L_OUTPUT::Output;
using L_OUTPUT::XmlText;

QByteArray Opening(const Output &) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml "
           "xmlns=\"http://www.opengis.net/kml/2.2\">\n"
           "<Document>\n";
}

QByteArray Records(Output &out, const L_OUTPUT::Row &row) {
    QByteArray bytes;
    for (const L_OUTPUT::Point &place : row.places) {
        QString data;
        for (const auto &[key, value] : L_OUTPUT::Properties(out, row, place))
            data += QStringLiteral("<Data name=\"%1\"><value>%2</value></Data>")
                        .arg(XmlText(key), XmlText(value));
        bytes += QStringLiteral("<Placemark id=\"r%1\"><name>%2</name><description>%3</description>"
                                "<ExtendedData>%4</ExtendedData><Point><coordinates>%5,%6"
                                "</coordinates></Point></Placemark>\n")
                     .arg(L_OUTPUT::RowId(row.row, place.hit), XmlText(place.name),
                          XmlText(place.description), data, L_OUTPUT::Coordinate(place.longitude),
                          L_OUTPUT::Coordinate(place.latitude))
                     .toUtf8();
    }
    return bytes;
}

QByteArray Closing(const Output &) {
    return "</Document>\n</kml>\n";
}

bool Parse(const Output &out, const QByteArray &line, L_OUTPUT::Group &group) {
    group.fields = QStringList(out.columns.size(), QString());
    QXmlStreamReader xml(line);
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement()) continue;
        if (xml.name() == QStringLiteral("Placemark")) {
            const QString id = xml.attributes().value(QStringLiteral("id")).toString();
            group.row = id.startsWith(u'r') ? id.mid(1).section(u'.', 0, 0).toLongLong() : 0;
        } else if (xml.name() == QStringLiteral("Data")) {
            const QString name = xml.attributes().value(QStringLiteral("name")).toString();
            xml.readNextStartElement(); // <value>
            const QString text = xml.readElementText();
            if (const qsizetype k = out.columns.indexOf(name); k >= 0) group.fields[k] = text;
            if (name == QStringLiteral("status")) group.status = text;
        }
    }
    return group.row > 0;
}

} // namespace

const L_OUTPUT::Writer Format{"kml", true, &Opening, &Records, &Closing, nullptr, &Parse, nullptr};

} // namespace L_OUTKML
