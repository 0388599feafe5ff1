#pragma once
// Whether a hit is the place a row means: the check a careful user makes by hand, of the
// hit's postcode and town against the row's own, made for every row.
#include "map_service/L_GEOGOG.h"

namespace L_MATCH {

// The postcode and town a free-form address names: 4 or 5 digits (perhaps after a country
// letter and "-", as in "D-84149") and the words after them up to the next comma, less a
// trailing country code ("9220 Velden AT"). Both empty when it names no postcode.
void PostcodeAndTown(const QString &address, QString &postcode, QString &town);

// A hit against the row's postcode and town: it agrees when the postcodes are equal or one
// of its place names is the row's town (a row that names neither takes any hit).
// `differs` names the row's parts the hit does not share ("postcode", "town"; for a hit
// that agrees, only those it shows otherwise), and "partial" where the service itself
// says it matched only part of the question.
struct Check {
    bool agrees = true;
    QStringList differs;
};
Check Compare(const QString &postcode, const QString &town, const L_GEOGOG::HitParts &hit);

// True when two names are one town: equal once case, umlauts and ß, accents, "St." and
// "Sankt", hyphens and blanks are evened out, where a qualifier only one of them carries
// does not count ("Velden", "Velden am Wörther See") and two qualifiers agree when one
// begins the other ("St. Veit/Glan", "Sankt Veit an der Glan").
bool SameTown(const QString &a, const QString &b);

} // namespace L_MATCH
