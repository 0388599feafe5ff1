#pragma once
// The list a user gives: its encoding, its dialect, its header, the columns a row's
// question comes from, and a survey of its rows. Read three times: its bytes for the
// encoding, its rows for the survey, and once to work through it.
#include "batch_tool/L_BATCH.h"
#include "batch_tool/L_COLUMN.h"
#include "xml_text/L_CSV.h"

#include <QIODevice>

#include <memory>
#include <vector>

namespace L_LIST {

using L_COLUMN::Columns;

struct List {
    QString name; // for messages
    std::unique_ptr<QIODevice> device;
    L_CSV::Dialect dialect;
    QStringList header; // as the file has it
    Columns columns;
    qint64 bodyStart = 0, bodyLine = 1; // where the first row begins
};

// One place a row asks for: the text sent (an address, or a point's text), and the postcode
// and town the row itself names for it, against which every hit is checked (empty: none).
struct Address {
    QString text, postcode, town;
};
// What a row asks: one address (geocode), a point (reverse), or a start and an end
// (distance). None when the row has no address part.
struct Question {
    QList<Address> addresses;
    QString latitude, longitude; // reverse with two columns: each read alone (the text joins them)
};

struct Survey {
    qint64 rows = 0, distinct = 0;     // rows, and distinct places asked for
    qint64 unterminatedLine = 0;       // where a quoted field runs to the end; 0 when none
    qint64 longRows = 0, longLine = 0; // rows with more fields than the header; the first's line
    std::vector<size_t> recurring;     // hashes of the places asked for more than once, sorted
    QStringList example;               // the first row's question, its texts
};

// Opens the list, reads its encoding (--encoding, else UTF-8, else Windows-1252 with a
// note), dialect, header and columns. False with a message naming the file, the line and
// what is wrong: unreadable, a NUL byte, UTF-8 mixed with other bytes, no header, no
// column to ask with. `added`: the columns the run adds, which an input column of the same
// name (a list run on its own output) gives way to.
bool Open(const L_BATCH::Options &options, const QStringList &added, List &list, QString &message,
          QString &note);
Survey SurveyList(const List &list);
// A reader at the first row.
L_CSV::Source Body(const List &list);
// The row's question, its texts trimmed.
Question Ask(const List &list, const QStringList &fields);
// True when a place the question asks for is asked for again in the list.
bool Recurs(const Survey &survey, const Question &question);
// True when the row is too short for a chosen column.
bool TooShort(const List &list, const QStringList &fields);
// The input's header and a row's fields as the outputs write them back (Columns::echoed).
QStringList EchoedHeader(const List &list);
QStringList Echoed(const List &list, const QStringList &fields);

} // namespace L_LIST
