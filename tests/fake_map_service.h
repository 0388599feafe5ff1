#pragma once
// A real HTTP/1.1 server on 127.0.0.1 that stands in for the map services in tests. It
// answers the commercial service's geocoding and directions requests, the open geocoder's
// /search and the router's /route/v1/driving/ from fixture files named after the request
// ("geocode-<address>.xml", "search-<q>.xml", "route-<start lon>_<start lat>.json", else
// "geocode.xml" and so on; a fixture that starts with "HTTP/" is a whole response, status
// line included), the map pages with a small page, and misbehaves on demand: a target
// holding "misbehave" and a mode name (404, 500, redirect, loop, headers, silent, close,
// truncated, endless, garbage, okonly, huge, slow; busy: HTTP 429 with Retry-After: 1 the
// first time a target is asked, the answer after). An address "hitsN" gets N results.
// Reverse lookups: "reverse-<lat>.xml", "reverse-google.xml". A request through a proxy
// (absolute target) is answered as one to this server. Answers keep the HTTP/1.1
// connection open for the next request; misbehaving ones and whole-response fixtures close
// it. With `tls` it speaks HTTPS with the test certificate of the fixtures (tls-cert.pem,
// for 127.0.0.1 and localhost, and tls-key.pem).
#include <atomic>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

class FakeMapService {
public:
    struct Request {
        std::string line, userAgent; // "GET /... HTTP/1.1", and the User-Agent header
        double atMs;                 // arrival of its head, in ms of a steady clock
    };
    // Serves the fixtures of `dir` on 127.0.0.1:port (0: an ephemeral port).
    explicit FakeMapService(std::string dir, int port = 0, bool tls = false);
    ~FakeMapService();
    FakeMapService(const FakeMapService &) = delete;
    FakeMapService &operator=(const FakeMapService &) = delete;

    int Port() const { return port_; }
    std::string Url() const; // "http://127.0.0.1:PORT", with tls "https://..."
    int Connections() const { return connections_; } // accepted so far
    std::vector<Request> Requests() const;
    void ClearRequests();
    // Called with each request line as it arrives (the standalone program prints them).
    void (*onRequest)(const std::string &) = nullptr;
    std::atomic<int> delayMs{0}; // every answer waits this long after its request is recorded

private:
    struct Worker {
        std::thread thread;
        int client;
        std::atomic<bool> done{false};
    };
    void AcceptLoop();
    void Serve(Worker &worker);

    std::string dir_;
    int listener_ = -1, port_ = 0;
    bool tls_;
    std::string certificate_, key_; // PEM, with tls
    std::atomic<int> connections_{0};
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::list<Worker> workers_; // finished ones are joined at the next connection
    std::vector<Request> requests_;
    std::unordered_set<std::string> seen_; // targets asked before (busy)
};
