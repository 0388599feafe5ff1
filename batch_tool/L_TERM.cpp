#include "batch_tool/L_TERM.h"

#include "geo_files/L_PFADE.h"

#include <cstdio>
#include <mutex>

namespace L_TERM {

namespace {

std::mutex mutex;
QString shown; // the progress line as it stands, empty when none

void Clear() {
    if (!shown.isEmpty()) std::fputs("\r\033[K", stderr);
}

void Redraw() {
    if (!shown.isEmpty()) std::fprintf(stderr, "%s", qUtf8Printable(shown));
    std::fflush(stderr);
}

void Line(const QString &text) {
    const std::lock_guard<std::mutex> lock(mutex);
    Clear();
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    Redraw();
}

void Diagnostic(QtMsgType, const QMessageLogContext &context, const QString &text) {
    const QByteArray category(context.category ? context.category : "default");
    Line(category == "default" ? text
                               : QString::fromLatin1(category) + QStringLiteral(": ") + text);
}

} // namespace

void Say(const QString &text) {
    Line(QStringLiteral("geodaten-batch: ") + text);
}

bool Terminal() {
    static const bool terminal = L_PFADE::StandardErrorIsTerminal();
    return terminal;
}

void Progress(const QString &text) {
    if (!Terminal()) return;
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
