// The frame of the command functions: trace, operand and option checks, the
// copy-pair list, the mapping of each API result and the release of the
// list on every way out.
#include "zrkcframe.h"

#include "platform.h"

#include <cstdio>
#include <cstring>

namespace zrkc {

CommandCall::CommandCall(const char *name, ReturnInfo *ri) : pName(name), pResult(ri) {
    velk_trace_init();
}

CommandCall::~CommandCall() {
    com_file_release(&tList);
    velk_trace_term();
}

int CommandCall::Open(const void *operand1, Where where) {
    if (operand1 == nullptr || pResult == nullptr) {
        TraceNullOperand(pName, where);
        if (pResult == nullptr) return AbnormalEnd(pName, "", where);
        SetResult(pResult, Msg::ParameterMissing);
        return Fail(where);
    }
    com_file_release(&tList);
    tList = {};
    std::memset(ucaSense, 0, sizeof ucaSense);
    ClearResult(SlotOf(pResult));
    bGroupFailed = false;
    bGroupNoted = false;
    return 0;
}

int CommandCall::OpenPair(const char *source, const char *target, uint32_t option, Where where) {
    if (Open(source, where) != 0) return -1;
    uiOption = option;
    TraceLine(kTraceStep, {where}, "%s started. src=%s, dest=%s, opt=%08x", pName, source,
              target != nullptr ? target : "NULL", option);
    return 0;
}

int CommandCall::OpenVolume(const char *volume, uint32_t option, Where where) {
    if (Open(volume, where) != 0) return -1;
    uiOption = option;
    TraceLine(kTraceStep, {where}, "%s started. vol=%s, opt=%08x", pName, volume, option);
    return 0;
}

int CommandCall::CheckOptions(uint32_t option, uint32_t mask, Where where) {
    uiOption = option;
    if ((option & ~mask) != 0) return RefuseOptions(where);
    if ((option & ZRKC_OPT_ACCESS_PATH) != 0) ZrkcAccessPath_Flag = 1;
    return 0;
}

int CommandCall::CheckOptions(uint32_t option, uint32_t mask, uint32_t exMask, Where where) {
    uiOption = option;
    if ((uiExOptionFlag & ~exMask) != 0) return RefuseOptions(where);
    return CheckOptions(option, mask, where);
}

int CommandCall::RefuseOptions(Where where) {
    SetResult(pResult, Msg::InvalidOption);
    return Fail(where);
}

int CommandCall::BuildList(const char *operand1, const char *operand2, uint32_t option, Where where) {
    uiOption = option;
    const int result = com_set_copypair(operand1, operand2, option, &tList, pResult);
    if (result < 0) return Fail(where);
    if (result == 1) {
        com_file_release(&tList);
        return Warn(where);
    }
    return 0;
}

int CommandCall::RequirePairs(Where where) {
    if (tList.pNames != nullptr && tList.pNames->uiForm == ZRKC_FORM_PAIRS) return 0;
    SetResult(pResult, Msg::GroupFormRefused);
    return Fail(where);
}

int CommandCall::RequireVolumes(Where where) {
    if (tList.pNames != nullptr && tList.pNames->uiForm == ZRKC_FORM_VOLUMES) return 0;
    SetResult(pResult, Msg::GroupFormRefused);
    return Fail(where);
}

int CommandCall::CheckOutputArea(void *area, size_t length, size_t needed, Where where) {
    if (area == nullptr || length < needed) {
        SetResult(pResult, Msg::OutputAreaShort);
        pResult->uiNeedOutputSize = static_cast<uint32_t>(needed);
        return AreaWarningEnd(pName, where);
    }
    std::memset(area, 0, length);
    return 0;
}

void CommandCall::TraceApiStart(Op op, Where where) { TraceApiStart(TraceNames(op), where); }

void CommandCall::TraceApiEnd(Op op, Where where) { TraceApiEnd(TraceNames(op), where); }

void CommandCall::TraceApiStart(const char *apis, Where where) {
    TraceCallStart(pName, apis, kTraceStep, where);
}

void CommandCall::TraceApiEnd(const char *apis, Where where) {
    TraceCallEnd(pName, apis, kTraceStep, where);
}

void CommandCall::TracePairParm(const CopyPair &pair, uint32_t apiOption, Where where) {
    TraceLine(kTraceParm, {where},
              "%s WX-API Parm SrcVol=%s, SOlu=0x%08x, SAddr=0x%x/0x%08x, SSize=0x%x/0x%08x, "
              "TOlu=0x%08x, TAddr=0x%x/0x%08x, opt=0x%08x",
              pName, pair.caAccessVolume, pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l,
              pair.SrcSize_h, pair.SrcSize_l, pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, apiOption);
}

void CommandCall::TraceVolumeParm(const char *volume, uint32_t apiOption, Where where) {
    zrkc::TraceVolumeParm(pName, volume, apiOption, kTraceParm, where);
}

namespace {

// The frame lent to the parts of the running command on this thread.
thread_local CommandCall *tLent = nullptr;

} // namespace

CommandCall::Lend::Lend(CommandCall &call) : pOuter(tLent) { tLent = &call; }

CommandCall::Lend::~Lend() { tLent = pOuter; }

CommandCall &CommandCall::FrameFor(std::optional<CommandCall> &own, const char *name, ReturnInfo *ri) {
    if (tLent != nullptr) return *tLent;
    own.emplace(name, ri);
    return *own;
}

PairResult *CommandCall::EntryOf(ReturnInfo *ri, uint32_t index) {
    if (ri == nullptr || ri->pPairArea == nullptr) return nullptr;
    const size_t end = ZRK_PAIR_AREA_SIZE(static_cast<size_t>(index) + 1);
    if (end > ri->uiPairAreaLength) return nullptr;
    return reinterpret_cast<PairResult *>(static_cast<unsigned char *>(ri->pPairArea) + 4 +
                                          static_cast<size_t>(index) * sizeof(PairResult));
}

bool CommandCall::PairAreaHolds(ReturnInfo *ri, uint32_t count) {
    const size_t needed = ZRK_PAIR_AREA_SIZE(count);
    const size_t room = ri->pPairArea != nullptr ? ri->uiPairAreaLength : 0;
    if (room >= needed) return true;
    SetResult(ri, Msg::PairAreaShort);
    ri->uiNeedPairAreaSize = static_cast<uint32_t>(needed);
    return false;
}

void CommandCall::SetEntryCount(ReturnInfo *ri, uint32_t count) {
    if (ri->pPairArea != nullptr && ri->uiPairAreaLength >= sizeof count)
        std::memcpy(ri->pPairArea, &count, sizeof count);
}

void CommandCall::GroupLineFailed(ReturnInfo *ri, bool &failed) {
    if (failed) return;
    failed = true;
    SetResult(ri, Msg::GroupLinesFailed);
}

PairResult *CommandCall::GroupSlot(uint32_t index, PairResult &scratch) {
    if (!GroupMode()) return nullptr;
    PairResult *entry = Entry(index);
    return entry != nullptr ? entry : &scratch;
}

void CommandCall::RecordGroupFailure(const PairResult &entry, bool failsCall) {
    if (failsCall) {
        AbnormalEnd(pName, entry.caMessage);
        bGroupFailed = true;
    }
    GroupLineFailed(pResult, bGroupNoted);
}

int CommandCall::MapResult(uint32_t index, uint8_t identifier, const char *volume, int apiResult) {
    // Group mode: the entry's own result; an entry that cannot be had takes
    // the failure into a scratch entry, so that the call's result stays the
    // group's summary and the failure is still counted.
    PairResult scratch{};
    PairResult *entry = GroupSlot(index, scratch);
    const ResultSlot slot = entry != nullptr ? SlotOf(entry) : SlotOf(pResult);
    if (SetReturnInto(slot, identifier, volume, apiResult) == 0) return 0;
    if (entry != nullptr) RecordGroupFailure(*entry, true);
    return -1;
}

int CommandCall::MapResult(uint32_t index, Op op, const CopyPair &pair, int apiResult) {
    return MapResult(index, IdOf(op, pair.ucTransport), pair.caAccessVolume, apiResult);
}

int CommandCall::MapPairCall(uint32_t index, Op op, const CopyPair &pair, int apiResult,
                             uint32_t apiOption, Where where) {
    if (MapResult(index, op, pair, apiResult) == 0) return 0;
    TracePairParm(pair, apiOption, where);
    return -1;
}

int CommandCall::MapIntoResult(Op op, const CopyPair &pair, int apiResult) {
    return SetReturnInto(SlotOf(pResult), IdOf(op, pair.ucTransport), pair.caAccessVolume,
                         apiResult) == 0
               ? 0
               : -1;
}

int CommandCall::SetReturnInto(const ResultSlot &slot, uint8_t identifier, const char *volume,
                               int apiResult) {
    return com_set_return_inf(identifier, volume, apiResult, ucaSense, slot.pReturnClass,
                              slot.pMessageNo, slot.pMessage);
}

int CommandCall::FillEntryWith(uint32_t index, bool failsCall, int returnClass, uint32_t messageNo,
                               const char *line) {
    PairResult scratch{};
    PairResult *entry = GroupSlot(index, scratch);
    const ResultSlot slot = entry != nullptr ? SlotOf(entry) : SlotOf(pResult);
    CopyResult(slot, returnClass, messageNo, line);
    if (entry != nullptr) RecordGroupFailure(*entry, failsCall);
    return -1;
}

int CommandCall::Fail(Where where) {
    return AbnormalEnd(pName, pResult != nullptr ? pResult->caMessage : "", where);
}

int CommandCall::NoMemory(Where where) {
    SetNoMemory(pResult);
    return Fail(where);
}

int CommandCall::Warn(Where where) { return WarningEnd(pName, pResult->caMessage, where); }

int CommandCall::Finish(Where where) {
    com_file_release(&tList);
    CommandEnd(pName, where);
    return bGroupFailed ? -1 : 0;
}

} // namespace zrkc
