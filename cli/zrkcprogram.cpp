// zrkcprogram.cpp - the main of the KZP-family and inquiry programs.
#include "zrkcprogram.h"

#include "zrkcinq_out.h"
#include "zrkcout.h"
#include "zrkcsafe.h"

#include <cstring>

namespace zrkcli {

const FormRule *FindRule(const ProgramTables &program, const CommandParam &param) {
    for (size_t i = 0; i < program.uiRuleCount; ++i) {
        const FormRule &rule = program.pRules[i];
        if (rule.uiFunc == param.uiFuncCode && rule.iForm == param.iForm) return &rule;
    }
    return nullptr;
}

namespace {

bool Served(const ProgramTables &program, uint32_t func) {
    for (size_t i = 0; i < program.uiRuleCount; ++i) {
        if (program.pRules[i].uiFunc == func) return true;
    }
    return false;
}

// The refusal word of the parsed command line against the program, or null.
const char *Refusal(const ProgramTables &program, const CommandParam &param, const char *typed,
                    const FormRule **found) {
    if (!Served(program, param.uiFuncCode)) return typed;
    const FormRule *rule = FindRule(program, param);
    if (rule == nullptr) return kWordVolumeSpec;
    if (rule->uiRequired != 0 && (param.uiOptFlag & rule->uiRequired) == 0) return rule->pRequiredWord;
    if (rule->uiExcluded != 0 && (param.uiOptFlag & rule->uiExcluded) == rule->uiExcluded) {
        return rule->pExcludedWord;
    }
    if (!OptionsPermitted(param, rule->uiPermitted, rule->uiPermitted2)) return kWordNotPermitted;
    *found = rule;
    return nullptr;
}

bool HasOutput(CallKind kind) {
    return kind != CallKind::Pair && kind != CallKind::SessionStop && kind != CallKind::InitSdv;
}

// A fixed-size record the command fills: a cleared area of its size.
template <typename Record, typename Command>
int CallIntoRecord(PairArea &output, Command command) {
    if (!output.Allocate(sizeof(Record))) {
        OutOfMemory();
        return -2;
    }
    return command(output.Data(), static_cast<uint32_t>(sizeof(Record)));
}

// Calls the rule's command; -2 after ZRKC1106.
int Call(const FormRule &rule, CommandParam &param, ReturnInfo &ri, PairArea &area, PairArea &output) {
    char *first = param.caOperand1;
    char *second = param.iForm == kFormPair ? param.caOperand2 : nullptr;
    const int word = static_cast<int>(param.uiApiFlag);
    switch (rule.eCall) {
    case CallKind::Pair:
        return CallWithPairArea(ri, area, [&] { return rule.pCommand(first, second, word, &ri); });
    case CallKind::SessionStop:
        std::memcpy(ZrkcAccessPath, param.caAccessPath, sizeof(ZrkcAccessPath));
        if (!area.Allocate(kSessionListAreaSize)) {
            OutOfMemory();
            return -2;
        }
        ri.pPairArea = area.Data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.Size());
        return zrkc_execcli_sessionlist(first, ZRKC_CLI_STOP, word, &ri);
    case CallKind::InitSdv:
        return CallWithPairArea(ri, area, [&] { return zrkc_init_sdv(first, word, &ri); });
    case CallKind::QuerySdv:
    case CallKind::QueryEstimate:
        return CallWithOutputArea(ri, output, OutputRetry::KeepPairArea, [&](void *buffer, uint32_t size) {
            return CallWithPairArea(ri, area, [&] {
                const int length = static_cast<int>(size);
                return rule.eCall == CallKind::QuerySdv
                    ? zrkc_query_sdv(first, word, &ri, static_cast<SdvStatusList *>(buffer), length)
                    : zrkc_query_estimate(first, word, &ri, static_cast<EstimateList *>(buffer), length);
            });
        });
    case CallKind::QuerySdp:
        return CallIntoRecord<SdpInfo>(output, [&](void *buffer, uint32_t size) {
            return zrkc_query_sdp(first, word, &ri, static_cast<SdpInfo *>(buffer), static_cast<int>(size));
        });
    case CallKind::GetVolume:
        return CallIntoRecord<VolumeQueryInfo>(output, [&](void *buffer, uint32_t size) {
            return zrkc_get_volume(first, param.uiApiFlag, &ri, buffer, size);
        });
    case CallKind::GetDevice:
        return CallIntoRecord<DeviceQueryInfo>(output, [&](void *buffer, uint32_t size) {
            return zrkc_get_device(first, param.uiApiFlag, &ri, buffer, size);
        });
    }
    return -1;
}

}  // namespace

int RunCommandProgram(int argc, char **argv, const ProgramTables &program) {
    OpenStandardDescriptors();
    static CommandParam param;
    const PasswordWipe wipePassword(param);
    ReturnInfo ri{};
    std::memset(ZrkcAccessPath, 0, sizeof(ZrkcAccessPath));
    SetUsageText(program.pUsage);
    if (parse_param(argc, argv, &param) != 0) {
        Usage();
        return kExitUsage;
    }
    const FormRule *rule = nullptr;
    if (const char *refused = Refusal(program, param, argv[1], &rule)) return Refuse(refused);

    PairArea area;
    PairArea output;
    const int result = Call(*rule, param, ri, area, output);
    if (result == -2) return kExitMemory;

    const bool listed = HasOutput(rule->eCall);
    const bool groupFailure = result == -1 && IsRunFailure(ri, RunKind::GroupFile);
    if (listed && (result != -1 || groupFailure)) {
        RegisterSnapLayouts();
        RegisterInqLayouts();
        list_out(static_cast<int>(output.Size()), output.Data(), param, ri);
        return result == -1 ? kExitError : kExitOk;
    }
    if (result != -1) return kExitOk;
    if (groupFailure) {
        PrintPairErrors(ri, RunKind::GroupFile,
                        [&](const PairResult &entry) {
                            return program.pNaming != nullptr ? program.pNaming(param, entry) : PairNaming(entry);
                        });
    } else if (IsRunFailure(ri, RunKind::SessionList)) {
        PrintPairErrors(ri, RunKind::SessionList, SessionNaming);
    } else {
        PrintMessage(ri);
    }
    return kExitError;
}

}  // namespace zrkcli
