// "show copy-sessions": the copy sessions of one array, one CliCopySession
// per reply line, by order (all sessions, or those of listed volumes) or by
// the position of each session's identifier in the caller's list.
#include "ipshow.h"

#include "platform.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

using namespace zrkip;

namespace zrkip {

namespace {

constexpr char kName[] = "ShowCopySessions";

using S = CliCopySession;

// Columns 0 to 39 of a reply line.
const Column kColumns[] = {
    ZRK_SHOW_HEX32(S, uiSessionID),                          // 0
    ZRK_SHOW_HEX32(S, uiSessionID2),                         // 1
    ZRK_SHOW_HEX8(S, ucSessionType),                         // 2
    ZRK_SHOW_HEX8(S, ucAttr),                                // 3 (bits rewritten after the scan)
    ZRK_SHOW_HEX8(S, ucAttr2),                               // 4 (bits masked after the scan)
    ZRK_SHOW_HEX8(S, ucColumn5),                             // 5
    ZRK_SHOW_HEX8(S, ucPhase),                               // 6
    ZRK_SHOW_HEX8(S, ucSessionStatus),                       // 7
    ZRK_SHOW_HEX8(S, ucColumn8),                             // 8
    ZRK_SHOW_HEX8(S, ucColumn9),                             // 9
    ZRK_SHOW_HEX32(S, uiLapseTime),                          // 10
    ZRK_SHOW_TEXT(S, ucaSrcBoxID),                           // 11
    ZRK_SHOW_TEXT(S, ucaDstBoxID),                           // 12 (monitor: all 0xFF)
    ZRK_SHOW_HEX32(S, uiSrcOLU),                             // 13
    ZRK_SHOW_HEX32(S, uiDstOLU),                             // 14 (monitor: 0xFFFFFFFF)
    ZRK_SHOW_HEX32(S, uiExtentCnt),                          // 15
    ZRK_SHOW_HEX8(S, ucErrorCode),                           // 16
    ZRK_SHOW_HEX8(S, ucColumn17),                            // 17
    ZRK_SHOW_HEX64(S, uiCopiedBlock_high, uiCopiedBlock_low), // 18
    ZRK_SHOW_HEX64(S, uiSrcExtAddr_high, uiSrcExtAddr_low),  // 19
    ZRK_SHOW_HEX64(S, uiDstExtAddr_high, uiDstExtAddr_low),  // 20 (monitor: 0 or all ones)
    ZRK_SHOW_HEX64(S, uiSize_high, uiSize_low),              // 21
    ZRK_SHOW_HEX8(S, ucColumn22),                            // 22
    ZRK_SHOW_HEX8(S, ucColumn23),                            // 23
    ZRK_SHOW_HEX32(S, uiColumn24),                           // 24
    ZRK_SHOW_DATETIME(S, ucaStartTime),                      // 25
    ZRK_SHOW_HEX8(S, ucUsable),                              // 26
    ZRK_SHOW_HEX8(S, ucColumn27),                            // 27
    ZRK_SHOW_HEX32(S, uiColumn28),                           // 28
    ZRK_SHOW_HEX32(S, uiColumn29),                           // 29
    ZRK_SHOW_HEX64(S, uiColumn30_high, uiColumn30_low),      // 30
    ZRK_SHOW_HEX64(S, uiColumn31_high, uiColumn31_low),      // 31
    ZRK_SHOW_HEX64(S, uiColumn32_high, uiColumn32_low),      // 32
    ZRK_SHOW_HEX32(S, uiColumn33),                           // 33
    ZRK_SHOW_HEX32(S, uiColumn34),                           // 34
    ZRK_SHOW_HEX32(S, uiCopyProgress),                       // 35
    ZRK_SHOW_HEX8(S, ucColumn36),                            // 36
    ZRK_SHOW_HEX8(S, ucSupportInfo),                         // 37
    ZRK_SHOW_HEX8(S, ucColumn38),                            // 38
    ZRK_SHOW_HEX8(S, ucColumn39),                            // 39
};
static_assert(sizeof kColumns / sizeof kColumns[0] == 40, "copy-session columns");

// A copy monitor has no destination: columns 12, 14 and 20 are constants.
const char *MonitorColumn(size_t index, void *record, void *) {
    S *row = static_cast<S *>(record);
    if (row->ucSessionType != IP_SESSION_TYPE_MONITOR) return nullptr;
    switch (index) {
    case 12:
        std::memset(row->ucaDstBoxID, 0xFF, sizeof row->ucaDstBoxID);
        return "Monitor";
    case 14:
        row->uiDstOLU = 0xFFFFFFFFu;
        return "Monitor";
    case 20: {
        const uint32_t v = (row->ucAttr & ZRK_IPATTR_WHOLE_VOLUME) != 0 ? 0 : 0xFFFFFFFFu;
        row->uiDstExtAddr_high = v;
        row->uiDstExtAddr_low = v;
        return "Monitor";
    }
    default:
        return nullptr;
    }
}

const Table kTable = {kName, kColumns, 40, sizeof(S), IP_SESSION_MIN_COLUMNS, MonitorColumn,
                      nullptr};

// The reply's attribute bits in the layout of the copy request's flag byte.
void RewriteAttributes(S *row) {
    const uint8_t raw = row->ucAttr;
    row->ucAttr = static_cast<uint8_t>((raw & 0xF8) | ((raw & 0x03) != 0 ? 0x01 : 0x00));
    row->ucAttr2 = static_cast<uint8_t>(row->ucAttr2 & 0x17);
}

uint32_t SessionKey(const S &row) {
    return RemoteRow(row) && (row.ucAttr2 & IP_SESSION_ATTR2_SECOND_ID) != 0 ? row.uiSessionID2
                                                                             : row.uiSessionID;
}

int ParseByOrder(const Reply &reply, uint32_t records, CliCopySession *rows) {
    for (size_t i = 0; i < records; ++i) {
        S row;
        if (ScanRecord(kTable, reply.Record(i), &row) != 0) return -1;
        RewriteAttributes(&row);
        rows[i] = row;
    }
    return 0;
}

// Each record goes to the position of the first list entry equal to its key.
int ParseByList(const Reply &reply, uint32_t records, const int *list, size_t listCount, int *count,
                CliCopySession *rows) {
    std::vector<std::pair<uint32_t, size_t>> index;   // key, first position
    std::vector<unsigned char> filled;
    index.reserve(listCount);
    filled.assign(listCount, 0);
    for (size_t k = 0; k < listCount; ++k) index.emplace_back(static_cast<uint32_t>(list[k]), k);
    std::sort(index.begin(), index.end());
    size_t distinct = 0;
    for (size_t i = 0; i < records; ++i) {
        S row;
        if (ScanRecord(kTable, reply.Record(i), &row) != 0) return -1;
        RewriteAttributes(&row);
        const uint32_t key = SessionKey(row);
        const auto hit = std::lower_bound(index.begin(), index.end(),
                                          std::make_pair(key, size_t{0}));
        if (hit == index.end() || hit->first != key) continue;
        const size_t k = hit->second;
        rows[k] = row;
        if (filled[k] == 0) {
            filled[k] = 1;
            ++distinct;
        }
    }
    *count = static_cast<int>(distinct);
    if (distinct != listCount) {
        TraceText(1, "ERR", kName, " matched %zu of %zu sessions ", distinct, listCount);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

}  // namespace

std::string CopySessionsCommand(int option, const std::string &list, unsigned optionFlag,
                                int showFlags) {
    std::string selection;
    if (option == IP_SESSIONS_VOLUMES) selection = "-volume-number " + list;
    if (option == IP_SESSIONS_IDS) selection = "-session-id " + list;
    int mode = (optionFlag & ZRK_OPT_LIST_SEL_01) != 0 ? 1 : 0;
    if ((showFlags & IP_SHOW_FLAG_MODE) != 0) mode += 0x80;
    std::string modePart;
    if (mode != 0) modePart = "-mode " + std::to_string(mode);
    return "show copy-sessions " + selection + " " + modePart;
}

int ParseCopySessions(const Reply &reply, int option, const int *list, size_t listCount, int *count,
                      CliCopySession *rows, size_t room) {
    *count = 0;
    uint32_t records = 0;
    const int head = reply.Head(kName, &records);
    // The announced count goes to the caller at once, when it is an int.
    if (records <= INT_MAX) *count = static_cast<int>(records);
    if (head != 0) return -1;
    if (option == IP_SESSIONS_IDS) {
        if (listCount > room || list == nullptr) return FailWith(ZRK_ERR_PARAMETER);
        return ParseByList(reply, records, list, listCount, count, rows);
    }
    if (records > room) {
        TraceText(1, "ERR", kName, " record count %u, room %zu ", records, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    if (records == 0) return 0;
    return ParseByOrder(reply, records, rows);
}

int ParseCopySessionsText(const char *text, int option, const int *list, size_t listCount,
                          int *count, CliCopySession *rows, size_t room) {
    *count = 0;
    return SplitAndParse(text, [&](const Reply &reply) {
        return ParseCopySessions(reply, option, list, listCount, count, rows, room);
    });
}

}  // namespace zrkip

extern "C" int ShowCopySessions(const char *cpIPaddress, const char *user, int listCount,
                                const int *list, int option, int showFlags, int *count,
                                CliCopySession *rows, size_t room) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OluCnt=%d Option=%d", Safe(cpIPaddress),
              listCount, option);
    if (count == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    *count = 0;
    if (option != IP_SESSIONS_ALL && listCount <= 0) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    if (option != IP_SESSIONS_ALL && option != IP_SESSIONS_VOLUMES && option != IP_SESSIONS_IDS) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_SELECTION));
    }
    const size_t listSize = option == IP_SESSIONS_ALL ? 0 : static_cast<size_t>(listCount);
    if (listSize != 0 && list == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    // Every listed session has its own position in the caller's rows.
    if (option == IP_SESSIONS_IDS && listSize > room) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    if (rows == nullptr && room != 0) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    return RunQuery(
        kName, cpIPaddress, user,
        [&](std::string *command) {
            std::string joined;
            if (!JoinNumbers(list, listSize, &joined)) return -1;
            *command = CopySessionsCommand(option, joined, ZRKOptionFlag, showFlags);
            return 0;
        },
        [&](const Reply &reply) {
            return ParseCopySessions(reply, option, list, listSize, count, rows, room);
        });
}
