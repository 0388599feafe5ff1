// geodaten-batch on lists against the fake services on 127.0.0.1, unpaced: its own cost
// per row beside the bare downloads of the same answers (the service's and the loopback's
// share), and its peak memory for 1,000 and 100,000 rows.
#include "bench_support.h"

#include "fake_map_service.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_INET.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

QString List(const QString &folder, int rows) {
    const QString path = folder + QStringLiteral("/list-%1.csv").arg(rows);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("Name;Adresse\n");
    for (int k = 0; k < rows; ++k)
        file.write(QByteArray("Mitglied ") + QByteArray::number(k) + ";Ort " +
                   QByteArray::number(k) + " AT\n");
    return path;
}

// Runs the program on the list; its peak resident memory in MB.
double RunBatch(const QString &list, const QString &output) {
    const QByteArray in = list.toLocal8Bit(), out = output.toLocal8Bit();
    const char *argv[] = {GEODATEN_BATCH,  "geocode",      "--quiet", "-o",
                          out.constData(), in.constData(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, GEODATEN_BATCH, nullptr, nullptr, const_cast<char **>(argv), environ) !=
        0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    KeepFreedMemory();
    FakeMapService service(GEODATEN_FIXTURES);
    QTemporaryDir temp;
    const QByteArray url = QByteArray::fromStdString(service.Url());
    qputenv("GEODATEN_NOMINATIM_URL", url);
    qputenv("GEODATEN_PACE_MS", "0");
    qputenv("TEMP", temp.path().toUtf8());
    qunsetenv("GEODATEN_SERVICE_URL");
    qunsetenv("GEODATEN_PROVIDER");
    qunsetenv("GEODATEN_API_KEY");
    qputenv("QT_LOGGING_RULES", "geodaten.service=false");
    const int rows = 10000;
    const QString list = List(temp.path(), rows), output = temp.path() + QStringLiteral("/out.csv");
    const QString file = temp.path() + QStringLiteral("/bare.tmp");
    const std::vector<double> best = Alternate(
        {[&] { RunBatch(list, output); },
         [&] {
             for (int k = 0; k < rows; ++k)
                 L_INET::Download({L_GEOOSM::SearchRequestUrl(QStringLiteral("Ort %1 AT").arg(k)),
                                   "geodaten", false},
                                  file);
         }},
        3);
    std::printf("| rows | batch, ms per row | bare downloads, ms per row | the program's own, ms "
                "per row |\n"
                "|---|---|---|---|\n| %d | %.3f | %.3f | %.3f |\n\n",
                rows, best[0] * 1e3 / rows, best[1] * 1e3 / rows, (best[0] - best[1]) * 1e3 / rows);
    std::printf("| rows | peak memory, MB |\n|---|---|\n");
    for (const int size : {1000, 100000})
        std::printf("| %d | %.1f |\n", size, RunBatch(List(temp.path(), size), output));
    return 0;
}
