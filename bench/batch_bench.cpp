// geodaten-batch on lists against the fake services on 127.0.0.1, unpaced: its own cost
// per row beside the bare downloads of the same answers, its peak memory for 1,000 and
// 100,000 rows; a second run answered wholly from the kept answers; requests in parallel
// to a server that takes 20 ms an answer; and, given the build before this one
// (batch_bench [BEFORE]), one request at a time over kept connections (HTTP and HTTPS)
// against that build's, and the requests a list of recurring addresses sends in parallel.
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

// A list of `rows` rows, each address in `repeat` rows one after the other.
QString List(const QString &folder, int rows, int repeat = 1) {
    const QString path = folder + QStringLiteral("/list-%1-%2.csv").arg(rows).arg(repeat);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("Name;Adresse\n");
    for (int k = 0; k < rows; ++k)
        file.write(QByteArray("Mitglied ") + QByteArray::number(k) + ";Ort " +
                   QByteArray::number(k / repeat) + " AT\n");
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
                const char *option = "--quiet", const char *value = "--quiet",
                const char *program = GEODATEN_BATCH) {
    const QByteArray in = list.toLocal8Bit(), out = output.toLocal8Bit();
    const char *argv[] = {program, "geocode",       "--quiet",      option, value,
                          "-o",    out.constData(), in.constData(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
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

// 2,000 distinct addresses one request at a time, against the fake answering at once over
// HTTP and over HTTPS (its test certificate trusted through SSL_CERT_FILE): this build
// against the one before it. Then the list with each address in two rows, --parallel 8:
// the requests each build sends.
void KeptConnections(const QString &folder, FakeMapService &http, const char *before) {
    const int rows = 2000;
    FakeMapService https(GEODATEN_FIXTURES, 0, true);
    const QString list = List(folder, rows), output = folder + QStringLiteral("/out.csv");
    qputenv("SSL_CERT_FILE", GEODATEN_FIXTURES "/tls-cert.pem");
    std::printf("\n| %d distinct addresses, one at a time | this build, s | the build before, s | "
                "speed-up |\n|---|---|---|---|\n",
                rows);
    for (FakeMapService *service : {&http, &https}) {
        qputenv("GEODATEN_NOMINATIM_URL", QByteArray::fromStdString(service->Url()));
        const std::vector<double> best =
            Alternate({[&] { RunBatch(list, output); },
                       [&] { RunBatch(list, output, false, "--quiet", "--quiet", before); }},
                      3);
        std::printf("| %s | %.2f | %.2f | %.2f |\n", service == &http ? "HTTP" : "HTTPS", best[0],
                    best[1], best[1] / best[0]);
    }
    qputenv("GEODATEN_NOMINATIM_URL", QByteArray::fromStdString(http.Url()));
    const QString twice = List(folder, 2 * rows, 2);
    std::printf("\n| %d rows, %d distinct addresses, --parallel 8 | requests sent |\n|---|---|\n",
                2 * rows, rows);
    for (const char *program : {GEODATEN_BATCH, before}) {
        http.ClearRequests();
        RunBatch(twice, output, false, "--parallel", "8", program);
        std::printf("| %s | %zu |\n", program == before ? "the build before" : "this build",
                    http.Requests().size());
    }
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
    if (argc > 1 && QFileInfo(QString::fromLocal8Bit(argv[1])).isExecutable())
        KeptConnections(temp.path(), service, argv[1]);
    else
        std::printf("\nno build before this one given: kept connections not compared\n");
    return 0;
}
