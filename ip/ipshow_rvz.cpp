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

using zrkplatform::FailWith;
using zrkplatform::TraceEnd;
using zrkplatform::TraceText;

namespace {

using zrkip::AddressCache;
using zrkip::Hex32;
using zrkip::Reply;
using zrkip::Safe;
using zrkip::TraceColumn;
using zrkip::TraceWord;

AddressCache<CliRvzBufferList> listCache;

// How one column of a line fills its field.
// Count is a hex number that must fit in 32 bits (900 otherwise).
enum class Kind { Skip, Hex8, Hex32, Count, Hex64, Text };
struct Field {
    Kind kind;
    void *at;      // Hex8/Hex32/Text: the field; Hex64: the high half
    void *low;     // Hex64: the low half
    size_t width;  // Text: bytes of the field
};

// Scans one line into fields[0..count-1]; further columns are traced as
// "default", a Skip column is counted without a trace line. Fewer than
// minColumns: the "Err" line and 902.
int ScanLine(const char *name, const char *line, const Field *fields, size_t count,
             size_t minColumns) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    zrkip::ColumnScanner scan(line);
    std::string_view column;
    while (scan.Next(&column)) {
        const size_t index = scan.Count() - 1;
        if (index >= count) {
            TraceWord(name, index, "default");
            continue;
        }
        const Field &f = fields[index];
        uint32_t value = 0;
        switch (f.kind) {
        case Kind::Skip:
            continue;
        case Kind::Hex8:
            if (Hex32(column, &value) != 0) return -1;
            *static_cast<uint8_t *>(f.at) = static_cast<uint8_t>(value);
            break;
        case Kind::Hex32:
            if (Hex32(column, static_cast<uint32_t *>(f.at)) != 0) return -1;
            break;
        case Kind::Count: {
            uint64_t wide = 0;
            if (zrkip::ReadHex(column, &wide) != 0) return -1;
            if (wide > UINT32_MAX) return FailWith(ZRK_ERR_REPLY_NUMBER);
            *static_cast<uint32_t *>(f.at) = static_cast<uint32_t>(wide);
            break;
        }
        case Kind::Hex64:
            if (zrkip::ReadHex64(column, static_cast<uint32_t *>(f.at),
                                   static_cast<uint32_t *>(f.low)) != 0) {
                return -1;
            }
            break;
        case Kind::Text:
            zrkip::CopyText(column, static_cast<uint8_t *>(f.at), f.width);
            break;
        }
        TraceColumn(name, index, column);
    }
    if (scan.Count() < minColumns) {
        TraceWord(name, scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

Field H32(uint32_t *at) { return {Kind::Hex32, at, nullptr, 4}; }
Field H64(uint32_t *high, uint32_t *low) { return {Kind::Hex64, high, low, 8}; }

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
    return Hex32(line, value);
}

// Hands the head and rowCount rows of a list to the caller.
void GiveList(const CliRvzBufferList &from, CliRvzBufferList *to) {
    to->uiMaxBuffCnt = from.uiMaxBuffCnt;
    to->uiRowCnt = from.uiRowCnt;
    std::memcpy(to->rows, from.rows, from.uiRowCnt * sizeof from.rows[0]);
}

// One disk-buffer entry from line *next on; *next moves past it.
int ScanDiskEntry(const char *name, const Reply &reply, size_t *next,
                  CliRvzDiskBufferEntry *entry) {
    const Field head[] = {H32(&entry->uiGroupNum), H32(&entry->uiStatus)};
    if (ScanLine(name, reply.Line(*next), head, 2, 2) != 0) return -1;
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

    const Field detail[] = {
        H32(&entry->uiDetail0),
        H32(&entry->uiElapsTime),
        H64(&entry->uiDskBuffSize_high, &entry->uiDskBuffSize_low),
        H64(&entry->uiDskBuffStrgSize_high, &entry->uiDskBuffStrgSize_low),
        H64(&entry->uiDskBuffFreeSize_high, &entry->uiDskBuffFreeSize_low),
    };
    if (ScanLine(name, reply.Line(*next), detail, 5, 5) != 0) return -1;
    ++*next;

    if (ReadCount(reply.Line(*next), IP_RVZ_DISK_MODULES, &entry->uiCmCnt) != 0) return -1;
    ++*next;
    if (reply.LinesFrom(*next) < entry->uiCmCnt) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    for (uint32_t m = 0; m < entry->uiCmCnt; ++m, ++*next) {
        CliRvzDiskCm &cm = entry->cms[m];
        const Field row[] = {
            H32(&cm.uiCmID),
            H64(&cm.uiDskBuffSize_high, &cm.uiDskBuffSize_low),
            H64(&cm.uiDskBuffStrgSize_high, &cm.uiDskBuffStrgSize_low),
            H64(&cm.uiDskBuffFreeSize_high, &cm.uiDskBuffFreeSize_low),
        };
        if (ScanLine(name, reply.Line(*next), row, 4, 4) != 0) return -1;
    }
    return 0;
}

// "show rvz-buffer" into a cleared *local: the head and at most rows rows.
int ParseRvzBuffer(const char *name, const Reply &reply, size_t rows, CliRvzBufferList *local) {
    if (reply.CheckHead() != 0) return -1;
    *local = CliRvzBufferList{};
    const Field head[] = {H32(&local->uiMaxBuffCnt), {Kind::Count, &local->uiRowCnt, nullptr, 4}};
    if (ScanLine(name, reply.Line(2), head, 2, 2) != 0) return -1;
    // Rows beyond the room or the lines present: refused before any is read.
    if (local->uiRowCnt > rows || reply.LinesFrom(3) < local->uiRowCnt) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    for (uint32_t i = 0; i < local->uiRowCnt; ++i) {
        CliRvzBufferRow &row = local->rows[i];
        const Field fields[] = {
            H32(&row.uiGroupNum),
            {Kind::Hex8, &row.ucStatus, nullptr, 1},
            {Kind::Hex8, &row.ucColumn2, nullptr, 1},
            H32(&row.uiColumn3),
            H32(&row.uiUse),
            H32(&row.uiInterval),
            H32(&row.uiWatchTime),
            {Kind::Skip, nullptr, nullptr, 0},
            H32(&row.uiSize),
            {Kind::Text, row.caRemoteBoxID, nullptr, sizeof row.caRemoteBoxID},
        };
        if (ScanLine(name, reply.Line(3 + i), fields, std::size(fields), 9) != 0) return -1;
    }
    return 0;
}

// "show rvz-buffer-usage" into a cleared *local.
int ParseRvzBufferUsage(const char *name, const Reply &reply, CliRvzBufferUsage *local) {
    if (reply.CheckHead() != 0) return -1;
    *local = CliRvzBufferUsage{};
    const Field totals[] = {H32(&local->uiTotalSize), H32(&local->uiTotalUseSize),
                            H32(&local->uiTotalSpaceSize)};
    if (ScanLine(name, reply.Line(2), totals, 3, 3) != 0) return -1;
    if (ReadCount(reply.Line(3), IP_RVZ_USAGE_ROWS, &local->uiCmCnt) != 0) return -1;
    // The rows and the closing session count line.
    if (reply.LinesFrom(4) < static_cast<size_t>(local->uiCmCnt) + 1) {
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    for (uint32_t j = 0; j < local->uiCmCnt; ++j) {
        CliRvzCmUsage &row = local->rows[j];
        const Field fields[] = {H32(&row.uiCmID), H32(&row.uiBuffSize), H32(&row.uiBuffUseSize),
                                H32(&row.uiBuffFreeSize)};
        if (ScanLine(name, reply.Line(4 + j), fields, 4, 4) != 0) return -1;
    }
    return ReadCount(reply.Line(4 + local->uiCmCnt), UINT32_MAX, &local->uiSessCnt);
}

// "show rvz-disk-buffer" into a cleared *local.
int ParseRvzDiskBuffer(const char *name, const Reply &reply, CliRvzDiskBuffer *local) {
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
        if (ScanDiskEntry(name, reply, &next, &local->entries[k]) != 0) return -1;
    }
    return 0;
}

constexpr char kBufferName[] = "ShowRvzBuffer";
constexpr char kUsageName[] = "ShowRvzBuffUsage";
constexpr char kDiskName[] = "ShowRvzDiskBuffer";

size_t ListRows(size_t room) { return room < IP_RVZ_LIST_ROWS ? room : IP_RVZ_LIST_ROWS; }

}  // namespace

namespace zrkip {

int ParseRvzBufferText(const char *text, CliRvzBufferList *list, size_t room) {
    if (list == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    CliRvzBufferList local{};
    if (SplitAndParse(text, [&](const Reply &r) {
            return ParseRvzBuffer(kBufferName, r, ListRows(room), &local);
        }) != 0) {
        return -1;
    }
    GiveList(local, list);
    return 0;
}

int ParseRvzBufferUsageText(const char *text, CliRvzBufferUsage *usage, size_t room) {
    if (usage == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    CliRvzBufferUsage local{};
    if (SplitAndParse(text, [&](const Reply &r) { return ParseRvzBufferUsage(kUsageName, r, &local); }) !=
        0) {
        return -1;
    }
    *usage = local;
    return 0;
}

int ParseRvzDiskBufferText(const char *text, CliRvzDiskBuffer *disk, size_t room) {
    if (disk == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    CliRvzDiskBuffer local{};
    if (SplitAndParse(text, [&](const Reply &r) { return ParseRvzDiskBuffer(kDiskName, r, &local); }) !=
        0) {
        return -1;
    }
    *disk = local;
    return 0;
}

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
                               return ParseRvzBuffer(name, r, rows, into);
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
    CliRvzBufferUsage local{};
    if (zrkip::RunAndParse(ip, user, command, [&](const Reply &r) {
            return ParseRvzBufferUsage(name, r, &local);
        }) != 0) {
        return TraceEnd(1, name, -1);
    }
    *usage = local;
    return TraceEnd(1, name, 0);
}

extern "C" int ShowRvzDiskBuffer(const char *ip, const char *user, CliRvzDiskBuffer *disk,
                                 size_t room) {
    const char *const name = kDiskName;
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "IPaddress=[%s]", Safe(ip));
    if (disk == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    CliRvzDiskBuffer local{};
    if (zrkip::RunAndParse(ip, user, "show rvz-disk-buffer", [&](const Reply &r) {
            return ParseRvzDiskBuffer(name, r, &local);
        }) != 0) {
        return TraceEnd(1, name, -1);
    }
    *disk = local;
    return TraceEnd(1, name, 0);
}
