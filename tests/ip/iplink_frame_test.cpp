// The reply framing of the LAN service (ReplyFrame) on bytes in memory: the
// same outcome however the bytes are cut into receives, the cap on the
// announced size, a buffer that grows with the bytes and not with the
// announcement, and NULs inside the body. ReceiveData over a socket pair at
// the cap.
#include "../../ip/iplink.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Outcome {
    int code = -1;      // Code() at the end
    bool done = false;  // Done()
    std::string body;   // the body handed over when done
};

// Feeds bytes to a frame, at most piece bytes per receive, then a receive
// of 0 bytes (the service closed) when closeAtEnd and the frame wants more.
Outcome Feed(const std::string &bytes, size_t piece, bool closeAtEnd = true) {
    zrkip::ReplyFrame frame;
    size_t at = 0;
    size_t room = 0;
    for (char *space = frame.Space(&room); space != nullptr; space = frame.Space(&room)) {
        EXPECT_GT(room, 0u);
        if (at == bytes.size()) {
            if (!closeAtEnd) break;
            frame.Received(0);
            continue;
        }
        const size_t n = std::min({room, piece, bytes.size() - at});
        std::memcpy(space, bytes.data() + at, n);
        at += n;
        frame.Received(n);
    }
    Outcome outcome;
    outcome.code = frame.Code();
    outcome.done = frame.Done();
    size_t length = 0;
    char *body = frame.TakeBody(&length);
    if (body != nullptr) {
        EXPECT_EQ(body[length], '\0');
        outcome.body.assign(body, length);
        std::free(body);
    }
    return outcome;
}

TEST(IpReplyFrame, OutcomeDoesNotDependOnHowTheBytesArrive) {
    const std::string cap = std::to_string(zrkip::kReplyMax);
    const std::string overCap = std::to_string(zrkip::kReplyMax + 1);
    struct Case {
        std::string bytes;
        int code;
        std::string body;
    } cases[] = {
        {"4\ttrue", IP_RCV_OK, "true"},
        {"3\tabcdef", IP_RCV_OK, "abc"},
        {"0003\tabc", IP_RCV_OK, "abc"},
        {"12\t0123456789ab", IP_RCV_OK, "0123456789ab"},
        {"1\t\n", IP_RCV_OK, "\n"},
        {"0\t", IP_RCV_BAD_COUNT, ""},
        {"1999999999", IP_RCV_BAD_COUNT, ""},
        {"12345678901", IP_RCV_BAD_COUNT, ""},
        {"3000000000\t", IP_RCV_BAD_COUNT, ""},
        {"2147483647\tabc", IP_RCV_BAD_COUNT, ""},
        {overCap + "\tabc", IP_RCV_BAD_COUNT, ""},
        {"\tabc", IP_RCV_BAD_COUNT, ""},
        {"-1\tx", IP_RCV_BAD_COUNT, ""},
        {"", IP_RCV_BAD_COUNT, ""},
        {std::string("3\t\0bc", 5), IP_RCV_BAD_COUNT, ""},
        {std::string("3\tab\0", 5), IP_RCV_BAD_COUNT, ""},
        {"12\t0123456789" + std::string("\0b", 2), IP_RCV_BAD_COUNT, ""},
        {std::string("3\tabc\0", 6), IP_RCV_OK, "abc"},  // the NUL is past the body
        {"5\tabc", IP_RCV_SHORT, ""},
        {"10\t", IP_RCV_SHORT, ""},
        {cap + "\tabc", IP_RCV_SHORT, ""},
    };
    for (const Case &c : cases) {
        for (size_t piece : {size_t {1}, size_t {2}, size_t {5}, c.bytes.size() + 1}) {
            const Outcome outcome = Feed(c.bytes, piece);
            EXPECT_EQ(outcome.code, c.code) << c.bytes << " in pieces of " << piece;
            EXPECT_EQ(outcome.done, c.code == IP_RCV_OK) << c.bytes;
            EXPECT_EQ(outcome.body, c.body) << c.bytes;
        }
    }
}

TEST(IpReplyFrame, FailureSaysWhyInTheTraceWords) {
    struct Case {
        std::string bytes;
        const char *failure;
    } cases[] = {
        {"", "iWkReceiveLen is zero."},
        {"1x\t", "cRcv_Data is not figure. 1x\t"},
        {"\tabc", "CommaPosition is not correct. \tabc"},
        {"3000000000\t", "cRcv_num is not correct. 3000000000\t"},
        {"0\t", "uiRcvNum is not correct. 0"},
        {"2147483647\t", "uiRcvNum is not correct. 2147483647"},
        {"5\tabc", "All data cannot be received. 2"},
        {std::string("5\tab\0de", 8), "Data has a NUL character. offset=2"},
    };
    for (const Case &c : cases) {
        zrkip::ReplyFrame frame;
        size_t room = 0;
        char *space = frame.Space(&room);
        ASSERT_NE(space, nullptr);
        const size_t n = std::min(room, c.bytes.size());
        std::memcpy(space, c.bytes.data(), n);
        frame.Received(n);
        if (frame.Space(&room) != nullptr) frame.Received(0);
        EXPECT_EQ(frame.Failure(), c.failure) << c.bytes;
        EXPECT_EQ(frame.Space(&room), nullptr);
    }
}

// The body takes room as its bytes come: an announced 16 MiB gives 64 KiB
// at first, and the room never runs more than twice ahead of what arrived.
TEST(IpReplyFrame, BufferGrowsWithTheBytesNotWithTheAnnouncement) {
    zrkip::ReplyFrame frame;
    const std::string header = std::to_string(zrkip::kReplyMax) + "\t";
    size_t room = 0;
    char *space = frame.Space(&room);
    ASSERT_GE(room, header.size());
    std::memcpy(space, header.data(), header.size());
    ASSERT_EQ(frame.Received(header.size()), IP_RCV_OK);
    size_t received = 0;
    while ((space = frame.Space(&room)) != nullptr) {
        EXPECT_LE(received + room, std::max<size_t>(65536, 2 * received)) << received;
        const size_t n = std::min<size_t>(room, 100000);
        std::memset(space, 'a', n);
        frame.Received(n);
        received += n;
    }
    ASSERT_TRUE(frame.Done());
    size_t length = 0;
    char *body = frame.TakeBody(&length);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(length, zrkip::kReplyMax);
    EXPECT_EQ(body[length], '\0');
    EXPECT_EQ(std::string(body, 3), "aaa");
    std::free(body);
}

// ReceiveData takes a reply of exactly the cap.
TEST(IpReplyFrame, ReceiveDataTakesAReplyOfTheLargestSize) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    std::string bytes = std::to_string(zrkip::kReplyMax) + "\t";
    bytes.append(zrkip::kReplyMax, 'z');
    std::thread writer([&] {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(sv[1], bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
    });
    int length = 0;
    char *body = nullptr;
    EXPECT_EQ(ReceiveData(sv[0], 1, &length, &body), IP_RCV_OK);
    writer.join();
    EXPECT_EQ(static_cast<size_t>(length), zrkip::kReplyMax);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body[zrkip::kReplyMax - 1], 'z');
    EXPECT_EQ(body[zrkip::kReplyMax], '\0');
    std::free(body);
    ::close(sv[0]);
    ::close(sv[1]);
}

}  // namespace
