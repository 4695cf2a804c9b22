// The SCSI transport of the in-band engine: every command to an array goes
// through DoScsi. Also the sense store, the pseudo sense of local failures and
// the big-endian byte-order helpers.
//
// The descriptor of the device is opened by the first command of an API call
// and kept in ZRKopenFlag/ZRKopenFd for the later commands of that call; the
// API layer closes it at the end of the call. The transport closes it only
// when an ioctl fails.
#include "platform.h"
#include "zrkengine.h"
#include "zrkhost.h"

#include <fcntl.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
unsigned char SENSE_DATA[ZRK_SENSE_STORE_LEN];
int ZRKopenFlag;
int ZRKopenFd;
int ZRKbvm;
unsigned char ZRKstorage_cluster;
unsigned char ZRKstorage_clustergroup;
char ZRKstorage_clustervol[ZRK_STORAGE_VOL_LEN];
}

namespace zrk {

void HostFd::Close() {
    if (iFd >= 0) {
        const int saved = errno;
        zrk_host_close(iFd);
        errno = saved;
        iFd = -1;
    }
}

void ClearFailoverRole() {
    ZRKstorage_cluster = ZRK_ROLE_NONE;
    ZRKstorage_clustergroup = 0;
    std::memset(ZRKstorage_clustervol, 0, sizeof ZRKstorage_clustervol);
}

}  // namespace zrk

namespace {

using namespace zrk;

constexpr int kAttempts = 3;
constexpr unsigned char kSenseKeyHardwareError = 0x04;
constexpr unsigned char kSenseKeyUnitAttention = 0x06;

bool IsTravoOut(unsigned char opcode) { return opcode == 0xE9 || opcode == 0xEC; }
bool IsTravoIn(unsigned char opcode) { return opcode == 0xEB || opcode == 0xEE; }

bool ValidRequest(const char *volume, const unsigned char *cdb, unsigned char cdbLength,
                  const void *data, int dataLength) {
    return volume != nullptr && cdb != nullptr && cdbLength != 0 && dataLength >= 0 &&
           (data != nullptr || dataLength == 0);
}

// How much of the data a good answer dumps into the log: a TRAVO IN page its
// header and the length the header announces (16 when 16 bytes were asked
// for), a TRAVO OUT nothing, anything else all of it; never more than there is.
int GoodDumpLength(const unsigned char *cdb, unsigned char cdbLength,
                   const unsigned char *data, int dataLength) {
    if (IsTravoOut(cdb[0])) return 0;
    if (!IsTravoIn(cdb[0])) return dataLength;
    int length = dataLength;
    if (cdbLength > 8 && ShiftBtoI(cdb + 7, 2) == 16) {
        length = 16;
    } else if (dataLength >= 8) {
        length = 8 + static_cast<int>(ShiftBtoI(data + 6, 2));
    }
    return std::min(length, dataLength);
}

// The whole-disk fallback of a partition node that refuses SG_IO: the same
// request on the disk's own node, opened and closed here. The shared
// descriptor stays the partition's.
int IssueOnWholeDisk(const char *node, unsigned long request, void *arg) {
    char whole[ZRK_DEVNAME_LEN + 1] = {};
    errno = 0;
    if (GetVolumeName(node, whole) != 0) {
        const int err = errno != 0 ? errno : ENOTTY;
        CloseSharedDevice();
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        SetErrClassCode(ZRK_ERRCLASS_WHOLE_NAME, err);
        return -1;
    }
    HostFd fd(zrk_host_open(whole, O_RDONLY));
    if (!fd) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "open() : %s", std::strerror(err));
        CloseSharedDevice();
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        SetErrClassCode(ZRK_ERRCLASS_WHOLE_OPEN, err);
        return -1;
    }
    if (zrk_host_ioctl(fd.Get(), request, arg) == -1) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "ioctl : %s", std::strerror(err));
        fd.Close();
        CloseSharedDevice();
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        SetErrClassCode(ZRK_ERRCLASS_WHOLE_IOCTL, err);
        return -1;
    }
    return 0;
}

// The end line of a failed transport step. An error that reports a changed
// failover role also forgets the role held.
int TransportErr(const char *name, const char *volume, int line) {
    LogErr(1, name, volume, line);
    if (ZRKerrno == ZRK_ERR_ROLE_CHANGED) ClearFailoverRole();
    return -1;
}

// The road of a request: the volume's own node, or, for a volume of the
// volume manager (or every volume while ZRKbvm is set), its pass-through node
// with the request wrapped in a pass-through record. Not to be copied: pArg
// may point at tPass.
struct Road {
    const char         *pNode;     /* node to open */
    unsigned long       ulRequest; /* ioctl request on it */
    void               *pArg;      /* its argument */
    ZrkBrdlxPassThrough tPass;     /* the wrapper on the pass-through road */
};

// false (ZRKerrno set, pseudo sense recorded) when the pass-through record
// cannot be filled.
bool ChooseRoad(const char *volume, unsigned int request, void *arg, Road &road) {
    road = Road{volume, request, arg, ZrkBrdlxPassThrough{}};
    if (!IsBrindlex(volume) && ZRKbvm == 0) return true;
    dev_t device = 0;
    if (GetDeviceNumber(volume, &device) != 0) {
        const int err = errno;
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        SetErrClassCode(ZRK_ERRCLASS_DEVNUM, err);
        return false;
    }
    road.tPass.ullDevice = device;
    road.tPass.uiRequest = request;
    road.tPass.pArg = arg;
    road.pNode = ZRK_BRDLX_DIAG_NODE;
    road.ulRequest = ZRK_BRDLX_DIAG_IOCTL;
    road.pArg = &road.tPass;
    return true;
}

// The verdict on a check, with the catalogue consulted for an unmapped sense;
// the message is what the log shows.
void ApplyCheck(const ScsiVerdict &verdict, char (&message)[ZRK_MESSAGE_LEN]) {
    ZRKerrno = verdict.iErrno;
    std::snprintf(message, sizeof message, "%s", verdict.caMessage);
    if (!verdict.bAskCatalogue) return;
    ErrInfoWxapi entry{};
    if (get_err_info_wxapi(ZRK_ERRINF_BY_SENSE, static_cast<int>(verdict.uiSenseCode),
                           &entry) == 0) {
        ZRKerrno = entry.iErrorCode;
        entry.caMessage[sizeof entry.caMessage - 1] = '\0';
        const size_t length = std::strcspn(entry.caMessage, "\n");
        std::snprintf(message, sizeof message, "%.*s", static_cast<int>(length),
                      entry.caMessage);
    }
}

}  // namespace

// ---- the sense store and the pseudo sense ---------------------------------

extern "C" void CtrlSenseData(void *buffer, int length, int operation) {
    const size_t count = static_cast<size_t>(std::clamp(length, 0, ZRK_SENSE_STORE_LEN));
    switch (operation) {
    case ZRK_SENSE_CLEAR:
        std::memset(SENSE_DATA, 0, sizeof SENSE_DATA);
        break;
    case ZRK_SENSE_COPY_OUT:
        if (buffer != nullptr && count != 0) std::memcpy(buffer, SENSE_DATA, count);
        break;
    case ZRK_SENSE_STORE:
        if (buffer != nullptr && count != 0) std::memcpy(SENSE_DATA, buffer, count);
        break;
    default:
        break;
    }
}

extern "C" void SetErrClassCode(int errorClass, int osErrno) {
    unsigned char store[ZRK_SENSE_STORE_LEN];
    CtrlSenseData(store, sizeof store, ZRK_SENSE_COPY_OUT);
    if (store[0] != 0) {
        WriteLog(16, nullptr, 0, "SetErrClassCode out(Check SenseData) [%d]", __LINE__);
        return;
    }
    store[0] = static_cast<unsigned char>(errorClass);
    SetItoB(store + 4, osErrno, 4);
    CtrlSenseData(store, sizeof store, ZRK_SENSE_STORE);
    WriteLog(16, store, sizeof store, "SenseData [%d]", __LINE__);
}

extern "C" void CloseSharedDevice(void) {
    if (ZRKopenFlag != 1) return;
    const int saved = errno;
    zrk_host_close(ZRKopenFd);
    ZRKopenFlag = 0;
    ZRKopenFd = 0;
    WriteLog(2, nullptr, 0, "opcl_reduction close Flag:%d Fd:%d [%d]", ZRKopenFlag, ZRKopenFd,
             __LINE__);
    errno = saved;
}

// ---- byte order -------------------------------------------------------------

extern "C" unsigned int ShiftBtoI(const unsigned char *bytes, int n) {
    if (bytes == nullptr) return 0;
    if (n < 0 || n > 4) n = 4;
    if (n == 0) n = 1;
    unsigned int value = 0;
    for (int i = 0; i < n; ++i) value = value << 8 | bytes[i];
    return value;
}

extern "C" void SetItoB(unsigned char *buffer, int value, int n) {
    if (buffer == nullptr) return;
    const auto v = static_cast<uint32_t>(value);
    if (n == 4) {
        buffer[0] = static_cast<unsigned char>(v >> 24);
        buffer[1] = static_cast<unsigned char>(v >> 16);
        buffer[2] = static_cast<unsigned char>(v >> 8);
        buffer[3] = static_cast<unsigned char>(v);
    } else {
        buffer[0] = static_cast<unsigned char>(v >> 8);
        buffer[1] = static_cast<unsigned char>(v);
    }
}

extern "C" void ShiftAnytoB(const void *value, int sourceWidth, int targetWidth,
                            unsigned char *buffer) {
    uint64_t v = 0;
    if (value != nullptr) {
        switch (sourceWidth) {
        case 2: { uint16_t x; std::memcpy(&x, value, sizeof x); v = x; break; }
        case 4: { uint32_t x; std::memcpy(&x, value, sizeof x); v = x; break; }
        case 8: { uint64_t x; std::memcpy(&x, value, sizeof x); v = x; break; }
        default: break;
        }
    }
    if (buffer == nullptr) return;
    switch (targetWidth) {
    case 2: case 3: case 4: case 8:
        for (int i = 0; i < targetWidth; ++i)
            buffer[targetWidth - 1 - i] = static_cast<unsigned char>(v >> (8 * i));
        break;
    default:
        break;
    }
}

extern "C" unsigned int CutoutEachByte(const unsigned char *bytes, int i) {
    if (bytes == nullptr || i < 0) return 0;
    return bytes[i];
}

// ---- the transport ----------------------------------------------------------

extern "C" int DoScsi(const char *volume, int requestFlag, unsigned char *cdb,
                      unsigned char cdbLength, void *data, int dataLength) {
    static constexpr const char kName[] = "DoScsi";
    LogIn(1, kName, volume, __LINE__);
    WriteLog(4, nullptr, 0, "DoScsi() LogicalVol=[%s] : RequestFlag=<0x%x>", LogText(volume),
             static_cast<unsigned int>(requestFlag));
    const int direction = cdb != nullptr && cdbLength != 0 && IsTravoOut(cdb[0])
                              ? ZRK_DIR_TO_DEVICE
                              : ZRK_DIR_FROM_DEVICE;
    const int rc = DoScsi_sg(volume, direction, cdb, cdbLength, data, dataLength);
    if (rc != 0) return TransportErr(kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int DoScsi_sg(const char *volume, int direction, unsigned char *cdb,
                         unsigned char cdbLength, void *data, int dataLength) {
    static constexpr const char kName[] = "DoScsi_sg";
    LogIn(1, kName, volume, __LINE__);
    if (!ValidRequest(volume, cdb, cdbLength, data, dataLength)) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return TransportErr(kName, volume, __LINE__);
    }

    unsigned char sense[ZRK_SG_SENSE_LEN];
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction =
        direction == ZRK_DIR_TO_DEVICE ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
    header.cmd_len = cdbLength;
    header.mx_sb_len = 32;
    header.dxfer_len = static_cast<unsigned int>(dataLength);
    header.dxferp = data;
    header.cmdp = cdb;
    header.sbp = sense;
    header.timeout = ZRK_SG_TIMEOUT_MS;
    const sg_io_hdr_t saved = header;

    Road road;
    if (!ChooseRoad(volume, SG_IO, &header, road)) return TransportErr(kName, volume, __LINE__);

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::memset(sense, 0, sizeof sense);
        if (attempt > 0) header = saved;
        if (ZRKopenFlag == 0) {
            WriteLog(2, nullptr, 0, "DoScsi_sg chk [%s] [%d]", volume, __LINE__);
            WriteLog(4, nullptr, 0, "Open device [%s]", road.pNode);
            const int fd = zrk_host_open(road.pNode, O_RDONLY);
            if (fd < 0) {
                const int err = errno;
                WriteLog(16, nullptr, 0, "open() : %s", std::strerror(err));
                ZRKerrno = ZRK_ERR_LOGICAL_VOL;
                SetErrClassCode(ZRK_ERRCLASS_OPEN, err);
                return TransportErr(kName, volume, __LINE__);
            }
            ZRKopenFlag = 1;
            ZRKopenFd = fd;
        }
        WriteLog(4, cdb, cdbLength, "Request SCSI command");
        if (IsTravoOut(cdb[0])) WriteLog(4, data, dataLength, "Input user buffer");

        errno = 0;
        if (zrk_host_ioctl(ZRKopenFd, road.ulRequest, road.pArg) == -1) {
            const int err = errno;
            WriteLog(16, nullptr, 0, "ioctl : %s", std::strerror(err));
            if (err != ENOTTY) {
                CloseSharedDevice();
                ZRKerrno = ZRK_ERR_LOGICAL_VOL;
                SetErrClassCode(ZRK_ERRCLASS_IOCTL, err);
                return TransportErr(kName, volume, __LINE__);
            }
            header = saved;
            if (IssueOnWholeDisk(road.pNode, road.ulRequest, road.pArg) != 0)
                return TransportErr(kName, volume, __LINE__);
        }

        if ((header.info & SG_INFO_CHECK) == 0) break;
        if (header.masked_status != ZRK_MSTATUS_CHECK_CONDITION) break;
        const unsigned char key = NormaliseSense(sense, sizeof sense).ucKey;
        if (key == kSenseKeyHardwareError) {
            WriteLog(16, sense, 16, "SCSI returned Check condition.(Hardware Error)");
        } else if (key == kSenseKeyUnitAttention) {
            WriteLog(16, sense, 16, "SCSI returned Check condition.(Unit Attention)");
        } else {
            break;
        }
    }

    WriteLog(1, &header, sizeof header, "io_hdr Dump ");
    if ((header.info & SG_INFO_CHECK) == 0) {
        const int dump = GoodDumpLength(cdb, cdbLength, static_cast<unsigned char *>(data),
                                        dataLength);
        WriteLog(4, dump != 0 ? data : nullptr, dump, "SCSI returned Good condition");
        return LogOk(1, kName, volume, __LINE__);
    }

    const int status = header.masked_status;
    const ScsiVerdict verdict = MapScsiResult(status, sense, sizeof sense);
    if (status == ZRK_MSTATUS_CHECK_CONDITION) {
        ZRKerrno = ZRK_ERR_HARDWARE;
        CtrlSenseData(sense, sizeof sense, ZRK_SENSE_STORE);
        if (verdict.bDone) {
            ZRKerrno = ZRK_ERR_NONE;
            WriteLog(4, sense, sizeof sense, "%s", verdict.caMessage);
            return LogOk(1, kName, volume, __LINE__);
        }
        char message[ZRK_MESSAGE_LEN];
        ApplyCheck(verdict, message);
        WriteLog(4, sense, sizeof sense, "%s", message);
    } else {
        ZRKerrno = verdict.iErrno;
        WriteLog(4, nullptr, 0, "%s", verdict.caMessage);
    }
    return TransportErr(kName, volume, __LINE__);
}

// The older transport through SCSI_IOCTL_SEND_COMMAND: the command and its
// data travel in one buffer of a memory page (in-length, out-length, CDB,
// outgoing data after the CDB; the answer or the sense comes back at the
// start of the data area). It opens its own read-write descriptor for the
// command and maps the sense by the short table, without the catalogue.
namespace {

struct SendCommand {
    uint32_t      uiInLength;  /* bytes of data to the device */
    uint32_t      uiOutLength; /* bytes of data from the device */
    unsigned char ucaData[4096 - 8]; /* CDB, then data; the answer comes back here */
};
static_assert(sizeof(SendCommand) == 4096, "one memory page");

}  // namespace

extern "C" int DoScsi_sd(const char *volume, int direction, unsigned char *cdb,
                         unsigned char cdbLength, void *data, int dataLength) {
    static constexpr const char kName[] = "DoScsi_sd";
    LogIn(1, kName, volume, __LINE__);
    if (!ValidRequest(volume, cdb, cdbLength, data, dataLength)) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return TransportErr(kName, volume, __LINE__);
    }
    const bool toDevice = direction == ZRK_DIR_TO_DEVICE;
    const size_t length = static_cast<size_t>(dataLength);
    const size_t need = toDevice ? cdbLength + length
                                 : std::max<size_t>({cdbLength, length, ZRK_SG_SENSE_LEN});
    SendCommand command{};
    if (need > sizeof command.ucaData) {
        ZRKerrno = ZRK_ERR_MEMORY_SIZE;
        return TransportErr(kName, volume, __LINE__);
    }
    command.uiInLength = toDevice ? static_cast<uint32_t>(length) : 0;
    command.uiOutLength = toDevice ? 0 : static_cast<uint32_t>(length);
    std::memcpy(command.ucaData, cdb, cdbLength);
    if (toDevice && length != 0) std::memcpy(command.ucaData + cdbLength, data, length);
    const SendCommand saved = command;

    Road road;
    if (!ChooseRoad(volume, SCSI_IOCTL_SEND_COMMAND, &command, road))
        return TransportErr(kName, volume, __LINE__);

    HostFd fd(zrk_host_open(road.pNode, O_RDWR));
    if (!fd) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "open() : %s", std::strerror(err));
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        SetErrClassCode(ZRK_ERRCLASS_OPEN, err);
        return TransportErr(kName, volume, __LINE__);
    }

    int result = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) command = saved;
        WriteLog(4, cdb, cdbLength, "Request SCSI command");
        errno = 0;
        result = zrk_host_ioctl(fd.Get(), road.ulRequest, road.pArg);
        if (result == -1) {
            const int err = errno;
            WriteLog(16, nullptr, 0, "ioctl : %s", std::strerror(err));
            ZRKerrno = ZRK_ERR_LOGICAL_VOL;
            SetErrClassCode(ZRK_ERRCLASS_IOCTL, err);
            return TransportErr(kName, volume, __LINE__);
        }
        if (result == 0) break;
        if (((result & 0xFF) >> 1) != ZRK_MSTATUS_CHECK_CONDITION) break;
        const unsigned char key = NormaliseSense(command.ucaData, ZRK_SG_SENSE_LEN).ucKey;
        if (key != kSenseKeyHardwareError && key != kSenseKeyUnitAttention) break;
        WriteLog(16, command.ucaData, 16, key == kSenseKeyHardwareError
                                              ? "SCSI returned Check condition.(Hardware Error)"
                                              : "SCSI returned Check condition.(Unit Attention)");
    }

    if (result == 0) {
        if (!toDevice && length != 0) std::memcpy(data, command.ucaData, length);
        WriteLog(4, nullptr, 0, "SCSI returned Good condition");
        return LogOk(1, kName, volume, __LINE__);
    }
    const int status = (result & 0xFF) >> 1;
    const ScsiVerdict verdict =
        MapScsiResult(status, command.ucaData, ZRK_SG_SENSE_LEN, SenseTable::Short);
    ZRKerrno = verdict.iErrno;
    if (status == ZRK_MSTATUS_CHECK_CONDITION) {
        CtrlSenseData(command.ucaData, ZRK_SG_SENSE_LEN, ZRK_SENSE_STORE);
        WriteLog(4, command.ucaData, ZRK_SG_SENSE_LEN, "%s", verdict.caMessage);
    } else {
        WriteLog(4, nullptr, 0, "%s", verdict.caMessage);
    }
    return TransportErr(kName, volume, __LINE__);
}
