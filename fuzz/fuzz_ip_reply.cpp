// Arbitrary bytes from the LAN service through the reply framing
// (ReplyFrame, as ReceiveData reads it), then the body through the array
// reply format: line count, split and the judgement of a failed reply.
//
// Input: the bytes as the service would send them, header included, followed
// by the service closing the connection. They are fed to the framing twice,
// once in receives as large as it asks for and once a byte at a time; both
// must come to the same outcome.
#include "../ip/iplink.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Outcome {
    int iCode = -1;           // Code() at the end
    char *pBody = nullptr;    // the body when whole (freed by the caller)
    size_t uiLength = 0;      // its length
};

Outcome Frame(const uint8_t *data, size_t size, size_t piece) {
    zrkip::ReplyFrame frame;
    size_t at = 0;
    size_t room = 0;
    for (char *space = frame.Space(&room); space != nullptr; space = frame.Space(&room)) {
        Check(room > 0);
        const size_t n = std::min({room, piece, size - at});
        std::memcpy(space, data + at, n);
        at += n;
        Check(frame.Received(n) == frame.Code());
    }
    Outcome outcome;
    outcome.iCode = frame.Code();
    Check(frame.Done() == (outcome.iCode == IP_RCV_OK));
    Check(frame.Done() || !frame.Failure().empty());
    outcome.pBody = frame.TakeBody(&outcome.uiLength);
    Check((outcome.pBody != nullptr) == (outcome.iCode == IP_RCV_OK));
    return outcome;
}

void CheckReply(const char *body, size_t length) {
    int count = 0;
    if (IPGetLineNumFromData(body, &count) != 0) {
        Check(body[0] == '\0');
        return;
    }
    Check(count >= 1 && static_cast<size_t>(count) <= length + 1);
    std::vector<char *> lines(static_cast<size_t>(count), nullptr);
    int made = count;
    if (IPSplitDataByLine(body, &made, lines.data()) != 0) {
        for (char *line : lines) Check(line == nullptr);  // a failed split leaves nothing behind
        return;
    }
    Check(made == count);
    uint32_t status = 0;
    if (IPReadHex(lines[0], &status) == 0 && status != 0) {
        IPSet_ZRKerrno(static_cast<int>(status), lines.data(), made);
    }
    for (char *line : lines) std::free(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 65536) return 0;
    const Outcome whole = Frame(data, size, size + 1);
    const Outcome bytewise = Frame(data, size, 1);
    Check(whole.iCode == bytewise.iCode && whole.uiLength == bytewise.uiLength);
    Check(whole.pBody == nullptr ||
          std::memcmp(whole.pBody, bytewise.pBody, whole.uiLength + 1) == 0);
    std::free(bytewise.pBody);
    if (whole.iCode != IP_RCV_OK) {
        Check(whole.iCode == IP_RCV_BAD_COUNT || whole.iCode == IP_RCV_SHORT);
        return 0;
    }
    // The body is what followed the first TAB, byte for byte, without a NUL.
    const char *body = whole.pBody;
    const size_t length = whole.uiLength;
    Check(length >= 1 && length <= zrkip::kReplyMax && body[length] == '\0');
    Check(std::memchr(body, '\0', length) == nullptr);
    const auto *tab = static_cast<const uint8_t *>(std::memchr(data, '\t', size));
    Check(tab != nullptr);
    const size_t at = static_cast<size_t>(tab - data) + 1;
    Check(at <= 11 && at + length <= size);
    Check(std::memcmp(body, data + at, length) == 0);
    CheckReply(body, length);
    std::free(whole.pBody);
    return 0;
}
