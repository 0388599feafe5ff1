#pragma once
// A real HTTP/1.1 server on 127.0.0.1 that stands in for the map service in tests. It
// answers the geocoding and directions requests from canned XML files, the map pages
// with a small HTML page, and misbehaves on demand: a request whose target holds
// "misbehave" followed by a mode name (an address "misbehave404", or a path
// "/misbehave/404") gets that mode. Modes: 404, 500, redirect, loop, headers (headers,
// then silence), silent (no answer), close (connection closed at once), truncated,
// endless, garbage, okonly, huge. An address "hitsN" gets N generated results.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeMapService {
public:
    // Serves the fixtures of `dir` on 127.0.0.1:port (0: an ephemeral port).
    explicit FakeMapService(std::string dir, int port = 0);
    ~FakeMapService();
    FakeMapService(const FakeMapService &) = delete;
    FakeMapService &operator=(const FakeMapService &) = delete;

    int Port() const { return port_; }
    std::string Url() const; // "http://127.0.0.1:PORT"
    // The request lines received so far ("GET /... HTTP/1.1"), in order.
    std::vector<std::string> RequestLines() const;
    void ClearRequests();
    // Called with each request line as it arrives (the standalone program prints them).
    void OnRequest(void (*callback)(const std::string &)) { onRequest_ = callback; }

private:
    void AcceptLoop();
    void Serve(int client);
    void Answer(int client, const std::string &target);
    void WaitForClose(int client);

    std::string dir_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> clients_;
    std::vector<std::string> requests_;
    void (*onRequest_)(const std::string &) = nullptr;
};
