#include "batch_tool/L_BATCH.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_PFADE.h"
#include "map_service/L_GEOGOG.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_TIME.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_CSV.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace L_BATCH {

namespace {

using L_GEOGOG::GeoQuery;
using L_OUTPUT::Format;

volatile std::sig_atomic_t stopRequested = 0;

void Say(const QString &text) {
    std::fprintf(stderr, "geodaten-batch: %s\n", qUtf8Printable(text));
}

// --- The list: read twice, once to survey it and once to work through it. ---

struct Input {
    QString name; // for messages
    std::unique_ptr<QIODevice> device;
    L_CSV::Dialect dialect;
    QStringList header;
    QList<int> columns; // the address column, or the start and end columns
    qint64 bodyStart = 0, bodyLine = 1;
};

// What the survey of the whole list found.
struct Survey {
    qint64 rows = 0;
    qint64 unterminatedLine = 0;  // where a quoted field runs to the end; 0 when none
    qint64 distinct = 0;          // distinct addresses
    QHash<size_t, int> recurring; // a key's hash -> its rows, for keys that come again
};

L_CSV::Source SourceAt(const Input &input, qint64 at, qint64 line) {
    input.device->seek(at);
    return L_CSV::Source{
        input.device.get(), input.dialect.delimiter, input.dialect.encoding, {}, 0, line};
}

// The position of the next byte to read.
qint64 Position(const L_CSV::Source &source) {
    return source.device->pos() - (source.buffer.size() - source.at);
}

// A file, or standard input kept in memory (it cannot be read twice).
bool OpenInput(const QString &name, Input &input, QString &message) {
    input.name = name == QStringLiteral("-") ? QStringLiteral("Standardeingabe") : name;
    auto file = std::make_unique<QFile>();
    const bool opened = name == QStringLiteral("-")
                            ? file->open(stdin, QIODevice::ReadOnly)
                            : (file->setFileName(name), file->open(QIODevice::ReadOnly));
    if (!opened) {
        message =
            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(input.name, file->errorString());
        return false;
    }
    if (name != QStringLiteral("-")) {
        input.device = std::move(file);
        return true;
    }
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(file->readAll());
    buffer->open(QIODevice::ReadOnly);
    input.device = std::move(buffer);
    return true;
}

// The named column (ignoring case), or -1.
int ColumnNamed(const QStringList &header, const QString &name) {
    for (int k = 0; k < header.size(); ++k)
        if (header[k].trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) return k;
    return -1;
}

// The columns to read: those the options name, else the usual names, else the first ones.
bool ChooseColumns(const Options &options, Input &input, QString &message) {
    const QStringList &h = input.header;
    QStringList named =
        options.mode == Mode::Geocode
            ? (options.column.isEmpty() ? QStringList() : QStringList{options.column})
            : options.columns;
    const QList<QStringList> usual = options.mode == Mode::Geocode
                                         ? QList<QStringList>{{"address"}, {"Adresse"}}
                                         : QList<QStringList>{{"from", "to"}, {"Start", "Ziel"}};
    for (const QStringList &names : usual)
        if (named.isEmpty() && std::all_of(names.begin(), names.end(), [&](const QString &n) {
                return ColumnNamed(h, n) >= 0;
            }))
            named = names;
    const int wanted = options.mode == Mode::Geocode ? 1 : 2;
    input.columns.clear();
    for (int k = 0; k < wanted; ++k)
        input.columns.append(named.isEmpty() ? k : ColumnNamed(h, named[k]));
    for (int k = 0; k < wanted; ++k) {
        if (input.columns[k] >= 0 && input.columns[k] < h.size()) continue;
        message = named.isEmpty()
                      ? QStringLiteral("%1 hat zu wenige Spalten").arg(input.name)
                      : QStringLiteral("%1 hat keine Spalte \"%2\"").arg(input.name, named[k]);
        return false;
    }
    return true;
}

// Encoding, dialect and header of the input; false with a message when it has no header.
bool ReadHead(const Options &options, Input &input, QString &message, QString &note) {
    input.dialect.encoding =
        L_CSV::IsUtf8(*input.device) ? L_CSV::Encoding::Utf8 : L_CSV::Encoding::Windows1252;
    input.device->seek(0);
    const QByteArray head = input.device->peek(64 * 1024);
    const L_CSV::Encoding encoding = input.dialect.encoding;
    // Without a delimiter in the header, the one a spreadsheet of the user's locale reads.
    input.dialect = L_CSV::Detect(head, QLocale().decimalPoint() == u',' ? ';' : ',');
    input.dialect.encoding = encoding;
    if (encoding == L_CSV::Encoding::Windows1252)
        note = QStringLiteral("%1 ist kein gültiges UTF-8 und wird als Windows-1252 gelesen")
                   .arg(input.name);
    L_CSV::Source source = SourceAt(input, input.dialect.bom ? 3 : 0, 1);
    qint64 line = 0;
    if (L_CSV::ReadRecord(source, input.header, line) != L_CSV::Read::Record) {
        message = QStringLiteral("%1 hat keine Kopfzeile").arg(input.name);
        return false;
    }
    input.bodyStart = Position(source);
    input.bodyLine = source.line;
    return ChooseColumns(options, input, message);
}

// The row's value of a chosen column, trimmed; null when the row is too short for it.
QString Field(const QStringList &fields, int column) {
    return column < fields.size() ? fields[column].trimmed() : QString();
}

QString PairKey(const QString &from, const QString &to) {
    return from + QChar(0x1F) + to;
}

// Keys of a row that later rows may ask for again: the address, or the two addresses and
// their pair.
QStringList Keys(const Input &input, const QStringList &fields) {
    if (input.columns.size() == 1) return {Field(fields, input.columns[0])};
    const QString from = Field(fields, input.columns[0]), to = Field(fields, input.columns[1]);
    return {from, to, PairKey(from, to)};
}

// Sorts the hashes and calls `run(hash, count)` once for each distinct one.
template <typename Run> void Runs(std::vector<size_t> &hashes, Run run) {
    std::sort(hashes.begin(), hashes.end());
    for (size_t k = 0, count; k < hashes.size(); k += count) {
        for (count = 1; k + count < hashes.size() && hashes[k + count] == hashes[k];) ++count;
        run(hashes[k], int(count));
    }
}

// Rows, distinct addresses, the keys that come again, and an unterminated quote.
Survey SurveyList(const Input &input) {
    Survey survey;
    std::vector<size_t> keys, addresses; // 8 bytes a key: flat enough for any list
    L_CSV::Source source = SourceAt(input, input.bodyStart, input.bodyLine);
    QStringList fields;
    qint64 line = 0;
    for (L_CSV::Read read; (read = L_CSV::ReadRecord(source, fields, line)) != L_CSV::Read::End;) {
        if (read == L_CSV::Read::Unterminated) {
            survey.unterminatedLine = line;
            break;
        }
        ++survey.rows;
        const QStringList rowKeys = Keys(input, fields);
        for (qsizetype k = 0; k < rowKeys.size(); ++k) {
            keys.push_back(qHash(rowKeys[k]));
            if (k < 2) addresses.push_back(qHash(rowKeys[k]));
        }
    }
    Runs(keys, [&](size_t hash, int count) {
        if (count > 1) survey.recurring.insert(hash, count);
    });
    Runs(addresses, [&](size_t, int) { ++survey.distinct; });
    return survey;
}

// --- Answers, kept while a later row asks for them again. ---

template <typename Answer> struct Kept {
    const QHash<size_t, int> *recurring = nullptr;
    QHash<size_t, int> used;
    QHash<QString, Answer> answers;
};

template <typename Answer> const Answer *Recall(const Kept<Answer> &kept, const QString &key) {
    const auto found = kept.answers.constFind(key);
    return found == kept.answers.constEnd() ? nullptr : &*found;
}

template <typename Answer>
void Remember(Kept<Answer> &kept, const QString &key, const Answer &answer) {
    if (kept.recurring->value(qHash(key)) > 1) kept.answers.insert(key, answer);
}

// One row of the key is done: after its last, the answer is forgotten.
template <typename Answer> void Done(Kept<Answer> &kept, const QString &key) {
    const size_t hash = qHash(key);
    if (!kept.recurring->contains(hash)) return;
    if (++kept.used[hash] < kept.recurring->value(hash)) return;
    kept.used.remove(hash);
    kept.answers.remove(key);
}

// A row's answer: its status and what its added columns show.
struct Answer {
    QString status;
    int hits = 0;
    QList<L_OUTPUT::Point> points; // geocode: the first place, or every place
    QStringList added;             // distance: the added columns but the status
};

struct Job {
    Options options;
    Input input;
    Survey survey;
    L_OUTPUT::Output out;
    QFile outputFile;
    Kept<Answer> answers;
    Kept<GeoQuery> places;
    L_GEOGOG::GeocodeMemo memo;
    qint64 skipped = 0, done = 0, found = 0;
    bool progress = false;
    QElapsedTimer clock;
};

// Numbers as the output's readers expect them: a decimal comma where ";" separates.
QString Number(const Job &job, const QString &pointed) {
    return job.out.delimiter == ';' ? QString(pointed).replace(u'.', u',') : pointed;
}

QString Kilometres(const Job &job, double km) {
    return std::isfinite(km) ? Number(job, QString::number(km, 'f', 3)) : QString();
}

Answer Geocode(Job &job, const QString &address) {
    Answer answer;
    GeoQuery query;
    QString sent = address;
    L_GEOGOG::ServiceStatus status;
    L_GEOGOG::QueryGeocode(query, sent, status);
    answer.status = status.Word;
    answer.hits = query.HitCount;
    for (int k = 1; k <= (job.options.all ? query.HitCount : qMin(query.HitCount, 1)); ++k) {
        const QStringList pieces = query.HitCoordinates[k].split(u',');
        answer.points.append(
            {address, query.HitAddresses[k], pieces.value(1).trimmed(), pieces.value(0).trimmed()});
    }
    return answer;
}

Answer Distance(Job &job, const QString &from, const QString &to) {
    L_GEOGOG::RouteQuery route;
    L_GEOGOG::ServiceStatus status;
    QString origin = from, destination = to;
    L_GEOGOG::QueryRoute(route, origin, destination, status, &job.memo);
    Answer answer;
    answer.status = status.Word;
    const bool ends = !route.StartLatitude.isEmpty() && !route.EndLatitude.isEmpty();
    auto km = [&](qint32 method) {
        using L_VALUE::ParseDecimal;
        return ends ? L_GEODST::GeoDistance(
                          ParseDecimal(route.StartLongitude), ParseDecimal(route.StartLatitude),
                          ParseDecimal(route.EndLongitude), ParseDecimal(route.EndLatitude), method)
                    : std::nan("");
    };
    const double seconds = std::nearbyint(status.DrivingSeconds);
    answer.added = {Number(job, route.StartLatitude),
                    Number(job, route.StartLongitude),
                    Number(job, route.EndLatitude),
                    Number(job, route.EndLongitude),
                    Kilometres(job, km(L_GEODST::MethodSphere)),
                    Kilometres(job, km(L_GEODST::MethodEllipsoid)),
                    Kilometres(job, status.DrivingMetres / 1000.0),
                    std::isfinite(seconds) ? L_GEOGOG::DrivingTimeText(seconds) : QString(),
                    std::isfinite(seconds) ? QString::number(seconds, 'f', 0) : QString()};
    return answer;
}

// The answer of a row: kept from an earlier row with the same addresses, or asked for.
Answer AnswerOf(Job &job, const QStringList &fields) {
    const bool geocode = job.input.columns.size() == 1;
    for (int column : job.input.columns)
        if (column >= fields.size()) return Answer{QStringLiteral("COLUMNS"), 0, {}, {}};
    const QStringList keys = Keys(job.input, fields);
    if (std::any_of(keys.begin(), keys.begin() + (geocode ? 1 : 2),
                    [](const QString &k) { return k.isEmpty(); }))
        return Answer{QStringLiteral("EMPTY"), 0, {}, {}};
    const QString &key = keys.last();
    Answer answer;
    if (const Answer *kept = Recall(job.answers, key))
        answer = *kept;
    else
        answer = geocode ? Geocode(job, key) : Distance(job, keys[0], keys[1]);
    Remember(job.answers, key, answer);
    Done(job.answers, key);
    for (qsizetype k = 0; k < job.input.columns.size(); ++k) Done(job.places, keys[k]);
    return answer;
}

// --- Writing. ---

QStringList Added(const Options &options) {
    if (options.mode == Mode::Geocode) return {"lat", "lon", "formatted_address", "hits", "status"};
    return {"start_lat",   "start_lon",  "end_lat",      "end_lon",   "luftlinie_km",
            "geodesic_km", "driving_km", "driving_time", "driving_s", "status"};
}

void Write(Job &job, QStringList fields, const Answer &answer) {
    while (fields.size() < job.input.header.size()) fields.append(QString()); // short rows
    if (job.out.format != Format::Csv) {
        for (const L_OUTPUT::Point &point : answer.points) L_OUTPUT::Place(job.out, fields, point);
        return;
    }
    if (job.options.mode == Mode::Distance)
        return L_OUTPUT::Record(job.out, fields + answer.added + QStringList{answer.status});
    const QString hits = QString::number(answer.hits);
    if (answer.points.isEmpty())
        L_OUTPUT::Record(job.out, fields + QStringList{"", "", "", hits, answer.status});
    for (const L_OUTPUT::Point &p : answer.points)
        L_OUTPUT::Record(job.out,
                         fields + QStringList{Number(job, p.latitude), Number(job, p.longitude),
                                              p.description, hits, answer.status});
}

// --- Resuming. ---

// Rows of the input that the output file already holds (its records begin with the input
// row's fields; --all may have written several for one row). -1, with a message, when the
// file is not an output of this input.
qint64 RowsDone(Job &job, QFile &existing, QString &message) {
    QByteArray all = existing.peek(existing.size()); // a record cut short by a crash goes
    const qsizetype complete = all.lastIndexOf('\n') + 1;
    existing.resize(complete);
    L_CSV::Source output{&existing, job.out.delimiter, L_CSV::Encoding::Utf8, {}, 0, 1};
    existing.seek(all.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    QStringList header, fields, row;
    qint64 line = 0, rows = 0;
    if (L_CSV::ReadRecord(output, header, line) != L_CSV::Read::Record) return 0;
    if (header != job.input.header + Added(job.options)) {
        message = QStringLiteral("%1 ist keine Ausgabe dieser Liste").arg(job.options.output);
        return -1;
    }
    L_CSV::Source input = SourceAt(job.input, job.input.bodyStart, job.input.bodyLine);
    const qsizetype width = job.input.header.size();
    while (L_CSV::ReadRecord(output, fields, line) == L_CSV::Read::Record) {
        if (rows > 0 && fields.mid(0, width) == row) continue; // another place of the same row
        if (L_CSV::ReadRecord(input, row, line) != L_CSV::Read::Record) break;
        while (row.size() < width) row.append(QString());
        if (fields.mid(0, width) != row.mid(0, width)) {
            message = QStringLiteral("%1, Zeile %2: passt nicht zur Liste")
                          .arg(job.options.output)
                          .arg(line);
            return -1;
        }
        row = row.mid(0, width);
        ++rows;
    }
    existing.seek(existing.size());
    return rows;
}

bool OpenOutput(Job &job, QString &message) {
    const Options &o = job.options;
    job.out.format = o.format;
    job.out.delimiter = job.input.dialect.delimiter;
    job.out.lineEnd = job.input.dialect.lineEnd;
    job.out.columns = job.input.header;
    job.out.device = &job.outputFile;
    const bool resuming = o.resume && QFile::exists(o.output) && QFileInfo(o.output).size() > 0;
    const bool opened =
        o.output.isEmpty()
            ? job.outputFile.open(stdout, QIODevice::WriteOnly)
            : (job.outputFile.setFileName(o.output),
               job.outputFile.open(resuming ? QIODevice::ReadWrite : QIODevice::WriteOnly));
    if (!opened) {
        message = QStringLiteral("%1 kann nicht geschrieben werden: %2")
                      .arg(o.output, job.outputFile.errorString());
        return false;
    }
    if (resuming) return (job.skipped = RowsDone(job, job.outputFile, message)) >= 0;
    const bool bom =
        job.input.dialect.bom || job.input.dialect.encoding == L_CSV::Encoding::Windows1252;
    L_OUTPUT::Begin(job.out, Added(o), bom); // a BOM, so that the spreadsheet reads UTF-8
    return true;
}

// --- The run. ---

QString Clock(qint64 seconds) {
    return L_TIME::FormatDuration(qint32(qMin<qint64>(seconds, INT32_MAX)), true, 99);
}

void ShowProgress(Job &job, qint64 row) {
    if (!job.progress) return;
    const qint64 total = job.survey.rows, elapsed = job.clock.elapsed() / 1000;
    const qint64 worked = row - job.skipped, left = total - row;
    const qint64 rest = worked > 0 ? elapsed * left / worked : 0;
    std::fprintf(stderr, "\r%lld/%lld Zeilen (%lld %%), %s vergangen, noch etwa %s   ", row, total,
                 total ? row * 100 / total : 100, qUtf8Printable(Clock(elapsed)),
                 qUtf8Printable(Clock(rest)));
}

// The public geocoder is run by volunteers: a long list is said to take its time there.
void NoteBulk(const Job &job) {
    if (job.survey.distinct <= 1000 || L_GEOGOG::ActiveProvider() != L_GEOGOG::Provider::Osm ||
        !qEnvironmentVariable("GEODATEN_NOMINATIM_URL").isEmpty())
        return;
    Say(QStringLiteral(
            "Die Liste hat %1 verschiedene Adressen. Der öffentliche Geocoder von "
            "OpenStreetMap beantwortet eine Anfrage pro Sekunde und ist nicht für lange "
            "Listen gedacht; das dauert etwa %2 (Stunden:Minuten:Sekunden). Für lange Listen "
            "einen eigenen Nominatim-Server in GEODATEN_NOMINATIM_URL angeben.")
            .arg(job.survey.distinct)
            .arg(Clock(job.survey.distinct * L_GEOOSM::PaceMs() / 1000)));
}

// Every row after the skipped ones, until the end, an unterminated quote or a stop.
bool WorkThrough(Job &job) {
    L_CSV::Source source = SourceAt(job.input, job.input.bodyStart, job.input.bodyLine);
    QStringList fields;
    qint64 line = 0;
    for (qint64 row = 1; row <= job.survey.rows; ++row) {
        if (stopRequested) return false;
        L_CSV::ReadRecord(source, fields, line);
        if (row <= job.skipped) continue;
        const Answer answer = AnswerOf(job, fields);
        Write(job, fields, answer);
        ++job.done;
        job.found += answer.status == QStringLiteral("OK");
        ShowProgress(job, row);
    }
    return true;
}

int Finish(Job &job, bool complete) {
    L_OUTPUT::End(job.out);
    job.outputFile.close();
    if (job.progress && job.done > 0) std::fprintf(stderr, "\n");
    const qint64 without = job.done - job.found;
    QString summary = QStringLiteral("%1 Zeilen, %2 gefunden, %3 ohne Ergebnis")
                          .arg(job.done)
                          .arg(job.found)
                          .arg(without);
    if (job.skipped > 0) summary += QStringLiteral(", %1 schon erledigt").arg(job.skipped);
    Say(summary + (complete ? QString() : QStringLiteral(", abgebrochen")));
    if (!complete) return ExitInterrupted;
    if (job.survey.unterminatedLine > 0) {
        Say(QStringLiteral("%1, Zeile %2: das Anführungszeichen dieses Felds wird nie geschlossen")
                .arg(job.input.name)
                .arg(job.survey.unterminatedLine));
        return ExitUsage;
    }
    return without > 0 ? ExitSomeWithout : ExitAllFound;
}

// --- The command line. ---

bool ParseOption(const QStringList &arguments, int &k, Options &o, QString &message) {
    QString name = arguments[k], value;
    const bool joined = name.startsWith(QStringLiteral("--")) && name.contains(u'=');
    if (joined) {
        value = name.mid(name.indexOf(u'=') + 1);
        name = name.left(name.indexOf(u'='));
    }
    const QStringList flags{"--all", "--resume", "--quiet"},
        valued{"-o", "--output", "--column", "--columns", "--format"};
    if (flags.contains(name) && !joined) {
        (name == flags[0] ? o.all : name == flags[1] ? o.resume : o.quiet) = true;
        return true;
    }
    if (!valued.contains(name) || (!joined && k + 1 >= arguments.size())) {
        message = valued.contains(name) ? QStringLiteral("%1 braucht einen Wert").arg(name)
                                        : QStringLiteral("unbekannte Option: %1").arg(arguments[k]);
        return false;
    }
    if (!joined) value = arguments[++k];
    const QStringList formats{"csv", "geojson", "gpx", "kml"};
    if (name == QStringLiteral("--format") && !formats.contains(value)) {
        message = QStringLiteral("unbekanntes Format: %1 (csv, geojson, gpx oder kml)").arg(value);
        return false;
    }
    if (name == QStringLiteral("--format")) o.format = Format(formats.indexOf(value));
    if (name == QStringLiteral("--column")) o.column = value;
    if (name == QStringLiteral("--columns")) o.columns = value.split(u',');
    if (name == valued[0] || name == valued[1]) o.output = value;
    return true;
}

// What the options may not be together.
bool Consistent(const Options &o, QString &message) {
    if (o.mode == Mode::Distance && (o.format != Format::Csv || o.all || !o.column.isEmpty()))
        message = QStringLiteral("distance schreibt nur csv und kennt --all und --column nicht");
    else if (o.mode == Mode::Geocode && !o.columns.isEmpty())
        message = QStringLiteral("geocode kennt --columns nicht, nur --column");
    else if (!o.columns.isEmpty() && o.columns.size() != 2)
        message = QStringLiteral("--columns braucht zwei Namen: VON,NACH");
    else if (o.resume && (o.output.isEmpty() || o.format != Format::Csv))
        message = QStringLiteral("--resume braucht -o DATEI und csv");
    return message.isEmpty();
}

} // namespace

bool ParseArguments(const QStringList &arguments, Options &options, QString &message, bool &help,
                    bool &version) {
    help = arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
    version = arguments.contains(QStringLiteral("--version"));
    if (help || version) return true;
    QStringList positional;
    for (int k = 0; k < arguments.size(); ++k) {
        const bool option = arguments[k].startsWith(u'-') && arguments[k] != QStringLiteral("-");
        if (option && !ParseOption(arguments, k, options, message)) return false;
        if (!option) positional.append(arguments[k]);
    }
    const QStringList modes{"geocode", "distance"};
    if (positional.isEmpty() || !modes.contains(positional[0]) || positional.size() > 2) {
        message = QStringLiteral("Aufruf: geodaten-batch geocode|distance [Optionen] [EINGABE] "
                                 "(mehr mit --help)");
        return false;
    }
    options.mode = positional[0] == modes[0] ? Mode::Geocode : Mode::Distance;
    options.input = positional.value(1, QStringLiteral("-"));
    return Consistent(options, message);
}

QString Usage() {
    return QStringLiteral(
        "Aufruf:\n"
        "  geodaten-batch geocode  [-o AUSGABE] [--format csv|geojson|gpx|kml] [--all]\n"
        "                          [--column NAME] [--resume] [--quiet] [EINGABE]\n"
        "  geodaten-batch distance [-o AUSGABE] [--columns VON,NACH] [--resume] [--quiet] "
        "[EINGABE]\n"
        "  geodaten-batch --help | --version\n\n"
        "Ergänzt jede Zeile einer CSV-Liste um die Koordinaten ihrer Adresse (geocode) oder um\n"
        "Luftlinie, Fahrstrecke und Fahrtzeit zwischen zwei Adressen (distance). EINGABE ist eine\n"
        "Datei oder - (Standardeingabe, auch wenn sie fehlt); ohne -o geht die Ausgabe auf die\n"
        "Standardausgabe. Die Liste darf UTF-8 oder Windows-1252 sein, mit ; , oder Tabulator.\n\n"
        "Optionen:\n"
        "  -o, --output DATEI  die Ausgabe; jede Zeile wird geschrieben, sobald sie fertig ist\n"
        "  --format FORMAT     csv (Vorgabe), geojson, gpx oder kml: ein Punkt je Treffer\n"
        "  --all               alle Treffer einer Adresse statt nur des ersten\n"
        "  --column NAME       die Spalte der Adresse (sonst address/Adresse, sonst die erste)\n"
        "  --columns VON,NACH  Start- und Zielspalte (sonst from,to oder Start,Ziel, sonst die "
        "ersten zwei)\n"
        "  --resume            Zeilen, die schon in der Ausgabedatei stehen, überspringen (mit -o, "
        "csv)\n"
        "  --quiet             keine Fortschrittsanzeige\n\n"
        "Der Kartendienst ist der des Fensters: GEODATEN_PROVIDER, GEODATEN_API_KEY,\n"
        "GEODATEN_NOMINATIM_URL und die übrigen Variablen aus man geodaten(1).\n"
        "Rückgabewert: 0 alle Zeilen gefunden, 1 manche ohne Ergebnis (Spalte status),\n"
        "2 Aufruf- oder Eingabefehler, 130 abgebrochen (Strg+C).\n");
}

void RequestStop() {
    stopRequested = 1;
}

int Run(const Options &options) {
    Job job;
    job.options = options;
    QString message, note;
    if (!OpenInput(options.input, job.input, message) ||
        !ReadHead(options, job.input, message, note)) {
        Say(message);
        return ExitUsage;
    }
    if (!note.isEmpty()) Say(note);
    job.survey = SurveyList(job.input);
    job.answers.recurring = job.places.recurring = &job.survey.recurring;
    job.memo.recall = [&job](const QString &address) { return Recall(job.places, address); };
    job.memo.remember = [&job](const QString &address, const GeoQuery &query) {
        GeoQuery kept; // the first place is all a route needs
        kept.HitCount = qMin(query.HitCount, 1);
        kept.HitAddresses = query.HitAddresses.mid(0, 2);
        kept.HitCoordinates = query.HitCoordinates.mid(0, 2);
        kept.HitLongitudes = query.HitLongitudes.mid(0, 2);
        kept.HitLatitudes = query.HitLatitudes.mid(0, 2);
        Remember(job.places, address, kept);
    };
    if (!OpenOutput(job, message)) {
        Say(message);
        return ExitUsage;
    }
    job.progress = !options.quiet && L_PFADE::StandardErrorIsTerminal();
    NoteBulk(job);
    job.clock.start();
    return Finish(job, WorkThrough(job));
}

} // namespace L_BATCH
