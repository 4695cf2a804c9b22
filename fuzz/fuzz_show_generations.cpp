// Arbitrary replies through the SnapKZP+ generation and restore-size
// parsers: the generation groups with their identifier lines, and the
// restore-size rows with the caller's room.
//
// Input: byte 0 gives the restore-size room (modulo 4 rows); the rest is the
// reply text as the link hands it over (up to the first NUL). Both parsers
// read the same text.
#include "../ip/ipshow_generations.h"
#include "fuzz_area.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using zrkfuzz::Area;

void check_restore_sizes(const std::string &text, size_t room) {
    // The rows' area: a failing parse must leave it whole, and the count 0.
    Area area(room * sizeof(CliSnapKzpRestoreSize));
    int count = -1;
    ZRKerrno = 0;
    const int rc =
        zrkip::ParseSnapKzpRestoreSizeText(text.c_str(), &count, area.As<CliSnapKzpRestoreSize>(), room);
    area.Check(rc);
    if (rc == 0) {
        if (count < 0 || static_cast<size_t>(count) > room) abort();
    } else if (count != 0) {
        abort();
    }
}

// On success every group and every identifier is read (a short array shows),
// then released; on failure nothing is handed out and the count is 0.
void check_generations(const std::string &text) {
    CliSnapKzpGen *const unset = reinterpret_cast<CliSnapKzpGen *>(alignof(CliSnapKzpGen) * 16);
    CliSnapKzpGen *groups = unset;
    int count = -1;
    ZRKerrno = 0;
    const int rc = zrkip::ParseSnapKzpGenText(text.c_str(), &count, &groups);
    if (rc != 0) {
        if (rc != -1 || ZRKerrno == 0 || groups != unset || count != 0) abort();
        return;
    }
    if (count < 0) abort();
    if (count == 0) {
        if (groups != nullptr) abort();
        return;
    }
    if (groups == nullptr || groups == unset) abort();
    uint64_t sum = 0;
    for (int g = 0; g < count; ++g) {
        const volatile CliSnapKzpGen &group = groups[g];
        sum += group.ExtAddr_low + group.ExtSize_low;
        if ((group.SesCnt == 0) != (group.SesIDs == nullptr)) abort();
        for (uint32_t k = 0; k < group.SesCnt; ++k) sum += group.SesIDs[k];
    }
    (void)sum;
    FreeSnapKzpGen(groups, count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    const size_t room = data[0] % 4;
    const std::string text(reinterpret_cast<const char *>(data + 1),
                           strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    check_restore_sizes(text, room);
    check_generations(text);
    return 0;
}
