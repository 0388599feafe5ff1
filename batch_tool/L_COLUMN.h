#pragma once
// Which columns of a list a row's question comes from, by the names people give them, and
// which the outputs write back. A rule that could mistake a member number for a house
// number is no rule: when none fits, the user names the columns.
#include "batch_tool/L_BATCH.h"

#include <QList>
#include <QStringList>

namespace L_COLUMN {

// The columns a row's question comes from (indices into the header; -1 where absent).
struct Columns {
    QList<int> address;                 // geocode: joined with ", "; or the five postal parts below
    bool postal = false;                // address = street, house number, postcode, town, country
    QList<int> from, to;                // distance: each end joined with ", "
    int point = -1, lat = -1, lon = -1; // reverse: one column in any form, or two
    QStringList used;                   // their names, as the run's first line says them
    QList<int> echoed; // the input's columns written back: all but those the run adds
};

// The columns of a list named `list` with this header: the options' (--column, --from and
// --to, --lat and --lon, --point), else by the usual names, compared in any case and
// without a trailing dot. Geocode: a column named address, Adresse or Anschrift, or the
// only one whose name holds one of them; else street (Straße, Strasse, Str., Street, or
// with its number: "Straße u. Nr."), house number (Hausnummer, Haus-Nr., Hausnr, HNr, or
// Nr. right after the street), postcode (PLZ, Postleitzahl, Postcode, ZIP), town (Ort,
// Wohnort, Stadt, Gemeinde, City, or with its postcode: "PLZ/Ort") and country (Land,
// Country), at least one of street, postcode and town; else a list of one
// column. A column named as one of `added` (a list run on its own output) is neither
// chosen by the usual names nor echoed: the earlier answers are no question.
// False, with a message naming the columns found and the option, when no rule fits.
bool Choose(const L_BATCH::Options &options, const QString &list, const QStringList &header,
            const QStringList &added, Columns &columns, QString &message);
// Every column chosen, -1 for those absent.
QList<int> Chosen(const Columns &columns);

} // namespace L_COLUMN
