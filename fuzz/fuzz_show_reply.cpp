// Arbitrary show replies through the show parsers: the reply scanner's head
// and column kinds, and "show copy-sessions" in each of its placements.
//
// Input: byte 0 picks the placement (0 by order, 1 by order, 2 by list
// position); byte 1 gives the number of listed sessions (0 to 7) and the
// room (8 to 15 records); the next 4 bytes a list of session identifiers
// (each byte one identifier); the rest is the reply text as the link hands
// it over (up to the first NUL).
#include "../ip/ipshow.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check_copy_sessions(const std::string &text, int option, const std::vector<int> &list,
                         size_t room) {
    // A guard record after the room catches a write beyond it.
    std::vector<CliCopySession> rows(room + 1);
    std::memset(rows.data(), 0xA5, rows.size() * sizeof(CliCopySession));
    CliCopySession guard;
    std::memset(&guard, 0xA5, sizeof guard);
    int count = -1;
    const int rc = zrkshow::ParseCopySessionsText(text.c_str(), option, list.data(), list.size(),
                                                  &count, rows.data(), room);
    if (std::memcmp(&rows[room], &guard, sizeof guard) != 0) abort();
    if (count < 0) abort();
    if (rc == 0) {
        if (option == IP_SESSIONS_IDS && static_cast<size_t>(count) != list.size()) abort();
        if (option != IP_SESSIONS_IDS && static_cast<size_t>(count) > room) abort();
    } else if (ZRKerrno == 0) {
        abort();
    }
}

void check_columns(const std::string &text) {
    zrkshow::ColumnScanner scan(text.c_str());
    std::string_view column;
    while (scan.Next(&column)) {
        uint32_t high = 0;
        uint32_t low = 0;
        if (zrkshow::ReadHex64(column, &high, &low) == 0 && column.size() > 16) abort();
        uint8_t time[8];
        zrkshow::PackDateTime(column, time);
        uint8_t name[16];
        zrkshow::CopyText(column, name, sizeof name);
    }
}

// The other show parsers take their reply here, one call each.
void check_other_parsers(const std::string &text) { (void)text; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 6 || size > 65536) return 0;
    const int option = data[0] % 3;
    const size_t listCount = (data[1] & 0x07) % 5;
    const size_t room = 8 + ((data[1] >> 3) & 0x07);
    std::vector<int> list;
    for (size_t i = 0; i < listCount; ++i) list.push_back(data[2 + i]);
    const std::string text(reinterpret_cast<const char *>(data + 6),
                           strnlen(reinterpret_cast<const char *>(data + 6), size - 6));
    if (option == IP_SESSIONS_IDS && list.empty()) list.push_back(data[2]);
    check_copy_sessions(text, option, list, room);
    check_columns(text);
    check_other_parsers(text);
    return 0;
}
