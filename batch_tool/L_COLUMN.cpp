#include "batch_tool/L_COLUMN.h"

#include "xml_text/L_REPLAC.h"

#include <QRegularExpression>

namespace L_COLUMN {

namespace {

using L_BATCH::Mode;

// A list's name, its header, the header as the usual names see it, and the columns chosen.
struct Header {
    const QString &name;
    const QStringList &header;
    const QStringList &usual; // the run's own columns blanked: an earlier output's answers
    Columns &columns;
};

// A header's name as the rules compare it: trimmed, any case, without a trailing dot.
QString Key(const QString &name) {
    QString key = name.trimmed().toLower();
    if (key.endsWith(u'.')) key.chop(1);
    return key.trimmed();
}

QStringList Keys(const QStringList &names) {
    QStringList keys;
    for (const QString &name : names) keys.append(Key(name));
    return keys;
}

// The named column, or -1.
int ColumnNamed(const QStringList &header, const QString &name) {
    for (int k = 0; k < header.size(); ++k)
        if (Key(header[k]) == Key(name)) return k;
    return -1;
}

// The first of the names the header has, or -1.
int FirstOf(const QStringList &header, const QStringList &names) {
    for (const QString &name : names)
        if (const int k = ColumnNamed(header, name); k >= 0) return k;
    return -1;
}

// The named columns; false with a message when one is missing.
bool Named(const Header &list, const QStringList &names, QList<int> &columns, QString &message) {
    for (const QString &name : names) {
        columns.append(ColumnNamed(list.header, name));
        if (columns.last() >= 0) continue;
        message = QStringLiteral("%1 hat keine Spalte \"%2\"").arg(list.name, name);
        return false;
    }
    return true;
}

// A pair of the usual names for two columns (start and end, latitude and longitude).
bool UsualPair(const QStringList &header, const QList<QStringList> &pairs, int &first,
               int &second) {
    for (const QStringList &pair : pairs) {
        first = ColumnNamed(header, pair[0]);
        second = ColumnNamed(header, pair[1]);
        if (first >= 0 && second >= 0) return true;
    }
    return false;
}

// False, with the message that no rule fits: the columns found and the option that names
// them; a header with empty names is perhaps a title above it.
bool NoneFits(const Header &list, const char *what, const char *option, QString &message) {
    message = QStringLiteral("%1: %2 unter %3; %4 nennt sie")
                  .arg(list.name, QString::fromUtf8(what), list.header.join(QStringLiteral(", ")),
                       QLatin1String(option));
    if (list.header.size() > 1 && list.header.contains(QString()))
        message += QStringLiteral(" (die erste Zeile muss die Kopfzeile sein, kein Titel)");
    return false;
}

// The one column that holds whole addresses: named so, else the only one whose name says
// so ("Wohnadresse"; an e-mail address is none). -1 when none or several.
int AddressColumn(const QStringList &header) {
    if (const int k = FirstOf(header, {"address", "Adresse", "Anschrift"}); k >= 0) return k;
    int found = -1;
    for (int k = 0; k < header.size(); ++k) {
        const QString key = Key(header[k]);
        if (key.contains(QStringLiteral("mail")) ||
            !(key.contains(QStringLiteral("adresse")) ||
              key.contains(QStringLiteral("anschrift")) || key.contains(QStringLiteral("address"))))
            continue;
        if (found >= 0) return -1;
        found = k;
    }
    return found;
}

// The first column whose whole name has the form, or -1.
int FirstLike(const QStringList &header, const char *form) {
    const QRegularExpression pattern(QStringLiteral("^(?:%1)$").arg(QString::fromUtf8(form)));
    for (int k = 0; k < header.size(); ++k)
        if (pattern.match(Key(header[k])).hasMatch()) return k;
    return -1;
}

// Two parts in one column's name: "Straße u. Nr.", "PLZ/Ort", "PLZ und Wohnort".
const char *const StreetAndNumber =
    "(?:straße|strasse|str\\.?) *(?:/|\\+|&|,|u\\.?|und)? *(?:haus-?nr\\.?|hausnummer|hnr|nr)";
const char *const PostcodeAndTown =
    "(?:plz|postleitzahl) *(?:/|\\+|&|,|u\\.?|und)? *(?:ort|wohnort|stadt|gemeinde)";

// Street, house number, postcode, town and country. "Nr" is a house number only right after
// the street: anywhere else it numbers members, as "Nummer" and "ID" do.
QList<int> PostalColumns(const QStringList &h) {
    int street = FirstOf(h, {"Straße", "Strasse", "Str", "Street"});
    int house = FirstOf(h, {"Hausnummer", "Haus-Nr", "Hausnr", "HNr"});
    if (house < 0 && street >= 0 && Key(h.value(street + 1)) == QStringLiteral("nr"))
        house = street + 1;
    if (street < 0) street = FirstLike(h, StreetAndNumber);
    int town = FirstOf(h, {"Ort", "Wohnort", "Stadt", "Gemeinde", "City"});
    if (town < 0) town = FirstLike(h, PostcodeAndTown); // the row's postcode read from it
    return {street, house, FirstOf(h, {"PLZ", "Postleitzahl", "Postcode", "ZIP"}), town,
            FirstOf(h, {"Land", "Country"})};
}

bool AddressColumns(const L_BATCH::Options &options, Header &list, QString &message) {
    Columns &c = list.columns;
    const QStringList &h = list.usual;
    if (!options.column.isEmpty()) return Named(list, options.column, c.address, message);
    if (const int k = AddressColumn(h); k >= 0) return c.address = {k}, true;
    c.address = PostalColumns(h);
    c.postal = c.address[0] >= 0 || c.address[2] >= 0 || c.address[3] >= 0;
    if (c.postal) return true;
    if (h.size() == 1) return c.address = {0}, true;
    return NoneFits(list, "keine Spalte mit der Adresse", "--column A,B,C", message);
}

bool EndColumns(const L_BATCH::Options &options, Header &list, QString &message) {
    Columns &c = list.columns;
    if (!options.from.isEmpty())
        return Named(list, options.from, c.from, message) && Named(list, options.to, c.to, message);
    int from = -1, to = -1;
    if (UsualPair(list.usual,
                  {{"from", "to"}, {"Start", "Ziel"}, {"Von", "Nach"}, {"Wohnort", "Arbeitsort"}},
                  from, to))
        return c.from = {from}, c.to = {to}, true;
    return NoneFits(list, "keine Spalten für Start und Ziel", "--from A --to B", message);
}

bool PointColumns(const L_BATCH::Options &options, Header &list, QString &message) {
    Columns &c = list.columns;
    QList<int> named;
    if (!options.point.isEmpty())
        return Named(list, {options.point}, named, message) && (c.point = named[0], true);
    if (!options.lat.isEmpty())
        return Named(list, {options.lat, options.lon}, named, message) &&
               (c.lat = named[0], c.lon = named[1], true);
    if (UsualPair(list.usual, {{"lat", "lon"}, {"Breite", "Länge"}, {"latitude", "longitude"}},
                  c.lat, c.lon))
        return true;
    if (list.header.size() == 1) return c.point = 0, true;
    return NoneFits(list, "keine Spalten mit dem Punkt", "--lat A --lon B oder --point A", message);
}

// The input's columns written back: a column named as one the run adds (the list is an
// earlier output) gives way to it, unless a question comes from it.
QList<int> EchoedColumns(const Header &list) {
    QList<int> echoed;
    for (int k = 0; k < list.header.size(); ++k)
        if (list.usual[k] == list.header[k] || Chosen(list.columns).contains(k)) echoed.append(k);
    return echoed;
}

} // namespace

// Every column chosen, -1 for those absent.
QList<int> Chosen(const Columns &c) {
    return c.address + c.from + c.to + QList<int>{c.point, c.lat, c.lon};
}

bool Choose(const L_BATCH::Options &options, const QString &name, const QStringList &header,
            const QStringList &added, Columns &columns, QString &message) {
    QStringList usual = header;
    for (QString &column : usual)
        if (Keys(added).contains(Key(column))) column.clear();
    Header list{name, header, usual, columns};
    const bool ok = options.mode == Mode::Geocode    ? AddressColumns(options, list, message)
                    : options.mode == Mode::Distance ? EndColumns(options, list, message)
                                                     : PointColumns(options, list, message);
    for (int k : Chosen(columns))
        if (k >= 0) columns.used.append(L_REPLAC::Clean(header.value(k)));
    columns.echoed = EchoedColumns(list);
    return ok;
}

} // namespace L_COLUMN
