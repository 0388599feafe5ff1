#include "batch_tool/L_OUTGPX.h"

#include <QXmlStreamReader>

namespace L_OUTGPX {

namespace {

using L_OUTPUT::Output;
using L_OUTPUT::XmlText;

// A character an XML name may hold: ASCII letters and digits, "-", "." and "_"; beyond
// ASCII letters and decimal digits from U+00C0 on ("²", "ª" and "①" are no name's).
bool NameChar(QChar c) {
    if (c.unicode() < 0x80) return c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_';
    return c.unicode() >= 0xC0 && (c.isLetter() || c.isDigit());
}

// A column's name as an XML element's: what a name may hold kept, anything else "_", and
// never a digit, "-" or "." first.
QString ElementName(const QString &column) {
    QString name;
    for (const QChar c : column) name += NameChar(c) ? c : QChar(u'_');
    if (name.isEmpty() || !(name[0].isLetter() || name[0] == u'_')) name.prepend(u'_');
    return name;
}

QByteArray Opening(const Output &) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx "
           "xmlns=\"http://www.topografix.com/GPX/1/1\" "
           "xmlns:geodaten=\"https://geodaten.invalid/columns\" version=\"1.1\" "
           "creator=\"geodaten-batch\">\n";
}

QByteArray Records(Output &out, const L_OUTPUT::Row &row) {
    QByteArray bytes;
    for (const L_OUTPUT::Point &place : row.places) {
        QString columns;
        for (const auto &[key, value] : L_OUTPUT::Properties(out, row, place))
            columns += QStringLiteral("<geodaten:%1>%2</geodaten:%1>")
                           .arg(ElementName(key), XmlText(value));
        bytes += QStringLiteral("<wpt lat=\"%1\" lon=\"%2\"><name>%3</name><desc>%4</desc>"
                                "<extensions><geodaten:row>%5</geodaten:row>%6</extensions>"
                                "</wpt>\n")
                     .arg(L_OUTPUT::Coordinate(place.latitude),
                          L_OUTPUT::Coordinate(place.longitude), XmlText(place.name),
                          XmlText(place.description), L_OUTPUT::RowId(row.row, place.hit), columns)
                     .toUtf8();
    }
    return bytes;
}

QByteArray Closing(const Output &) {
    return "</gpx>\n";
}

bool Parse(const Output &out, const QByteArray &line, L_OUTPUT::Group &group) {
    QStringList names;
    for (const QString &column : out.columns) names.append(ElementName(column));
    group.fields = QStringList(out.columns.size(), QString());
    QXmlStreamReader xml(line);
    xml.setNamespaceProcessing(false);
    QString id;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        const QString qualified = xml.qualifiedName().toString();
        if (!xml.isStartElement() || !qualified.startsWith(QStringLiteral("geodaten:"))) continue;
        const QString name = qualified.mid(9), text = xml.readElementText();
        if (name == QStringLiteral("row") && id.isEmpty()) { // the first: the program's own
            id = text;
            continue;
        }
        if (name == QStringLiteral("status")) group.status = text;
        if (const qsizetype k = names.indexOf(name); k >= 0) group.fields[k] = text;
    }
    group.row = id.section(u'.', 0, 0).toLongLong();
    return group.row > 0;
}

} // namespace

const L_OUTPUT::Writer Format{"gpx", true, &Opening, &Records, &Closing, nullptr, &Parse, nullptr};

} // namespace L_OUTGPX
