#include "batch_tool/L_TERM.h"

#include "geo_files/L_PFADE.h"

#include <QSet>

#include <cstdio>
#include <mutex>

namespace L_TERM {

namespace {

std::mutex mutex;
QString shown;      // the progress line as it stands, empty when none
bool quiet = false; // only what ends the run is told
QSet<QString> told; // what the diagnostic lines said, their URLs aside
thread_local qint64 atLine = 0;

void Clear() {
    if (!shown.isEmpty()) std::fputs("\r\033[K", stderr);
}

void Redraw() {
    if (!shown.isEmpty()) std::fprintf(stderr, "%s", qUtf8Printable(shown));
    std::fflush(stderr);
}

// A line above the progress line; the caller holds the lock.
void LineLocked(const QString &text) {
    Clear();
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    Redraw();
}

void Line(const QString &text) {
    const std::lock_guard<std::mutex> lock(mutex);
    LineLocked(text);
}

// A diagnostic line of the core, once: the same failure of many rows is counted in the
// summary, not repeated.
void Diagnostic(QtMsgType, const QMessageLogContext &context, const QString &text) {
    const QByteArray category(context.category ? context.category : "default");
    const qsizetype url = text.lastIndexOf(QStringLiteral(" ("));
    const QString key = QString::fromLatin1(category) + u'|' + (url < 0 ? text : text.left(url));
    const std::lock_guard<std::mutex> lock(mutex);
    if (quiet || told.contains(key)) return;
    told.insert(key);
    const bool row =
        atLine > 0 && !text.startsWith(QStringLiteral("cache:")); // the file's, not a row's
    const QString where = row ? QStringLiteral("Zeile %1: ").arg(atLine) : QString();
    LineLocked(category == "default"
                   ? where + text
                   : QString::fromLatin1(category) + QStringLiteral(": ") + where + text);
}

} // namespace

void Note(const QString &text) {
    if (!quiet) Line(QStringLiteral("geodaten-batch: ") + text);
}

void Fail(const QString &text) {
    Line(QStringLiteral("geodaten-batch: ") + text);
}

void SetQuiet(bool on) {
    const std::lock_guard<std::mutex> lock(mutex);
    quiet = on;
    told.clear();
}

void AtLine(qint64 line) {
    atLine = line;
}

bool Terminal() {
    static const bool terminal = L_PFADE::StandardErrorIsTerminal();
    return terminal;
}

void Progress(const QString &text) {
    if (!Terminal() || quiet) return;
    const std::lock_guard<std::mutex> lock(mutex);
    Clear();
    shown = text;
    if (text.isEmpty()) std::fflush(stderr);
    Redraw();
}

void CatchDiagnostics(bool on) {
    qInstallMessageHandler(on ? &Diagnostic : nullptr);
}

QString Rows(qint64 count) {
    return QString::number(count) +
           (count == 1 ? QStringLiteral(" Zeile") : QStringLiteral(" Zeilen"));
}

} // namespace L_TERM
