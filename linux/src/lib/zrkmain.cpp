// The vendor copy commands: TRAVO IN reads a page of copy information, TRAVO
// OUT sends a parameter list that orders a copy action. Each builds a 10-byte
// CDB in the short or the large form and with the opcode of the array family,
// adds the storage-cluster bits, and hands it to DoScsi. Also the process-wide
// copy-support stores and the wrappers of the extended functions.
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <cstring>

extern "C" {
int ZRKstorageflg;
unsigned char ZRKsession4096;
unsigned char ZRKsession4096out;
uint32_t ZRKOptionFlag;
}

namespace {

using namespace zrk;

// Bits of CDB byte 1 that mark a command to an array of a storage cluster.
constexpr unsigned char kCdbCluster = 0x20;   // the array takes part in failover
constexpr unsigned char kCdbSecondary = 0x40; // the checked volume is on the secondary

// The copy-support stores. Written only by GetSupportCopyInfo and
// CheckProduct (through the Ctrl functions); read by every later command.
struct SupportStores {
    unsigned char ucaSupport[ZRK_SUPPORT_DATA_LEN];      // SUPPORT_DATA
    unsigned char ucaQmSupport[ZRK_QM_SUPPORT_DATA_LEN]; // QM_SUPPORT_DATA
    unsigned char ucaInqSupport[ZRK_INQ_SUPPORT_LEN];    // page 0xF0 bytes 26-27
};
SupportStores gStores;

// The three stores share one rule: clear, read out, write in.
void ControlStore(unsigned char *store, size_t length, void *buffer, int operation) {
    switch (operation) {
    case ZRK_STORE_CLEAR:
        std::memset(store, 0, length);
        break;
    case ZRK_STORE_READ:
        if (buffer != nullptr) std::memcpy(buffer, store, length);
        break;
    case ZRK_STORE_WRITE:
        if (buffer != nullptr) std::memcpy(store, buffer, length);
        break;
    default:
        break;
    }
}

// Byte 1 bits of the storage-cluster marking: kCdbCluster when the array
// takes part in failover (ZRK_SUPPORT_CLUSTER in any group that has it), and
// kCdbSecondary besides when the checked volume is on the secondary.
unsigned char FailoverBits() {
    const unsigned char *s = gStores.ucaSupport;
    if (!zrk_support_has(s, ZRK_SUPPORT_KZP_CLUSTER, ZRK_SUPPORT_CLUSTER) &&
        !zrk_support_has(s, ZRK_SUPPORT_VZ_CLUSTER, ZRK_SUPPORT_CLUSTER) &&
        !zrk_support_has(s, ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_CLUSTER))
        return 0;
    return ZRKstorage_cluster == ZRK_ROLE_SECONDARY ? kCdbCluster | kCdbSecondary : kCdbCluster;
}

// Whether the main family takes this page in the large TRAVO IN form.
bool LargeTravoIn(unsigned char mode, unsigned char page) {
    const unsigned char bits = ZRKsession4096;
    switch (page) {
    case 0x00:
        return ((mode & 0x04) != 0 && (bits & (ZRK_GROUP_REMOTE_KZP | ZRK_GROUP_KZP)) != 0) ||
               ((mode & 0x02) != 0 && (bits & (ZRK_GROUP_RVZ | ZRK_GROUP_VZ)) != 0);
    case 0x15: return (bits & ZRK_GROUP_REMOTE_KZP) != 0;
    case 0x19: return (bits & ZRK_GROUP_RVZ) != 0;
    case 0x05: return (bits & ZRK_GROUP_KZP) != 0;
    case 0x09: return (bits & ZRK_GROUP_VZ) != 0;
    case 0x40: return (bits & (ZRK_GROUP_VZ | ZRK_GROUP_RVZ)) != 0;
    case 0x44: case 0x31: case 0x45: case 0x32: case 0x46: case 0x33: case 0x24:
        return true;
    default:
        return false;
    }
}

// The selection byte of a detail-list read (page 0x43), from the option word
// of the call and the storage-cluster state.
unsigned char DetailListSelection() {
    if ((ZRKOptionFlag & ZRK_OPT_LIST_SEL_01) != 0) return 0x01;
    if ((ZRKOptionFlag & ZRK_OPT_LIST_FAILOVER) != 0) return 0x40;
    if ((ZRKOptionFlag & ZRK_OPT_LIST_SEL_10) != 0) return 0x10;
    if (ZRKstorage_cluster != ZRK_ROLE_NONE && (ZRKOptionFlag & ZRK_OPT_LIST_NO_CLUSTER) == 0)
        return 0x20;
    return 0;
}

void PutSessionId(unsigned char *cdb, const unsigned char *id) {
    if (id != nullptr) {
        cdb[4] = id[0];
        cdb[5] = id[1];
    }
}

// Clears the reply and sends a TRAVO IN CDB.
int SendTravoIn(const char *function, const char *volume, unsigned char *cdb, void *reply,
                int length) {
    if (reply == nullptr || length < 0) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, function, volume, __LINE__);
    }
    std::memset(reply, 0, static_cast<size_t>(length));
    if (DoScsi(volume, 1, cdb, ZRK_TRAVO_CDB_LEN, reply, length) != 0) {
        return LogErr(1, function, volume, __LINE__);
    }
    return LogOk(1, function, volume, __LINE__);
}

}  // namespace

extern "C" void CtrlSupportData(void *buffer, int operation) {
    ControlStore(gStores.ucaSupport, sizeof gStores.ucaSupport, buffer, operation);
}

extern "C" void CtrlQmSupportData(void *buffer, int operation) {
    switch (operation) {
    case ZRK_STORE_CLEAR:
        WriteLog(1, nullptr, 0, "SUPPORT_CLEAR");
        break;
    case ZRK_STORE_READ:
        WriteLog(1, nullptr, 0, "SUPPORT_READ");
        WriteLog(1, gStores.ucaQmSupport, sizeof gStores.ucaQmSupport, "QmSupportData read");
        break;
    case ZRK_STORE_WRITE:
        WriteLog(1, nullptr, 0, "SUPPORT_WRITE");
        break;
    default:
        break;
    }
    ControlStore(gStores.ucaQmSupport, sizeof gStores.ucaQmSupport, buffer, operation);
}

extern "C" void CtrlInqSupportData(void *buffer, int operation) {
    ControlStore(gStores.ucaInqSupport, sizeof gStores.ucaInqSupport, buffer, operation);
}

extern "C" int ExecTravoIn(const char *volume, unsigned char mode, unsigned char page,
                           const unsigned char *sessionId, void *reply, int length) {
    static const char kName[] = "ExecTravoIn";
    LogIn(1, kName, volume, __LINE__);

    if ((page == 0x44 || page == 0x31) &&
        !zrk_support_has(gStores.ucaSupport, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return LogErr(2, kName, volume, __LINE__);
    }

    unsigned char cdb[ZRK_TRAVO_CDB_LEN] = {};
    const bool large = ZRKstorageflg == 0 && LargeTravoIn(mode, page);
    WriteLog(1, nullptr, 0, large ? "4096 support in" : "4096 is not support in");
    const unsigned int allocation = static_cast<unsigned int>(length);
    if (large) {
        cdb[0] = ZRK_OP_TRAVO_IN;
        cdb[1] = static_cast<unsigned char>(mode | 0x08);
        cdb[2] = page;
        PutSessionId(cdb, sessionId);
        ShiftAnytoB(&allocation, 4, 3, cdb + 6);
    } else {
        cdb[0] = ZRKstorageflg == 1 ? ZRK_OP_TRAVO_IN_QM : ZRK_OP_TRAVO_IN;
        cdb[1] = static_cast<unsigned char>(mode & 0x7F);
        cdb[2] = page;
        if (page == 0x43) {
            cdb[3] = DetailListSelection();
            if ((mode & 0x80) != 0) cdb[3] |= 0x80;
        }
        PutSessionId(cdb, sessionId);
        ShiftAnytoB(&allocation, 4, 2, cdb + 7);
    }
    cdb[1] |= FailoverBits();
    return SendTravoIn(kName, volume, cdb, reply, length);
}

extern "C" int ExecTravoOut(const char *volume, void *list, int length) {
    static const char kName[] = "ExecTravoOut";
    LogIn(1, kName, volume, __LINE__);

    unsigned char cdb[ZRK_TRAVO_CDB_LEN] = {};
    const unsigned int listLength = static_cast<unsigned int>(length);
    const bool large = ZRKstorageflg == 0 &&
                       (ZRKsession4096out & (ZRK_GROUP_REMOTE_KZP | ZRK_GROUP_RVZ |
                                             ZRK_GROUP_KZP | ZRK_GROUP_VZ)) != 0;
    WriteLog(1, nullptr, 0, large ? "4096 support in" : "4096 is not support in");
    if (large) {
        cdb[0] = ZRK_OP_TRAVO_OUT;
        cdb[1] = static_cast<unsigned char>(0x09 | FailoverBits());
        ShiftAnytoB(&listLength, 4, 3, cdb + 6);
    } else {
        cdb[0] = ZRKstorageflg == 1 ? ZRK_OP_TRAVO_OUT_QM : ZRK_OP_TRAVO_OUT;
        cdb[1] = 0x01;
        ShiftAnytoB(&listLength, 4, 2, cdb + 7);
    }
    if (DoScsi(volume, 0, cdb, sizeof cdb, list, length) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int ExecTravoIn_BuffID(const char *volume, unsigned char mode, unsigned char page,
                                  unsigned char flag, const unsigned char *buffId,
                                  void *reply, unsigned int length) {
    static const char kName[] = "ExecTravoIn_BuffID";
    LogIn(1, kName, volume, __LINE__);
    if (length > 0x7FFFFFFFu) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char cdb[ZRK_TRAVO_CDB_LEN] = {};
    cdb[0] = ZRK_OP_TRAVO_IN;
    cdb[1] = static_cast<unsigned char>(mode | FailoverBits());
    cdb[2] = page;
    cdb[3] = flag;
    PutSessionId(cdb, buffId);
    ShiftAnytoB(&length, 4, 3, cdb + 6);
    return SendTravoIn(kName, volume, cdb, reply, static_cast<int>(length));
}

extern "C" int EXECTRAVOIN(const char *volume, unsigned char mode, unsigned char page,
                           const unsigned char *sessionId, void *reply, int length) {
    static const char kName[] = "EXECTRAVOIN";
    LogIn(1, kName, volume, __LINE__);
    WriteLog(1, nullptr, 0, "LITTLE-ENDIAN[%d] in [%s] [%d]", 2, LogText(volume), __LINE__);
    if (ExecTravoIn(volume, mode, page, sessionId, reply, length) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GETOLUSTATUSINFO(const char *volume, const unsigned char *olu, void *reply) {
    static const char kName[] = "GETOLUSTATUSINFO";
    LogIn(1, kName, volume, __LINE__);
    if (olu == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    WriteLog(8, nullptr, 0, "ucpOLU=[0x%02x%02x]", olu[0], olu[1]);
    WriteLog(1, nullptr, 0, "LITTLE-ENDIAN[%d] in [%s] [%d]", 2, LogText(volume), __LINE__);
    if (GetOLUStatusInfo(volume, olu, static_cast<unsigned char *>(reply)) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int CommCheckSet(const char *volume, unsigned int optionFlag, unsigned int mask) {
    static const char kName[] = "CommCheckSet";
    LogIn(1, kName, volume, __LINE__);
    WriteLog(8, nullptr, 0, "uiOptionFlag=[0x%04x] uiOptMask=[0x%04x]", optionFlag, mask);
    if ((optionFlag & ~mask) != 0) {
        ZRKerrno = ZRK_ERR_OPTION;
        return LogErr(1, kName, volume, __LINE__);
    }
    if (CheckProduct(volume) != 0) return LogErr(1, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_REMOTE);
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);
    return LogOk(1, kName, volume, __LINE__);
}
