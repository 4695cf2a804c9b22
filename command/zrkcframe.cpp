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

int CommandCall::Open(const void *operand1, int line) {
    if (operand1 == nullptr || pResult == nullptr) {
        velk_trace(1, "%s started. parameter null pointer [%d]", pName, line);
        if (pResult == nullptr) {
            velk_trace(1, "%s abnormal_end. msg=%s [%d]", pName, "", line);
            return -1;
        }
        SetResult(pResult, Msg::ParameterMissing);
        return Fail(line);
    }
    com_file_release(&tList);
    tList = {};
    std::memset(ucaSense, 0, sizeof ucaSense);
    ClearResult(SlotOf(pResult));
    bGroupFailed = false;
    return 0;
}

int CommandCall::OpenPair(const char *source, const char *target, uint32_t option, int line) {
    if (Open(source, line) != 0) return -1;
    uiOption = option;
    velk_trace(1, "%s started. src=%s, dest=%s, opt=%08x [%d]", pName, source,
               target != nullptr ? target : "NULL", option, line);
    return 0;
}

int CommandCall::OpenVolume(const char *volume, uint32_t option, int line) {
    if (Open(volume, line) != 0) return -1;
    uiOption = option;
    velk_trace(1, "%s started. vol=%s, opt=%08x [%d]", pName, volume, option, line);
    return 0;
}

int CommandCall::CheckOptions(uint32_t option, uint32_t mask, int line) {
    uiOption = option;
    if ((option & ~mask) != 0) return RefuseOptions(line);
    if ((option & ZRKC_OPT_ACCESS_PATH) != 0) ZrkcAccessPath_Flag = 1;
    return 0;
}

int CommandCall::CheckOptions(uint32_t option, uint32_t mask, uint32_t exMask, int line) {
    uiOption = option;
    if ((uiExOptionFlag & ~exMask) != 0) return RefuseOptions(line);
    return CheckOptions(option, mask, line);
}

int CommandCall::RefuseOptions(int line) {
    SetResult(pResult, Msg::InvalidOption);
    return Fail(line);
}

int CommandCall::BuildList(const char *operand1, const char *operand2, uint32_t option, int line) {
    uiOption = option;
    const int result = com_set_copypair(operand1, operand2, option, &tList, pResult);
    if (result < 0) return Fail(line);
    if (result == 1) {
        com_file_release(&tList);
        return Warn(line);
    }
    return 0;
}

int CommandCall::RequirePairs(int line) {
    if (tList.pNames != nullptr && tList.pNames->uiForm == ZRKC_FORM_PAIRS) return 0;
    SetResult(pResult, Msg::GroupFormRefused);
    return Fail(line);
}

int CommandCall::RequireVolumes(int line) {
    if (tList.pNames != nullptr && tList.pNames->uiForm == ZRKC_FORM_VOLUMES) return 0;
    SetResult(pResult, Msg::GroupFormRefused);
    return Fail(line);
}

int CommandCall::CheckOutputArea(void *area, size_t length, size_t needed, int line) {
    if (area == nullptr || length < needed) {
        SetResult(pResult, Msg::OutputAreaShort);
        pResult->uiNeedOutputSize = static_cast<uint32_t>(needed);
        velk_trace(1, "%s warning end. [%d]", pName, line);
        return 1;
    }
    std::memset(area, 0, length);
    return 0;
}

void CommandCall::TraceApiStart(const char *apis, int line) {
    velk_trace(1, "%s WX-API Call started.[%s] [%d]", pName, apis, line);
}

void CommandCall::TraceApiEnd(const char *apis, int line) {
    velk_trace(1, "%s WX-API Call end.[%s] [%d]", pName, apis, line);
}

void CommandCall::TracePairParm(const CopyPair &pair, uint32_t apiOption, int line) {
    velk_trace(2,
               "%s WX-API Parm SrcVol=%s, SOlu=0x%08x, SAddr=0x%x/0x%08x, SSize=0x%x/0x%08x, "
               "TOlu=0x%08x, TAddr=0x%x/0x%08x, opt=0x%08x [%d]",
               pName, pair.caAccessVolume, pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l,
               pair.SrcSize_h, pair.SrcSize_l, pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, apiOption,
               line);
}

void CommandCall::TraceVolumeParm(const char *volume, uint32_t apiOption, int line) {
    velk_trace(2, "%s WX-API Parm LogicalVol=%s, opt=%08x [%d]", pName, volume, apiOption, line);
}

PairResult *CommandCall::Entry(uint32_t index) {
    if (pResult == nullptr || pResult->pPairArea == nullptr) return nullptr;
    const size_t end = ZRK_PAIR_AREA_SIZE(static_cast<size_t>(index) + 1);
    if (end > pResult->uiPairAreaLength) return nullptr;
    return reinterpret_cast<PairResult *>(static_cast<unsigned char *>(pResult->pPairArea) + 4 +
                                          static_cast<size_t>(index) * sizeof(PairResult));
}

void CommandCall::RecordGroupFailure(const PairResult &entry) {
    velk_trace(1, "%s abnormal_end. msg=%s [%d]", pName, entry.caMessage, __LINE__);
    if (!bGroupFailed) {
        bGroupFailed = true;
        SetResult(pResult, Msg::GroupLinesFailed);
    }
}

int CommandCall::MapResult(uint32_t index, uint8_t identifier, const char *volume, int apiResult) {
    // Group mode: the entry's own result; an entry that cannot be had takes
    // the failure into a scratch entry, so that the call's result stays the
    // group's summary and the failure is still counted.
    PairResult scratch{};
    PairResult *entry = GroupMode() ? Entry(index) : nullptr;
    if (GroupMode() && entry == nullptr) entry = &scratch;
    const ResultSlot slot = entry != nullptr ? SlotOf(entry) : SlotOf(pResult);
    if (com_set_return_inf(identifier, volume, apiResult, ucaSense, slot.pReturnClass,
                           slot.pMessageNo, slot.pMessage) == 0) {
        return 0;
    }
    if (entry != nullptr) RecordGroupFailure(*entry);
    return -1;
}

int CommandCall::RefuseEntryWith(uint32_t index, int returnClass, uint32_t messageNo, const char *line) {
    PairResult scratch{};
    PairResult *entry = GroupMode() ? Entry(index) : nullptr;
    if (GroupMode() && entry == nullptr) entry = &scratch;
    const ResultSlot slot = entry != nullptr ? SlotOf(entry) : SlotOf(pResult);
    CopyResult(slot, returnClass, messageNo, line);
    if (entry != nullptr) RecordGroupFailure(*entry);
    return -1;
}

int CommandCall::Fail(int line) {
    velk_trace(1, "%s abnormal_end. msg=%s [%d]", pName, pResult != nullptr ? pResult->caMessage : "",
               line);
    return -1;
}

int CommandCall::NoMemory(int line) {
    SetNoMemory(pResult);
    return Fail(line);
}

int CommandCall::Warn(int line) {
    velk_trace(1, "%s warning_end. msg=%s [%d]", pName, pResult->caMessage, line);
    return 1;
}

int CommandCall::Finish(int line) {
    com_file_release(&tList);
    velk_trace(1, "%s normal_end. [%d]", pName, line);
    return bGroupFailed ? -1 : 0;
}

} // namespace zrkc
