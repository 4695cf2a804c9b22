// Storage-cluster (transparent failover) helpers: the role check of a volume,
// the swap of the cached own BoxID to the partner array's, and a hex dump into
// the API trace. The failover session of a volume (GetTfoSession) and the
// searches over the RVZ buffer page 0x24 are read with the detail list
// (zrkdetail.cpp).
//
// These helpers stand above identification: they call the LU information,
// the common data and the detail list, and nothing below them calls them.
// The role itself is read by identification (CheckFailoverRole, run by
// CheckProduct); CheckFailOver here runs it on the stored INQUIRY support
// bytes.
//
// Besides the debug log these functions write into the API trace that their
// caller opened; a trace that is not open only stays silent.
#include "zrkcmulti.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <cstdio>
#include <cstring>

extern "C" {
int ConvertCheckflg;
}

namespace {

using namespace zrk;

constexpr int kEntrySrcBoxId = 16; // offsets in a DETAIL_LIST_INFO entry
constexpr int kEntryDstBoxId = 56;
constexpr int kLunOlu = 8;         // the OLU in LUN_INFORMATION

bool SameBoxId(const unsigned char *a, const unsigned char *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

// Caches boxId as the own BoxID of the common data.
void CacheBoxId(const unsigned char *boxId) {
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
    CtrlCommonData(const_cast<unsigned char *>(boxId), ZRK_COMMON_SET_BOXID);
}

}  // namespace

extern "C" int CheckFailOver(const char *volume) {
    unsigned char inqSupport[ZRK_INQ_SUPPORT_LEN] = {};
    CtrlInqSupportData(inqSupport, ZRK_STORE_READ);
    return CheckFailoverRole(volume, inqSupport);
}

extern "C" int ConvertPrimaryBoxID(const char *volume, const unsigned char *boxIdA,
                                   const unsigned char *boxIdB) {
    static const char kName[] = "ConvertPrimaryBoxID";
    if (ZRKstorage_cluster != ZRK_ROLE_SECONDARY || ConvertCheckflg == ZRK_CONVERT_NEVER) {
        return 0;
    }
    LogIn(1, kName, volume, __LINE__);
    TraceText(1, "INFO", kName, "START");

    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    unsigned char own[ZRK_BOXID_LEN] = {};
    unsigned char session[ZRK_DETAIL_LIST_ENTRY_LEN] = {};
    if (GetLunInformation(volume, lun) != 0) {
        TraceEnd(1, kName, -1);
        return LogErr(1, kName, volume, __LINE__);
    }
    CtrlCommonData(own, ZRK_COMMON_GET_BOXID);
    if (GetTfoSession(volume, lun + kLunOlu, own, session) != 0) {
        TraceEnd(1, kName, -1);
        return LogErr(1, kName, volume, __LINE__);
    }

    const unsigned char *src = session + kEntrySrcBoxId;
    const unsigned char *dst = session + kEntryDstBoxId;
    if (ConvertCheckflg == ZRK_CONVERT_ALWAYS) {
        CacheBoxId(SameBoxId(src, own) ? dst : src);
    } else if (boxIdA != nullptr && boxIdB != nullptr) {
        if (SameBoxId(dst, boxIdA) && SameBoxId(dst, boxIdB)) {
            CacheBoxId(dst);
        } else if (SameBoxId(src, boxIdA) && SameBoxId(src, boxIdB)) {
            CacheBoxId(src);
        }
    }
    TraceEnd(1, kName, 0);
    return LogOk(1, kName, volume, __LINE__);
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
