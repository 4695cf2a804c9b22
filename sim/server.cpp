#include "server.h"

#include "control.h"
#include "host_front.h"
#include "host_proto.h"
#include "lan_front.h"

#include <netinet/in.h>
#include <arpa/inet.h>
#include <time.h>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <optional>

namespace zrksim {

namespace {

constexpr std::size_t kMaxControlLine = 65536;

int bindSocket(const std::string &path, std::string &error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        error = "socket path \"" + path + "\" is empty or too long";
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
        error = path + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int bindLan(int port, int &chosen, std::string &error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        error = "LAN port " + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    chosen = ntohs(addr.sin_port);
    return fd;
}

long long nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

void Server::stopLan() {
    if (lanFd_ >= 0) close(lanFd_);
    lanFd_ = -1;
    st_.lan.bStopped = true;
}

Server::~Server() {
    for (Client &c : clients_) close(c.fd);
    if (hostFd_ >= 0) {
        close(hostFd_);
        unlink(hostPath_.c_str());
    }
    if (controlFd_ >= 0) {
        close(controlFd_);
        unlink(controlPath_.c_str());
    }
    if (signalFd_ >= 0) close(signalFd_);
    if (lanFd_ >= 0) close(lanFd_);
}

bool Server::listen(const std::string &hostPath, const std::string &controlPath, int lanPort, std::string &error) {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) {
        error = std::string("signalfd: ") + std::strerror(errno);
        return false;
    }
    hostFd_ = bindSocket(hostPath, error);
    if (hostFd_ < 0) return false;
    hostPath_ = hostPath;
    controlFd_ = bindSocket(controlPath, error);
    if (controlFd_ < 0) return false;
    controlPath_ = controlPath;
    if (lanPort >= 0) {
        lanFd_ = bindLan(lanPort, st_.lan.iPort, error);
        if (lanFd_ < 0) return false;
    }
    return true;
}

void Server::accept(int listener, bool control, bool lan) {
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;  // EAGAIN, or a client that went away meanwhile
        Client client;
        client.fd = fd;
        client.bControl = control;
        client.bLan = lan;
        clients_.push_back(std::move(client));
    }
}

void Server::receive(Client &client) {
    char buf[65536];
    for (;;) {
        ssize_t n = recv(client.fd, buf, sizeof buf, 0);
        if (n > 0) {
            client.in.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0 && client.bLan) {
            client.bEnded = true;
            return;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) client.bDead = true;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

void Server::serve(Client &client) {
    if (client.bLan) {
        if (!client.bAnswered) {
            std::optional<LanOutcome> outcome = serveLan(st_, client.in, client.bEnded);
            if (!outcome) return;
            client.bAnswered = true;
            client.held = std::move(outcome->out);
            client.llDueMs = nowMs() + outcome->lDelayMs;
            if (st_.lan.bStopRequested && !st_.lan.bStopped) stopLan();
        }
        if (!client.held.empty() && nowMs() >= client.llDueMs) {
            client.out += client.held;
            client.held.clear();
        }
        return;
    }
    if (client.bControl) {
        for (std::size_t nl; (nl = client.in.find('\n')) != std::string::npos;) {
            std::string line = client.in.substr(0, nl);
            client.in.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            client.out += answerControl(st_, line);
            if (st_.bStop) return;
        }
        if (client.in.size() > kMaxControlLine) client.bDead = true;
        return;
    }
    while (client.in.size() >= 4) {
        std::uint32_t len = proto::getU32(client.in.data());
        if (len > proto::kMaxBody) {
            client.bDead = true;
            return;
        }
        if (client.in.size() - 4 < len) return;
        proto::Fields request;
        bool ok = proto::decode(client.in.substr(4, len), request);
        client.in.erase(0, 4 + static_cast<std::size_t>(len));
        if (!ok) {
            client.bDead = true;
            return;
        }
        client.out += proto::encode(answerHost(st_, request));
    }
}

void Server::send(Client &client) {
    while (!client.out.empty()) {
        ssize_t n = ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            client.out.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        client.bDead = true;
        return;
    }
    if (client.bLan && client.bAnswered && client.held.empty()) client.bDead = true;
}

bool Server::run(std::string &error) {
    while (!st_.bStop) {
        std::vector<pollfd> fds;
        fds.push_back({signalFd_, POLLIN, 0});
        fds.push_back({hostFd_, POLLIN, 0});
        fds.push_back({controlFd_, POLLIN, 0});
        fds.push_back({lanFd_, POLLIN, 0});
        int timeout = -1;
        long long now = nowMs();
        for (const Client &c : clients_) {
            short events = static_cast<short>((c.bEnded ? 0 : POLLIN) | (c.out.empty() ? 0 : POLLOUT));
            // A LAN client that has sent everything and waits for a delayed
            // reply is not polled (it would report its hang-up at once).
            fds.push_back({c.bEnded && c.out.empty() ? -1 : c.fd, events, 0});
            if (!c.held.empty()) {
                long long wait = std::max(0LL, c.llDueMs - now);
                if (timeout < 0 || wait < timeout) timeout = static_cast<int>(std::min(wait, 3600000LL));
            }
        }
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (fds[0].revents != 0) {
            signalfd_siginfo info;
            if (read(signalFd_, &info, sizeof info) > 0) return true;
        }
        // Clients first: the vector may grow when the listeners accept.
        for (std::size_t i = 0; i < clients_.size() && !st_.bStop; ++i) {
            short revents = fds[4 + i].revents;
            Client &c = clients_[i];
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) receive(c);
            serve(c);
            send(c);
        }
        if (st_.bStop) {
            for (Client &c : clients_) send(c);
            return true;
        }
        std::erase_if(clients_, [](const Client &c) {
            if (c.bDead) close(c.fd);
            return c.bDead;
        });
        if (fds[1].revents & POLLIN) accept(hostFd_, false);
        if (fds[2].revents & POLLIN) accept(controlFd_, true);
        if (lanFd_ >= 0 && (fds[3].revents & POLLIN)) accept(lanFd_, false, true);
    }
    return true;
}

}  // namespace zrksim
