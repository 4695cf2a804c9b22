// The volumes of an array and the sessions of its virtual volumes: "show
// volumes", "show vvol-copy-session", "show snap-data-pool" and "show
// snap-data-volume".
//
// Each reply is read whole before anything reaches the caller: the rows are
// parsed into local storage and handed over (a new array, or a copy into the
// caller's rows) only when every announced row has been read. A count is
// checked against the lines present, and for the caller's rows against their
// room, before a row is parsed.
#include "ipshow_volumes.h"

#include "ipshow.h"
#include "ipshow_array.h"
#include "platform.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

using zrkplatform::FailWith;
using zrkplatform::TraceEnd;
using zrkplatform::TraceText;

namespace {

using zrkip::Reply;
using zrkip::Safe;
using zrkip::TraceColumn;
using zrkip::TraceWord;

constexpr char kVolumesName[] = "ShowVolumes";
constexpr char kVvolName[] = "ShowCopySessions";
constexpr char kPoolName[] = "ShowSnapDataPool";
constexpr char kSdvName[] = "ShowSnapDataVolume";

constexpr size_t kVolumeMinColumns = 18;
constexpr size_t kVolumeTfoColumn = 24;
constexpr uint8_t kNoTfoGroup = 255;
constexpr size_t kVvolMinColumns = 25;
constexpr size_t kPoolMinColumns = 7;
constexpr size_t kSdvMinColumns = 12;

// ---- one record line ---------------------------------------------------------------

// How one column fills a record.
enum class Op {
    Silent,      // counts, neither converted nor traced
    Word,        // counts, traced with a fixed word instead of its text
    Hex8,
    Hex32,
    Hex64,       // high half at offset, low half at offset2
    Hex64Blocks, // as Hex64, the value times 2048 (bits beyond 64 dropped)
    Text,        // width bytes, strncpy manner
    DatePart,    // width characters into the date buffer at offset
};

struct Col {
    Op op;
    size_t offset;
    size_t offset2;
    size_t width;
    const char *word;
};

#define COL_SILENT() (Col{Op::Silent, 0, 0, 0, nullptr})
#define COL_WORD(w) (Col{Op::Word, 0, 0, 0, w})
#define COL_HEX8(T, f) (Col{Op::Hex8, offsetof(T, f), 0, 1, nullptr})
#define COL_HEX32(T, f) (Col{Op::Hex32, offsetof(T, f), 0, 4, nullptr})
#define COL_HEX64(T, hi, lo) (Col{Op::Hex64, offsetof(T, hi), offsetof(T, lo), 8, nullptr})
#define COL_BLOCKS(T, hi, lo) (Col{Op::Hex64Blocks, offsetof(T, hi), offsetof(T, lo), 8, nullptr})
#define COL_TEXT(T, f) (Col{Op::Text, offsetof(T, f), 0, sizeof(T::f), nullptr})
#define COL_DATE(at, n) (Col{Op::DatePart, at, 0, n, nullptr})

// The date buffer of the virtual-volume sessions: year, month, day, hour,
// minute and second from six columns, then "00".
constexpr size_t kDateChars = 16;

void Put32(uint8_t *base, size_t offset, uint32_t value) {
    std::memcpy(base + offset, &value, sizeof value);
}

// Converts one column; 0 or -1 with 900.
int Convert(const Col &col, std::string_view text, uint8_t *base, char *date) {
    uint64_t value = 0;
    switch (col.op) {
    case Op::Silent:
    case Op::Word:
        return 0;
    case Op::Hex8:
        if (zrkip::ReadHex(text, &value) != 0) return -1;
        base[col.offset] = static_cast<uint8_t>(value);
        return 0;
    case Op::Hex32:
        if (zrkip::ReadHex(text, &value) != 0) return -1;
        Put32(base, col.offset, static_cast<uint32_t>(value));
        return 0;
    case Op::Hex64:
    case Op::Hex64Blocks: {
        uint32_t high = 0;
        uint32_t low = 0;
        if (zrkip::ReadHex64(text, &high, &low) != 0) return -1;
        if (col.op == Op::Hex64Blocks) {
            const uint64_t blocks = ((static_cast<uint64_t>(high) << 32) | low) << 11;
            high = static_cast<uint32_t>(blocks >> 32);
            low = static_cast<uint32_t>(blocks);
        }
        Put32(base, col.offset, high);
        Put32(base, col.offset2, low);
        return 0;
    }
    case Op::Text:
        zrkip::CopyText(text, base + col.offset, col.width);
        return 0;
    case Op::DatePart:
        if (date != nullptr) {
            zrkip::CopyText(text, reinterpret_cast<uint8_t *>(date) + col.offset, col.width);
        }
        return 0;
    }
    return 0;
}

// Clears record and fills it from line by cols; a column beyond the table is
// traced "default". Fewer than minColumns: the "Err" line and 902. *columns
// receives the number of columns of the line; date (when not NULL) the
// date characters.
int ScanLine(const char *name, const char *line, const Col *cols, size_t colCount,
             size_t minColumns, void *record, size_t recordSize, size_t *columns,
             char *date) {
    std::memset(record, 0, recordSize);
    *columns = 0;
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint8_t *const base = static_cast<uint8_t *>(record);
    zrkip::ColumnScanner scan(line);
    std::string_view text;
    while (scan.Next(&text)) {
        const size_t index = scan.Count() - 1;
        if (index >= colCount) {
            TraceWord(name, index, "default");
            continue;
        }
        const Col &col = cols[index];
        if (col.op == Op::Silent) continue;
        if (col.op == Op::Word) {
            TraceWord(name, index, col.word);
            continue;
        }
        if (Convert(col, text, base, date) != 0) return -1;
        TraceColumn(name, index, text);
    }
    *columns = scan.Count();
    if (scan.Count() < minColumns) {
        TraceWord(name, scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

// ---- the record tables ---------------------------------------------------------------

using V = CliVolume;
const Col kVolumeCols[] = {
    COL_HEX32(V, uiVolumeNo),                        // 0
    COL_TEXT(V, ucaVolumeName),                      // 1
    COL_HEX32(V, uiColumn2),                         // 2
    COL_HEX8(V, ucVolumeType),                       // 3
    COL_HEX8(V, ucColumn4),                          // 4
    COL_HEX32(V, uiColumn5),                         // 5
    COL_TEXT(V, ucaColumn6),                         // 6
    COL_HEX64(V, uiCapacity_high, uiCapacity_low),   // 7
    COL_HEX8(V, ucColumn8),                          // 8
    COL_HEX32(V, uiColumn9),                         // 9
    COL_WORD("TPVUsedCapa Notuse"),                  // 10
    COL_HEX32(V, uiColumn11),                        // 11
    COL_HEX8(V, ucColumn12),                         // 12
    COL_HEX8(V, ucColumn13),                         // 13
    COL_HEX32(V, uiColumn14),                        // 14
    COL_HEX32(V, uiColumn15),                        // 15
    COL_HEX8(V, ucColumn16),                         // 16
    COL_HEX8(V, ucColumn17),                         // 17
    COL_SILENT(), COL_SILENT(), COL_SILENT(),        // 18 to 20
    COL_SILENT(), COL_SILENT(), COL_SILENT(),        // 21 to 23
    COL_HEX8(V, ucTfoGroupNo),                       // 24
};
static_assert(std::size(kVolumeCols) == kVolumeTfoColumn + 1, "volume columns");

using W = CliVvolCopySession;
const Col kVvolCols[] = {
    COL_HEX32(W, uiSessionID),                              // 0
    COL_HEX8(W, ucSessionType),                             // 1
    COL_HEX8(W, ucSessionStatus),                           // 2
    COL_HEX32(W, uiSrcOLU),                                 // 3
    COL_SILENT(),                                           // 4
    COL_HEX32(W, uiDstOLU),                                 // 5
    COL_SILENT(),                                           // 6
    COL_HEX8(W, ucErrorCode),                               // 7
    COL_DATE(0, 4),                                         // 8: year
    COL_DATE(4, 2),                                         // 9: month
    COL_DATE(6, 2),                                         // 10: day
    COL_DATE(8, 2),                                         // 11: hour
    COL_DATE(10, 2),                                        // 12: minute
    COL_DATE(12, 2),                                        // 13: second
    COL_HEX32(W, uiLapseTime),                              // 14
    COL_BLOCKS(W, uiCopiedBlock_high, uiCopiedBlock_low),   // 15
    COL_BLOCKS(W, uiSize_high, uiSize_low),                 // 16
    COL_SILENT(), COL_SILENT(), COL_SILENT(),               // 17 to 19
    COL_HEX8(W, ucColumn20),                                // 20
    COL_HEX32(W, uiColumn21),                               // 21
    COL_HEX32(W, uiColumn22),                               // 22
    COL_HEX8(W, ucPhase),                                   // 23
    COL_HEX32(W, uiCopyProgress),                           // 24
};
static_assert(std::size(kVvolCols) == kVvolMinColumns, "vvol columns");

using P = CliSnapDataPool;
const Col kPoolCols[] = {
    COL_HEX32(P, SdpNo),
    COL_HEX64(P, Blk_high, Blk_low),
    COL_HEX64(P, BlkHostUse_high, BlkHostUse_low),
    COL_HEX64(P, BlkCopyUse_high, BlkCopyUse_low),
    COL_HEX64(P, BlkEnc_high, BlkEnc_low),
    COL_HEX64(P, BlkEncHostUse_high, BlkEncHostUse_low),
    COL_HEX64(P, BlkEncCopyUse_high, BlkEncCopyUse_low),
};
static_assert(std::size(kPoolCols) == kPoolMinColumns, "pool columns");

using D = CliSnapDataVolume;
const Col kSdvCols[] = {
    COL_HEX32(D, VolNo),
    COL_TEXT(D, VolName),
    COL_HEX32(D, Col2),
    COL_HEX64(D, Col3_high, Col3_low),
    COL_HEX64(D, LogicalSize_high, LogicalSize_low),
    COL_HEX64(D, PhysicalSize_high, PhysicalSize_low),
    COL_HEX64(D, SdvUsedHost_high, SdvUsedHost_low),
    COL_HEX64(D, SdvUsedCopy_high, SdvUsedCopy_low),
    COL_HEX32(D, Col8),
    COL_HEX64(D, SdpUsedHost_high, SdpUsedHost_low),
    COL_HEX64(D, SdpUsedCopy_high, SdpUsedCopy_low),
    COL_HEX32(D, SdvStatus),
};
static_assert(std::size(kSdvCols) == kSdvMinColumns, "snap data volume columns");

// ---- reply heads -----------------------------------------------------------------------

// A count line: 900 beyond 32 bits; 902 more records than lines from
// `first` on.
int ReadCount(const char *name, const Reply &reply, size_t line, size_t first,
              uint32_t *records) {
    *records = 0;
    if (reply.Line(line) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (zrkip::ReadHex32Line(reply.Line(line), records) != 0) return -1;
    if (*records > reply.LinesFrom(first)) {
        TraceText(1, "ERR", name, " record count %u, record lines %zu ", *records,
              reply.LinesFrom(first));
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

int AsInt(uint32_t value) { return value <= INT_MAX ? static_cast<int>(value) : INT_MAX; }

// ---- the four replies -------------------------------------------------------------------

int ParseVolumes(const Reply &reply, int *count, CliVolume **result) {
    *count = 0;
    uint32_t records = 0;
    if (reply.CheckHead() != 0 || ReadCount(kVolumesName, reply, 2, 3, &records) != 0) return -1;
    if (records == 0) {
        *result = nullptr;
        return 0;
    }
    zrkip::Freed<CliVolume> rows(static_cast<CliVolume *>(std::calloc(records, sizeof(CliVolume))));
    if (rows == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (uint32_t i = 0; i < records; ++i) {
        CliVolume &row = rows.get()[i];
        size_t columns = 0;
        if (ScanLine(kVolumesName, reply.Line(3 + i), kVolumeCols, std::size(kVolumeCols),
                     kVolumeMinColumns, &row, sizeof row, &columns, nullptr) != 0) {
            return -1;
        }
        if (columns <= kVolumeTfoColumn) row.ucTfoGroupNo = kNoTfoGroup;
    }
    *count = static_cast<int>(records);
    *result = rows.release();
    return 0;
}

int ParseVvol(const Reply &reply, int *count, CliVvolCopySession **result) {
    *count = 0;
    if (reply.Count() < 2 || reply.Line(1) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t status = 0;
    if (zrkip::ReadHex32Line(reply.Line(1), &status) != 0) return -1;
    if (status != 0) {
        uint32_t code = 0;
        if (reply.Line(2) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
        if (zrkip::ReadHex32Line(reply.Line(2), &code) != 0) return -1;
        reply.SetError(status);
        // No session of a virtual volume: an empty list, not a failure.
        if (code == IP_VVOL_EMPTY_CODE) return 0;
        if (ZRKerrno == 0) ZRKerrno = ZRK_ERR_REPLY;
        return -1;
    }
    uint32_t records = 0;
    if (ReadCount(kVvolName, reply, 2, 3, &records) != 0) return -1;
    if (records == 0) {
        *result = nullptr;
        return 0;
    }
    zrkip::Freed<CliVvolCopySession> rows(
        static_cast<CliVvolCopySession *>(std::calloc(records, sizeof(CliVvolCopySession))));
    if (rows == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (uint32_t i = 0; i < records; ++i) {
        CliVvolCopySession &row = rows.get()[i];
        char date[kDateChars] = {};
        date[14] = '0';
        date[15] = '0';
        size_t columns = 0;
        if (ScanLine(kVvolName, reply.Line(3 + i), kVvolCols, std::size(kVvolCols),
                     kVvolMinColumns, &row, sizeof row, &columns, date) != 0) {
            return -1;
        }
        zrkip::PackDateTime(std::string_view(date, sizeof date), row.ucaStartTime);
    }
    *count = static_cast<int>(records);
    *result = rows.release();
    return 0;
}

// The record lines from line firstLine on into the caller's rows: at most
// room of them (else 902 before anything is written), and only once every
// line has converted, so a failure leaves the caller's rows as they were.
template <typename Row, size_t N>
int StoreRows(const char *name, const Reply &reply, size_t firstLine, uint32_t records,
              const Col (&cols)[N], size_t minColumns, Row *rows, size_t room) {
    if (records > room) {
        TraceText(1, "ERR", name, " record count %u, room %zu ", records, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    std::vector<Row> local(records);
    for (uint32_t i = 0; i < records; ++i) {
        size_t columns = 0;
        if (ScanLine(name, reply.Line(firstLine + i), cols, N, minColumns, &local[i],
                     sizeof local[i], &columns, nullptr) != 0) {
            return -1;
        }
    }
    if (records != 0) std::memcpy(rows, local.data(), records * sizeof(Row));
    return 0;
}

int ParsePool(const Reply &reply, int *presence, int *count, CliSnapDataPool *rows,
              size_t room) {
    *presence = 0;
    *count = 0;
    if (reply.CheckHead() != 0) return -1;
    uint32_t present = 0;
    if (reply.Line(2) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (zrkip::ReadHex32Line(reply.Line(2), &present) != 0) return -1;
    *presence = static_cast<int>(present);
    if (present == 0) return 0;
    // Line 3 is never read; line 4 is the row count, the rows follow.
    uint32_t records = 0;
    const int rc = ReadCount(kPoolName, reply, 4, 5, &records);
    *count = AsInt(records);
    if (rc != 0) return -1;
    return StoreRows(kPoolName, reply, 5, records, kPoolCols, kPoolMinColumns, rows, room);
}

// countFirst: more rows than room is no error; *count tells, and no row is
// written.
int ParseSdv(const Reply &reply, int *count, CliSnapDataVolume *rows, size_t room,
             bool countFirst) {
    *count = 0;
    if (reply.CheckHead() != 0) return -1;
    uint32_t records = 0;
    const int rc = ReadCount(kSdvName, reply, 2, 3, &records);
    *count = AsInt(records);
    if (rc != 0) return -1;
    if (countFirst && records > room) return 0;
    return StoreRows(kSdvName, reply, 3, records, kSdvCols, kSdvMinColumns, rows, room);
}

}  // namespace

// ---- command texts and reply texts --------------------------------------------------------

namespace zrkip {

std::string VolumesCommand(int type, int volumeNo, int option) {
    static const char *const kTypes[] = {"", "-type open", "-type sdv", "-type sdpv", "-type tpv"};
    std::string selection;
    if (option == IP_VOLUMES_ONE) selection = "-volume-number " + std::to_string(volumeNo);
    const char *typePart = type >= 0 && type < static_cast<int>(std::size(kTypes)) ? kTypes[type] : "";
    return "show volumes " + selection + " " + typePart;
}

std::string VvolCopySessionCommand(int option, const std::string &list) {
    if ((option & 0x1) != 0) return "show vvol-copy-session -volume-number " + list;
    return "show vvol-copy-session -vvol-session-id all";
}

std::string SnapDataPoolCommand(int poolNo, int option) {
    if (option == 1) return "show snap-data-pool -sdp-number " + std::to_string(poolNo);
    return "show snap-data-pool ";
}

std::string SnapDataVolumeCommand(int volumeNo, int option) {
    if (option == 1) return "show snap-data-volume -volume-number " + std::to_string(volumeNo);
    return "show snap-data-volume ";
}

int ParseVolumesText(const char *text, int *count, CliVolume **result) {
    if (count == nullptr || result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return zrkip::SplitAndParse(text, [&](const Reply &reply) { return ParseVolumes(reply, count, result); });
}

int ParseVvolCopySessionText(const char *text, int *count, CliVvolCopySession **result) {
    if (count == nullptr || result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return zrkip::SplitAndParse(text, [&](const Reply &reply) { return ParseVvol(reply, count, result); });
}

int ParseSnapDataPoolText(const char *text, int *presence, int *count, CliSnapDataPool *rows,
                          size_t room) {
    if (presence == nullptr || count == nullptr || (rows == nullptr && room != 0)) {
        return FailWith(ZRK_ERR_PARAMETER);
    }
    *presence = 0;
    *count = 0;
    return zrkip::SplitAndParse(text,
                         [&](const Reply &reply) { return ParsePool(reply, presence, count, rows, room); });
}

int ParseSnapDataVolumeText(const char *text, int *count, CliSnapDataVolume *rows, size_t room) {
    if (count == nullptr || (rows == nullptr && room != 0)) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return zrkip::SplitAndParse(text, [&](const Reply &reply) { return ParseSdv(reply, count, rows, room, false); });
}

}  // namespace zrkip

// ---- the exported queries ------------------------------------------------------------------

extern "C" int ShowVolumes(const char *cpIPaddress, const char *user, int Type, int VolumeNo,
                           int Option, int *count, CliVolume **result) {
    TraceText(1, "INFO", kVolumesName, "START");
    TraceText(3, "INFO", kVolumesName, "cpIPaddress=[%s] Type=%d, Option=%d", Safe(cpIPaddress), Type,
          Option);
    if (count == nullptr || result == nullptr) return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_PARAMETER));
    *count = 0;
    if (Option != IP_VOLUMES_ALL && Option != IP_VOLUMES_ONE) {
        return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_SELECTION));
    }
    if (Type < 0 || Type > 4) return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_SELECTION));
    try {
        const std::string command = zrkip::VolumesCommand(Type, VolumeNo, Option);
        return TraceEnd(1, kVolumesName, zrkip::RunAndParse(cpIPaddress, user, command, [&](const Reply &reply) {
                            return ParseVolumes(reply, count, result);
                        }));
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_NO_MEMORY));
    }
}

extern "C" int ShowVvolCopySession(const char *cpIPaddress, const char *user, int OluCnt,
                                   const int *list, int Option, int showFlags, int *count,
                                   CliVvolCopySession **result) {
    (void)showFlags;
    TraceText(1, "INFO", kVvolName, "START");
    TraceText(3, "INFO", kVvolName, "cpIPaddress=[%s] OluCnt=%d Option=%d", Safe(cpIPaddress), OluCnt,
          Option);
    if (count == nullptr || result == nullptr) return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_PARAMETER));
    *count = 0;
    const bool byVolume = (Option & 0x1) != 0;
    if (byVolume && (OluCnt < 0 || (OluCnt > 0 && list == nullptr))) {
        return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_PARAMETER));
    }
    try {
        std::string joined;
        if (byVolume && !zrkip::JoinNumbers(list, static_cast<size_t>(OluCnt), &joined)) {
            return TraceEnd(1, kVvolName, -1);
        }
        const std::string command = zrkip::VvolCopySessionCommand(Option, joined);
        return TraceEnd(1, kVvolName, zrkip::RunAndParse(cpIPaddress, user, command, [&](const Reply &reply) {
                            return ParseVvol(reply, count, result);
                        }));
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_NO_MEMORY));
    }
}

extern "C" int ShowSnapDataPool(const char *cpIPaddress, const char *user, int PoolNo, int Option,
                                int *presence, int *count, CliSnapDataPool *rows, size_t room) {
    TraceText(1, "INFO", kPoolName, "START");
    TraceText(3, "INFO", kPoolName, "cpIPaddress=[%s] SDP=%d Option=%d", Safe(cpIPaddress), PoolNo,
          Option);
    if (presence == nullptr || count == nullptr || (rows == nullptr && room != 0)) {
        return TraceEnd(1, kPoolName, FailWith(ZRK_ERR_PARAMETER));
    }
    *presence = 0;
    *count = 0;
    if (Option != 0 && Option != 1) return TraceEnd(1, kPoolName, FailWith(ZRK_ERR_SELECTION));
    try {
        const std::string command = zrkip::SnapDataPoolCommand(PoolNo, Option);
        return TraceEnd(1, kPoolName, zrkip::RunAndParse(cpIPaddress, user, command, [&](const Reply &reply) {
                            return ParsePool(reply, presence, count, rows, room);
                        }));
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kPoolName, FailWith(ZRK_ERR_NO_MEMORY));
    }
}

namespace {

int SnapDataVolumes(const char *cpIPaddress, const char *user, int VolumeNo, int Option,
                    int *count, CliSnapDataVolume *rows, size_t room, bool countFirst) {
    TraceText(1, "INFO", kSdvName, "START");
    TraceText(3, "INFO", kSdvName, "cpIPaddress=[%s] SDV=%d Option=%d", Safe(cpIPaddress), VolumeNo,
          Option);
    if (count == nullptr || (rows == nullptr && room != 0)) {
        return TraceEnd(1, kSdvName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    if (Option != 0 && Option != 1) return TraceEnd(1, kSdvName, FailWith(ZRK_ERR_SELECTION));
    try {
        const std::string command = zrkip::SnapDataVolumeCommand(VolumeNo, Option);
        return TraceEnd(1, kSdvName, zrkip::RunAndParse(cpIPaddress, user, command, [&](const Reply &reply) {
                            return ParseSdv(reply, count, rows, room, countFirst);
                        }));
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kSdvName, FailWith(ZRK_ERR_NO_MEMORY));
    }
}

}  // namespace

int zrkip::CountSnapDataVolume(const char *ip, const char *user, int volumeNo, int *count,
                               CliSnapDataVolume *rows, size_t room) {
    return SnapDataVolumes(ip, user, volumeNo, IP_VOLUMES_ONE, count, rows, room, true);
}

extern "C" int ShowSnapDataVolume(const char *cpIPaddress, const char *user, int VolumeNo,
                                  int Option, int *count, CliSnapDataVolume *rows, size_t room) {
    return SnapDataVolumes(cpIPaddress, user, VolumeNo, Option, count, rows, room, false);
}
