// The control exchange: one command line out, one reply back.
#include "sim_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace zrksim {

Reply controlCommand(const std::string &controlPath, const std::string &line) {
    if (line.find('\n') != std::string::npos)
        throw std::runtime_error("zrksim: a control command is one line");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (controlPath.size() >= sizeof addr.sun_path)
        throw std::runtime_error("zrksim: control socket path too long");
    std::memcpy(addr.sun_path, controlPath.c_str(), controlPath.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("zrksim: socket: ") + std::strerror(errno));
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        int err = errno;
        close(fd);
        throw std::runtime_error("zrksim: cannot reach " + controlPath + ": " + std::strerror(err));
    }
    std::string request = line + "\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("zrksim: control socket closed while sending");
        }
        sent += static_cast<std::size_t>(n);
    }
    // Read until the reply is complete: "error ..." or "ok N" and N lines.
    std::string in;
    Reply reply;
    std::size_t wanted = 0;
    bool headDone = false;
    for (;;) {
        std::size_t lines = 0;
        for (char c : in) lines += c == '\n';
        if (!headDone && lines >= 1) {
            std::string head = in.substr(0, in.find('\n'));
            if (head.starts_with("error ")) {
                reply.ok = false;
                reply.error = head.substr(6);
                break;
            }
            if (!head.starts_with("ok ")) {
                close(fd);
                throw std::runtime_error("zrksim: bad control reply \"" + head + "\"");
            }
            wanted = std::strtoul(head.c_str() + 3, nullptr, 10);
            headDone = true;
        }
        if (headDone && lines >= wanted + 1) {
            reply.ok = true;
            std::istringstream text(in);
            std::string l;
            std::getline(text, l);
            for (std::size_t i = 0; i < wanted && std::getline(text, l); ++i) reply.lines.push_back(l);
            break;
        }
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("zrksim: control reply cut short");
        }
        in.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return reply;
}

}  // namespace zrksim
