// A stand-in for the LAN interface management service on loopback TCP, for
// the tests of the action commands: it records every request byte for byte
// and answers each with the next scripted body in the service's framing
// ("<count>\t<body>"), or "00" when no body is scripted. The install root's
// properties point ssh_port_number at it.
#pragma once

#include "install_root.h"
#include "ip_request.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace iptest {

// A listening TCP socket on 127.0.0.1 at a port the system chooses (*port).
inline int ListenLoopback(int *port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 8) != 0) {
        std::abort();
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

// Reads what the peer sends on fd. With untilCount: the count, a TAB and at
// least count bytes, then whatever else arrives at once (close and
// force_close send one more). Without: until the peer closes. Either way
// waitMs of silence ends it.
inline std::string ReadMessage(int fd, bool untilCount, int waitMs) {
    std::string data;
    char buffer[8192];
    for (;;) {
        const size_t tab = data.find('\t');
        const bool complete =
            untilCount && tab != std::string::npos &&
            data.size() - tab - 1 >= std::strtoul(data.substr(0, tab).c_str(), nullptr, 10);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, complete ? 20 : waitMs) <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

// Accepts connections on 127.0.0.1 on its own thread and hands each one to
// handle, one at a time; the descriptor is closed afterwards. Declare it as
// the last member of its owner, so that it stops before what handle uses.
class LoopbackListener {
public:
    explicit LoopbackListener(std::function<void(int)> handle) : handle_(std::move(handle)) {
        listen_ = ListenLoopback(&port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackListener() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    int port() const { return port_; }

private:
    void Serve() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            handle_(fd);
            ::close(fd);
        }
    }

    std::function<void(int)> handle_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class FakeService {
public:
    FakeService() = default;
    FakeService(const FakeService &) = delete;
    FakeService &operator=(const FakeService &) = delete;

    int port() const { return listener_.port(); }

    // Queue the body of the next reply.
    void reply(const std::string &body) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(body);
    }
    // Every request received, in order, byte for byte.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    // The command texts (field 7) of the "proc" requests received.
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const std::string &request : requests())
            if (const std::optional<std::string> text = ProcText(request)) out.push_back(*text);
        return out;
    }

    // Point the install root's properties at this service.
    void configure(const zrktest::InstallRoot &root) const { usePort(root, port()); }

    // Rewrite the properties so that the link looks for the service at port.
    static void usePort(const zrktest::InstallRoot &root, int port) {
        const std::string ini = zrktest::readFile(root.etc() + "/zrkc.ini");
        std::string out;
        size_t start = 0;
        while (start < ini.size()) {
            size_t end = ini.find('\n', start);
            if (end == std::string::npos) end = ini.size();
            const std::string line = ini.substr(start, end - start);
            if (line.rfind("ssh_port_number=", 0) == 0) {
                out += "ssh_port_number=" + std::to_string(port);
            } else if (line.rfind("ssh_timeout=", 0) == 0) {
                out += "ssh_timeout=1";
            } else if (line.rfind("ssh_loop=", 0) == 0) {
                out += "ssh_loop=1";
            } else {
                out += line;
            }
            out += '\n';
            start = end + 1;
        }
        root.writeProperties(out);
    }

private:
    // One request, answered with the next scripted body.
    void Answer(int fd) {
        const std::string request = ReadMessage(fd, true, 2000);
        std::string body = "00";
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            if (!replies_.empty()) {
                body = replies_.front();
                replies_.pop_front();
            }
        }
        const std::string framed = std::to_string(body.size()) + "\t" + body;
        if (::write(fd, framed.data(), framed.size()) < 0) return;
    }

    mutable std::mutex mutex_;
    std::deque<std::string> replies_;
    std::vector<std::string> requests_;
    LoopbackListener listener_{[this](int fd) { Answer(fd); }};
};

}  // namespace iptest
