#include "fake_map_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

bool Send(int fd, const std::string &data) {
    for (size_t sent = 0; sent < data.size();) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fixture as the answer: a whole response when it starts with a status line (its header
// lines end in LF in the file), else the body of a 200.
std::string Answer(const std::string &fixture) {
    if (fixture.rfind("HTTP/", 0) != 0)
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(fixture.size()) +
               "\r\nConnection: close\r\n\r\n" + fixture;
    const size_t split = fixture.find("\n\n");
    std::string head;
    for (char c : fixture.substr(0, split))
        head += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return head + "\r\nConnection: close\r\n\r\n" + fixture.substr(split + 2);
}

std::string Key(const std::string &value) {
    std::string key;
    for (char c : value) key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return key;
}

// What names the fixture: a query parameter (up to "&"), or the route's start coordinate.
std::string Selector(const std::string &target, const std::string &name) {
    const size_t at = target.find(name);
    if (at == std::string::npos) return "";
    const size_t begin = at + name.size();
    return target.substr(begin, target.find_first_of(";&?", begin) - begin);
}

std::string GeneratedResults(int count) {
    std::ostringstream out;
    out << "<GeocodeResponse>\n <status>OK</status>\n";
    for (int k = 1; k <= count; ++k)
        out << " <result><formatted_address>Ort " << k
            << ", 9220 Velden am W\xC3\xB6rthersee, \xC3\x96sterreich</formatted_address>\n"
            << "  <geometry><location><lat>46." << 1000 + k << "</lat><lng>13." << 5000 + k
            << "</lng></location></geometry></result>\n";
    return out.str() + "</GeocodeResponse>\n";
}

struct Call {
    int client;
    const std::string &target, &dir;
    const std::atomic<bool> &stop;
    bool first; // the first request of this target
    void WaitForClose() const {
        for (char byte; !stop;) {
            pollfd wait{client, POLLIN, 0};
            if (::poll(&wait, 1, 100) > 0 && ::recv(client, &byte, 1, 0) <= 0) return;
        }
    }
    std::string Good() const { return Answer(ReadFile(dir + "/geocode.xml")); }
};

// The ways to misbehave that a fixture cannot hold ("misbehave-<mode>" files hold the rest).
const std::map<std::string, std::function<void(const Call &)>> Misbehaviours = {
    {"loop",
     [](const Call &c) {
         Send(c.client, "HTTP/1.1 302 Found\r\nLocation: " + c.target + "\r\n\r\n");
     }},
    {"headers",
     [](const Call &c) {
         Send(c.client, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<G"), c.WaitForClose();
     }},
    {"silent", [](const Call &c) { c.WaitForClose(); }},
    {"close", [](const Call &) {}},
    {"endless",
     [](const Call &c) {
         for (Send(c.client, "HTTP/1.1 200 OK\r\n\r\n<GeocodeResponse>");
              !c.stop && Send(c.client, std::string(65536, 'x'));) {
         }
     }},
    {"huge",
     [](const Call &c) {
         Send(c.client, "HTTP/1.1 200 OK\r\nContent-Length: 17825792\r\n\r\n");
         for (int k = 0; k < 272 && !c.stop && Send(c.client, std::string(65536, 'y')); ++k) {
         }
     }},
    {"garbage",
     [](const Call &c) {
         std::string bytes(65536, '\0');
         unsigned state = 12345;
         for (char &b : bytes) b = char((state = state * 1103515245u + 12345u) >> 16);
         Send(c.client, Answer(bytes));
     }},
    {"slow",
     [](const Call &c) { // the good answer, its second half after 300 ms
         const std::string whole = c.Good();
         Send(c.client, whole.substr(0, whole.size() / 2));
         std::this_thread::sleep_for(std::chrono::milliseconds(300));
         Send(c.client, whole.substr(whole.size() / 2));
     }},
};

// The four request kinds: path, fixture prefix, what names the fixture, suffix.
const struct {
    const char *path, *prefix, *selector, *suffix;
} Kinds[] = {
    {"/maps/api/geocode/xml?latlng", "reverse-google", "latlng=", ".xml"},
    {"/maps/api/geocode/xml", "geocode", "address=", ".xml"},
    {"/maps/api/directions/xml", "directions", "origin=", ".xml"},
    {"/search", "search", "q=", ".xml"},
    {"/route/v1/driving/", "route", "/driving/", ".json"},
    {"/reverse", "reverse", "lat=", ".xml"},
};

// The mode named after "misbehave" (an address "misbehave404", a path "/misbehave/404").
std::string Mode(const std::string &target) {
    size_t at = target.find("misbehave");
    if (at == std::string::npos) return "";
    at = target.find_first_not_of('/', at + 9);
    size_t end = at;
    while (end < target.size() && std::isalnum(static_cast<unsigned char>(target[end]))) ++end;
    return target.substr(at, end - at);
}

void Reply(const Call &c) {
    const std::string mode = Mode(c.target);
    const std::string canned = ReadFile(c.dir + "/misbehave-" + Key(mode));
    if (!mode.empty() && !canned.empty()) return void(Send(c.client, Answer(canned)));
    if (Misbehaviours.count(mode)) return Misbehaviours.at(mode)(c);
    if (mode == "busy" && c.first) // then answered as any other
        return void(Send(c.client, "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\n"
                                   "Content-Length: 0\r\n\r\n"));
    for (const auto &kind : Kinds) {
        if (c.target.rfind(kind.path, 0) != 0) continue;
        const std::string selector = Selector(c.target, kind.selector);
        if (selector.rfind("hits", 0) == 0)
            return void(Send(c.client, Answer(GeneratedResults(std::atoi(selector.c_str() + 4)))));
        const std::string fixture =
            ReadFile(c.dir + "/" + kind.prefix + "-" + Key(selector) + kind.suffix);
        return void(Send(
            c.client,
            Answer(fixture.empty() ? ReadFile(c.dir + "/" + kind.prefix + kind.suffix) : fixture)));
    }
    Send(c.client,
         Answer(c.target.rfind("/maps?", 0) == 0 ? "<html>map</html>" : "HTTP/1.1 404 X\n\n"));
}

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

FakeMapService::FakeMapService(std::string dir, int port) : dir_(std::move(dir)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(listener_, 64) != 0)
        throw std::runtime_error("fake map service: cannot listen");
    ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeMapService::~FakeMapService() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    acceptor_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Worker &worker : workers_)
            if (!worker.done) ::shutdown(worker.client, SHUT_RDWR);
    }
    for (Worker &worker : workers_) worker.thread.join();
}

std::string FakeMapService::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<FakeMapService::Request> FakeMapService::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void FakeMapService::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FakeMapService::AcceptLoop() {
    while (!stop_) {
        pollfd wait{listener_, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0) continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();)
            it = it->done ? (it->thread.join(), workers_.erase(it)) : std::next(it);
        Worker &worker = workers_.emplace_back();
        worker.client = client;
        worker.thread = std::thread([this, &worker] { Serve(worker); });
    }
}

void FakeMapService::Serve(Worker &worker) {
    std::string head;
    char buffer[4096];
    for (ssize_t n; head.find("\r\n\r\n") == std::string::npos && head.size() < 1 << 20 &&
                    (n = ::recv(worker.client, buffer, sizeof buffer, 0)) > 0;)
        head.append(buffer, size_t(n));
    std::istringstream words(head);
    std::string method, target;
    words >> method >> target;
    if (target.rfind("http://", 0) == 0) target = target.substr(target.find('/', 7)); // a proxy's
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
    if (!target.empty()) {
        const std::string line = head.substr(0, head.find("\r\n")),
                          agent = Selector(head, "User-Agent: ");
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back({line, agent.substr(0, agent.find('\r')), NowMs()});
        }
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first = seen_.insert(target).second;
        }
        if (onRequest) onRequest(line);
        Reply(Call{worker.client, target, dir_, stop_, first});
    }
    std::lock_guard<std::mutex> lock(mutex_); // not closed under the destructor's shutdown
    ::shutdown(worker.client, SHUT_RDWR);
    ::close(worker.client);
    worker.done = true;
}
