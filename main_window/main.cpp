// geodaten: the window. --help and --version answer on standard output before any display
// is opened; the options of Qt itself (-platform, -style, ...) are left to QApplication.
#include "main_window/B_MAIN.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {

constexpr int ExitUsage = 2; // as geodaten-batch: a mistake in the command line

// Qt's own options, with a value and without, which QApplication reads itself.
const char *const QtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger"};
const char *const QtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

const char *const Usage =
    "Aufruf: geodaten [--help | --version]\n\n"
    "Öffnet das Fenster „GEO Daten“: Koordinaten zu einer Adresse (Ansicht „Koordinaten“;\n"
    "ein Punkt statt einer Adresse zeigt die Adresse an diesem Punkt) und Luftlinie,\n"
    "Fahrstrecke und Fahrtzeit zwischen zwei Adressen (Ansicht „Entfernung“). Ganze\n"
    "CSV-Listen bearbeitet geodaten-batch.\n\n"
    "Optionen:\n"
    "  -h, --help     diese Hilfe\n"
    "  --version      die Version\n"
    "dazu die Optionen von Qt (-platform, -style, -display, ...).\n\n"
    "Ohne Einstellung fragt es die offenen Dienste von OpenStreetMap (Nominatim, OSRM).\n"
    "Umgebungsvariablen:\n"
    "  GEODATEN_PROVIDER        %1\n"
    "%2"
    "  GEODATEN_CACHE           Datei der gespeicherten Antworten, oder off\n"
    "  GEODATEN_PACE_MS, GEODATEN_TIMEOUT_MS   Pause zwischen Anfragen, kürzere Zeitgrenzen\n"
    "  QT_LOGGING_RULES         geodaten.service=false schaltet die Diagnosezeilen ab\n"
    "Warum eine Suche nichts fand, steht auf der Standardfehlerausgabe.\n"
    "Mehr: man geodaten\n";

// The usage with each provider's name and variables, as their records hold them.
QString Help() {
    QStringList names;
    QString variables;
    for (const L_QUERY::Service *service : L_QUERY::Providers()) {
        names.append(QString::fromLatin1(service->name));
        variables += QString::fromUtf8(service->variables);
    }
    return QString::fromUtf8(Usage).arg(names.join(QStringLiteral(" oder ")), variables);
}

QString Dashed(const QString &name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The parser's complaint, in German.
QString Complaint(const QCommandLineParser &parser) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unbekannte Option: %1")
            .arg(Dashed(parser.unknownOptionNames().first()));
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unerwartetes Argument: %1")
            .arg(parser.positionalArguments().first());
    const QString text = parser.errorText(); // "Missing value after '-platform'."
    const qsizetype quote = text.indexOf(u'\'');
    return quote < 0 ? text
                     : QStringLiteral("%1 braucht einen Wert").arg(text.mid(quote + 1).chopped(2));
}

// The exit status when the command line is answered here (help, version, a mistake);
// none when the window is to open.
std::optional<int> Answer(int argc, char *argv[]) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringLiteral("version")));
    for (const char *name : QtValueOptions)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("x")));
    for (const char *name : QtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    QStringList arguments;
    for (int k = 0; k < argc; ++k) arguments.append(QString::fromLocal8Bit(argv[k]));
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "geodaten: %s (mehr mit --help)\n", qUtf8Printable(Complaint(parser)));
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help")))
        std::fputs(qUtf8Printable(Help()), stdout);
    else if (parser.isSet(QStringLiteral("version")))
        std::fputs("geodaten " GEODATEN_VERSION "\n", stdout);
    else
        return std::nullopt;
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    if (const std::optional<int> status = Answer(argc, argv)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("geodaten"));
    QApplication::setDesktopFileName(QStringLiteral("geodaten"));
    B_MAIN window;
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
