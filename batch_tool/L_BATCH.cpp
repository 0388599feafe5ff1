#include "batch_tool/L_BATCH.h"

#include <QCommandLineParser>
#include <QDate>
#include <QRegularExpression>

namespace L_BATCH {

namespace {

// An option: its names, the name of its value (none for a flag), its help, and how its
// value goes into the options (false, with a message, for a value that does not do).
struct Option {
    QStringList names;
    const char *value, *help;
    bool (*apply)(Options &, const QString &, QString &);
};

QStringList Names(const QString &value) {
    QStringList names = value.split(u',');
    for (QString &name : names) name = name.trimmed();
    return names;
}

bool Number(const QString &value, int low, int high, int &number, QString &message,
            const char *option) {
    bool ok = false;
    number = value.toInt(&ok);
    if (ok && number >= low && number <= high) return true;
    message = QStringLiteral("%1 braucht eine Zahl von %2 bis %3, nicht \"%4\"")
                  .arg(QLatin1String(option))
                  .arg(low)
                  .arg(high)
                  .arg(value);
    return false;
}

bool Choose(const QString &value, const QStringList &words, int &index, QString &message,
            const char *option) {
    index = int(words.indexOf(value.toLower()));
    if (index >= 0) return true;
    message = QStringLiteral("%1 kennt \"%2\" nicht (%3)")
                  .arg(QLatin1String(option), value, words.join(QStringLiteral(", ")));
    return false;
}

// The same, for an option kept as its word (empty when unknown).
bool ChooseWord(const QString &value, const QStringList &words, QString &word, QString &message,
                const char *option) {
    int index = 0;
    const bool ok = Choose(value, words, index, message, option);
    word = words.value(index);
    return ok;
}

const Option Table[] = {
    {{"o", "output"},
     "DATEI",
     "die Ausgabe; jede Zeile wird geschrieben, sobald sie fertig ist",
     [](Options &o, const QString &v, QString &) { return o.output = v, true; }},
    {{"format"},
     "FORMAT",
     "%1: ein Punkt je Zeile mit Ort (geocode, reverse)", // the formats, the first the default
     [](Options &o, const QString &v, QString &m) {
         if ((o.writer = L_OUTPUT::Named(v))) return true;
         int k = 0;
         return Choose(v, L_OUTPUT::Names(), k, m, "--format");
     }},
    {{"all"},
     nullptr,
     "alle Treffer einer Adresse statt nur des passenden (geocode)",
     [](Options &o, const QString &, QString &) { return o.all = true; }},
    {{"column"},
     "A[,B...]",
     "die Spalten der Adresse, mit \", \" verbunden (geocode)",
     [](Options &o, const QString &v, QString &) { return o.column = Names(v), true; }},
    {{"from"},
     "A[,B...]",
     "die Spalten des Starts (distance)",
     [](Options &o, const QString &v, QString &) { return o.from = Names(v), true; }},
    {{"to"},
     "C[,D...]",
     "die Spalten des Ziels (distance)",
     [](Options &o, const QString &v, QString &) { return o.to = Names(v), true; }},
    {{"columns"},
     "VON,NACH",
     "Start- und Zielspalte, je eine (distance)",
     [](Options &o, const QString &v, QString &m) {
         const QStringList names = Names(v);
         if (names.size() != 2) m = QStringLiteral("--columns braucht zwei Namen: VON,NACH");
         o.from = names.mid(0, 1);
         o.to = names.mid(1, 1);
         return names.size() == 2;
     }},
    {{"lat"},
     "SPALTE",
     "die Spalte der Breite (reverse)",
     [](Options &o, const QString &v, QString &) { return o.lat = v, true; }},
    {{"lon"},
     "SPALTE",
     "die Spalte der Länge (reverse)",
     [](Options &o, const QString &v, QString &) { return o.lon = v, true; }},
    {{"point"},
     "SPALTE",
     "eine Spalte mit dem Punkt in jeder Form (reverse)",
     [](Options &o, const QString &v, QString &) { return o.point = v, true; }},
    {{"coords"},
     "FORM",
     "eine Spalte coords: dms, dm, utm, mgrs oder geo (geocode, reverse)",
     [](Options &o, const QString &v, QString &m) {
         return ChooseWord(v, {"dms", "dm", "utm", "mgrs", "geo"}, o.coords, m, "--coords");
     }},
    {{"country"},
     "AT[,DE...]",
     "nur in diesen Ländern suchen (ISO-Kürzel; geocode, distance)",
     [](Options &o, const QString &v, QString &m) {
         o.countries = Names(v.toLower());
         static const QRegularExpression code(QStringLiteral("^[a-z]{2}$"));
         for (const QString &country : o.countries)
             if (!code.match(country).hasMatch())
                 m = QStringLiteral("--country braucht Länderkürzel wie AT,DE, nicht \"%1\"")
                         .arg(v);
         return m.isEmpty();
     }},
    {{"pauschale"},
     "JAHR",
     "die Entfernungspauschale dieses Jahres (distance)",
     [](Options &o, const QString &v, QString &m) {
         return Number(v, 2021, QDate::currentDate().year() + 1, o.year, m, "--pauschale");
     }},
    {{"tage"},
     "N",
     "Arbeitstage für --pauschale (Vorgabe 220)",
     [](Options &o, const QString &v, QString &m) {
         return Number(v, 1, 366, o.days, m, "--tage");
     }},
    {{"resume"},
     nullptr,
     "eine abgebrochene Ausgabedatei fortsetzen (mit -o)",
     [](Options &o, const QString &, QString &) { return o.resume = true; }},
    {{"failed"},
     "DATEI",
     "die Zeilen ohne Ergebnis, mit ihrem status, zum Korrigieren",
     [](Options &o, const QString &v, QString &) { return o.failed = v, true; }},
    {{"encoding"},
     "KODIERUNG",
     "utf-8 oder windows-1252, wenn die Datei beides mischt",
     [](Options &o, const QString &v, QString &m) {
         return ChooseWord(v, {"utf-8", "windows-1252"}, o.encoding, m, "--encoding");
     }},
    {{"parallel"},
     "N",
     "bis zu N Anfragen zugleich an eigene Server (1-16)",
     [](Options &o, const QString &v, QString &m) {
         return Number(v, 1, 16, o.parallel, m, "--parallel");
     }},
    {{"no-cache"},
     nullptr,
     "gespeicherte Antworten für diesen Lauf nicht verwenden",
     [](Options &o, const QString &, QString &) { return o.noCache = true; }},
    {{"quiet"},
     nullptr,
     "nur Fehler, die den Lauf beenden: kein Fortschritt, keine Hinweise, keine Zusammenfassung",
     [](Options &o, const QString &, QString &) { return o.quiet = true; }},
    {{"h", "help"}, nullptr, "diese Hilfe", nullptr},
    {{"version"}, nullptr, "die Version", nullptr},
};

// Parser's own words for what went wrong, in German.
QString ParserMessage(const QCommandLineParser &parser) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unbekannte Option: %1").arg(parser.unknownOptionNames().first());
    const QString text = parser.errorText();
    const qsizetype quote = text.indexOf(u'\'');
    if (text.startsWith(QStringLiteral("Missing value")) && quote >= 0)
        return QStringLiteral("%1 braucht einen Wert").arg(text.mid(quote + 1).chopped(2));
    return text;
}

// The options given, of those named: "--all und --format kml".
QString Given(std::initializer_list<std::pair<bool, QString>> options) {
    QStringList given;
    for (const auto &[set, name] : options)
        if (set) given.append(name);
    const QString last = given.takeLast();
    return given.isEmpty() ? last
                           : given.join(QStringLiteral(", ")) + QStringLiteral(" und ") + last;
}

// What the options may not be together.
bool Consistent(const Options &o, QString &message) {
    const bool distance = o.mode == Mode::Distance, reverse = o.mode == Mode::Reverse;
    if (distance && (o.writer->points || o.all || !o.column.isEmpty() || !o.coords.isEmpty()))
        message = QStringLiteral("distance kennt %1 nicht (es schreibt nur csv)")
                      .arg(Given({{o.writer->points,
                                   QStringLiteral("--format ") + QLatin1String(o.writer->name)},
                                  {o.all, QStringLiteral("--all")},
                                  {!o.column.isEmpty(), QStringLiteral("--column")},
                                  {!o.coords.isEmpty(), QStringLiteral("--coords")}}));
    else if (!distance && (!o.from.isEmpty() || !o.to.isEmpty() || o.year > 0))
        message = QStringLiteral("--from, --to, --columns und --pauschale gehören zu distance");
    else if (!reverse && (!o.lat.isEmpty() || !o.lon.isEmpty() || !o.point.isEmpty()))
        message = QStringLiteral("--lat, --lon und --point gehören zu reverse");
    else if (reverse && (o.all || !o.column.isEmpty() || !o.countries.isEmpty()))
        message = QStringLiteral("reverse kennt %1 nicht")
                      .arg(Given({{o.all, QStringLiteral("--all")},
                                  {!o.column.isEmpty(), QStringLiteral("--column")},
                                  {!o.countries.isEmpty(), QStringLiteral("--country")}}));
    else if (o.from.isEmpty() != o.to.isEmpty())
        message = QStringLiteral("--from und --to gehören zusammen");
    else if (o.lat.isEmpty() != o.lon.isEmpty())
        message = QStringLiteral("--lat und --lon gehören zusammen");
    else if (o.resume && o.output.isEmpty())
        message = QStringLiteral("--resume braucht -o DATEI");
    else if (o.days > 0 && o.year == 0)
        message = QStringLiteral("--tage gilt nur mit --pauschale JAHR");
    return message.isEmpty();
}

// "csv (Vorgabe); geojson, gpx, kml": the formats the writers' table has.
QString FormatWords() {
    QStringList words = L_OUTPUT::Names();
    const QString first = words.takeFirst();
    return first + QStringLiteral(" (Vorgabe); ") + words.join(QStringLiteral(", "));
}

QString HelpOf(const Option &option) {
    const QString help = QString::fromUtf8(option.help);
    return help.contains(QLatin1String("%1")) ? help.arg(FormatWords()) : help;
}

} // namespace

bool ParseArguments(const QStringList &arguments, Options &options, QString &message, bool &help,
                    bool &version) {
    QCommandLineParser parser;
    for (const Option &option : Table)
        parser.addOption(QCommandLineOption(option.names, QString(),
                                            QLatin1String(option.value ? option.value : "")));
    if (!parser.parse(QStringList{QStringLiteral("geodaten-batch")} + arguments)) {
        message = ParserMessage(parser);
        return false;
    }
    help = parser.isSet(QStringLiteral("help"));
    version = parser.isSet(QStringLiteral("version"));
    if (help || version) return true;
    for (const Option &option : Table)
        if (option.apply && parser.isSet(option.names.last()) &&
            !option.apply(options, parser.value(option.names.last()), message))
            return false;
    const QStringList positional = parser.positionalArguments();
    const QStringList modes{"geocode", "distance", "reverse"};
    if (positional.isEmpty() || !modes.contains(positional[0]) || positional.size() > 2) {
        message = QStringLiteral("Aufruf: geodaten-batch geocode|distance|reverse [Optionen] "
                                 "[EINGABE] (mehr mit --help)");
        return false;
    }
    options.mode = Mode(modes.indexOf(positional[0]));
    options.input = positional.value(1, QStringLiteral("-"));
    return Consistent(options, message);
}

QString Usage() {
    QString options;
    for (const Option &option : Table) {
        QStringList names;
        for (const QString &name : option.names)
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        QString left = names.join(QStringLiteral(", "));
        if (option.value) left += u' ' + QLatin1String(option.value);
        options += QStringLiteral("  %1  %2\n").arg(left, -22).arg(HelpOf(option));
    }
    return QStringLiteral(
               "Aufruf:\n"
               "  geodaten-batch geocode  [Optionen] [EINGABE]   Koordinaten zu Adressen\n"
               "  geodaten-batch distance [Optionen] [EINGABE]   Luftlinie, Fahrstrecke, "
               "Fahrtzeit\n"
               "  geodaten-batch reverse  [Optionen] [EINGABE]   Adressen zu Koordinaten\n\n"
               "Ergänzt jede Zeile einer CSV-Liste. EINGABE ist eine Datei oder - "
               "(Standardeingabe,\n"
               "auch wenn sie fehlt); ohne -o geht die Ausgabe auf die Standardausgabe. Die "
               "Spalten:\n"
               "Adresse/Anschrift/address oder Straße, Hausnummer (Nr. nur direkt nach der\n"
               "Straße), PLZ, Ort, Land (geocode);\n"
               "from/to, Start/Ziel, Von/Nach oder Wohnort/Arbeitsort (distance); lat/lon,\n"
               "Breite/Länge oder latitude/longitude (reverse).\n\n"
               "Optionen:\n") +
           options +
           QStringLiteral(
               "\nBei HTTP 429 oder 503 wartet es, was Retry-After sagt (höchstens 10 Minuten); "
               "ohne\n"
               "Antwort fragt es dreimal wieder, nach 2, 4 und 8 s. Die öffentlichen Server "
               "bekommen\n"
               "von allen Läufen und Fenstern zusammen eine Anfrage pro Sekunde. Gespeicherte\n"
               "Antworten: ~/.cache/geodaten/answers.sqlite (GEODATEN_CACHE=off schaltet ab).\n"
               "Der Kartendienst ist der des Fensters: GEODATEN_PROVIDER, GEODATEN_API_KEY,\n"
               "GEODATEN_NOMINATIM_URL und die übrigen Variablen aus man geodaten(1).\n"
               "Jeder Treffer wird gegen PLZ und Ort der Zeile geprüft; passt keiner: MISMATCH.\n"
               "Rückgabewert: 0 alle Zeilen gefunden, 1 manche ohne Ergebnis oder abweichend\n"
               "(Spalte status), 2 Aufruf- oder Eingabefehler, 3 die Ausgabe ließ sich nicht\n"
               "schreiben, 130 abgebrochen (Strg+C).\n");
}

} // namespace L_BATCH
