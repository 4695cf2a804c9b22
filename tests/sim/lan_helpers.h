// Helpers of the LAN front tests: requests of the LAN interface management
// service built by hand and exchanged over a raw TCP connection to 127.0.0.1.
#pragma once

#include "sim_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>
#include <string>
#include <vector>

namespace lantest {

// The request text: count, TAB, and the six fields joined by TABs; the count
// is the number of bytes after the first TAB unless `count` is given.
inline std::string request(const std::string &host, const std::string &port, const std::string &op,
                           const std::string &account, const std::string &password, const std::string &text,
                           long count = -1) {
    std::string rest = host + "\t" + port + "\t" + op + "\t" + account + "\t" + password + "\t" + text;
    return std::to_string(count >= 0 ? static_cast<std::size_t>(count) : rest.size()) + "\t" + rest;
}
inline std::string open(const std::string &host, const std::string &account, const std::string &password) {
    return request(host, "", "open", account, password, "");
}
inline std::string proc(const std::string &host, const std::string &command) {
    return request(host, "", "proc", "", "", command);
}
inline std::string scramble(const std::string &op, const std::string &text) {
    return request("", "", op, "", "", text);
}

// Connects to the LAN front; -1 when the connection is refused.
inline int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends the bytes (then ends the sending side when `endSending`) and reads
// until the service closes the connection: everything it sent.
inline std::string roundTrip(int port, const std::string &bytes, bool endSending = false) {
    int fd = connectTo(port);
    EXPECT_GE(fd, 0) << "no LAN front at port " << port;
    if (fd < 0) return "<refused>";
    EXPECT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    if (endSending) shutdown(fd, SHUT_WR);
    std::string got;
    char buf[4096];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return got;
}

// The body of a framed reply, checking the frame: digits, TAB, exactly that
// many bytes.
inline std::string body(const std::string &reply) {
    std::size_t tab = reply.find('\t');
    EXPECT_NE(tab, std::string::npos) << "no frame: " << reply;
    if (tab == std::string::npos) return "<no frame>";
    std::string b = reply.substr(tab + 1);
    EXPECT_EQ(reply.substr(0, tab), std::to_string(b.size())) << "count does not match: " << reply;
    return b;
}

inline std::string ask(int port, const std::string &bytes) { return body(roundTrip(port, bytes)); }

// A simulator with the LAN front, logged in (admin, secret) at each of the
// hosts; run() sends a command to one of them and answers the reply body.
struct LoggedInLan {
    zrksim::Simulator sim;
    int port;

    LoggedInLan(const std::string &scenario, std::initializer_list<const char *> hosts)
        : sim(scenario, true), port(sim.lanPort()) {
        for (const char *host : hosts) EXPECT_EQ(ask(port, open(host, "admin", "secret")), "true") << host;
    }
    std::string run(const std::string &command, const std::string &host = "10.0.0.5") const {
        return ask(port, proc(host, command));
    }
};

// A record line of a reply: the columns joined by TABs.
inline std::string rec(const std::vector<std::string> &columns) {
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i) out += (i == 0 ? "" : "\t") + columns[i];
    return out + "\n";
}

}  // namespace lantest
