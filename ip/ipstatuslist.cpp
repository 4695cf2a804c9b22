// The VZ status list over the LAN: one entry per VZ or RVZ session of the
// array, in the order the array lists them, in the record that the in-band
// status list fills.
#include "ipstatuslist.h"

#include "ipframe.h"
#include "ipsession.h"
#include "platform.h"

#include <cstdlib>
#include <cstring>

using namespace zrkip;

namespace {

constexpr int kStatusListId = 1009;
constexpr char kPublicName[] = "ZRKIPStatusListVZ";
constexpr char kName[] = "IPCommandStatusList";
constexpr int kRefresh = IP_REFRESH_BOXID | IP_REFRESH_FUNCS;  // 5

size_t ListBytes(size_t entries) { return IP_STATUS_LIST_HEAD + entries * IP_STATUS_LIST_ENTRY; }

}  // namespace

int zrkip::BuildStatusList(const CliCopySession *rows, size_t count, unsigned char *out,
                           size_t room) {
    size_t entries = 0;
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].ucSessionType == IP_SESSION_TYPE_VZ) ++entries;
    }
    if (entries > room || entries > IP_STATUS_LIST_MAX) {
        TraceText(1, "ERR", kName, "%zu VZ sessions, room for %zu", entries, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    unsigned char *entry = out + IP_STATUS_LIST_HEAD;
    for (size_t i = 0; i < count; ++i) {
        const CliCopySession &row = rows[i];
        if (row.ucSessionType != IP_SESSION_TYPE_VZ) continue;
        // A remote session whose destination side this array holds is
        // known here by its second identifier.
        const uint32_t id = RemoteRow(row) && (row.ucAttr2 & IP_SESSION_ATTR2_SECOND_ID) != 0
                                ? row.uiSessionID2
                                : row.uiSessionID;
        std::memset(entry, 0, IP_STATUS_LIST_ENTRY);
        ShiftAnytoB(&id, 4, 2, entry);
        entry[2] = row.ucSessionStatus;
        entry[3] = row.ucColumn9;
        ShiftAnytoB(&row.uiColumn24, 4, 4, entry + 4);
        entry += IP_STATUS_LIST_ENTRY;
    }
    const uint32_t total = static_cast<uint32_t>(entries);
    std::memset(out, 0, IP_STATUS_LIST_HEAD);
    ShiftAnytoB(&total, 4, 2, out + 2);
    return 0;
}

extern "C" int IPCommandStatusList(const char *ip, const char *user, uint32_t OptionFlag,
                                   unsigned char *Work) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (Work == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    const CopyFunctions caps;
    if (!caps.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND) &&
        !caps.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND)) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    SessionTable table;
    if (ListAllSessions(ip, user, IP_SHOW_FLAG_MODE, &table) != 0) return TraceEnd(1, kName, -1);
    if (BuildStatusList(table.vRows.get(), table.uiCount, Work, IP_STATUS_LIST_MAX) != 0) {
        return TraceEnd(1, kName, -1);
    }
    const size_t entries = (static_cast<size_t>(Work[2]) << 8) | Work[3];
    TraceData(3, kName, Work, static_cast<int>(ListBytes(entries)));
    return TraceEnd(1, kName, 0);
}

extern "C" int ZRKIPStatusListVZ(const char *ip, const char *user, uint32_t OptionFlag,
                                 unsigned char *List, unsigned char *SenseData) {
    CallFrame frame(kStatusListId, kPublicName, SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(ip, user, OptionFlag, 0, kRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if (List == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    Freed<unsigned char> work(static_cast<unsigned char *>(std::malloc(IP_STATUS_LIST_AREA)));
    if (!work) {
        FailWith(ZRK_ERR_NO_MEMORY);
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    std::memset(work.get(), 0, IP_STATUS_LIST_HEAD);
    if (IPCommandStatusList(ip, user, OptionFlag, work.get()) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    const size_t entries = (static_cast<size_t>(work.get()[2]) << 8) | work.get()[3];
    std::memcpy(List, work.get(), ListBytes(entries));
    frame.Dump(2, List, static_cast<int>(ListBytes(entries)));
    return frame.Finish(0);
}
