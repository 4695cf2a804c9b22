// Arbitrary replies to "show rvz-path" through the path parser.
//
// Input: byte 0 gives the room of the BoxID array (0 to 15 entries); the
// rest is the reply text as the link hands it over (up to the first NUL).
// The output is followed by guard bytes: a write past the room, a count
// beyond it, or a failure that touched the output aborts.
#include "../ip/ipshow_rvzpath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kGuard = 64;
constexpr unsigned char kFill = 0xA5;
constexpr int kUnset = -12345;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const size_t room = data[0] % 16;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    const size_t bytes = room * ZRK_BOXID_LEN;
    std::vector<unsigned char> area(bytes + kGuard, kFill);
    int count = kUnset;
    ZRKerrno = 0;
    const int rc = zrkip::ParseRvzPathText(text.c_str(), &count,
                                           reinterpret_cast<char *>(area.data()), room);
    for (size_t i = bytes; i < area.size(); ++i) {
        if (area[i] != kFill) abort();
    }
    if (rc == 0) {
        if (count < 0 || static_cast<size_t>(count) > room) abort();
        // Entries past the count stay as they were.
        for (size_t i = static_cast<size_t>(count) * ZRK_BOXID_LEN; i < bytes; ++i) {
            if (area[i] != kFill) abort();
        }
        return 0;
    }
    if (rc != -1 || ZRKerrno == 0 || count != kUnset) abort();
    for (size_t i = 0; i < bytes; ++i) {
        if (area[i] != kFill) abort();
    }
    return 0;
}
