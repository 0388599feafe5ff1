// geodaten-batch: the command line, the signals, the exit status.
#include "batch_tool/L_BATCH.h"
#include "batch_tool/L_RUN.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {
void Stop(int) {
    L_RUN::Interrupt(); // transfers end at once; finished rows stay, the output is closed validly
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("geodaten-batch"));
    L_BATCH::Options options;
    QString message;
    bool help = false, version = false;
    if (!L_BATCH::ParseArguments(app.arguments().mid(1), options, message, help, version)) {
        std::fprintf(stderr, "geodaten-batch: %s\n", qUtf8Printable(message));
        return L_BATCH::ExitUsage;
    }
    if (help || version) {
        std::fputs(
            qUtf8Printable(help ? L_BATCH::Usage() : "geodaten-batch " GEODATEN_VERSION "\n"),
            stdout);
        return 0;
    }
    std::signal(SIGINT, Stop);
    std::signal(SIGTERM, Stop);
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit is a failed write: the run ends at a row
#endif
    return L_RUN::Run(options);
}
