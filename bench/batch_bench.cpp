// geodaten-batch on lists against the fake services on 127.0.0.1, unpaced: its own cost
// per row beside the bare downloads of the same answers, its peak memory for 1,000 and
// 100,000 rows; a second run answered wholly from the kept answers; and requests in
// parallel to a server that takes 20 ms an answer.
#include "bench_support.h"

#include "fake_map_service.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_INET.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The peak resident memory of the running process, in kB: its own, since its exec (what
// wait4 reports counts the spawning process's pages too).
long PeakKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Runs the program on the list; with `measure`, its peak resident memory in MB (looked
// at every 2 ms, which costs time: timed runs do not).
double RunBatch(const QString &list, const QString &output, bool measure = false,
                const char *option = "--quiet", const char *value = "--quiet") {
    const QByteArray in = list.toLocal8Bit(), out = output.toLocal8Bit();
    const char *argv[] = {GEODATEN_BATCH, "geocode",       "--quiet",      option, value,
                          "-o",           out.constData(), in.constData(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, GEODATEN_BATCH, nullptr, nullptr, const_cast<char **>(argv), environ) !=
        0)
        return -1;
    long peak = 0;
    int status = 0;
    while (measure && waitpid(pid, &status, WNOHANG) == 0) {
        peak = std::max(peak, PeakKb(pid));
        usleep(2000);
    }
    if (!measure) waitpid(pid, &status, 0);
    return double(peak) / 1024.0;
}

void CostAndMemory(const QString &folder) {
    const int rows = 10000;
    const QString list = List(folder, rows), output = folder + QStringLiteral("/out.csv");
    const QString file = folder + QStringLiteral("/bare.tmp");
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
        std::printf("| %d | %.1f |\n", size, RunBatch(List(folder, size), output, true));
}

// A second run of a list, every answer from the cache, beside a run that asks them all.
void FromTheCache(const QString &folder) {
    const int rows = 10000;
    const QString list = List(folder, rows), output = folder + QStringLiteral("/out.csv");
    const QString cache = folder + QStringLiteral("/answers.sqlite");
    qputenv("GEODATEN_CACHE", cache.toUtf8());
    RunBatch(list, output); // fills it
    const double kilobytes = double(QFileInfo(cache).size()) / 1024.0;
    const std::vector<double> best = Alternate(
        {[&] { RunBatch(list, output); }, [&] { RunBatch(list, output, false, "--no-cache"); }}, 3);
    qputenv("GEODATEN_CACHE", "off");
    std::printf(
        "\n| rows from the cache | ms per row | asking each, ms per row | cache file, KB per "
        "1,000 answers |\n|---|---|---|---|\n| %d | %.3f | %.3f | %.0f |\n",
        rows, best[0] * 1e3 / rows, best[1] * 1e3 / rows, kilobytes * 1000 / rows);
}

// Requests in flight to a server of one's own that takes 20 ms an answer.
void InParallel(const QString &folder, FakeMapService &service) {
    const int rows = 1000;
    const QString list = List(folder, rows), output = folder + QStringLiteral("/out.csv");
    service.delayMs = 20;
    double memory[2] = {0, 0};
    const std::vector<double> best =
        Alternate({[&] { memory[0] = RunBatch(list, output, true, "--parallel", "1"); },
                   [&] { memory[1] = RunBatch(list, output, true, "--parallel", "8"); }},
                  2);
    service.delayMs = 0;
    std::printf("\n| %d rows, 20 ms an answer | --parallel 1 | --parallel 8 | speed-up |\n"
                "|---|---|---|---|\n| seconds | %.2f | %.2f | %.1f |\n| peak memory, MB | %.1f | "
                "%.1f | %.2f |\n",
                rows, best[0], best[1], best[0] / best[1], memory[0], memory[1],
                memory[1] / memory[0]);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    KeepFreedMemory();
    FakeMapService service(GEODATEN_FIXTURES);
    QTemporaryDir temp;
    qputenv("GEODATEN_NOMINATIM_URL", QByteArray::fromStdString(service.Url()));
    qputenv("GEODATEN_PACE_MS", "0");
    qputenv("TEMP", temp.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", temp.path().toUtf8());
    qputenv("GEODATEN_CACHE", "off");
    qunsetenv("GEODATEN_SERVICE_URL");
    qunsetenv("GEODATEN_PROVIDER");
    qunsetenv("GEODATEN_API_KEY");
    qputenv("QT_LOGGING_RULES", "geodaten.service=false");
    CostAndMemory(temp.path());
    FromTheCache(temp.path());
    InParallel(temp.path(), service);
    return 0;
}
