// fake_map_service --port N --dir FIXTURES: serves until killed; prints its port, then
// every request line it receives, one per line.
#include "fake_map_service.h"

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
    int port = 0;
    std::string dir = ".";
    for (int k = 1; k + 1 < argc; k += 2) {
        if (std::strcmp(argv[k], "--port") == 0) port = std::atoi(argv[k + 1]);
        if (std::strcmp(argv[k], "--dir") == 0) dir = argv[k + 1];
    }
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    FakeMapService service(dir, port);
    service.onRequest = &Print;
    std::printf("%d\n", service.Port());
    std::fflush(stdout);
    while (running) ::usleep(100000);
    return 0;
}
