#pragma once
// The list a user gives: its encoding, its dialect, its header, the columns a row's
// question comes from, and a survey of its rows. Read three times: its bytes for the
// encoding, its rows for the survey, and once to work through it.
#include "batch_tool/L_BATCH.h"
#include "xml_text/L_CSV.h"

#include <QIODevice>

#include <memory>
#include <vector>

namespace L_LIST {

// The columns a row's question comes from (indices into the header; -1 where absent).
struct Columns {
    QList<int> address;                 // geocode: joined with ", "; or the five postal parts below
    bool postal = false;                // address = street, house number, postcode, town, country
    QList<int> from, to;                // distance: each end joined with ", "
    int point = -1, lat = -1, lon = -1; // reverse: one column in any form, or two
    QStringList used;                   // their names, as the summary's first line says them
};

struct List {
    QString name; // for messages
    std::unique_ptr<QIODevice> device;
    L_CSV::Dialect dialect;
    QStringList header;
    Columns columns;
    qint64 bodyStart = 0, bodyLine = 1; // where the first row begins
};

struct Survey {
    qint64 rows = 0, distinct = 0; // rows, and distinct places asked for
    qint64 unterminatedLine = 0;   // where a quoted field runs to the end; 0 when none
    std::vector<size_t> recurring; // hashes of the places asked for more than once, sorted
};

// Opens the list, reads its encoding (--encoding, else UTF-8, else Windows-1252 with a
// note), dialect, header and columns. False with a message naming the file, the line and
// what is wrong: unreadable, a NUL byte, UTF-8 mixed with other bytes, no header, no
// column to ask with.
bool Open(const L_BATCH::Options &options, List &list, QString &message, QString &note);
Survey SurveyList(const List &list);
// A reader at the first row.
L_CSV::Source Body(const List &list);
// The position of the next byte the reader reads.
qint64 Position(const L_CSV::Source &source);
// The row's question, trimmed: the address; the start and end as "start\x1Fend"; or the
// point's text. Empty when the row has none.
QString Question(const List &list, const QStringList &fields);
// True when a place the question asks for (an address, or an end) is asked for again.
bool Recurs(const Survey &survey, const QString &question);
// True when every field of the row is empty (blanks only).
bool AllEmpty(const QStringList &fields);
// True when the row is too short for a chosen column.
bool TooShort(const List &list, const QStringList &fields);

} // namespace L_LIST
