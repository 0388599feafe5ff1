#include "fake_map_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

bool SendAll(int fd, const std::string &data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

std::string Response(int status, const std::string &reason, const std::string &body,
                     const std::string &type = "text/xml; charset=UTF-8",
                     const std::string &extra = "") {
    std::ostringstream out;
    out << "HTTP/1.1 " << status << ' ' << reason << "\r\nContent-Type: " << type
        << "\r\nContent-Length: " << body.size() << "\r\nConnection: close\r\n"
        << extra << "\r\n"
        << body;
    return out.str();
}

std::string ReadFile(const std::string &path, bool &found) {
    std::ifstream in(path, std::ios::binary);
    found = bool(in);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The raw value of a query parameter, up to the next "&".
std::string Parameter(const std::string &target, const std::string &name) {
    const size_t at = target.find(name + "=");
    if (at == std::string::npos) return "";
    const size_t begin = at + name.size() + 1;
    return target.substr(begin, target.find('&', begin) - begin);
}

std::string FixtureKey(const std::string &value) {
    std::string key;
    for (char c : value) key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return key;
}

std::string Misbehaviour(const std::string &target) {
    const size_t at = target.find("misbehave");
    if (at == std::string::npos) return "";
    size_t begin = at + 9;
    if (begin < target.size() && target[begin] == '/') ++begin;
    size_t end = begin;
    while (end < target.size() && std::isalnum(static_cast<unsigned char>(target[end]))) ++end;
    return target.substr(begin, end - begin);
}

std::string GeneratedResults(int count) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GeocodeResponse>\n <status>OK</status>\n";
    for (int k = 1; k <= count; ++k) {
        out << " <result>\n  <type>locality</type>\n  <formatted_address>Ort " << k
            << ", 9220 Velden am W\xC3\xB6rthersee, \xC3\x96sterreich</formatted_address>\n"
            << "  <geometry>\n   <location>\n    <lat>46." << 1000 + k << "</lat>\n    <lng>13."
            << 5000 + k << "</lng>\n   </location>\n  </geometry>\n </result>\n";
    }
    out << "</GeocodeResponse>\n";
    return out.str();
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
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0)
        throw std::runtime_error("fake map service: cannot listen");
    socklen_t length = sizeof address;
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
        for (int client : clients_) ::shutdown(client, SHUT_RDWR);
    }
    for (std::thread &worker : workers_) worker.join();
}

std::string FakeMapService::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> FakeMapService::RequestLines() const {
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
        clients_.push_back(client);
        workers_.emplace_back([this, client] { Serve(client); });
    }
}

void FakeMapService::Serve(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, size_t(n));
    }
    const std::string line = head.substr(0, head.find("\r\n"));
    if (!line.empty()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
        }
        if (onRequest_) onRequest_(line);
        std::istringstream words(line);
        std::string method, target;
        words >> method >> target;
        Answer(client, target);
    }
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
}

void FakeMapService::WaitForClose(int client) {
    char byte;
    while (!stop_) {
        pollfd wait{client, POLLIN, 0};
        if (::poll(&wait, 1, 100) > 0 && ::recv(client, &byte, 1, 0) <= 0) return;
    }
}

void FakeMapService::Answer(int client, const std::string &target) {
    const std::string mode = Misbehaviour(target);
    bool found = false;
    const std::string good = ReadFile(dir_ + "/geocode.xml", found);
    if (mode == "404") {
        SendAll(client,
                Response(404, "Not Found", "<html><body>Not Found</body></html>", "text/html"));
    } else if (mode == "500") {
        SendAll(client, Response(500, "Internal Server Error", good));
    } else if (mode == "redirect") {
        SendAll(
            client,
            Response(302, "Found", "", "text/html",
                     "Location: /maps/api/geocode/xml?address=9220+Velden+AT&sensor=false\r\n"));
    } else if (mode == "loop") {
        SendAll(client, Response(302, "Found", "", "text/html", "Location: " + target + "\r\n"));
    } else if (mode == "headers") {
        SendAll(client,
                "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 5000\r\n\r\n<Geo");
        WaitForClose(client);
    } else if (mode == "silent") {
        WaitForClose(client);
    } else if (mode == "close") {
        // nothing at all: the connection just ends
    } else if (mode == "truncated") {
        const std::string whole = Response(200, "OK", good);
        SendAll(client, whole.substr(0, whole.size() - good.size() / 2));
    } else if (mode == "endless") {
        SendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: "
                        "text/xml\r\n\r\n<GeocodeResponse><status>OK</status>");
        const std::string chunk(65536, 'x');
        while (!stop_ && SendAll(client, chunk)) {
        }
    } else if (mode == "garbage") {
        std::string bytes(65536, '\0');
        unsigned state = 12345;
        for (char &c : bytes) c = char((state = state * 1103515245u + 12345u) >> 16);
        SendAll(client, Response(200, "OK", bytes, "application/octet-stream"));
    } else if (mode == "okonly") {
        SendAll(client,
                Response(200, "OK", "<GeocodeResponse><status>OK</status></GeocodeResponse>"));
    } else if (mode == "huge") {
        SendAll(client,
                "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 17825792\r\n\r\n");
        const std::string chunk(65536, 'y');
        for (int k = 0; k < 272 && !stop_ && SendAll(client, chunk); ++k) {
        }
    } else if (target.rfind("/maps/api/geocode/xml", 0) == 0) {
        const std::string address = Parameter(target, "address");
        if (address.rfind("hits", 0) == 0) {
            SendAll(client, Response(200, "OK", GeneratedResults(std::atoi(address.c_str() + 4))));
            return;
        }
        std::string body = ReadFile(dir_ + "/geocode-" + FixtureKey(address) + ".xml", found);
        SendAll(client, Response(200, "OK", found ? body : good));
    } else if (target.rfind("/maps/api/directions/xml", 0) == 0) {
        const std::string origin = Parameter(target, "origin");
        std::string body = ReadFile(dir_ + "/directions-" + FixtureKey(origin) + ".xml", found);
        if (!found) body = ReadFile(dir_ + "/directions.xml", found);
        SendAll(client, Response(200, "OK", body));
    } else if (target.rfind("/maps?", 0) == 0) {
        SendAll(client, Response(200, "OK", "<html><body>map</body></html>", "text/html"));
    } else {
        SendAll(client, Response(404, "Not Found", "", "text/html"));
    }
}
