#pragma once
// The batch tool's outputs: CSV like its input, or one point per place as GeoJSON, GPX 1.1
// or KML, written record by record and flushed, and closed as a valid document whenever
// the run ends.
#include <QIODevice>
#include <QStringList>
#include <QXmlStreamWriter>

#include <memory>

namespace L_OUTPUT {

enum class Format { Csv, GeoJson, Gpx, Kml };

struct Output {
    Format format = Format::Csv;
    QIODevice *device = nullptr;
    char delimiter = ','; // csv: the input's delimiter and line end
    QByteArray lineEnd = "\n";
    QStringList columns; // the input's header: names of the properties of a point
    std::unique_ptr<QXmlStreamWriter> xml;
    bool firstFeature = true;
};

// One place found: where it is (decimal degrees as the service wrote them) and what it is.
struct Point {
    QString name, description, latitude, longitude;
};

// The start: a csv header of the input's columns and the added ones (with a UTF-8 byte
// order mark when `bom`), or the document's opening.
void Begin(Output &out, const QStringList &added, bool bom);
// A csv record.
void Record(Output &out, const QStringList &fields);
// A point with the input row's fields as its properties.
void Place(Output &out, const QStringList &fields, const Point &point);
// The document's closing; a csv needs none.
void End(Output &out);

} // namespace L_OUTPUT
