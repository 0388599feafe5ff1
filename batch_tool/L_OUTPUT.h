#pragma once
// The batch tool's outputs: CSV like its input, or one point per place as GeoJSON, GPX 1.1
// or KML. Each record is one write of whole bytes, flushed and checked; a write that fails
// is cut back to the last complete record. Point formats write one record a line, each
// with its input row, so that a cut-off document can be found again and completed.
#include <QIODevice>
#include <QStringList>

namespace L_OUTPUT {

enum class Format { Csv, GeoJson, Gpx, Kml };

// The format of a name ("csv", "geojson", "gpx", "kml"); false for another.
bool FormatNamed(const QString &name, Format &format);
QStringList FormatNames();

struct Output {
    Format format = Format::Csv;
    QIODevice *device = nullptr;
    QString name;         // the file, for messages
    char delimiter = ','; // csv: the input's delimiter and line end
    QByteArray lineEnd = "\n";
    bool sepLine = false; // csv: Excel's "sep=" line first, as the input had it
    bool bom = false;     // csv: a UTF-8 byte order mark first
    QStringList columns;  // the input's header: names of the properties of a point
    bool firstFeature = true;
    qint64 written = 0; // bytes of complete records, where a failed write is cut back to
    QString error;      // "<file>: <the system's reason>" once a write failed
};

// One place: its input row and hit, where it is (decimal degrees) and what it is.
struct Point {
    qint64 row = 0;
    int hit = 1;
    QString name, description, latitude, longitude;
};

// The document's opening: for csv the byte order mark, the "sep=" line and the header of
// the input's columns and the added ones. Every writer returns false once a write failed.
bool Begin(Output &out, const QStringList &added);
// A csv record.
bool Record(Output &out, const QStringList &fields);
// A point with the input row's fields as its properties.
bool Place(Output &out, const QStringList &fields, const Point &point);
// Bytes of records as an earlier run wrote them (point formats: one line, the separator
// of GeoJSON left to the writer).
bool Copy(Output &out, const QByteArray &records);
// The document's closing; a csv needs none.
bool End(Output &out);
// What Begin writes, and End.
QByteArray Opening(const Output &out, const QStringList &added);
QByteArray Closing(const Output &out);

// A text cell from a service as a spreadsheet may see it: one that begins with "=", "+",
// "-", "@", tab or CR gets a leading apostrophe, so that it is never read as a formula.
QString SafeCell(const QString &text);

} // namespace L_OUTPUT
