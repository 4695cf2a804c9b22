// The classic volume information: the volume's identity and copy capacity
// (VOLUME_INFO_RECORD), the array's LU mapping list, the volume's LU
// information page and the list of the remote arrays this array copies to.
// Each checks the product first and then reads standard SCSI pages and
// TRAVO IN pages; a failing step ends the query with its ZRKerrno, and what
// the earlier steps wrote stays.
#include "zrkclassic.h"
#include "zrkframe.h"

#include <cstring>

using namespace zrk;

namespace {

// RECEIVE DIAGNOSTIC RESULTS of the LU mapping page 0xB0.
constexpr unsigned char kOpReceiveDiagnostic = 0x1C;
constexpr unsigned char kPageCodeValid = 0x01;
constexpr unsigned char kPageLuMapping = 0xB0;
constexpr size_t kDiagnosticHeadLen = ZRK_LU_MAPPING_REPLY_LEN - ZRK_LU_MAPPING_LEN;
static_assert(kDiagnosticHeadLen == 4, "page 0xB0 header");

// TRAVO IN page 0x20, the remote arrays: read to the length of the family, and
// passed on from its byte 8 after the own BoxID.
constexpr unsigned char kPageRemoteArrays = 0x20;
constexpr size_t kRemoteAreaLen = ZRK_REMOTE_BOXID_LIST_LEN - ZRK_BOXID_LEN;
constexpr size_t kRemoteReadQm = kRemoteAreaLen + ZRK_PAGE_HEAD_LEN;
constexpr size_t kRemoteReadMain = ZRK_REMOTE_BOXID_MAIN_LEN - ZRK_BOXID_LEN + ZRK_PAGE_HEAD_LEN;
static_assert(kRemoteReadMain == 3088 && kRemoteReadQm == 12304, "page 0x20 read lengths");

// The RVZ buffer counts in the page 0x21 reply.
constexpr size_t kRvzBuffMax = 8;
constexpr size_t kRvzBuffCur = 10;

constexpr size_t kLunOlu = 8;        // LU information: the OLU (2 bytes)
constexpr size_t kLunAttribute = 11; // LU information: the volume attribute

// The opening of a volume information read: the entry line, the caller's
// area, the product check. 0, or -1 after the Err end line.
int Enter(const char *name, const char *volume, const void *out) {
    LogIn(2, name, volume, __LINE__);
    if (out == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, name, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(2, name, volume, __LINE__);
    return 0;
}

} // namespace

extern "C" int GetVolumeInfo(const char *volume, unsigned int optionFlag,
                             VOLUME_INFO_RECORD *record) {
    static constexpr const char kName[] = "GetVolumeInfo";
    (void)optionFlag;
    if (Enter(kName, volume, record) != 0) return -1;

    if (GetExtentInfo(volume, &record->uiExtent, &record->uiSize) != 0)
        return LogErr(2, kName, volume, __LINE__);
    WriteLog(2, nullptr, 0, "GetVolumeInfo Addr=<%d> Size=<%d> [%s] [%d]",
             static_cast<int>(record->uiExtent), static_cast<int>(record->uiSize),
             LogText(volume), __LINE__);

    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    if (GetLunInformation(volume, lun) != 0) return LogErr(2, kName, volume, __LINE__);
    record->uiOlu = Be16(lun + kLunOlu);
    record->VolInfoEx = VOL_INFO_EX{};
    record->VolInfoEx.ucAttribute = lun[kLunAttribute];
    WriteLog(2, nullptr, 0, "GetVolumeInfo OLU=<%d> [%s] [%d]", static_cast<int>(record->uiOlu),
             LogText(volume), __LINE__);

    std::memset(record->BoxID, 0, sizeof record->BoxID);
    if (GetBoxID(volume, record->BoxID) != 0) return LogErr(2, kName, volume, __LINE__);

    VOL_INFO &info = record->VolInfo;
    info = VOL_INFO{};
    if (GetSupportCopyInfo(volume, info.ucaSupportData, nullptr) != 0)
        return LogErr(2, kName, volume, __LINE__);
    const CopySupport s(info.ucaSupportData);

    if (s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND)) {
        WriteLog(2, nullptr, 0, "GetVolumeInfo VZ GetMaxSessionCount [%s] [%d]", LogText(volume),
                 __LINE__);
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_VZ_LIST, info.ucaVzMaxSession) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS)) {
            unsigned char *raw = nullptr;
            int length = 0;
            if (RVZBuffInfo(volume, &raw, &length) != 0) return LogErr(2, kName, volume, __LINE__);
            const Buffer list(raw);
            // Only counts that the reply holds.
            if (list && length >= static_cast<int>(kRvzBuffCur + 2)) {
                std::memcpy(info.ucaRvzBuffMax, list.get() + kRvzBuffMax, 2);
                std::memcpy(info.ucaRvzBuffCur, list.get() + kRvzBuffCur, 2);
            }
            WriteLog(2, nullptr, 0, "GetVolumeInfo RVZMaxCnt(%d) : RVZCurrentCnt(%d) [%s] [%d]",
                     static_cast<int>(Be16(info.ucaRvzBuffMax)),
                     static_cast<int>(Be16(info.ucaRvzBuffCur)), LogText(volume), __LINE__);
        }
    }
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_KIND)) {
        WriteLog(2, nullptr, 0, "GetVolumeInfo KZP maximum count of session [%s] [%d]",
                 LogText(volume), __LINE__);
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_KZP_LIST, info.ucaKzpMaxSession) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetVolumeList(const char *volume, unsigned int optionFlag, unsigned char *list) {
    static constexpr const char kName[] = "GetVolumeList";
    (void)optionFlag;
    if (Enter(kName, volume, list) != 0) return -1;
    std::memset(list, 0, ZRK_BOXID_LEN);
    if (GetBoxID(volume, list) != 0) return LogErr(2, kName, volume, __LINE__);
    unsigned char reply[ZRK_LU_MAPPING_REPLY_LEN];
    if (GetLuMapping(volume, reply) != 0) return LogErr(2, kName, volume, __LINE__);
    std::memcpy(list + ZRK_BOXID_LEN, reply + kDiagnosticHeadLen, ZRK_LU_MAPPING_LEN);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetVolumeConstInfo(const char *volume, unsigned int optionFlag,
                                  unsigned char *info) {
    static constexpr const char kName[] = "GetVolumeConstInfo";
    (void)optionFlag;
    if (Enter(kName, volume, info) != 0) return -1;
    if (GetLunInformation(volume, info) != 0) return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetRemoteBoxIDList(const char *volume, unsigned int optionFlag,
                                  unsigned char *list) {
    static constexpr const char kName[] = "GetRemoteBoxIDList";
    (void)optionFlag;
    if (Enter(kName, volume, list) != 0) return -1;
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    if (GetSupportCopyInfo(volume, support, nullptr) != 0) return LogErr(2, kName, volume, __LINE__);
    // Only an array with a remote copy set up knows remote arrays.
    if (!CopySupport(support).AnyHas({ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_FLAGS_RVZ},
                                     ZRK_SUPPORT_KIND))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
    std::memset(list, 0, ZRK_BOXID_LEN);
    if (GetBoxID(volume, list) != 0) return LogErr(2, kName, volume, __LINE__);
    std::memset(list + ZRK_BOXID_LEN, 0, kRemoteAreaLen);
    if (GetRemoteBoxID(volume, list + ZRK_BOXID_LEN) != 0) return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetLuMapping(const char *volume, unsigned char *reply) {
    static constexpr const char kName[] = "GetLuMapping";
    LogIn(1, kName, volume, __LINE__);
    if (reply == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    unsigned char cdb[6] = {kOpReceiveDiagnostic, kPageCodeValid, kPageLuMapping, 0, 0, 0};
    PutBe16(cdb + 3, ZRK_LU_MAPPING_REPLY_LEN);
    std::memset(reply, 0, ZRK_LU_MAPPING_REPLY_LEN);
    if (DoScsi(volume, 0, cdb, sizeof cdb, reply, ZRK_LU_MAPPING_REPLY_LEN) != 0)
        return LogErr(1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetRemoteBoxID(const char *volume, unsigned char *list) {
    static constexpr const char kName[] = "GetRemoteBoxID";
    LogIn(1, kName, volume, __LINE__);
    if (list == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    const size_t readLength = ZRKstorageflg != 0 ? kRemoteReadQm : kRemoteReadMain;
    Buffer reply = AllocateZeroed(readLength);
    if (!reply) return LogErr(1, kName, volume, __LINE__);
    const unsigned char noSession[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, kPageRemoteArrays, noSession, reply.get(),
                    static_cast<int>(readLength)) != 0)
        return LogErr(1, kName, volume, __LINE__);
    std::memcpy(list, reply.get() + ZRK_PAGE_HEAD_LEN, readLength - ZRK_PAGE_HEAD_LEN);
    return LogOk(1, kName, volume, __LINE__);
}
