#include "batch_tool/L_LIST.h"

#include "xml_text/L_REPLAC.h"

#include <QBuffer>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace L_LIST {

namespace {

using L_BATCH::Mode;

// A file, or standard input, a FIFO or a pipe kept in memory (they cannot be read twice).
bool OpenDevice(const QString &name, List &list, QString &message) {
    list.name = name == QStringLiteral("-") ? QStringLiteral("Standardeingabe") : name;
    auto file = std::make_unique<QFile>();
    const bool opened = name == QStringLiteral("-")
                            ? file->open(stdin, QIODevice::ReadOnly)
                            : (file->setFileName(name), file->open(QIODevice::ReadOnly));
    if (!opened) {
        message =
            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(list.name, file->errorString());
        return false;
    }
    if (!file->isSequential()) {
        list.device = std::move(file);
        return true;
    }
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(file->readAll());
    buffer->open(QIODevice::ReadOnly);
    list.device = std::move(buffer);
    return true;
}

// The encoding: the option's, else UTF-8 where every byte is; Windows-1252 where no
// multi-byte UTF-8 sequence is (with a note); a mix of both is refused.
bool ChooseEncoding(const L_BATCH::Options &options, List &list, QString &message, QString &note) {
    if (list.device->peek(2) == "\xFF\xFE" || list.device->peek(2) == "\xFE\xFF") {
        message = QStringLiteral("%1 ist UTF-16; bitte als UTF-8 oder Windows-1252 (CSV) speichern")
                      .arg(list.name);
        return false;
    }
    const L_CSV::Scan scan = L_CSV::ScanBytes(*list.device);
    list.device->seek(0);
    if (scan.nulLine > 0) {
        message = QStringLiteral("%1, Zeile %2: ein NUL-Byte; das ist keine Textdatei")
                      .arg(list.name)
                      .arg(scan.nulLine);
        return false;
    }
    using L_CSV::Encoding;
    if (!options.encoding.isEmpty()) {
        list.dialect.encoding =
            options.encoding == QStringLiteral("utf-8") ? Encoding::Utf8 : Encoding::Windows1252;
        return true;
    }
    list.dialect.encoding = scan.invalidLine ? Encoding::Windows1252 : Encoding::Utf8;
    if (scan.invalidLine && scan.multiByte) {
        message = QStringLiteral("%1, Zeile %2: kein gültiges UTF-8, anderswo aber schon; "
                                 "--encoding utf-8 oder --encoding windows-1252 sagt, was gilt")
                      .arg(list.name)
                      .arg(scan.invalidLine);
        return false;
    }
    if (scan.invalidLine)
        note = QStringLiteral("%1 ist kein gültiges UTF-8 und wird als Windows-1252 gelesen")
                   .arg(list.name);
    return true;
}

// The named column (trimmed, ignoring case), or -1.
int ColumnNamed(const QStringList &header, const QString &name) {
    for (int k = 0; k < header.size(); ++k)
        if (header[k].trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) return k;
    return -1;
}

// The first of the names the header has, or -1.
int FirstOf(const QStringList &header, const QStringList &names) {
    for (const QString &name : names)
        if (const int k = ColumnNamed(header, name); k >= 0) return k;
    return -1;
}

// The named columns; false with a message when one is missing.
bool Named(const List &list, const QStringList &names, QList<int> &columns, QString &message) {
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

bool AddressColumns(const L_BATCH::Options &options, List &list, QString &message) {
    Columns &c = list.columns;
    const QStringList &h = list.header;
    if (!options.column.isEmpty()) return Named(list, options.column, c.address, message);
    if (const int k = FirstOf(h, {"address", "Adresse", "Anschrift"}); k >= 0)
        return c.address = {k}, true;
    c.address = {FirstOf(h, {"Straße", "Strasse", "Str."}),
                 FirstOf(h, {"Hausnummer", "Hausnr.", "Nr."}), FirstOf(h, {"PLZ"}),
                 FirstOf(h, {"Ort", "Stadt", "Gemeinde"}), FirstOf(h, {"Land"})};
    c.postal = std::any_of(c.address.begin(), c.address.end(), [](int k) { return k >= 0; });
    if (c.postal) return true;
    if (h.size() == 1) return c.address = {0}, true;
    message = QStringLiteral("%1: keine Spalte mit der Adresse unter %2; --column A,B,C nennt sie")
                  .arg(list.name, h.join(QStringLiteral(", ")));
    return false;
}

bool EndColumns(const L_BATCH::Options &options, List &list, QString &message) {
    Columns &c = list.columns;
    if (!options.from.isEmpty())
        return Named(list, options.from, c.from, message) && Named(list, options.to, c.to, message);
    int from = -1, to = -1;
    if (UsualPair(list.header,
                  {{"from", "to"}, {"Start", "Ziel"}, {"Von", "Nach"}, {"Wohnort", "Arbeitsort"}},
                  from, to))
        return c.from = {from}, c.to = {to}, true;
    message =
        QStringLiteral("%1: keine Spalten für Start und Ziel unter %2; --from A --to B nennt sie")
            .arg(list.name, list.header.join(QStringLiteral(", ")));
    return false;
}

bool PointColumns(const L_BATCH::Options &options, List &list, QString &message) {
    Columns &c = list.columns;
    QList<int> named;
    if (!options.point.isEmpty())
        return Named(list, {options.point}, named, message) && (c.point = named[0], true);
    if (!options.lat.isEmpty())
        return Named(list, {options.lat, options.lon}, named, message) &&
               (c.lat = named[0], c.lon = named[1], true);
    if (UsualPair(list.header, {{"lat", "lon"}, {"Breite", "Länge"}, {"latitude", "longitude"}},
                  c.lat, c.lon))
        return true;
    if (list.header.size() == 1) return c.point = 0, true;
    message =
        QStringLiteral(
            "%1: keine Spalten mit dem Punkt unter %2; --lat A --lon B oder --point A nennt sie")
            .arg(list.name, list.header.join(QStringLiteral(", ")));
    return false;
}

// Every column chosen, -1 for those absent.
QList<int> Chosen(const Columns &c) {
    return c.address + c.from + c.to + QList<int>{c.point, c.lat, c.lon};
}

// The columns to ask with, and their names for the summary.
bool ChooseColumns(const L_BATCH::Options &options, List &list, QString &message) {
    const bool ok = options.mode == Mode::Geocode    ? AddressColumns(options, list, message)
                    : options.mode == Mode::Distance ? EndColumns(options, list, message)
                                                     : PointColumns(options, list, message);
    const Columns &c = list.columns;
    for (int k : Chosen(c))
        if (k >= 0) list.columns.used.append(L_REPLAC::Clean(list.header.value(k)));
    return ok;
}

// The fields of the columns, trimmed, the empty ones left out, joined with `separator`.
QString Joined(const QStringList &fields, const QList<int> &columns, const QString &separator) {
    QStringList parts;
    for (int k : columns)
        if (k >= 0 && !fields.value(k).trimmed().isEmpty()) parts.append(fields.value(k).trimmed());
    return parts.join(separator);
}

// "Straße Hausnummer, PLZ Ort, Land", the empty parts left out.
QString PostalAddress(const QStringList &fields, const QList<int> &c) {
    QStringList parts{Joined(fields, {c[0], c[1]}, QStringLiteral(" ")),
                      Joined(fields, {c[2], c[3]}, QStringLiteral(" ")),
                      Joined(fields, {c[4]}, QString())};
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

} // namespace

bool Open(const L_BATCH::Options &options, List &list, QString &message, QString &note) {
    if (!OpenDevice(options.input, list, message) || !ChooseEncoding(options, list, message, note))
        return false;
    const L_CSV::Encoding encoding = list.dialect.encoding;
    // Without a delimiter in the header, the one a spreadsheet of the user's locale reads.
    list.dialect =
        L_CSV::Detect(list.device->peek(64 * 1024), QLocale().decimalPoint() == u',' ? ';' : ',');
    list.dialect.encoding = encoding;
    list.device->seek(list.dialect.headerAt);
    L_CSV::Source source{list.device.get(),           list.dialect.delimiter, encoding, {}, 0,
                         list.dialect.sepLine ? 2 : 1};
    qint64 line = 0;
    if (L_CSV::ReadRecord(source, list.header, line) != L_CSV::Read::Record) {
        message = QStringLiteral("%1 hat keine Kopfzeile").arg(list.name);
        return false;
    }
    list.bodyStart = Position(source);
    list.bodyLine = source.line;
    return ChooseColumns(options, list, message);
}

L_CSV::Source Body(const List &list) {
    list.device->seek(list.bodyStart);
    return L_CSV::Source{list.device.get(), list.dialect.delimiter, list.dialect.encoding, {}, 0,
                         list.bodyLine};
}

qint64 Position(const L_CSV::Source &source) {
    return source.device->pos() - (source.buffer.size() - source.at);
}

Survey SurveyList(const List &list) {
    Survey survey;
    std::vector<size_t> places; // 8 bytes a place: flat enough for any list
    L_CSV::Source source = Body(list);
    QStringList fields;
    qint64 line = 0;
    for (L_CSV::Read read; (read = L_CSV::ReadRecord(source, fields, line)) != L_CSV::Read::End;) {
        if (read == L_CSV::Read::Unterminated) {
            survey.unterminatedLine = line;
            break;
        }
        ++survey.rows;
        for (const QString &place : Question(list, fields).split(QChar(0x1F), Qt::SkipEmptyParts))
            places.push_back(qHash(place));
    }
    std::sort(places.begin(), places.end());
    for (size_t k = 0, count; k < places.size(); k += count) {
        for (count = 1; k + count < places.size() && places[k + count] == places[k];) ++count;
        ++survey.distinct;
        if (count > 1) survey.recurring.push_back(places[k]);
    }
    return survey;
}

bool Recurs(const Survey &survey, const QString &question) {
    for (const QString &place : question.split(QChar(0x1F), Qt::SkipEmptyParts))
        if (std::binary_search(survey.recurring.begin(), survey.recurring.end(), qHash(place)))
            return true;
    return false;
}

QString Question(const List &list, const QStringList &fields) {
    const Columns &c = list.columns;
    if (c.postal) return PostalAddress(fields, c.address);
    if (!c.address.isEmpty()) return Joined(fields, c.address, QStringLiteral(", "));
    if (!c.from.isEmpty()) {
        const QString from = Joined(fields, c.from, QStringLiteral(", ")),
                      to = Joined(fields, c.to, QStringLiteral(", "));
        return from.isEmpty() || to.isEmpty() ? QString() : from + QChar(0x1F) + to;
    }
    if (c.point >= 0) return fields.value(c.point).trimmed();
    const QString lat = fields.value(c.lat).trimmed(), lon = fields.value(c.lon).trimmed();
    return lat.isEmpty() || lon.isEmpty() ? QString() : lat + QStringLiteral("; ") + lon;
}

bool AllEmpty(const QStringList &fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const QString &f) { return f.trimmed().isEmpty(); });
}

bool TooShort(const List &list, const QStringList &fields) {
    const Columns &c = list.columns;
    if (c.postal) return false; // the parts a row lacks are left out
    for (int k : Chosen(c))
        if (k >= fields.size()) return true;
    return false;
}

} // namespace L_LIST
