// zrkcops.h - the operations of the command layer and the codes the
// commands share.
//
// Every API function whose result a command maps with com_set_return_inf has
// one row in kOps: its operation identifier on each road (the in-band
// function over SCSI, its out-of-band twin over the LAN) and the names the
// command trace gives it ("%s WX-API Call started.[...]"). The identifier
// chooses the message a failure maps to (zrkcresult.cpp). An operation that
// exists on one road only has 0 on the other.
//
// Beside the table: the road of a pair and the one dispatch to the function
// of that road, and the codes of a session's detail entry that the commands
// test (copy kind, phase, transfer mode; the session status is in zrkc.h,
// where the programs read it too).
#pragma once

#include "zrkc.h"
#include "zrkcalias.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace zrkc {

// ---- the operations ----------------------------------------------------------

enum class Op : uint8_t {
    StartKzp,         // ZRKLVStartKZP / ZRKIPStartKZP
    StartQuickKzp,    // ZRKLVStartQuickKZP / ZRKIPStartQuickKZP
    StartSnapKzp,     // ZRKLVStartSnapKZP_p / ZRKIPStartSnapKZP_p
    StartEstimate,    // the same functions with ZRK_OPT_MONITOR
    StopKzp,          // ZRKLVStopKZP / ZRKIPStopKZP
    StopQuickKzp,     // ZRKLVStopQuickKZP / ZRKIPStopQuickKZP
    StopSnapKzp,      // ZRKLVStopSnapKZP_p / ZRKIPStopSnapKZP_p
    StartVz,          // ZRKLVStartVZ / ZRKIPStartVZ
    SuspendVz,        // ZRKLVSuspendVZ / ZRKIPSuspendVZ
    ResumeVz,         // ZRKLVResumeVZ / ZRKIPResumeVZ
    ChangeVz,         // ZRKLVChangeVZ / ZRKIPChangeVZ
    StopVz,           // ZRKLVStopVZ / ZRKIPStopVZ
    SdvInit,          // ZRKSnapDataVolInit / ZRKIPSnapDataVolInit
    VolumeInfo,       // ZRKLVGetVolumeInfoEx / ZRKIPGetVolumeInfo
    VolumeInfoLite,   // ZRKLVGetVolumeInfoLiteEx (device names only)
    QueryDetail,      // ZRKLVQueryDetail
    DetailList,       // ZRKGetDetailList / ZRKIPGetDetailList
    GenerationList,   // ZRKLVGeneraListSnapKZP_p / ZRKIPGeneraListSnapKZP_p
    OluStatus,        // ZRKGetOLUStatus / ZRKIPGetOLUStatus
    PoolInfo,         // ZRKLVPoolInfoSnapKZP_p / ZRKIPPoolInfoSnapKZP_p
    PoolExtSize,      // ZRKLVGetPoolExtSize / ZRKIPGetPoolExtSize
    RemoteList,       // ZRKGetRemoteBoxIDList / ZRKIPGetRemoteBoxIDList
    MultiSuspendVz,   // ZRKLVMultiSuspendVZ / ZRKIPMultiSuspendVZ
    UnitInfo,         // ZRKGetLogicalUnitInfo
    SetOluStatus,     // ZRKSetOLUStatus / ZRKIPSetOLUStatus
    OluStatusList,    // ZRKGetOLUStatusList / ZRKIPGetOLUStatusList: the lookups' read per subgroup
    AllOluStatusList, // the same functions: the LUN query's read of every unit
    StatusListVz,     // ZRKStatusListVZ / ZRKIPStatusListVZ
    RvzBuffInfo,      // ZRKGetRVZBuffInfo / ZRKIPGetRVZBuffInfo
    RvzBuffSet,       // ZRKRVZBuffSet / ZRKIPRVZBuffSet
    LogIn,            // ZRKIPLogIn
    LogOut,           // ZRKIPLogOut
    DeviceInfo,       // ZRKGetDeviceInfo / ZRKIPGetDeviceInfo
    StopClassicSnap,  // ZRKLVStopSnapKZP / ZRKIPStopSnapKZP (SnapKZP, not SnapKZP+)
    ServiceRequest,   // ZRKIPProc: the LAN interface management service's encrypt and decrypt
    CheckUsers,       // ZRKIPCheckUsers
    StartConcKzp,     // ZRKStartConcKZP / ZRKIPStartConcKZP
    CopyPriority,     // ZRKGetCopyPriority
    SetCopyPriority,  // ZRKSetCopyPriority
    SessionListRun,   // VastrelCli4MultiOpt: the multi-session command of a session-list run
};

struct OpRow {
    Op eOp;             // the row's operation (the rows stand in the order of Op)
    uint8_t ucInBand;   // identifier of the in-band function; 0: none
    uint8_t ucLan;      // identifier of the out-of-band function; 0: none
    const char *pTrace; // the functions as the command trace names them
};

inline constexpr OpRow kOps[] = {
    {Op::StartKzp, 1, 33, "ZRKLVStartKZP / ZRKIPStartKZP"},
    {Op::StartQuickKzp, 2, 34, "ZRKLVStartQuickKZP / ZRKIPStartQuickKZP"},
    {Op::StartSnapKzp, 3, 35, "ZRKLVStartSnapKZP_p / ZRKIPStartSnapKZP_p"},
    {Op::StartEstimate, 4, 36, "ZRKLVStartSnapKZP_p / ZRKIPStartSnapKZP_p"},
    {Op::StopKzp, 5, 37, "ZRKLVStopKZP / ZRKIPStopKZP"},
    {Op::StopQuickKzp, 6, 38, "ZRKLVStopQuickKZP / ZRKIPStopQuickKZP"},
    {Op::StopSnapKzp, 7, 39, "ZRKLVStopSnapKZP_p / ZRKIPStopSnapKZP_p"},
    {Op::StartVz, 8, 40, "ZRKLVStartVZ / ZRKIPStartVZ"},
    {Op::SuspendVz, 9, 41, "ZRKLVSuspendVZ / ZRKIPSuspendVZ"},
    {Op::ResumeVz, 10, 42, "ZRKLVResumeVZ / ZRKIPResumeVZ"},
    {Op::ChangeVz, 11, 43, "ZRKLVChangeVZ / ZRKIPChangeVZ"},
    {Op::StopVz, 12, 44, "ZRKLVStopVZ / ZRKIPStopVZ"},
    {Op::SdvInit, 13, 45, "ZRKSnapDataVolInit / ZRKIPSnapDataVolInit"},
    {Op::VolumeInfo, 14, 46, "ZRKLVGetVolumeInfoEx"},
    {Op::VolumeInfoLite, 14, 0, "ZRKLVGetVolumeInfoLiteEx"},
    {Op::QueryDetail, 15, 0, "ZRKLVQueryDetail"},
    {Op::DetailList, 16, 48, "ZRKGetDetailList / ZRKIPGetDetailList"},
    {Op::GenerationList, 17, 49, "ZRKLVGeneraListSnapKZP_p / ZRKIPGeneraListSnapKZP_p"},
    {Op::OluStatus, 18, 50, "ZRKGetOLUStatus / ZRKIPGetOLUStatus"},
    {Op::PoolInfo, 19, 51, "ZRKLVPoolInfoSnapKZP_p / ZRKIPPoolInfoSnapKZP_p"},
    {Op::PoolExtSize, 20, 52, "ZRKLVGetPoolExtSize / ZRKIPGetPoolExtSize"},
    {Op::RemoteList, 21, 53, "ZRKGetRemoteBoxIDList / ZRKIPGetRemoteBoxIDList"},
    {Op::MultiSuspendVz, 22, 54, "ZRKLVMultiSuspendVZ / ZRKIPMultiSuspendVZ"},
    {Op::UnitInfo, 23, 0, "ZRKGetLogicalUnitInfo"},
    {Op::SetOluStatus, 26, 56, "ZRKSetOLUStatus / ZRKIPSetOLUStatus"},
    {Op::OluStatusList, 27, 50, "ZRKGetOLUStatusList / ZRKIPGetOLUStatusList"},
    {Op::AllOluStatusList, 27, 57, "ZRKGetOLUStatusList / ZRKIPGetOLUStatusList"},
    {Op::StatusListVz, 28, 58, "ZRKStatusListVZ / ZRKIPStatusListVZ"},
    {Op::RvzBuffInfo, 29, 59, "ZRKGetRVZBuffInfo / ZRKIPGetRVZBuffInfo"},
    {Op::RvzBuffSet, 30, 60, "ZRKRVZBuffSet / ZRKIPRVZBuffSet"},
    {Op::LogIn, 0, 31, "ZRKIPLogIn"},
    {Op::LogOut, 0, 32, "ZRKIPLogOut"},
    {Op::DeviceInfo, 61, 62, "ZRKGetDeviceInfo / ZRKIPGetDeviceInfo"},
    {Op::StopClassicSnap, 63, 64, "ZRKLVStopSnapKZP / ZRKIPStopSnapKZP"},
    {Op::ServiceRequest, 0, 65, "ZRKIPProc"},
    {Op::CheckUsers, 0, 66, "ZRKIPCheckUsers"},
    {Op::StartConcKzp, 67, 68, "ZRKStartConcKZP / ZRKIPStartConcKZP"},
    {Op::CopyPriority, 69, 0, "ZRKGetCopyPriority"},
    {Op::SetCopyPriority, 70, 0, "ZRKSetCopyPriority"},
    {Op::SessionListRun, 0, 71, "VastrelCli4MultiOpt"},
};

constexpr bool OpsInOrder() {
    for (size_t i = 0; i < std::size(kOps); ++i) {
        if (static_cast<size_t>(kOps[i].eOp) != i) return false;
        if (kOps[i].ucInBand == 0 && kOps[i].ucLan == 0) return false;
    }
    return true;
}
static_assert(OpsInOrder(), "one row per operation, in the order of Op, each with an identifier");
static_assert(std::size(kOps) == static_cast<size_t>(Op::SessionListRun) + 1, "a row for every operation");

constexpr const OpRow &RowOf(Op op) { return kOps[static_cast<size_t>(op)]; }
// The names of the operation's functions, for the trace.
constexpr const char *TraceNames(Op op) { return RowOf(op).pTrace; }

// ---- the road of a pair --------------------------------------------------------

// The alias store's route kinds are the roads the resolution hands on.
static_assert(ZRKC_ALIAS_IF_SCSI == ZRKC_TRANSPORT_SCSI && ZRKC_ALIAS_IF_LAN == ZRKC_TRANSPORT_LAN,
              "an alias entry's interface is the road of its volumes");

// The pair (or the road) goes over the LAN, to the array's address.
constexpr bool OverLan(uint8_t transport) { return transport == ZRKC_TRANSPORT_LAN; }
inline bool OverLan(const CopyPair &pair) { return OverLan(pair.ucTransport); }

// The operation's identifier on the road of transport, as com_set_return_inf
// takes it.
constexpr uint8_t IdOf(Op op, uint8_t transport) {
    return OverLan(transport) ? RowOf(op).ucLan : RowOf(op).ucInBand;
}
// The identifier of an operation with one road.
constexpr uint8_t IdOf(Op op) {
    return RowOf(op).ucInBand != 0 ? RowOf(op).ucInBand : RowOf(op).ucLan;
}

// Calls the in-band function with (volume, args..., sense) or, over the LAN,
// its out-of-band twin with (the array's address in volume, NULL, args...,
// sense); the API's result. The sense area is the caller's as it stands.
template <typename InBand, typename OutOfBand, typename... Args>
int CallByTransport(uint8_t transport, const char *volume, unsigned char *sense, InBand inBand,
                    OutOfBand outOfBand, Args... args) {
    if (OverLan(transport)) return outOfBand(volume, nullptr, args..., sense);
    return inBand(volume, args..., sense);
}

// ---- the codes of a session's detail entry ------------------------------------

// DETAIL_LIST_INFO.ucCopyKind
inline constexpr uint8_t kCopyKindKzp = 1;      // the KZP family
inline constexpr uint8_t kCopyKindVz = 2;       // a VZ or RVZ session
inline constexpr uint8_t kCopyKindEstimate = 3; // an estimate (monitor) session
inline constexpr uint8_t kCopyKind16 = 16;      // kinds the copy query reports as 8 and 9
inline constexpr uint8_t kCopyKind17 = 17;
inline constexpr uint8_t kCopyKind18 = 18;      // 18 to 23: reported as they are (volume query)
inline constexpr uint8_t kCopyKind23 = 23;

// DETAIL_LIST_INFO.Phase (the copy query's Phase byte holds it as it is)
inline constexpr uint8_t kPhaseCopying = ZRKC_QPHASE_COPYING;
inline constexpr uint8_t kPhaseEquivalent = 2;
inline constexpr uint8_t kPhaseReadying = 6;

// DETAIL_LIST_INFO.ucTransferMode of an RVZ session that is not synchronous
inline constexpr uint8_t kTransferStack = 2;
inline constexpr uint8_t kTransferConsistency = 3;

} // namespace zrkc
