// com_set_return_inf: the result of one API call as a return class, a
// message number and a message line. ZRKerrno is read right after the call;
// a few codes look at the sense data (fixed format) or at which function
// failed, the rest go through one checked table, and what the table does not
// list goes to the command error catalogue.
#include "zrkcmessage.h"
#include "zrkcops.h"
#include "zrkctrace.h"

#include "platform.h"

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

using namespace zrkplatform;

namespace {

using zrkc::Msg;

constexpr const char *kName = "com_set_return_inf";

// The identifier of the copy-priority setting, the one operation whose
// ZRK_ERR_BOXID has a message of its own.
constexpr uint8_t kSetCopyPriority = zrkc::IdOf(zrkc::Op::SetCopyPriority);

// A row's class is its message's.
constexpr int32_t kMessageClass = -1;

// What one ZRKerrno value maps to: a message of the table, the value its
// text takes where it has a "%s" (the SCSI condition, the mode change's
// cause), and its return class where the row's is not the message's.
struct ErrnoRow {
    int32_t iZrkErrno;                 // the code the row answers
    zrkc::Msg eMessage;                // its message
    const char *pDetail = nullptr;     // the "%s" of the message's text, or none
    int32_t iClass = kMessageClass;    // the return class, kMessageClass: the message's
};

// One row per ZRKerrno value, ascending. The codes with special rules
// (ZRK_ERR_HARDWARE, ZRK_ERR_BUSY, ZRK_ERR_BOXID, ZRK_ERR_RVZ_BUFFER) are
// not here; 0x1xxxx are array codes over the LAN (ZRK_ERR_ARRAY_BASE + the
// array's code), 0x25392 the cascade refusal as it is reported.
constexpr ErrnoRow kRows[] = {
    {ZRK_ERR_UNEXPECTED, Msg::InternalInconsistency},
    {ZRK_ERR_LOGICAL_VOL, Msg::InvalidVolumeName},
    {ZRK_ERR_EXTENT_CNT, Msg::InternalInconsistency},
    {ZRK_ERR_SRC_BOXID, Msg::InternalInconsistency},
    {ZRK_ERR_DST_BOXID, Msg::InternalInconsistency},
    {ZRK_ERR_SRC_OLU, Msg::InternalInconsistency},
    {ZRK_ERR_DST_OLU, Msg::InternalInconsistency},
    {ZRK_ERR_EXTENT, Msg::PhysicalInfoIncorrect},
    {ZRK_ERR_SIZE, Msg::PhysicalInfoIncorrect},
    {ZRK_ERR_INTERVAL, Msg::InternalInconsistency},
    {ZRK_ERR_PARAMETER, Msg::InternalInconsistency},
    {ZRK_ERR_NOT_SUPPORT, Msg::Unsupported},
    {ZRK_ERR_NO_SESSION, Msg::SessionMissing},
    {ZRK_ERR_NOT_ZRK, Msg::NotVastrel},
    {ZRK_ERR_CONDITION_MET, Msg::ScsiError, "condition_met"},
    {ZRK_ERR_CONFLICT, Msg::ScsiError, "command_conflict"},
    {ZRK_ERR_QUEUE_FULL, Msg::ScsiError, "taskset_full"},
    {ZRK_ERR_SCSI, Msg::ScsiError, "unexpected error"},
    {ZRK_ERR_DIFFERENT_ZRK, Msg::ArrayUnrecognized},
    {ZRK_ERR_PERMISSION, Msg::NotPermitted},
    {ZRK_ERR_TRNX, Msg::TrnxEnvironment},
    {ZRK_ERR_NO_MEMORY, Msg::NoMemory},
    {ZRK_ERR_OPTION, Msg::InvalidOption},
    {ZRK_ERR_VOLUME_MANAGER, Msg::BvmEnvironment},
    {ZRK_ERR_SEQUENCE, Msg::SequenceError},
    {ZRK_ERR_FILESYSTEM, Msg::InvalidFileSystem},
    {ZRK_ERR_OLU, Msg::LunInvalid},
    {ZRK_ERR_SETUP, Msg::ArrayResourceShort},
    {ZRK_ERR_BITMAP, Msg::UnitInconsistency},
    {ZRK_ERR_INTERRUPTED, Msg::CommunicationError},
    {ZRK_ERR_PARTNER, Msg::CopyOperationIncorrect},
    {ZRK_ERR_MODE_UNCHANGED, Msg::ModeChangeFailed, "NOT_CHANGED"},
    {ZRK_ERR_MODE_CROSSES, Msg::ModeChangeFailed, "CROSS"},
    {ZRK_ERR_SNAPKZP, Msg::InvalidSdv},
    {ZRK_ERR_CONC_SUSPEND, Msg::CopyOperationIncorrect, nullptr, ZRKC_CLASS_INTERNAL},
    {ZRK_ERR_SDV, Msg::InvalidSdv},
    {ZRK_ERR_BEYOND_32BIT, Msg::OperationUnsupported},
    {ZRK_ERR_MOTOR_OFF, Msg::EcoModeOff},
    {ZRK_ERR_SDV_PROTECT, Msg::SdvProtect},
    {ZRK_ERR_PRIORITY_PARAM, Msg::PriorityParameter},
    {ZRK_ERR_PRIORITY_COMBO, Msg::PriorityCombination},
    {ZRK_ERR_CONC_RESTORE, Msg::ConcRestore},
    {ZRK_ERR_CONC_START, Msg::ConcStart},
    {ZRK_ERR_INVALID_DATA, Msg::InvalidSourceData},
    {ZRK_ERR_MIGRATION, Msg::Migration},
    {ZRK_ERR_CONC_PARAM, Msg::ConcParameter},
    {ZRK_ERR_PER_COMMAND, Msg::PerCommandLimit},
    {ZRK_ERR_RESTORE_READYING, Msg::RestoreReadying},
    {ZRK_ERR_CONC_READYING, Msg::ConcReadying},
    {ZRK_ERR_CONC_RESTORING, Msg::ConcRestoring},
    {ZRK_ERR_CASCADE_STATUS, Msg::CascadeStatus},
    {ZRK_ERR_MULTI_ARRAY, Msg::MultiArraySources},
    {ZRK_ERR_CASCADE_ARRAYS, Msg::CascadeArrays},
    {ZRK_ERR_CASCADE_MODE, Msg::CascadeMode},
    {ZRK_ERR_OFFLOAD, Msg::OffloadSession},
    {ZRK_ERR_CASCADE_USED, Msg::CascadeUsed},
    {ZRK_ERR_NAS_IN_USE, Msg::NasInUse},
    {ZRK_ERR_ACCOUNT_UNUSABLE, Msg::LanLogin},
    {ZRK_ERR_ACCOUNT_MISSING, Msg::LanLogin},
    {ZRK_ERR_ACCOUNT_UNCHECKED, Msg::LanLogin},
    {ZRK_ERR_SERVICE_RUNNING, Msg::ServiceRunning},
    {ZRK_ERR_SERVICE_START, Msg::ServiceStart},
    {ZRK_ERR_NO_SERVICE, Msg::ServiceNotRunning},
    {ZRK_ERR_LOGIN, Msg::LanLogin},
    {ZRK_ERR_RECEIVE, Msg::LanConnect},
    {0x10001, Msg::LanParameterValue},
    {0x10002, Msg::LanParameterRange},
    {0x10003, Msg::LanParameterCount},
    {0x10004, Msg::LanParameterShort},
    {0x10005, Msg::LanParameterCombination},
    {0x10006, Msg::LanParameterStatus},
    {0x10007, Msg::LanParameterInvalid},
    {0x10008, Msg::LanSizeInvalid},
    {0x10010, Msg::LanModelMismatch},
    {0x10020, Msg::LanInternal},
    {0x10060, Msg::LanExclusive},
    {0x10072, Msg::LanResourceShort},
    {0x10073, Msg::LanBusy},
    {0x10080, Msg::LanLimit},
    {0x10094, Msg::LanEncryptionMode},
    {0x10098, Msg::LanSlaveCm},
    {0x10101, Msg::LanNoMemory},
    {0x10110, Msg::LanNoTarget},
    {0x10118, Msg::LanRvzModel},
    {0x10120, Msg::LanRegistered},
    {0x10142, Msg::LanEncrypted},
    {0x10151, Msg::LanShutdown},
    {0x10152, Msg::LanQuickFormat},
    {0x10153, Msg::LanEncrypting},
    {0x10154, Msg::LanTarvelCopy},
    {0x10155, Msg::LanMigration},
    {0x10156, Msg::LanLde},
    {0x10157, Msg::LanRvzSession},
    {0x10158, Msg::LanFirmwareRegistering},
    {0x10159, Msg::LanRemoteMaintenance},
    {0x15201, Msg::LanCopyPhase},
    {0x15300, Msg::LanCopyPath},
    {0x15301, Msg::LanCommandInvalid},
    {0x15302, Msg::LanVolumeCount},
    {0x15303, Msg::LanVolumeType},
    {0x15304, Msg::LanSessionNotSettable},
    {0x15305, Msg::LanSourceData},
    {0x15306, Msg::LanCopyEncryption},
    {0x15307, Msg::LanResourceDomain},
    {0x15308, Msg::LanVolumeUnusable},
    {0x15309, Msg::LanSessionError},
    {0x15310, Msg::LanParameterError},
    {0x15311, Msg::LanTotallyTarget},
    {0x15312, Msg::LanResumeChange},
    {0x15313, Msg::LanMigrationConflict},
    {0x15314, Msg::LanSourceDuplicated},
    {0x15315, Msg::LanTargetDuplicated},
    {0x15316, Msg::LanCascadeRange},
    {0x15317, Msg::LanRestore},
    {0x15318, Msg::LanCascadeLinks},
    {0x15319, Msg::LanErrorSuspend},
    {0x15320, Msg::LanConsistencyCabinet},
    {0x15323, Msg::LanCannotProcess},
    {0x15324, Msg::LanRaidBlocked},
    {0x15325, Msg::LanTargetProtected},
    {0x15327, Msg::LanRvzBufferStatus},
    {0x15328, Msg::LanRvzBufferReverse},
    {0x15330, Msg::LanReversed},
    {0x15331, Msg::LanSessionCount},
    {0x15333, Msg::LanSourceSessions},
    {0x15334, Msg::LanTargetSessions},
    {0x15335, Msg::LanGenerations},
    {0x15336, Msg::LanMonitorSources},
    {0x15337, Msg::LanSessionSpec},
    {0x15338, Msg::LanCascadeTarget},
    {0x15339, Msg::LanReverseSetting},
    {0x15340, Msg::LanSdvFormatting},
    {0x15341, Msg::LanSdvTarget},
    {0x15346, Msg::LanCopyTableUnset},
    {0x15347, Msg::LanCopyTableSize},
    {0x15348, Msg::LanRvzBuffer},
    {0x15349, Msg::LanRvzBufferResume},
    {0x15350, Msg::LanRvzBufferInUse},
    {0x15351, Msg::LanRvzBufferReversed},
    {0x15352, Msg::LanCannotCopy},
    {0x15353, Msg::LanBoxId},
    {0x15354, Msg::LanRemoteDelete},
    {0x15355, Msg::LanCfl},
    {0x15356, Msg::LanCopyTableResolution},
    {0x15357, Msg::LanSdvInvalid},
    {0x15358, Msg::LanSnapSource},
    {0x15359, Msg::LanSnapTarget},
    {0x15360, Msg::LanRetry},
    {0x15361, Msg::LanFirmwareEvent},
    {0x15362, Msg::LanMigrationRefused},
    {0x15363, Msg::LanConcReadying},
    {0x15364, Msg::LanConcRestore},
    {0x15365, Msg::LanRestoreReadying},
    {0x15366, Msg::LanExtendedCopy},
    {0x15367, Msg::LanOtherCopy},
    {0x15368, Msg::LanConcRestoring},
    {0x15369, Msg::LanRvzUnsupported},
    {0x15370, Msg::RemoteVolume},
    {0x15371, Msg::RemoteParameter},
    {0x15372, Msg::RemoteRangeOverlap},
    {0x15373, Msg::RemoteStatus},
    {0x15374, Msg::RemoteSessionCount},
    {0x15375, Msg::RemoteTargetInUse},
    {0x15376, Msg::RemoteCopyTable},
    {0x15377, Msg::RemoteSdv},
    {0x15378, Msg::RemoteCopyPath},
    {0x15379, Msg::RemoteCommand},
    {0x15380, Msg::RemoteSessionSet},
    {0x15381, Msg::RemoteSessionDeleted},
    {0x15382, Msg::RemoteSuspended},
    {0x15383, Msg::RemoteActive},
    {0x15385, Msg::RemoteUnknownArray},
    {0x15386, Msg::RemoteDeletePath},
    {0x15387, Msg::RemoteFirmware},
    {0x15388, Msg::RemoteResolution},
    {0x15389, Msg::RemoteRetry},
    {0x15390, Msg::RemoteArrayStatus},
    {0x15391, Msg::CascadeStatus},
    {0x15392, Msg::MultiArraySources},
    {0x15393, Msg::CascadeMode},
    {0x15394, Msg::LanSourceUnsupported},
    {0x15395, Msg::LanControllerFailed},
    {0x15400, Msg::ConcStart},
    {0x15401, Msg::ConcStart},
    {0x15402, Msg::ArrayUnrecognized},
    {0x16007, Msg::OffloadSession},
    {0x19403, Msg::LanConnections},
    {0x1be00, Msg::NasInUse},
    {0x1d801, Msg::CascadeUsed},
    {0x25392, Msg::CascadeArrays},
};

static_assert(std::adjacent_find(std::begin(kRows), std::end(kRows),
                                 [](const ErrnoRow &a, const ErrnoRow &b) {
                                     return a.iZrkErrno >= b.iZrkErrno;
                                 }) == std::end(kRows),
              "message rows sorted and unique");
static_assert(std::none_of(std::begin(kRows), std::end(kRows),
                           [](const ErrnoRow &row) {
                               return row.iZrkErrno == ZRK_ERR_HARDWARE ||
                                      row.iZrkErrno == ZRK_ERR_BUSY ||
                                      row.iZrkErrno == ZRK_ERR_BOXID ||
                                      row.iZrkErrno == ZRK_ERR_RVZ_BUFFER;
                           }),
              "the special codes have no plain row");
// Each row gives its message what the message's text takes: the volume
// row's text the volume name, a row with a detail its one string, any other
// nothing.
static_assert(std::all_of(std::begin(kRows), std::end(kRows),
                          [](const ErrnoRow &row) {
                              const char *text = zrkc::TextOf(row.eMessage);
                              if (row.iZrkErrno == ZRK_ERR_LOGICAL_VOL)
                                  return row.eMessage == Msg::InvalidVolumeName;
                              return row.pDetail != nullptr
                                         ? zrkc::detail::ArgsFitText<const char *>(text)
                                         : zrkc::detail::ArgsFitText<>(text);
                          }),
              "message rows: their texts take what the rows give");

const ErrnoRow *FindRow(int code) {
    const ErrnoRow *it =
        std::lower_bound(std::begin(kRows), std::end(kRows), code,
                         [](const ErrnoRow &row, int value) { return row.iZrkErrno < value; });
    return it != std::end(kRows) && it->iZrkErrno == code ? it : nullptr;
}

// The result of a plain row.
void MapRow(const ErrnoRow &row, const char *volume, const zrkc::ResultSlot &out) {
    const int32_t returnClass = row.iClass != kMessageClass ? row.iClass : zrkc::ClassOf(row.eMessage);
    if (row.iZrkErrno == ZRK_ERR_LOGICAL_VOL) {
        zrkc::SetInvalidVolume(out, volume != nullptr ? volume : "");
    } else if (row.pDetail != nullptr) {
        zrkc::detail::PutResult(out, returnClass, zrkc::NumberOf(row.eMessage), zrkc::TextOf(row.eMessage),
                                row.pDetail);
    } else {
        zrkc::detail::PutResult(out, returnClass, zrkc::NumberOf(row.eMessage), zrkc::TextOf(row.eMessage));
    }
}

// The fixed-format sense bytes the special rows read.
struct Sense {
    unsigned uiKey;   // low 4 bits of byte 2
    unsigned uiAsc;   // byte 12
    unsigned uiAscq;  // byte 13
};

Sense ReadSense(const unsigned char *sense) {
    if (sense == nullptr) return {0, 0, 0};
    return {sense[2] & 0x0Fu, sense[12], sense[13]};
}

constexpr unsigned kIllegalRequest = 0x5;
constexpr unsigned kAscCopyRefused = 0x26;

// ZRK_ERR_BUSY: the qualifier of 05-26-xx says why the array refused.
void MapBusy(const Sense &s, const zrkc::ResultSlot &out) {
    struct BusyRow {
        unsigned uiAscq;
        zrkc::Msg eMessage;
    };
    static constexpr BusyRow kBusy[] = {
        {0x90, Msg::VolumeInOtherCopy}, {0x92, Msg::SessionLimit},
        {0x93, Msg::OtherCopyStarted},  {0x94, Msg::TargetInOtherCopy},
        {0x95, Msg::VolumeReserved},
    };
    static_assert(std::all_of(std::begin(kBusy), std::end(kBusy),
                              [](const BusyRow &row) {
                                  return zrkc::ClassOf(row.eMessage) == ZRKC_CLASS_BUSY &&
                                         zrkc::detail::ArgsFitText<>(zrkc::TextOf(row.eMessage));
                              }),
                  "busy rows: plain lines of the busy class");
    if (s.uiKey == kIllegalRequest && s.uiAsc == kAscCopyRefused) {
        for (const BusyRow &row : kBusy) {
            if (row.uiAscq == s.uiAscq) {
                zrkc::detail::PutResult(out, ZRKC_CLASS_BUSY, zrkc::NumberOf(row.eMessage),
                                        zrkc::TextOf(row.eMessage));
                return;
            }
        }
    }
    zrkc::SetResult(out, Msg::VolumeBusy);
}

// The rules of the codes that the table cannot hold; false for the others.
bool MapSpecial(int code, uint8_t identifier, const Sense &s, const zrkc::ResultSlot &out) {
    switch (code) {
    case ZRK_ERR_HARDWARE: {
        char condition[16];
        std::snprintf(condition, sizeof condition, "%02x-%02x-%02x", s.uiKey, s.uiAsc, s.uiAscq);
        zrkc::SetResult(out, Msg::ScsiError, static_cast<const char *>(condition));
        return true;
    }
    case ZRK_ERR_BUSY:
        MapBusy(s, out);
        return true;
    case ZRK_ERR_BOXID:
        if (identifier == kSetCopyPriority) {
            zrkc::SetResult(out, Msg::PriorityNoRvzPath);
        } else {
            zrkc::SetResult(out, Msg::ArrayUnrecognized);
        }
        return true;
    case ZRK_ERR_RVZ_BUFFER:
        if (s.uiKey == kIllegalRequest && s.uiAsc == kAscCopyRefused && s.uiAscq == 0x00) {
            zrkc::SetResult(out, Msg::RvzBufferOperation);
        } else {
            zrkc::SetResult(out, Msg::InternalInconsistency);
        }
        return true;
    default:
        return false;
    }
}

// What neither the rules nor the table know: a negative code is the array's
// own code of a LAN operation, reported as the result's number; any other
// goes to the command catalogue.
void MapUnlisted(int code, const zrkc::ResultSlot &out) {
    if (code < 0) {
        const uint32_t arrayCode = 0u - static_cast<uint32_t>(code);
        zrkc::SetResult(out, Msg::LanArrayError, arrayCode);
        *out.pMessageNo = arrayCode;
        return;
    }
    ErrInfoVelk entry{};
    if (get_err_info_velk(ZRK_ERRINF_BY_ZRKERR, code, &entry) == 0) {
        zrkc::CopyResult(out, entry.iReturnClass, static_cast<uint32_t>(entry.iMessageNo), entry.caMessage);
        // A catalogue line cut to the field still ends as a line.
        if (std::strlen(out.pMessage) == ZRK_MESSAGE_LEN - 1) out.pMessage[ZRK_MESSAGE_LEN - 2] = '\n';
    } else {
        zrkc::SetResult(out, Msg::Unexpected);
    }
}

} // namespace

extern "C" int com_set_return_inf(uint8_t identifier, const char *volume, int apiResult,
                                  const unsigned char *senseData, int32_t *returnClass,
                                  uint32_t *messageNo, char *message) {
    std::memset(message, 0, ZRK_MESSAGE_LEN);
    if (apiResult != -1) return zrkc::NormalEnd(kName);
    zrkc::TraceStart(kName, zrkc::kTraceParm);
    const int code = ZRKerrno;
    const zrkc::ResultSlot out{returnClass, messageNo, message};
    const Sense sense = ReadSense(senseData);

    if (!MapSpecial(code, identifier, sense, out)) {
        if (const ErrnoRow *row = FindRow(code)) {
            MapRow(*row, volume, out);
        } else {
            MapUnlisted(code, out);
        }
    }

    const zrkc::Where here = zrkc::Where::current();
    char title[80];
    std::snprintf(title, sizeof title, "ErrorInfo : ZRKerrno=%d : SenseData Dump [%d]", code,
                  static_cast<int>(here.line()));
    velk_trace_dmp(zrkc::kTraceStep, title, senseData, senseData != nullptr ? ZRK_SENSE_LEN : 0);
    return zrkc::ErrorEnd(kName);
}
