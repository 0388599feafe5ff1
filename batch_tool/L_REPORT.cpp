#include "batch_tool/L_REPORT.h"

#include "batch_tool/L_TERM.h"
#include "map_service/L_PACE.h"
#include "map_service/L_QUERY.h"
#include "map_service/L_TIME.h"
#include "xml_text/L_REPLAC.h"

#include <QDateTime>
#include <QFileInfo>

namespace L_REPORT {

namespace {

using L_STATUS::Status;

QString Clock(qint64 seconds) {
    return L_TIME::FormatDuration(qint32(qMin<qint64>(seconds, INT32_MAX)), true, 99);
}

// An output named as another format is ("-o list.csv" with --format gpx): said, since
// the program that opens it goes by the name.
void NameAndFormat(const L_BATCH::Options &options) {
    const QString suffix = QFileInfo(options.output).suffix().toLower();
    if (suffix.isEmpty() || suffix == QLatin1String(options.writer->name) ||
        !L_OUTPUT::Names().contains(suffix))
        return;
    L_TERM::Note(QStringLiteral("%1 endet auf .%2, geschrieben wird aber %3 (--format)")
                     .arg(options.output, suffix, QLatin1String(options.writer->name)));
}

} // namespace

void Count(Counts &c, const L_STATUS::ServiceStatus &status, bool copied) {
    ++c.written;
    c.copied += copied;
    switch (status.code) {
    case Status::Ok:
        return void(++c.found);
    case Status::Empty:
        return void(++c.empty);
    case Status::Mismatch:
        return void(++c.mismatched);
    default:
        ++c.without;
        ++c.failures[L_STATUS::Word(status)];
        c.passing += L_STATUS::Transient(status);
    }
}

QString Summary(const Counts &c) {
    QString summary = QStringLiteral("%1, %2 gefunden, %3 ohne Ergebnis")
                          .arg(L_TERM::Rows(c.written))
                          .arg(c.found)
                          .arg(c.without);
    if (c.mismatched > 0) summary += QStringLiteral(", %1 abweichend").arg(c.mismatched);
    if (c.empty > 0) summary += QStringLiteral(", %1 leer").arg(c.empty);
    if (c.copied > 0) summary += QStringLiteral(", %1 schon erledigt").arg(c.copied);
    if (c.repeated > 0)
        summary +=
            QStringLiteral(", %1 Wiederholung%2").arg(c.repeated).arg(c.repeated > 1 ? "en" : "");
    if (c.cached > 0) summary += QStringLiteral(", %1 aus gespeicherten Antworten").arg(c.cached);
    QStringList words;
    for (const auto &[word, count] : c.failures)
        words.append(QStringLiteral("%1 %2").arg(count).arg(word));
    if (!words.isEmpty())
        summary += QStringLiteral("; ohne Ergebnis: ") + words.join(QStringLiteral(", "));
    return summary;
}

QString Progress(qint64 done, qint64 total, qint64 worked, qint64 elapsedMs,
                 const QString &waiting) {
    QString line = QStringLiteral("%1/%2 (%3 %), %4 vergangen")
                       .arg(done)
                       .arg(L_TERM::Rows(total))
                       .arg(total ? done * 100 / total : 100)
                       .arg(Clock(elapsedMs / 1000));
    if (worked >= 3) // an estimate needs a few rows
        line += QStringLiteral(", noch etwa ") + Clock(elapsedMs / 1000 * (total - done) / worked);
    return waiting.isEmpty() ? line : line + QStringLiteral(" – ") + waiting;
}

int Ending(const QString &list, qint64 shrunkAfter, qint64 laterS, qint64 unterminatedLine) {
    if (shrunkAfter >= 0) {
        L_TERM::Fail(QStringLiteral("%1 hat sich während des Laufs geändert: nach Zeile %2 fehlen "
                                    "Zeilen; bitte neu starten")
                         .arg(list)
                         .arg(shrunkAfter));
        return L_BATCH::ExitUsage;
    }
    if (laterS >= 0) {
        const QString when =
            QDateTime::currentDateTime().addSecs(laterS).toString(QStringLiteral("dd.MM. HH:mm"));
        L_TERM::Fail(QStringLiteral(
                         "Der Server bittet, bis %1 Uhr zu warten; danach mit --resume fortsetzen")
                         .arg(when));
        return L_BATCH::ExitSomeWithout;
    }
    if (unterminatedLine > 0) {
        L_TERM::Fail(
            QStringLiteral("%1, Zeile %2: das Anführungszeichen dieses Felds wird nie geschlossen")
                .arg(list)
                .arg(unterminatedLine));
        return L_BATCH::ExitUsage;
    }
    return -1;
}

void Notes(const L_BATCH::Options &options, const L_LIST::List &list, const L_LIST::Survey &survey,
           bool paced) {
    QString first = QStringLiteral("%1 aus %2")
                        .arg(options.mode == L_BATCH::Mode::Geocode    ? "Adresse"
                             : options.mode == L_BATCH::Mode::Distance ? "Start und Ziel"
                                                                       : "Punkt",
                             list.columns.used.join(QStringLiteral(", ")));
    if (!survey.example.isEmpty())
        first += QStringLiteral(", z. B. „%1“").arg(survey.example.join(QStringLiteral("“ → „")));
    L_TERM::Note(L_REPLAC::Clean(first));
    NameAndFormat(options);
    if (survey.longRows > 0) { // a delimiter inside a field without quotes, mostly
        const QString rows = QStringLiteral("Zeile %1").arg(survey.longLine);
        L_TERM::Note(
            (survey.longRows == 1
                 ? rows + QStringLiteral(" hat")
                 : rows + QStringLiteral(" und %1 weitere haben").arg(survey.longRows - 1)) +
            QStringLiteral(" mehr Felder als die Kopfzeile; die überzähligen fehlen in "
                           "der Ausgabe. Ein Feld mit dem Trennzeichen gehört in "
                           "Anführungszeichen."));
    }
    const L_QUERY::Service &service = L_QUERY::ActiveService();
    if (options.year > 0 && !(service.shortestExact && service.shortestExact()))
        L_TERM::Note(QStringLiteral("shortest_km und commute_km sind die kürzeste der Routen, die "
                                    "der Router vorschlägt: eine Näherung; genau rechnet ein "
                                    "Router, der nach Entfernung routet (siehe --help)"));
    if (paced && options.parallel > 1)
        L_TERM::Note(
            QStringLiteral("--parallel gilt nur für eigene Server; die öffentlichen bekommen "
                           "eine Anfrage pro Sekunde"));
    if (paced && survey.distinct > 1000)
        L_TERM::Note(
            QStringLiteral("Die Liste hat %1 verschiedene Adressen. Der öffentliche Geocoder von "
                           "%2 beantwortet eine Anfrage pro Sekunde und ist nicht für lange "
                           "Listen gedacht; das dauert etwa %3 (Stunden:Minuten:Sekunden). Für "
                           "lange Listen einen eigenen Server angeben (die Variablen nennt "
                           "--help).")
                .arg(survey.distinct)
                .arg(QLatin1String(service.titleWord))
                .arg(Clock(survey.distinct * L_PACE::PublicPauseMs / 1000)));
}

} // namespace L_REPORT
