#include "fake_map_service.h"

#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

// A client's connection: its socket, or the TLS session on it.
struct Link {
    int fd;
    QSslSocket *tls = nullptr;
};

bool Send(Link &link, const std::string &data) {
    if (link.tls) {
        link.tls->write(data.data(), qint64(data.size()));
        while (link.tls->bytesToWrite() > 0 || link.tls->encryptedBytesToWrite() > 0)
            if (!link.tls->waitForBytesWritten(5000)) return false;
        return true;
    }
    for (size_t sent = 0; sent < data.size();) {
        const ssize_t n = ::send(link.fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

// Up to `size` bytes of the client: 0 when it closed, -1 when nothing came within `ms`.
long Receive(Link &link, char *buffer, size_t size, int ms) {
    if (link.tls) {
        if (link.tls->bytesAvailable() == 0 && !link.tls->waitForReadyRead(ms))
            return link.tls->state() == QAbstractSocket::ConnectedState ? -1 : 0;
        return long(link.tls->read(buffer, qint64(size)));
    }
    pollfd wait{link.fd, POLLIN, 0};
    if (::poll(&wait, 1, ms) <= 0) return -1;
    return long(std::max<ssize_t>(::recv(link.fd, buffer, size, 0), 0));
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Whole(const std::string &fixture) {
    return fixture.rfind("HTTP/", 0) == 0;
}

// A fixture as the answer: a whole response when it starts with a status line (its header
// lines end in LF in the file; the connection then closes), else the body of a 200.
std::string Answer(const std::string &fixture) {
    if (!Whole(fixture))
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(fixture.size()) + "\r\n\r\n" +
               fixture;
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
    Link &link;
    const std::string &target, &dir;
    const std::atomic<bool> &stop;
    bool first; // the first request of this target
    void WaitForClose() const {
        for (char byte; !stop;)
            if (Receive(link, &byte, 1, 100) == 0) return;
    }
    std::string Good() const { return Answer(ReadFile(dir + "/geocode.xml")); }
};

// The ways to misbehave that a fixture cannot hold ("misbehave-<mode>" files hold the rest).
const std::map<std::string, std::function<void(const Call &)>> Misbehaviours = {
    {"loop",
     [](const Call &c) {
         Send(c.link, "HTTP/1.1 302 Found\r\nLocation: " + c.target + "\r\n\r\n");
     }},
    {"headers",
     [](const Call &c) {
         Send(c.link, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<G"), c.WaitForClose();
     }},
    {"silent", [](const Call &c) { c.WaitForClose(); }},
    {"close", [](const Call &) {}},
    {"endless",
     [](const Call &c) {
         for (Send(c.link, "HTTP/1.1 200 OK\r\n\r\n<GeocodeResponse>");
              !c.stop && Send(c.link, std::string(65536, 'x'));) {
         }
     }},
    {"huge",
     [](const Call &c) {
         Send(c.link, "HTTP/1.1 200 OK\r\nContent-Length: 17825792\r\n\r\n");
         for (int k = 0; k < 272 && !c.stop && Send(c.link, std::string(65536, 'y')); ++k) {
         }
     }},
    {"garbage",
     [](const Call &c) {
         std::string bytes(65536, '\0');
         unsigned state = 12345;
         for (char &b : bytes) b = char((state = state * 1103515245u + 12345u) >> 16);
         Send(c.link, Answer(bytes));
     }},
    {"slow",
     [](const Call &c) { // the good answer, its second half after 300 ms
         const std::string whole = c.Good();
         Send(c.link, whole.substr(0, whole.size() / 2));
         std::this_thread::sleep_for(std::chrono::milliseconds(300));
         Send(c.link, whole.substr(whole.size() / 2));
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

// Answers the request; true when the connection stays open for the next one.
bool Reply(const Call &c) {
    const std::string mode = Mode(c.target);
    const std::string canned = ReadFile(c.dir + "/misbehave-" + Key(mode));
    if (!mode.empty() && !canned.empty()) return Send(c.link, Answer(canned)), false;
    if (Misbehaviours.count(mode)) return Misbehaviours.at(mode)(c), false;
    if (mode == "busy" && c.first) // then answered as any other
        return Send(c.link, "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\n"
                            "Content-Length: 0\r\nConnection: close\r\n\r\n"),
               false;
    std::string fixture =
        c.target.rfind("/maps?", 0) == 0 ? "<html>map</html>" : "HTTP/1.1 404 X\n\n";
    for (const auto &kind : Kinds) {
        if (c.target.rfind(kind.path, 0) != 0) continue;
        const std::string selector = Selector(c.target, kind.selector);
        fixture = selector.rfind("hits", 0) == 0
                      ? GeneratedResults(std::atoi(selector.c_str() + 4))
                      : ReadFile(c.dir + "/" + kind.prefix + "-" + Key(selector) + kind.suffix);
        if (fixture.empty()) fixture = ReadFile(c.dir + "/" + kind.prefix + kind.suffix);
        break;
    }
    return Send(c.link, Answer(fixture)) && !Whole(fixture);
}

// The TLS session of the test certificate on the client's socket (a copy of its
// descriptor, which the session closes); false when the handshake fails.
bool StartTls(QSslSocket &tls, int client, const std::string &certificate, const std::string &key) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(QSslCertificate(QByteArray::fromStdString(certificate)));
    config.setPrivateKey(QSslKey(QByteArray::fromStdString(key), QSsl::Ec));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls.setSslConfiguration(config);
    if (!tls.setSocketDescriptor(::dup(client))) return false;
    tls.startServerEncryption();
    return tls.waitForEncrypted(5000);
}

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

FakeMapService::FakeMapService(std::string dir, int port, bool tls)
    : dir_(std::move(dir)), tls_(tls) {
    if (tls_) {
        certificate_ = ReadFile(dir_ + "/tls-cert.pem");
        key_ = ReadFile(dir_ + "/tls-key.pem");
    }
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
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
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
        ++connections_;
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();)
            it = it->done ? (it->thread.join(), workers_.erase(it)) : std::next(it);
        Worker &worker = workers_.emplace_back();
        worker.client = client;
        worker.thread = std::thread([this, &worker] { Serve(worker); });
    }
}

void FakeMapService::Serve(Worker &worker) {
    Link link{worker.client};
    std::unique_ptr<QSslSocket> tls; // made, used and destroyed in this thread
    if (tls_) tls = std::make_unique<QSslSocket>(), link.tls = tls.get();
    std::string head; // what has come of the next request
    char buffer[4096];
    for (bool open = !tls || StartTls(*tls, worker.client, certificate_, key_); open && !stop_;) {
        size_t end = 0;
        for (long n; (end = head.find("\r\n\r\n")) == std::string::npos && head.size() < 1 << 20 &&
                     !stop_ && (n = Receive(link, buffer, sizeof buffer, 100)) != 0;)
            if (n > 0) head.append(buffer, size_t(n));
        if (end == std::string::npos) break;
        const std::string request = head.substr(0, end);
        head.erase(0, end + 4);
        std::istringstream words(request);
        std::string method, target;
        words >> method >> target;
        if (target.rfind("http://", 0) == 0)
            target = target.substr(target.find('/', 7)); // a proxy's
        const std::string line = request.substr(0, request.find("\r\n")),
                          agent = Selector(request, "User-Agent: ");
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back({line, agent.substr(0, agent.find('\r')), NowMs()});
            first = seen_.insert(target).second;
        }
        if (onRequest) onRequest(line);
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        open = !target.empty() && Reply(Call{link, target, dir_, stop_, first});
    }
    tls.reset();
    std::lock_guard<std::mutex> lock(mutex_); // not closed under the destructor's shutdown
    ::shutdown(worker.client, SHUT_RDWR);
    ::close(worker.client);
    worker.done = true;
}
