// The SnapKZP+ generations of a source volume ("show snap-kzp-gen") and the
// pool capacity that restoring a session takes ("show snap-kzp-restore-size").
//
// A generation reply is read whole before anything reaches the caller: the
// groups and their identifiers are built in storage that is released on
// every failure, and every count is checked against the lines the reply
// still holds before anything is allocated for it.
#include "ipshow_generations.h"

#include "ipshow.h"
#include "platform.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

using namespace zrkip;

namespace {

constexpr char kGenName[] = "ShowSnapKzpGen";
constexpr char kRestoreName[] = "ShowSnapKzpRestoreSize";

constexpr size_t kHeaderLine = 2;      // the header of a generation reply
constexpr size_t kGroupCountLine = 3;  // its group count
constexpr size_t kFirstGroupLine = 4;  // the first group line
constexpr size_t kGroupMinLines = 2;   // a group line and its count line
constexpr size_t kGroupMinColumns = 2;
constexpr size_t kRestoreMinColumns = 6;

// ---- the record tables ---------------------------------------------------------------

// Line 2 of a generation reply: two 32-bit values that go no further.
struct GenHeader {
    uint32_t uiColumn0;
    uint32_t uiColumn1;
};
const Column kHeaderCols[] = {
    ZRK_SHOW_COUNT32(GenHeader, uiColumn0),
    ZRK_SHOW_COUNT32(GenHeader, uiColumn1),
};

// A group line: the source extent of the group.
struct GroupLine {
    uint32_t ExtAddr_high, ExtAddr_low;
    uint32_t ExtSize_high, ExtSize_low;
};
const Column kGroupCols[] = {
    ZRK_SHOW_HEX64(GroupLine, ExtAddr_high, ExtAddr_low),
    ZRK_SHOW_HEX64(GroupLine, ExtSize_high, ExtSize_low),
};

using R = CliSnapKzpRestoreSize;
const Column kRestoreCols[] = {
    ZRK_SHOW_HEX32(R, SesID),
    ZRK_SHOW_HEX64(R, FreeSize_high, FreeSize_low),
    ZRK_SHOW_HEX64(R, RestoreSize_high, RestoreSize_low),
    ZRK_SHOW_HEX64(R, Col3_high, Col3_low),
    ZRK_SHOW_HEX64(R, Col4_high, Col4_low),
    ZRK_SHOW_HEX32(R, Col5),
};
static_assert(std::size(kRestoreCols) == kRestoreMinColumns, "restore-size columns");

const Table kHeaderTable{kGenName, kHeaderCols, std::size(kHeaderCols), sizeof(GenHeader),
                         kGroupMinColumns, nullptr, nullptr, true};
const Table kGroupTable{kGenName, kGroupCols, std::size(kGroupCols), sizeof(GroupLine),
                        kGroupMinColumns, nullptr, nullptr, true};
const Table kRestoreTable{kRestoreName, kRestoreCols, std::size(kRestoreCols),
                          sizeof(CliSnapKzpRestoreSize), kRestoreMinColumns, nullptr, nullptr,
                          true};

// ---- the generation groups ---------------------------------------------------------------

// The groups built so far; released unless handed to the caller.
class Groups {
public:
    Groups() = default;
    ~Groups() { FreeSnapKzpGen(pGroups, static_cast<int>(uiBuilt)); }
    Groups(const Groups &) = delete;
    Groups &operator=(const Groups &) = delete;

    bool Allocate(uint32_t count) {
        pGroups = static_cast<CliSnapKzpGen *>(std::calloc(count, sizeof(CliSnapKzpGen)));
        return pGroups != nullptr;
    }
    // Group uiBuilt, counted as built from here on (its identifiers are
    // released with it).
    CliSnapKzpGen &Next() { return pGroups[uiBuilt++]; }
    CliSnapKzpGen *Release() {
        CliSnapKzpGen *out = pGroups;
        pGroups = nullptr;
        uiBuilt = 0;
        return out;
    }

private:
    CliSnapKzpGen *pGroups = nullptr;
    size_t uiBuilt = 0;
};

// A line that must be there: 902 (traced) when the reply ends before it.
const char *NeededLine(const Reply &reply, size_t n) {
    const char *line = reply.Line(n);
    if (line == nullptr) {
        TraceText(1, "ERR", kGenName, " line %zu missing, iLineCnt=%zu ", n, reply.Count());
        FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return line;
}

// A count that needs `perItem` lines for each item from line `from` on:
// 902 (traced) when the reply holds fewer.
int CheckRoom(const Reply &reply, const char *what, uint32_t count, size_t from, size_t perItem) {
    if (count <= reply.LinesFrom(from) / perItem) return 0;
    TraceText(1, "ERR", kGenName, " %s %u, lines from %zu: %zu ", what, count, from,
              reply.LinesFrom(from));
    return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
}

// One group from its group line `at` on; *next receives the line of the
// group after it.
int ParseGroup(const Reply &reply, size_t at, CliSnapKzpGen *group, size_t *next) {
    const char *groupLine = NeededLine(reply, at);
    if (groupLine == nullptr) return -1;
    GroupLine extent;
    if (ScanRecord(kGroupTable, groupLine, &extent) != 0) return -1;
    group->ExtAddr_high = extent.ExtAddr_high;
    group->ExtAddr_low = extent.ExtAddr_low;
    group->ExtSize_high = extent.ExtSize_high;
    group->ExtSize_low = extent.ExtSize_low;

    const char *countLine = NeededLine(reply, at + 1);
    if (countLine == nullptr) return -1;
    uint32_t sessions = 0;
    if (ReadHex32Line(countLine, &sessions) != 0) return -1;
    if (CheckRoom(reply, "session count", sessions, at + 2, 1) != 0) return -1;
    if (sessions != 0) {
        group->SesIDs = static_cast<uint32_t *>(std::calloc(sessions, sizeof(uint32_t)));
        if (group->SesIDs == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
        group->SesCnt = sessions;
    }
    // An identifier line is read up to its first non-digit, TABs and all.
    for (uint32_t k = 0; k < sessions; ++k) {
        if (ReadHex32Line(reply.Line(at + 2 + k), &group->SesIDs[k]) != 0) return -1;
    }
    *next = at + 2 + sessions;
    return 0;
}

int ParseGen(const Reply &reply, int *count, CliSnapKzpGen **result) {
    *count = 0;
    if (reply.CheckHead() != 0) return -1;
    GenHeader header;
    if (ScanRecord(kHeaderTable, reply.Line(kHeaderLine), &header) != 0) return -1;

    const char *countLine = NeededLine(reply, kGroupCountLine);
    if (countLine == nullptr) return -1;
    uint32_t groups = 0;
    if (ReadHex32Line(countLine, &groups) != 0) return -1;
    if (groups == 0) {
        *result = nullptr;
        return 0;
    }
    if (groups > INT_MAX) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (CheckRoom(reply, "group count", groups, kFirstGroupLine, kGroupMinLines) != 0) return -1;

    Groups built;
    if (!built.Allocate(groups)) return FailWith(ZRK_ERR_NO_MEMORY);
    size_t at = kFirstGroupLine;
    for (uint32_t g = 0; g < groups; ++g) {
        if (ParseGroup(reply, at, &built.Next(), &at) != 0) return -1;
    }
    *count = static_cast<int>(groups);
    *result = built.Release();
    return 0;
}

// ---- the restore sizes -----------------------------------------------------------------------

int ParseRestore(const Reply &reply, int *count, CliSnapKzpRestoreSize *rows, size_t room) {
    *count = 0;
    uint32_t records = 0;
    if (reply.Head(kRestoreName, &records) != 0) return -1;
    if (records > room) {
        TraceText(1, "ERR", kRestoreName, " record count %u, room %zu ", records, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    std::vector<CliSnapKzpRestoreSize> local(records);
    for (uint32_t i = 0; i < records; ++i) {
        if (ScanRecord(kRestoreTable, reply.Record(i), &local[i]) != 0) return -1;
    }
    if (records != 0) std::memcpy(rows, local.data(), records * sizeof(CliSnapKzpRestoreSize));
    *count = static_cast<int>(records);
    return 0;
}

}  // namespace

// ---- command texts and reply texts --------------------------------------------------------

namespace zrkip {

std::string SnapKzpGenCommand(int volumeNo) {
    return "show snap-kzp-gen -volume-number " + std::to_string(volumeNo);
}

std::string SnapKzpRestoreSizeCommand(const std::string &list) {
    return "show snap-kzp-restore-size -session-id " + list;
}

int ParseSnapKzpGenText(const char *text, int *count, CliSnapKzpGen **result) {
    if (count == nullptr || result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return SplitAndParse(text, [&](const Reply &reply) { return ParseGen(reply, count, result); });
}

int ParseSnapKzpRestoreSizeText(const char *text, int *count, CliSnapKzpRestoreSize *rows,
                                size_t room) {
    if (count == nullptr || (rows == nullptr && room != 0)) return FailWith(ZRK_ERR_PARAMETER);
    *count = 0;
    return SplitAndParse(
        text, [&](const Reply &reply) { return ParseRestore(reply, count, rows, room); });
}

}  // namespace zrkip

// ---- the exported queries ------------------------------------------------------------------

extern "C" void FreeSnapKzpGen(CliSnapKzpGen *groups, int count) {
    if (groups == nullptr) return;
    for (int g = 0; g < count; ++g) std::free(groups[g].SesIDs);
    std::free(groups);
}

extern "C" int ShowSnapKzpGen(const char *cpIPaddress, const char *user, int VolumeNo,
                              int Option, int *count, CliSnapKzpGen **result) {
    TraceText(1, "INFO", kGenName, "START");
    TraceText(3, "INFO", kGenName, "cpIPaddress=[%s] OluCnt=%d Option=%d", Safe(cpIPaddress),
              VolumeNo, Option);
    if (count == nullptr || result == nullptr) {
        return TraceEnd(1, kGenName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    return RunQuery(
        kGenName, cpIPaddress, user,
        [&](std::string *command) {
            *command = SnapKzpGenCommand(VolumeNo);
            return 0;
        },
        [&](const Reply &reply) { return ParseGen(reply, count, result); });
}

extern "C" int ShowSnapKzpRestoreSize(const char *cpIPaddress, const char *user, int SnapCnt,
                                      const int *list, int Option, int *count,
                                      CliSnapKzpRestoreSize *rows, size_t room) {
    TraceText(1, "INFO", kRestoreName, "START");
    TraceText(3, "INFO", kRestoreName, "cpIPaddress=[%s] SnapCnt=%d Option=%d",
              Safe(cpIPaddress), SnapCnt, Option);
    if (count == nullptr || (rows == nullptr && room != 0)) {
        return TraceEnd(1, kRestoreName, FailWith(ZRK_ERR_PARAMETER));
    }
    *count = 0;
    if (SnapCnt <= 0 || list == nullptr) {
        return TraceEnd(1, kRestoreName, FailWith(ZRK_ERR_PARAMETER));
    }
    if (Option != IP_RESTORE_BY_ID) return TraceEnd(1, kRestoreName, FailWith(ZRK_ERR_SELECTION));
    return RunQuery(
        kRestoreName, cpIPaddress, user,
        [&](std::string *command) {
            std::string joined;
            if (!JoinNumbers(list, static_cast<size_t>(SnapCnt), &joined)) return -1;
            *command = SnapKzpRestoreSizeCommand(joined);
            if (command->size() > IP_RESTORE_CMD_MAX) {
                TraceText(1, "ERR", kRestoreName, " command of %zu characters ",
                          command->size());
                return FailWith(ZRK_ERR_TOO_LONG);
            }
            return 0;
        },
        [&](const Reply &reply) { return ParseRestore(reply, count, rows, room); });
}
