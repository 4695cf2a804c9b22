// Arbitrary show replies through the show parsers: the reply scanner's head
// and column kinds, and "show copy-sessions" in each of its placements.
//
// Input: byte 0 picks the placement (0 by order, 1 by order, 2 by list
// position); byte 1 gives the number of listed sessions (0 to 7) and the
// room (8 to 15 records); the next 4 bytes a list of session identifiers
// (each byte one identifier); the rest is the reply text as the link hands
// it over (up to the first NUL). The other show parsers (array identity,
// copy functions, model, RVZ buffers, volumes, virtual-volume sessions,
// snap data pool and volumes) read the same text, with a room of byte 5
// modulo 10 records.
#include "../ip/ipshow.h"
#include "../ip/ipshow_array.h"
#include "../ip/ipshow_volumes.h"
#include "fuzz_area.h"

#include <cstddef>
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
    const int rc = zrkip::ParseCopySessionsText(text.c_str(), option, list.data(), list.size(),
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
    zrkip::ColumnScanner scan(text.c_str());
    std::string_view column;
    while (scan.Next(&column)) {
        uint32_t high = 0;
        uint32_t low = 0;
        if (zrkip::ReadHex64(column, &high, &low) == 0 && column.size() > 16) abort();
        uint8_t time[8];
        zrkip::PackDateTime(column, time);
        uint8_t name[16];
        zrkip::CopyText(column, name, sizeof name);
    }
}

using zrkfuzz::Area;

// The other show parsers take their reply here, one call each, with an
// output of room records (the buffer list: room rows after its head).
void check_other_parsers(const std::string &text, size_t room) {
    const char *reply = text.c_str();
    {
        Area area(room * ZRK_BOXID_LEN);
        ZRKerrno = 0;
        area.Check(zrkip::ParseBoxidText(reply, area.As<char>(), room));
    }
    {
        Area area(room * sizeof(CliCopyFunctions));
        ZRKerrno = 0;
        area.Check(zrkip::ParseCopyFunctionsText(reply, area.As<CliCopyFunctions>(), room));
    }
    {
        Area area(room * sizeof(CliModelInfo));
        ZRKerrno = 0;
        area.Check(zrkip::ParseModelInfoText(reply, area.As<CliModelInfo>(), room));
    }
    {
        // The list's caller may hold fewer than IP_RVZ_LIST_ROWS rows.
        const size_t rows = room < IP_RVZ_LIST_ROWS ? room : IP_RVZ_LIST_ROWS;
        Area area(offsetof(CliRvzBufferList, rows) + rows * sizeof(CliRvzBufferRow));
        ZRKerrno = 0;
        const int rc = zrkip::ParseRvzBufferText(reply, area.As<CliRvzBufferList>(), room);
        area.Check(rc);
        if (rc == 0 && area.As<CliRvzBufferList>()->uiRowCnt > rows) abort();
    }
    {
        Area area(room * sizeof(CliRvzBufferUsage));
        ZRKerrno = 0;
        const int rc = zrkip::ParseRvzBufferUsageText(reply, area.As<CliRvzBufferUsage>(), room);
        area.Check(rc);
        if (rc == 0 && area.As<CliRvzBufferUsage>()->uiCmCnt > IP_RVZ_USAGE_ROWS) abort();
    }
    {
        Area area(room * sizeof(CliRvzDiskBuffer));
        ZRKerrno = 0;
        const int rc = zrkip::ParseRvzDiskBufferText(reply, area.As<CliRvzDiskBuffer>(), room);
        area.Check(rc);
        if (rc == 0 && area.As<CliRvzDiskBuffer>()->uiEntryCnt > IP_RVZ_DISK_ENTRIES) abort();
    }
}

// An allocating parser: on success count rows are handed out (every byte is
// read, so a short array shows), on failure nothing and a count of 0.
template <typename T, typename Parse>
void check_allocated(const char *reply, Parse parse) {
    T *const unset = reinterpret_cast<T *>(alignof(T) * 16);
    T *rows = unset;
    int count = -1;
    ZRKerrno = 0;
    const int rc = parse(reply, &count, &rows);
    if (rc != 0) {
        if (rc != -1 || ZRKerrno == 0 || rows != unset || count != 0) abort();
        return;
    }
    if (count < 0) abort();
    if (count == 0) {
        if (rows != nullptr && rows != unset) abort();
        return;
    }
    if (rows == nullptr || rows == unset) abort();
    const auto *bytes = reinterpret_cast<const volatile unsigned char *>(rows);
    unsigned sum = 0;
    for (size_t i = 0; i < static_cast<size_t>(count) * sizeof(T); ++i) sum += bytes[i];
    (void)sum;
    std::free(rows);
}

// The volume queries, the snap data rows with room records.
void check_volume_parsers(const std::string &text, size_t room) {
    const char *reply = text.c_str();
    check_allocated<CliVolume>(reply, zrkip::ParseVolumesText);
    check_allocated<CliVvolCopySession>(reply, zrkip::ParseVvolCopySessionText);
    {
        Area area(room * sizeof(CliSnapDataPool));
        int presence = -1;
        int count = -1;
        ZRKerrno = 0;
        const int rc = zrkip::ParseSnapDataPoolText(reply, &presence, &count,
                                                      area.As<CliSnapDataPool>(), room);
        area.Check(rc);
        if (rc == 0 && (count < 0 || static_cast<size_t>(count) > room)) abort();
    }
    {
        Area area(room * sizeof(CliSnapDataVolume));
        int count = -1;
        ZRKerrno = 0;
        const int rc = zrkip::ParseSnapDataVolumeText(reply, &count,
                                                        area.As<CliSnapDataVolume>(), room);
        area.Check(rc);
        if (rc == 0 && (count < 0 || static_cast<size_t>(count) > room)) abort();
    }
}

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
    // The other parsers' room: 0 to 9 records, from the last list byte.
    check_other_parsers(text, data[5] % 10);
    check_volume_parsers(text, data[5] % 10);
    return 0;
}
