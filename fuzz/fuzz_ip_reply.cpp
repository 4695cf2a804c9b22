// Arbitrary bytes from the LAN service through the reply framing, then the
// body through the array reply format: line count, split and the judgement
// of a failed reply.
//
// Input: the bytes as the service would send them, header included. They are
// written into one end of a socket pair that is then shut, so the receive
// never waits.
#include "../ip/iplink.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check_reply(const char *body, size_t length) {
    int count = 0;
    if (IPGetLineNumFromData(body, &count) != 0) {
        if (body[0] != '\0') abort();
        return;
    }
    if (count < 1 || static_cast<size_t>(count) > length + 1) abort();
    std::vector<char *> lines(static_cast<size_t>(count), nullptr);
    int made = count;
    if (IPSplitDataByLine(body, &made, lines.data()) != 0) {
        for (char *line : lines) {
            if (line != nullptr) abort();  // a failed split leaves nothing behind
        }
        return;
    }
    if (made != count) abort();
    uint32_t status = 0;
    if (IPReadHex(lines[0], &status) == 0 && status != 0) {
        IPSet_ZRKerrno(static_cast<int>(status), lines.data(), made);
    }
    for (char *line : lines) std::free(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 65536) return 0;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
    int sndbuf = 1 << 20;
    setsockopt(sv[1], SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = send(sv[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    shutdown(sv[1], SHUT_WR);
    int length = -1;
    char *body = nullptr;
    const int rc = ReceiveData(sv[0], 0, &length, &body);
    close(sv[0]);
    close(sv[1]);
    if (rc != 0) {
        if (body != nullptr || length != 0 || rc > 6) abort();
        return 0;
    }
    if (body == nullptr || length < 1 || body[length] != '\0') abort();
    if (static_cast<size_t>(length) > size) abort();
    // The body is what followed the first TAB, byte for byte.
    const auto *tab = static_cast<const uint8_t *>(std::memchr(data, '\t', size));
    if (tab == nullptr) abort();
    const size_t at = static_cast<size_t>(tab - data) + 1;
    if (at + static_cast<size_t>(length) > size) abort();
    if (std::memcmp(body, data + at, static_cast<size_t>(length)) != 0) abort();
    check_reply(body, static_cast<size_t>(length));
    std::free(body);
    return 0;
}
