// Arbitrary replies to "show rvz-path" through the path parser.
//
// Input: byte 0 gives the room of the BoxID array (0 to 15 entries); the
// rest is the reply text as the link hands it over (up to the first NUL).
// The output is followed by guard bytes: a write past the room, a count
// beyond it, or a failure that touched the output aborts.
#include "../ip/ipshow_rvzpath.h"
#include "fuzz_area.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kUnset = -12345;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const size_t room = data[0] % 16;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    zrkfuzz::Area area(room * ZRK_BOXID_LEN);
    int count = kUnset;
    ZRKerrno = 0;
    const int rc = zrkip::ParseRvzPathText(text.c_str(), &count, area.As<char>(), room);
    area.Check(rc);
    if (rc == 0) {
        if (count < 0 || static_cast<size_t>(count) > room) abort();
        // Entries past the count stay as they were.
        area.CheckUnwritten(static_cast<size_t>(count) * ZRK_BOXID_LEN);
    } else if (count != kUnset) {
        abort();
    }
    return 0;
}
