// fake_map_service --port N --dir FIXTURES [--tls]: serves until killed; prints its port,
// then every request line it receives, one per line.
#include "fake_map_service.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t running = 1;
void Stop(int) {
    running = 0;
}
void Print(const std::string &line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // for the TLS sessions
    int port = 0;
    bool tls = false;
    std::string dir = ".";
    for (int k = 1; k < argc; ++k) {
        tls = tls || std::strcmp(argv[k], "--tls") == 0;
        if (k + 1 < argc && std::strcmp(argv[k], "--port") == 0) port = std::atoi(argv[k + 1]);
        if (k + 1 < argc && std::strcmp(argv[k], "--dir") == 0) dir = argv[k + 1];
    }
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    FakeMapService service(dir, port, tls);
    service.onRequest = &Print;
    std::printf("%d\n", service.Port());
    std::fflush(stdout);
    while (running) ::usleep(100000);
    return 0;
}
