// "show rvz-path": the remote BoxID of each of the array's RVZ copy paths.
//
// The row count stands on line 3 (line 2 is not read). The rows are read
// into a local list and handed over only when the whole reply has been read.
#include "ipshow_rvzpath.h"

#include "ipshow.h"
#include "platform.h"

#include <cstring>
#include <vector>

using namespace zrkip;

namespace {

constexpr char kName[] = "ShowRvzPath";
constexpr size_t kCountLine = 3;  // the row count
constexpr size_t kFirstRow = 4;   // the first path row

// One path row: the BoxID; every further column is traced as "default".
struct PathRow {
    uint8_t ucaBoxID[ZRK_BOXID_LEN];
};
const Column kRow[] = {ZRK_SHOW_TEXT(PathRow, ucaBoxID)};
const Table kRowTable = {kName, kRow, 1, sizeof(PathRow), IP_RVZ_PATH_MIN_COLUMNS, nullptr,
                         nullptr, true};

// The reply into *rows, at most room of them.
int ParsePaths(const Reply &reply, size_t room, std::vector<PathRow> *rows) {
    if (reply.CheckHead() != 0) return -1;
    const char *countLine = reply.Line(kCountLine);
    if (countLine == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t count = 0;
    if (ReadHex32Line(countLine, &count) != 0) return -1;
    // More rows than the caller keeps, or than the reply carries.
    if (count > room || reply.LinesFrom(kFirstRow) < count) {
        TraceText(1, "ERR", kName, " rows=%u room=%zu lines=%zu ", count, room, reply.Count());
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    rows->resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (ScanRecord(kRowTable, reply.Line(kFirstRow + i), &(*rows)[i]) != 0) return -1;
    }
    return 0;
}

void GivePaths(const std::vector<PathRow> &rows, int *count, char *boxIds) {
    for (size_t i = 0; i < rows.size(); ++i) {
        std::memcpy(boxIds + i * ZRK_BOXID_LEN, rows[i].ucaBoxID, ZRK_BOXID_LEN);
    }
    *count = static_cast<int>(rows.size());
}

// The rows a caller may keep: at most IP_RVZ_PATH_ROOM, the most that the
// remote BoxID list's one-byte count carries.
size_t Room(size_t room) { return room < IP_RVZ_PATH_ROOM ? room : IP_RVZ_PATH_ROOM; }

}  // namespace

namespace zrkip {

int ParseRvzPathText(const char *text, int *count, char *boxIds, size_t room) {
    if (count == nullptr || boxIds == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    std::vector<PathRow> rows;
    if (SplitAndParse(text, [&](const Reply &r) { return ParsePaths(r, Room(room), &rows); }) !=
        0) {
        return -1;
    }
    GivePaths(rows, count, boxIds);
    return 0;
}

}  // namespace zrkip

extern "C" int ShowRvzPath(const char *ip, const char *user, int *count, char *boxIds,
                           size_t room) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s]", Safe(ip));
    if (count == nullptr || boxIds == nullptr) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    try {
        std::vector<PathRow> rows;
        if (RunAndParse(ip, user, "show rvz-path",
                        [&](const Reply &r) { return ParsePaths(r, Room(room), &rows); }) != 0) {
            return TraceEnd(1, kName, -1);
        }
        GivePaths(rows, count, boxIds);
        return TraceEnd(1, kName, 0);
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
    }
}
