// Storage-cluster (transparent failover) support: the role of the checked
// volume as its array reports it, the swap of the cached own BoxID to the
// partner array's, and a hex dump into the API trace. The failover session of
// a volume (GetTfoSession) and the searches over the RVZ buffer page 0x24 are
// read with the detail list (zrkdetail.cpp).
//
// Besides the debug log these functions write into the API trace that their
// caller opened; a trace that is not open only stays silent.
#include "platform.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" {
int ConvertCheckflg;
}

namespace {

using zrk::LogText;

constexpr int kRoleChanged = 104;

constexpr int kVpdBoxLen = 96;
constexpr int kRoleOffset = 88;
constexpr int kGroupOffset = 89;

constexpr int kEntrySrcBoxId = 16; // offsets in a DETAIL_LIST_INFO entry
constexpr int kEntryDstBoxId = 56;

// One printf-formatted line into the API trace under the class word.
void __attribute__((format(printf, 4, 5)))
Trace(int level, const char *word, const char *function, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(caTrcData, sizeof caTrcData, format, args);
    va_end(args);
    ZRKC_Com_OutputTrace(level, 1, word, function, nullptr, 0, caTrcData);
}

void TraceEnd(const char *function, int result) {
    Trace(1, result == 0 ? "INFO" : "ERR", function, "END(ret=%d, ZRKerrno=%d)", result,
          ZRKerrno);
}

void ClearRole() {
    ZRKstorage_cluster = 0;
    ZRKstorage_clustergroup = 0;
    std::memset(ZRKstorage_clustervol, 0, sizeof ZRKstorage_clustervol);
}

// Keeps volume as the held one: NUL-padded and always terminated.
void HoldVolume(const char *volume) {
    std::memset(ZRKstorage_clustervol, 0, sizeof ZRKstorage_clustervol);
    std::strncpy(ZRKstorage_clustervol, volume, sizeof ZRKstorage_clustervol - 1);
}

bool SameBoxId(const unsigned char *a, const unsigned char *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

}  // namespace

extern "C" int CheckFailOver(const char *volume) {
    static const char kName[] = "CheckFailOver";
    WriteLog(1, nullptr, 0, "%s in [%s] [%d]", kName, LogText(volume), __LINE__);
    Trace(1, "INFO", kName, "START");
    Trace(2, "INFO", kName, "LogicalVol=%s", LogText(volume));

    unsigned char inq[ZRK_INQ_SUPPORT_LEN] = {};
    CtrlInqSupportData(inq, ZRK_STORE_READ);
    if ((inq[0] & 0x20) == 0) {
        TraceEnd(kName, 0);
        WriteLog(1, nullptr, 0, "%s OK end [%s] [%d]", kName, LogText(volume), __LINE__);
        return 0;
    }

    unsigned char page[kVpdBoxLen];
    const int read = GetVPDInfo(volume, 0xF2, sizeof page, page);
    if (read != 0) {
        // A device that announces box information must offer the page.
        if (read == 2) ZRKerrno = 17;
        TraceEnd(kName, -1);
        WriteLog(1, nullptr, 0, "%s Err end [%s] [%d]", kName, LogText(volume), __LINE__);
        return -1;
    }

    const unsigned char role = page[kRoleOffset];
    const unsigned char group = page[kGroupOffset];
    if (role != ZRK_ROLE_NONE) {
        const bool held = ZRKstorage_cluster == ZRK_ROLE_PRIMARY ||
                          ZRKstorage_cluster == ZRK_ROLE_SECONDARY;
        if (held && volume != nullptr &&
            std::strncmp(ZRKstorage_clustervol, volume, sizeof ZRKstorage_clustervol) == 0 &&
            role != ZRKstorage_cluster) {
            Trace(1, "ERR", kName,
                  "CheckFailOver Err end vol=%s ZRKstorage_cluster=%d "
                  "ZRKstorage_clustergroup=%d [%s] [%d]",
                  ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup,
                  LogText(volume), __LINE__);
            WriteLog(1, nullptr, 0,
                     "CheckFailOver Err end vol=%s ZRKstorage_cluster=%d "
                     "ZRKstorage_clustergroup=%d [%s] [%d]",
                     ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup,
                     LogText(volume), __LINE__);
            ZRKerrno = kRoleChanged;
            ClearRole();
            TraceEnd(kName, -1);
            return -1;
        }
        ZRKstorage_cluster = role;
        ZRKstorage_clustergroup = group;
    } else {
        ZRKstorage_cluster = 0;
        ZRKstorage_clustergroup = 0;
    }
    HoldVolume(LogText(volume));
    Trace(1, "INFO", kName,
          "CheckFailOver OK end vol=%s ZRKstorage_cluster=%d ZRKstorage_clustergroup=%d "
          "[%s] [%d]",
          ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup, LogText(volume),
          __LINE__);
    WriteLog(1, nullptr, 0,
             "CheckFailOver OK end vol=%s ZRKstorage_cluster=%d ZRKstorage_clustergroup=%d "
             "[%s] [%d]",
             ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup,
             LogText(volume), __LINE__);
    return 0;
}

extern "C" int ConvertPrimaryBoxID(const char *volume, const unsigned char *boxIdA,
                                   const unsigned char *boxIdB) {
    static const char kName[] = "ConvertPrimaryBoxID";
    if (ZRKstorage_cluster != ZRK_ROLE_SECONDARY || ConvertCheckflg == ZRK_CONVERT_NEVER) {
        return 0;
    }
    WriteLog(1, nullptr, 0, "%s in [%s] [%d]", kName, LogText(volume), __LINE__);
    Trace(1, "INFO", kName, "START");

    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    unsigned char own[ZRK_BOXID_LEN] = {};
    unsigned char session[ZRK_DETAIL_LIST_ENTRY_LEN] = {};
    if (GetLunInformation(volume, lun) != 0) {
        TraceEnd(kName, -1);
        WriteLog(1, nullptr, 0, "%s Err end [%s] [%d]", kName, LogText(volume), __LINE__);
        return -1;
    }
    CtrlCommonData(own, ZRK_COMMON_GET_BOXID);
    if (GetTfoSession(volume, lun + 8, own, session) != 0) {
        TraceEnd(kName, -1);
        WriteLog(1, nullptr, 0, "%s Err end [%s] [%d]", kName, LogText(volume), __LINE__);
        return -1;
    }

    unsigned char *src = session + kEntrySrcBoxId;
    unsigned char *dst = session + kEntryDstBoxId;
    if (ConvertCheckflg == ZRK_CONVERT_ALWAYS) {
        CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
        CtrlCommonData(SameBoxId(src, own) ? dst : src, ZRK_COMMON_SET_BOXID);
    } else if (boxIdA != nullptr && boxIdB != nullptr) {
        if (SameBoxId(dst, boxIdA) && SameBoxId(dst, boxIdB)) {
            CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
            CtrlCommonData(dst, ZRK_COMMON_SET_BOXID);
        } else if (SameBoxId(src, boxIdA) && SameBoxId(src, boxIdB)) {
            CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
            CtrlCommonData(src, ZRK_COMMON_SET_BOXID);
        }
    }
    TraceEnd(kName, 0);
    WriteLog(1, nullptr, 0, "%s OK end [%s] [%d]", kName, LogText(volume), __LINE__);
    return 0;
}

extern "C" void API_TRACE_DMP(const char *name, const char *title, const void *data,
                              int length) {
    if (title != nullptr) ZRKC_Com_OutputTrace(3, 1, "INFO", name, nullptr, 0, title);
    if (data == nullptr || length <= 0) return;
    const auto *bytes = static_cast<const unsigned char *>(data);
    char line[16 + 16 * 2 + 4 + 1];
    for (int offset = 0; offset < length; offset += 16) {
        int used = std::snprintf(line, sizeof line, "0x%08x : ", static_cast<unsigned>(offset));
        for (int i = offset; i < length && i < offset + 16; ++i) {
            used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "%02x%s",
                                  bytes[i], i % 4 == 3 ? " " : "");
        }
        ZRKC_Com_OutputTrace(3, 1, "INFO", name, nullptr, 0, line);
    }
}
