#pragma once
// The batch tool's outputs behind one small interface. Each format is one file and one
// entry of the table in L_OUTPUT.cpp: how its document opens, how one input row's records
// are written, how it closes, and how an earlier document's rows are read back for
// --resume. Here: the bytes of a record written whole and flushed, cut back to the last
// complete row when a write fails. Point formats write one record a line, each with its
// input row, so that a cut-off document can be found again and completed.
#include "xml_text/L_CSV.h"

#include <QFile>
#include <QIODevice>
#include <QStringList>

namespace L_OUTPUT {

struct Writer;

struct Output {
    const Writer *writer = nullptr;
    QIODevice *device = nullptr;
    QString name;         // the file, for messages
    char delimiter = ','; // csv: the input's delimiter and line end
    QByteArray lineEnd = "\n";
    bool sepLine = false; // csv: Excel's "sep=" line first, as the input had it
    bool bom = false;     // csv: a UTF-8 byte order mark first
    QStringList columns;  // the input's columns written back
    QStringList added;    // the program's columns, status last
    bool firstRecord = true;
    qint64 written = 0; // bytes of complete records, where a failed write is cut back to
    QString error;      // "<file>: <the system's reason>" once a write failed
};

// One place of a row for the point formats: which of the row's records it is, where it
// is (decimal degrees) and what it is.
struct Point {
    int record = 0, hit = 1;
    double latitude = 0, longitude = 0;
    QString name, description;
};

// One input row's result: its fields (the columns written back), and per record the
// program's columns (Output::added, status last); a place per record that is one.
struct Row {
    qint64 row = 0;
    QStringList fields;
    QList<QStringList> records;
    QList<Point> places;
};

// An earlier output read back (--resume): the file, read as records and as bytes, and
// its complete records' end.
struct Reading {
    QFile *file = nullptr, *bytes = nullptr;
    qint64 end = 0;
    L_CSV::Source source; // csv: the records' reader
    int hitsAt = -1;      // csv with --all: where "hits" stands, the count of a row's records
};
// One input row's records in an earlier output.
struct Group {
    qint64 row = 0;     // 0: none
    QStringList fields; // the input's columns of its first record
    QString status;     // its status word
    QByteArray bytes;   // the records as they stand
};

// A format. `records` and `closing` may keep what they need in the Output (firstRecord).
struct Writer {
    const char *name; // --format's word
    bool points;      // a point per place: rows without a place are left out
    QByteArray (*opening)(const Output &out);
    QByteArray (*records)(Output &out, const Row &row);
    QByteArray (*closing)(const Output &out);
    // The next row's records of an earlier output (rows in order, starting at `row`); false
    // at its end or a record cut off. Null for a format of one record a line, which gives
    // `line` instead: one line's row, input fields and status; false for no such record.
    bool (*next)(const Output &out, Reading &reading, qint64 row, Group &group);
    bool (*line)(const Output &out, const QByteArray &line, Group &group);
    // Records as an earlier run wrote them, ready to follow what this run wrote.
    QByteArray (*again)(Output &out, const QByteArray &records);
};

// The format of a name ("csv", "geojson", "gpx", "kml"; any case); null for another.
const Writer *Named(const QString &name);
QStringList Names();
const Writer *Csv();

// The document's opening; every writer returns false once a write failed.
bool Begin(Output &out);
// One row's records.
bool Write(Output &out, const Row &row);
// Records of an earlier output, copied.
bool Copy(Output &out, const QByteArray &records);
// The document's closing.
bool End(Output &out);

// Shared by the formats. A row's id: "row", or "row.hit" beyond a row's first place.
QString RowId(qint64 row, int hit);
// The properties of a place: the input's columns and the program's but lat and lon, with
// their values, in that order.
QList<std::pair<QString, QString>> Properties(const Output &out, const Row &row,
                                              const Point &place);
// Text fit for XML: control characters (and escape sequences), non-characters and lone
// surrogates removed; XmlText escapes the markup characters too.
QString XmlChars(const QString &text);
QString XmlText(const QString &text);
// A coordinate as the formats write it: a decimal point, up to 15 digits, no exponent.
QString Coordinate(double degrees);
// The next row's records of an earlier output, by its writer's `next` or `line`.
bool Next(const Output &out, Reading &reading, qint64 row, Group &group);

} // namespace L_OUTPUT
