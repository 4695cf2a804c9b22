// The array's RVZ buffers: the list ("show rvz-buffer", remembered per array
// address), the usage of one buffer per controller module
// ("show rvz-buffer-usage") and the disk buffers ("show rvz-disk-buffer").
//
// Every count a reply announces is checked against the record's room and the
// lines present before a row is read; the rows are parsed into a local record
// and handed over only when the whole reply has been read.
#include "ipshow_array.h"

#include "ipshow.h"
#include "platform.h"

#include <cstdio>
#include <cstring>
#include <iterator>

using namespace zrkip;

namespace {

AddressCache<CliRvzBufferList> listCache;

constexpr char kBufferName[] = "ShowRvzBuffer";
constexpr char kUsageName[] = "ShowRvzBuffUsage";
constexpr char kDiskName[] = "ShowRvzDiskBuffer";

// The record lines of the three replies. Each fills its part of a record
// that the parser has cleared, so the tables clear nothing.
template <size_t N>
constexpr Table LineTable(const char *name, const Column (&columns)[N], size_t minColumns) {
    return Table{name, columns, N, 0, minColumns, nullptr, nullptr, true};
}

using L = CliRvzBufferList;
const Column kListHead[] = {ZRK_SHOW_HEX32(L, uiMaxBuffCnt), ZRK_SHOW_COUNT32(L, uiRowCnt)};
using B = CliRvzBufferRow;
const Column kListRow[] = {
    ZRK_SHOW_HEX32(B, uiGroupNum), ZRK_SHOW_HEX8(B, ucStatus),     ZRK_SHOW_HEX8(B, ucColumn2),
    ZRK_SHOW_HEX32(B, uiColumn3),  ZRK_SHOW_HEX32(B, uiUse),       ZRK_SHOW_HEX32(B, uiInterval),
    ZRK_SHOW_HEX32(B, uiWatchTime), ZRK_SHOW_SILENT(),             ZRK_SHOW_HEX32(B, uiSize),
    ZRK_SHOW_TEXT(B, caRemoteBoxID),
};
using U = CliRvzBufferUsage;
const Column kUsageTotals[] = {ZRK_SHOW_HEX32(U, uiTotalSize), ZRK_SHOW_HEX32(U, uiTotalUseSize),
                               ZRK_SHOW_HEX32(U, uiTotalSpaceSize)};
using M = CliRvzCmUsage;
const Column kUsageRow[] = {ZRK_SHOW_HEX32(M, uiCmID), ZRK_SHOW_HEX32(M, uiBuffSize),
                            ZRK_SHOW_HEX32(M, uiBuffUseSize), ZRK_SHOW_HEX32(M, uiBuffFreeSize)};
using E = CliRvzDiskBufferEntry;
const Column kDiskHead[] = {ZRK_SHOW_HEX32(E, uiGroupNum), ZRK_SHOW_HEX32(E, uiStatus)};
const Column kDiskDetail[] = {
    ZRK_SHOW_HEX32(E, uiDetail0),
    ZRK_SHOW_HEX32(E, uiElapsTime),
    ZRK_SHOW_HEX64(E, uiDskBuffSize_high, uiDskBuffSize_low),
    ZRK_SHOW_HEX64(E, uiDskBuffStrgSize_high, uiDskBuffStrgSize_low),
    ZRK_SHOW_HEX64(E, uiDskBuffFreeSize_high, uiDskBuffFreeSize_low),
};
using C = CliRvzDiskCm;
const Column kDiskModule[] = {
    ZRK_SHOW_HEX32(C, uiCmID),
    ZRK_SHOW_HEX64(C, uiDskBuffSize_high, uiDskBuffSize_low),
    ZRK_SHOW_HEX64(C, uiDskBuffStrgSize_high, uiDskBuffStrgSize_low),
    ZRK_SHOW_HEX64(C, uiDskBuffFreeSize_high, uiDskBuffFreeSize_low),
};

const Table kListHeadTable = LineTable(kBufferName, kListHead, 2);
const Table kListRowTable = LineTable(kBufferName, kListRow, 9);
const Table kUsageTotalsTable = LineTable(kUsageName, kUsageTotals, 3);
const Table kUsageRowTable = LineTable(kUsageName, kUsageRow, 4);
const Table kDiskHeadTable = LineTable(kDiskName, kDiskHead, 2);
const Table kDiskDetailTable = LineTable(kDiskName, kDiskDetail, 5);
const Table kDiskModuleTable = LineTable(kDiskName, kDiskModule, 4);

// A count line (or a count column): 900 beyond 32 bits, 902 above the room.
int ReadCount(const char *line, size_t room, uint32_t *count) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (zrkip::ReadHex32Line(line, count) != 0) return -1;
    if (*count > room) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    return 0;
}

// A line that is one plain number, cut to 32 bits.
int ReadValue(const char *line, uint32_t *value) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint64_t wide = 0;
    if (zrkip::ReadHex(line, &wide) != 0) return -1;
    *value = static_cast<uint32_t>(wide);
    return 0;
}

// Hands the head and rowCount rows of a list to the caller.
void GiveList(const CliRvzBufferList &from, CliRvzBufferList *to) {
    to->uiMaxBuffCnt = from.uiMaxBuffCnt;
    to->uiRowCnt = from.uiRowCnt;
    std::memcpy(to->rows, from.rows, from.uiRowCnt * sizeof from.rows[0]);
}

// One disk-buffer entry from line *next on; *next moves past it.
int ScanDiskEntry(const Reply &reply, size_t *next, CliRvzDiskBufferEntry *entry) {
    if (ScanRecord(kDiskHeadTable, reply.Line(*next), entry) != 0) return -1;
    ++*next;

    if (ReadCount(reply.Line(*next), IP_RVZ_DISK_RLUS, &entry->uiRluCnt) != 0) return -1;
    ++*next;
    // The values, the detail line and the module count line must follow.
    if (reply.LinesFrom(*next) < static_cast<size_t>(entry->uiRluCnt) + 2) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    for (uint32_t v = 0; v < entry->uiRluCnt; ++v, ++*next) {
        if (ReadValue(reply.Line(*next), &entry->uiaRlun[v]) != 0) return -1;
    }

    if (ScanRecord(kDiskDetailTable, reply.Line(*next), entry) != 0) return -1;
    ++*next;

    if (ReadCount(reply.Line(*next), IP_RVZ_DISK_MODULES, &entry->uiCmCnt) != 0) return -1;
    ++*next;
    if (reply.LinesFrom(*next) < entry->uiCmCnt) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    for (uint32_t m = 0; m < entry->uiCmCnt; ++m, ++*next) {
        if (ScanRecord(kDiskModuleTable, reply.Line(*next), &entry->cms[m]) != 0) return -1;
    }
    return 0;
}

// "show rvz-buffer" into a cleared *local: the head and at most rows rows.
int ParseRvzBuffer(const Reply &reply, size_t rows, CliRvzBufferList *local) {
    if (reply.CheckHead() != 0) return -1;
    *local = CliRvzBufferList{};
    if (ScanRecord(kListHeadTable, reply.Line(2), local) != 0) return -1;
    // Rows beyond the room or the lines present: refused before any is read.
    if (local->uiRowCnt > rows || reply.LinesFrom(3) < local->uiRowCnt) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    for (uint32_t i = 0; i < local->uiRowCnt; ++i) {
        if (ScanRecord(kListRowTable, reply.Line(3 + i), &local->rows[i]) != 0) return -1;
    }
    return 0;
}

// "show rvz-buffer-usage" into a cleared *local.
int ParseRvzBufferUsage(const Reply &reply, CliRvzBufferUsage *local) {
    if (reply.CheckHead() != 0) return -1;
    *local = CliRvzBufferUsage{};
    if (ScanRecord(kUsageTotalsTable, reply.Line(2), local) != 0) return -1;
    if (ReadCount(reply.Line(3), IP_RVZ_USAGE_ROWS, &local->uiCmCnt) != 0) return -1;
    // The rows and the closing session count line.
    if (reply.LinesFrom(4) < static_cast<size_t>(local->uiCmCnt) + 1) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    for (uint32_t j = 0; j < local->uiCmCnt; ++j) {
        if (ScanRecord(kUsageRowTable, reply.Line(4 + j), &local->rows[j]) != 0) return -1;
    }
    return ReadCount(reply.Line(4 + local->uiCmCnt), UINT32_MAX, &local->uiSessCnt);
}

// "show rvz-disk-buffer" into a cleared *local.
int ParseRvzDiskBuffer(const Reply &reply, CliRvzDiskBuffer *local) {
    if (reply.CheckHead() != 0) return -1;
    *local = CliRvzDiskBuffer{};
    if (ReadValue(reply.Line(2), &local->uiFirstValue) != 0 ||
        ReadCount(reply.Line(3), IP_RVZ_DISK_ENTRIES, &local->uiEntryCnt) != 0) {
        return -1;
    }
    // Each entry takes at least four lines: entry, value count, detail and
    // module count.
    if (reply.LinesFrom(4) < static_cast<size_t>(local->uiEntryCnt) * 4) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    size_t next = 4;
    for (uint32_t k = 0; k < local->uiEntryCnt; ++k) {
        if (ScanDiskEntry(reply, &next, &local->entries[k]) != 0) return -1;
    }
    return 0;
}

size_t ListRows(size_t room) { return room < IP_RVZ_LIST_ROWS ? room : IP_RVZ_LIST_ROWS; }

}  // namespace

namespace zrkip {

int ParseRvzBufferText(const char *text, CliRvzBufferList *list, size_t room) {
    if (list == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    CliRvzBufferList local{};
    if (SplitAndParse(text, [&](const Reply &r) {
            return ParseRvzBuffer(r, ListRows(room), &local);
        }) != 0) {
        return -1;
    }
    GiveList(local, list);
    return 0;
}

int ParseRvzBufferUsageText(const char *text, CliRvzBufferUsage *usage, size_t room) {
    if (usage == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    return ParseTextInto(text, usage, CliRvzBufferUsage{}, ParseRvzBufferUsage);
}

int ParseRvzDiskBufferText(const char *text, CliRvzDiskBuffer *disk, size_t room) {
    if (disk == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    return ParseTextInto(text, disk, CliRvzDiskBuffer{}, ParseRvzDiskBuffer);
}

void ForgetRvzBufferList(const char *ip) { listCache.Forget(ip); }

}  // namespace zrkip

extern "C" int ShowRvzBuffer(const char *ip, const char *user, CliRvzBufferList *list,
                             size_t room) {
    const char *const name = kBufferName;
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s] ", Safe(ip));
    if (list == nullptr) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    const size_t rows = ListRows(room);
    CliRvzBufferList local{};
    if (zrkip::CachedQuery(listCache, ip, user, "show rvz-buffer ", &local,
                           [&](const Reply &r, CliRvzBufferList *into) {
                               return ParseRvzBuffer(r, rows, into);
                           }) != 0) {
        return TraceEnd(1, name, -1);
    }
    // A remembered list may hold more rows than this caller's list.
    if (local.uiRowCnt > rows) return TraceEnd(1, name, FailWith(ZRK_ERR_REPLY_INCOMPLETE));
    GiveList(local, list);
    return TraceEnd(1, name, 0);
}

extern "C" int ShowRvzBufferUsage(const char *ip, const char *user, int groupNum, int option,
                                  CliRvzBufferUsage *usage, size_t room) {
    const char *const name = kUsageName;
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "IPaddress=[%s], GroupNum=[%d], Option=[%d]", Safe(ip), groupNum,
              option);
    if (usage == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    char command[64];
    std::snprintf(command, sizeof command, "show rvz-buffer-usage -partition %d", groupNum);
    return TraceEnd(1, name,
                    zrkip::QueryInto(ip, user, command, usage, CliRvzBufferUsage{},
                                     ParseRvzBufferUsage));
}

extern "C" int ShowRvzDiskBuffer(const char *ip, const char *user, CliRvzDiskBuffer *disk,
                                 size_t room) {
    const char *const name = kDiskName;
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "IPaddress=[%s]", Safe(ip));
    if (disk == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    return TraceEnd(1, name,
                    zrkip::QueryInto(ip, user, "show rvz-disk-buffer", disk, CliRvzDiskBuffer{},
                                     ParseRvzDiskBuffer));
}
