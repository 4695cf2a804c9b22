// The lists the LAN road writes into a caller's area, with the maxima the
// array reports varied: the room of a list (the array's maximum against the
// caller's room, a maximum above 16 bits refused), then a "show
// copy-sessions" or "show tfo-pair" reply parsed into that room and written
// as detail-list entries into the caller's area, a heap block of exactly its
// room followed by guard bytes.
//
// Input: bytes 0-3 the array's maximum (big-endian, 32 bits), byte 4 the
// caller's room (0 to 255 entries), byte 5 the form (even: copy sessions,
// odd: failover pairs), the rest the reply text as the link hands it over
// (up to the first NUL).
#include "../ip/ipdetail.h"
#include "../ip/ipframe.h"
#include "../ip/ipshow.h"
#include "../ip/ipshow_failover.h"
#include "fuzz_area.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kHead = 6;

void Check(bool ok) {
    if (!ok) std::abort();
}

void CopySessions(const std::string &text, size_t room, zrkfuzz::Area &area) {
    std::vector<CliCopySession> rows(room > 0 ? room : 1);
    int count = -1;
    if (zrkip::ParseCopySessionsText(text.c_str(), IP_SESSIONS_ALL, nullptr, 0, &count, rows.data(),
                                     room) != 0)
        return;
    Check(count >= 0 && static_cast<size_t>(count) <= room);
    IPConvCopySes2DetailList(rows.data(), count, area.As<DETAIL_LIST_INFO>());
}

void FailoverPairs(const std::string &text, size_t room, zrkfuzz::Area &area) {
    CliTfoPair *tree = nullptr;
    if (zrkip::ParseTfoPairText(text.c_str(), &tree) != 0 || tree == nullptr) {
        if (tree != nullptr) freeCliTfoPair(&tree);
        return;
    }
    int count = -1;
    const int rc = zrkip::TfoDetailList(tree, &count, area.As<DETAIL_LIST_INFO>(), room);
    freeCliTfoPair(&tree);
    if (rc != 0) {
        Check(rc == -1 && ZRKerrno == ZRK_ERR_REPLY_INCOMPLETE);
        area.CheckUnwritten(0);
        return;
    }
    Check(count >= 0 && static_cast<size_t>(count) <= room);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < kHead || size > 65536) return 0;
    const uint32_t maximum = uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 |
                             uint32_t{data[2]} << 8 | data[3];
    const size_t callerRoom = data[4];
    const bool failover = (data[5] & 1) != 0;
    const std::string text(reinterpret_cast<const char *>(data + kHead), size - kHead);

    size_t room = 0;
    ZRKerrno = 0;
    if (zrkip::ListRoom("fuzz", "MaxSession", maximum, callerRoom, &room) != 0) {
        Check(maximum > zrkip::kCarriedMaximum && ZRKerrno == ZRK_ERR_REPLY_INCOMPLETE);
        return 0;
    }
    Check(maximum <= zrkip::kCarriedMaximum && room <= callerRoom && room <= maximum);

    zrkfuzz::Area area(callerRoom * sizeof(DETAIL_LIST_INFO));
    if (failover) {
        FailoverPairs(text.c_str(), room, area);
    } else {
        CopySessions(text.c_str(), room, area);
    }
    area.CheckUnwritten(callerRoom * sizeof(DETAIL_LIST_INFO));
    return 0;
}
