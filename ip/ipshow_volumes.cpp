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

using namespace zrkip;

namespace {

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

// ---- the record tables ---------------------------------------------------------------

using V = CliVolume;
const Column kVolumeCols[] = {
    ZRK_SHOW_HEX32(V, uiVolumeNo),                            // 0
    ZRK_SHOW_TEXT(V, ucaVolumeName),                          // 1
    ZRK_SHOW_HEX32(V, uiColumn2),                             // 2
    ZRK_SHOW_HEX8(V, ucVolumeType),                           // 3
    ZRK_SHOW_HEX8(V, ucColumn4),                              // 4
    ZRK_SHOW_HEX32(V, uiColumn5),                             // 5
    ZRK_SHOW_TEXT(V, ucaColumn6),                             // 6
    ZRK_SHOW_HEX64(V, uiCapacity_high, uiCapacity_low),       // 7
    ZRK_SHOW_HEX8(V, ucColumn8),                              // 8
    ZRK_SHOW_HEX32(V, uiColumn9),                             // 9
    ZRK_SHOW_WORD("TPVUsedCapa Notuse"),                      // 10
    ZRK_SHOW_HEX32(V, uiColumn11),                            // 11
    ZRK_SHOW_HEX8(V, ucColumn12),                             // 12
    ZRK_SHOW_HEX8(V, ucColumn13),                             // 13
    ZRK_SHOW_HEX32(V, uiColumn14),                            // 14
    ZRK_SHOW_HEX32(V, uiColumn15),                            // 15
    ZRK_SHOW_HEX8(V, ucColumn16),                             // 16
    ZRK_SHOW_HEX8(V, ucColumn17),                             // 17
    ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(),  // 18 to 20
    ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(),  // 21 to 23
    ZRK_SHOW_HEX8(V, ucTfoGroupNo),                           // 24
};
static_assert(std::size(kVolumeCols) == kVolumeTfoColumn + 1, "volume columns");

// A line of "show vvol-copy-session": the session, then the date
// characters of columns 8 to 13 (year, month, day, hour, minute, second)
// and "00", packed into its start time once the line is read.
struct VvolLine {
    CliVvolCopySession stRow;  // first, so that its offsets are the line's
    char caDate[16];           // the date and time digits
};
static_assert(offsetof(VvolLine, stRow) == 0, "VvolLine layout");

#define ZRK_SHOW_DATE_PART(at, n) ZRK_SHOW_TEXT_AT(offsetof(VvolLine, caDate) + (at), n)

using W = CliVvolCopySession;
const Column kVvolCols[] = {
    ZRK_SHOW_HEX32(W, uiSessionID),                           // 0
    ZRK_SHOW_HEX8(W, ucSessionType),                          // 1
    ZRK_SHOW_HEX8(W, ucSessionStatus),                        // 2
    ZRK_SHOW_HEX32(W, uiSrcOLU),                              // 3
    ZRK_SHOW_SILENT(),                                        // 4
    ZRK_SHOW_HEX32(W, uiDstOLU),                              // 5
    ZRK_SHOW_SILENT(),                                        // 6
    ZRK_SHOW_HEX8(W, ucErrorCode),                            // 7
    ZRK_SHOW_DATE_PART(0, 4),                                 // 8: year
    ZRK_SHOW_DATE_PART(4, 2),                                 // 9: month
    ZRK_SHOW_DATE_PART(6, 2),                                 // 10: day
    ZRK_SHOW_DATE_PART(8, 2),                                 // 11: hour
    ZRK_SHOW_DATE_PART(10, 2),                                // 12: minute
    ZRK_SHOW_DATE_PART(12, 2),                                // 13: second
    ZRK_SHOW_HEX32(W, uiLapseTime),                           // 14
    ZRK_SHOW_BLOCKS(W, uiCopiedBlock_high, uiCopiedBlock_low), // 15
    ZRK_SHOW_BLOCKS(W, uiSize_high, uiSize_low),              // 16
    ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(), ZRK_SHOW_SILENT(),  // 17 to 19
    ZRK_SHOW_HEX8(W, ucColumn20),                             // 20
    ZRK_SHOW_HEX32(W, uiColumn21),                            // 21
    ZRK_SHOW_HEX32(W, uiColumn22),                            // 22
    ZRK_SHOW_HEX8(W, ucPhase),                                // 23
    ZRK_SHOW_HEX32(W, uiCopyProgress),                        // 24
};
static_assert(std::size(kVvolCols) == kVvolMinColumns, "vvol columns");

using P = CliSnapDataPool;
const Column kPoolCols[] = {
    ZRK_SHOW_HEX32(P, SdpNo),
    ZRK_SHOW_HEX64(P, Blk_high, Blk_low),
    ZRK_SHOW_HEX64(P, BlkHostUse_high, BlkHostUse_low),
    ZRK_SHOW_HEX64(P, BlkCopyUse_high, BlkCopyUse_low),
    ZRK_SHOW_HEX64(P, BlkEnc_high, BlkEnc_low),
    ZRK_SHOW_HEX64(P, BlkEncHostUse_high, BlkEncHostUse_low),
    ZRK_SHOW_HEX64(P, BlkEncCopyUse_high, BlkEncCopyUse_low),
};
static_assert(std::size(kPoolCols) == kPoolMinColumns, "pool columns");

using D = CliSnapDataVolume;
const Column kSdvCols[] = {
    ZRK_SHOW_HEX32(D, VolNo),
    ZRK_SHOW_TEXT(D, VolName),
    ZRK_SHOW_HEX32(D, Col2),
    ZRK_SHOW_HEX64(D, Col3_high, Col3_low),
    ZRK_SHOW_HEX64(D, LogicalSize_high, LogicalSize_low),
    ZRK_SHOW_HEX64(D, PhysicalSize_high, PhysicalSize_low),
    ZRK_SHOW_HEX64(D, SdvUsedHost_high, SdvUsedHost_low),
    ZRK_SHOW_HEX64(D, SdvUsedCopy_high, SdvUsedCopy_low),
    ZRK_SHOW_HEX32(D, Col8),
    ZRK_SHOW_HEX64(D, SdpUsedHost_high, SdpUsedHost_low),
    ZRK_SHOW_HEX64(D, SdpUsedCopy_high, SdpUsedCopy_low),
    ZRK_SHOW_HEX32(D, SdvStatus),
};
static_assert(std::size(kSdvCols) == kSdvMinColumns, "snap data volume columns");

const Table kVolumeTable{kVolumesName, kVolumeCols, std::size(kVolumeCols), sizeof(CliVolume),
                         kVolumeMinColumns, nullptr, nullptr, true};
const Table kVvolTable{kVvolName, kVvolCols, std::size(kVvolCols), sizeof(VvolLine),
                       kVvolMinColumns, nullptr, nullptr, true};
const Table kPoolTable{kPoolName, kPoolCols, std::size(kPoolCols), sizeof(CliSnapDataPool),
                       kPoolMinColumns, nullptr, nullptr, true};
const Table kSdvTable{kSdvName, kSdvCols, std::size(kSdvCols), sizeof(CliSnapDataVolume),
                      kSdvMinColumns, nullptr, nullptr, true};

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
        if (zrkip::ScanRecord(kVolumeTable, reply.Record(i), &row, &columns) != 0) return -1;
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
        VvolLine line;
        if (zrkip::ScanRecord(kVvolTable, reply.Record(i), &line) != 0) return -1;
        line.caDate[14] = '0';
        line.caDate[15] = '0';
        zrkip::PackDateTime(std::string_view(line.caDate, sizeof line.caDate),
                            line.stRow.ucaStartTime);
        rows.get()[i] = line.stRow;
    }
    *count = static_cast<int>(records);
    *result = rows.release();
    return 0;
}

// The record lines from line firstLine on into the caller's rows: at most
// room of them (else 902 before anything is written), and only once every
// line has converted, so a failure leaves the caller's rows as they were.
template <typename Row>
int StoreRows(const Table &table, const Reply &reply, size_t firstLine, uint32_t records,
              Row *rows, size_t room) {
    if (records > room) {
        TraceText(1, "ERR", table.pName, " record count %u, room %zu ", records, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    std::vector<Row> local(records);
    for (uint32_t i = 0; i < records; ++i) {
        if (zrkip::ScanRecord(table, reply.Line(firstLine + i), &local[i]) != 0) return -1;
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
    return StoreRows(kPoolTable, reply, 5, records, rows, room);
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
    return StoreRows(kSdvTable, reply, 3, records, rows, room);
}

}  // namespace

// ---- command texts and reply texts --------------------------------------------------------

namespace zrkip {

std::string VolumesCommand(int type, int volumeNo, int option) {
    static const char *const kTypes[] = {"", "-type open", "-type sdv", "-type sdpv", "-type tpv"};
    std::string selection;
    if (option == IP_VOLUMES_ONE) selection = "-volume-number " + std::to_string(volumeNo);
    const char *typePart =
        type >= 0 && type < static_cast<int>(std::size(kTypes)) ? kTypes[type] : "";
    return "show volumes " + selection + " " + typePart;
}

std::string VvolCopySessionCommand(int option, const std::string &list) {
    if ((option & IP_VVOL_BY_VOLUME) != 0) return "show vvol-copy-session -volume-number " + list;
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
    return SplitAndParse(text,
                         [&](const Reply &reply) { return ParseVolumes(reply, count, result); });
}

int ParseVvolCopySessionText(const char *text, int *count, CliVvolCopySession **result) {
    if (count == nullptr || result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return SplitAndParse(text, [&](const Reply &reply) { return ParseVvol(reply, count, result); });
}

int ParseSnapDataPoolText(const char *text, int *presence, int *count, CliSnapDataPool *rows,
                          size_t room) {
    if (presence == nullptr || count == nullptr || (rows == nullptr && room != 0)) {
        return FailWith(ZRK_ERR_PARAMETER);
    }
    *presence = 0;
    *count = 0;
    return SplitAndParse(
        text, [&](const Reply &reply) { return ParsePool(reply, presence, count, rows, room); });
}

int ParseSnapDataVolumeText(const char *text, int *count, CliSnapDataVolume *rows, size_t room) {
    if (count == nullptr || (rows == nullptr && room != 0)) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return SplitAndParse(
        text, [&](const Reply &reply) { return ParseSdv(reply, count, rows, room, false); });
}

}  // namespace zrkip

// ---- the exported queries ------------------------------------------------------------------

extern "C" int ShowVolumes(const char *cpIPaddress, const char *user, int Type, int VolumeNo,
                           int Option, int *count, CliVolume **result) {
    TraceText(1, "INFO", kVolumesName, "START");
    TraceText(3, "INFO", kVolumesName, "cpIPaddress=[%s] Type=%d, Option=%d", Safe(cpIPaddress),
              Type, Option);
    if (count == nullptr || result == nullptr) {
        return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    if (Option != IP_VOLUMES_ALL && Option != IP_VOLUMES_ONE) {
        return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_SELECTION));
    }
    if (Type < 0 || Type > 4) return TraceEnd(1, kVolumesName, FailWith(ZRK_ERR_SELECTION));
    return RunQuery(
        kVolumesName, cpIPaddress, user,
        [&](std::string *command) {
            *command = VolumesCommand(Type, VolumeNo, Option);
            return 0;
        },
        [&](const Reply &reply) { return ParseVolumes(reply, count, result); });
}

extern "C" int ShowVvolCopySession(const char *cpIPaddress, const char *user, int OluCnt,
                                   const int *list, int Option, int showFlags, int *count,
                                   CliVvolCopySession **result) {
    (void)showFlags;
    TraceText(1, "INFO", kVvolName, "START");
    TraceText(3, "INFO", kVvolName, "cpIPaddress=[%s] OluCnt=%d Option=%d", Safe(cpIPaddress),
              OluCnt, Option);
    if (count == nullptr || result == nullptr) {
        return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    const bool byVolume = (Option & IP_VVOL_BY_VOLUME) != 0;
    if (byVolume && (OluCnt < 0 || (OluCnt > 0 && list == nullptr))) {
        return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_PARAMETER));
    }
    return RunQuery(
        kVvolName, cpIPaddress, user,
        [&](std::string *command) {
            std::string joined;
            if (byVolume && !JoinNumbers(list, static_cast<size_t>(OluCnt), &joined)) return -1;
            *command = VvolCopySessionCommand(Option, joined);
            return 0;
        },
        [&](const Reply &reply) { return ParseVvol(reply, count, result); });
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
    return RunQuery(
        kPoolName, cpIPaddress, user,
        [&](std::string *command) {
            *command = SnapDataPoolCommand(PoolNo, Option);
            return 0;
        },
        [&](const Reply &reply) { return ParsePool(reply, presence, count, rows, room); });
}

namespace {

int SnapDataVolumes(const char *cpIPaddress, const char *user, int VolumeNo, int Option,
                    int *count, CliSnapDataVolume *rows, size_t room, bool countFirst) {
    TraceText(1, "INFO", kSdvName, "START");
    TraceText(3, "INFO", kSdvName, "cpIPaddress=[%s] SDV=%d Option=%d", Safe(cpIPaddress),
              VolumeNo, Option);
    if (count == nullptr || (rows == nullptr && room != 0)) {
        return TraceEnd(1, kSdvName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    if (Option != 0 && Option != 1) return TraceEnd(1, kSdvName, FailWith(ZRK_ERR_SELECTION));
    return RunQuery(
        kSdvName, cpIPaddress, user,
        [&](std::string *command) {
            *command = SnapDataVolumeCommand(VolumeNo, Option);
            return 0;
        },
        [&](const Reply &reply) { return ParseSdv(reply, count, rows, room, countFirst); });
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
