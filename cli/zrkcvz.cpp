// zrkcvz - the command program of the VZ and RVZ sessions: start, stop,
// suspend, resume, reverse, chmod and suspendstatus, for one pair, every
// pair of a group file (-gf) or, for suspend, resume, reverse and chmod,
// every session of a session-list file (-sl).
//
// It checks the operand form and the options each subcommand permits, turns
// the options into the command function's option word, calls the one
// function and reports: messages on standard error, the suspend-status table
// on standard output, and the exit code (0 done, 1 warning, 2 command line
// refused, 3 out of memory, 4 the library failed).
#include "zrkcargs.h"
#include "zrkcout.h"
#include "zrkcsafe.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using namespace zrkcli;

constexpr char kUsageText[] =
    "Usage : zrkcvz start                                                   [-rwp] [-skip] [-p Alias]     src_volume trg_volume |\n"
    "        zrkcvz start         [-sy | -st | -cs] [-as | -ms] [-ar | -mr] [-rwp] [-skip] [-p Alias]     src_volume trg_volume |\n"
    "        zrkcvz start         [-sy | -st | -cs] [-as | -ms] [-ar | -mr] [-rwp] [-skip] [-p Alias] -gf group_file            |\n"
    "        zrkcvz stop          [-f] [-back] [-p Alias]                                                 src_volume trg_volume |\n"
    "        zrkcvz stop          [-f] [-back] [-p Alias] -gf                                             group_file            |\n"
    "        zrkcvz suspend       [-f | -c] [-back] [-p Alias]                                            src_volume trg_volume |\n"
    "        zrkcvz suspend       [-f | -c] [-back] [-p Alias] -gf                                        group_file            |\n"
    "        zrkcvz suspend       [-back] [-c] -ct count -iv interval [-p Alias]                          src_volume trg_volume |\n"
    "        zrkcvz suspend       [-back] [-c] -ct count -iv interval [-p Alias] -gf                      group_file            |\n"
    "        zrkcvz suspend       -stacktimer [-back] [-p Alias]                                          src_volume trg_volume |\n"
    "        zrkcvz suspend       -stacktimer [-back] [-p Alias]                                      -gf group_file            |\n"
    "        zrkcvz resume        [-back] [-rcv [-sy | -st | -cs]] [-remain] [-p Alias]                   src_volume trg_volume |\n"
    "        zrkcvz resume        [-back] [-rcv [-sy | -st | -cs]] [-remain] [-p Alias] -gf               group_file            |\n"
    "        zrkcvz reverse       [-back] [-p Alias]                                                      src_volume trg_volume |\n"
    "        zrkcvz reverse       [-back] [-p Alias] -gf                                                  group_file            |\n"
    "        zrkcvz suspendstatus [-back] [-csv]                                               src_volume trg_volume |\n"
    "        zrkcvz suspendstatus [-back] [-csv] -gf                                           group_file            |\n";

constexpr const char *kWordOptionError = "option error";

// The mode options of start and chmod.
constexpr uint32_t kModeOptions = kOptStack | kOptSync | kOptConsistency | kOptAutoSplit |
                                  kOptManualSplit | kOptAutoRecovery | kOptManualRecovery;

// One permitted combination of mode options and the option word it gives.
struct PermRow {
    uint32_t uiOptions;
    uint32_t uiWord;
};

constexpr uint32_t kSyncManual = ZRK_OPT_SYNC | ZRK_OPT_MANUAL_RCV;
constexpr uint32_t kSyncSplitManual = ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV;
constexpr uint32_t kSyncSplit = ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT;
constexpr uint32_t kStackManual = ZRK_OPT_STACK | ZRK_OPT_MANUAL_RCV;
constexpr uint32_t kConsistencyManual = ZRK_OPT_CONSISTENCY | ZRK_OPT_MANUAL_RCV;

// start: searched in this order for an exact match of the mode options.
constexpr PermRow taStartPermFlag[] = {
    {0, ZRKC_OPT_PROPERTIES},
    {kOptSync, kSyncManual},
    {kOptSync | kOptAutoSplit, kSyncSplitManual},
    {kOptSync | kOptManualSplit, kSyncManual},
    {kOptSync | kOptAutoRecovery, ZRK_OPT_SYNC},
    {kOptSync | kOptAutoSplit | kOptAutoRecovery, kSyncSplit},
    {kOptSync | kOptManualSplit | kOptAutoRecovery, ZRK_OPT_SYNC},
    {kOptSync | kOptManualRecovery, kSyncManual},
    {kOptSync | kOptAutoSplit | kOptManualRecovery, kSyncSplitManual},
    {kOptSync | kOptManualSplit | kOptManualRecovery, kSyncManual},
    {kOptStack, ZRK_OPT_STACK},
    {kOptStack | kOptAutoRecovery, ZRK_OPT_STACK},
    {kOptStack | kOptManualRecovery, kStackManual},
    {kOptConsistency, kConsistencyManual},
    {kOptConsistency | kOptManualRecovery, kConsistencyManual},
    {kOptConsistency | kOptAutoRecovery, ZRK_OPT_CONSISTENCY},
};
static_assert(std::size(taStartPermFlag) == 16);

// chmod: the transfer mode, for sync also the split mode, and the recovery
// mode must all be named; the through mode has no transfer bit.
constexpr PermRow taChmodPermFlag[] = {
    {kOptSync | kOptManualSplit | kOptManualRecovery, kSyncManual},
    {kOptSync | kOptManualSplit | kOptAutoRecovery, ZRK_OPT_SYNC},
    {kOptSync | kOptAutoSplit | kOptManualRecovery, kSyncSplitManual},
    {kOptSync | kOptAutoSplit | kOptAutoRecovery, kSyncSplit},
    {kOptStack | kOptAutoRecovery, ZRK_OPT_STACK},
    {kOptStack | kOptManualRecovery, kStackManual},
    {kOptConsistency | kOptManualRecovery, kConsistencyManual},
    {kOptConsistency | kOptAutoRecovery, ZRK_OPT_CONSISTENCY},
    {kOptThrough | kOptAutoRecovery, 0},
    {kOptThrough | kOptManualRecovery, ZRK_OPT_MANUAL_RCV},
};
static_assert(std::size(taChmodPermFlag) == 10);

// resume: a transfer mode only with -rcv, and only one.
constexpr uint32_t kResumeMask = kOptRcv | kOptStack | kOptSync | kOptConsistency;
constexpr uint32_t uiaResumeOptFlag[] = {
    0, kOptRcv, kOptRcv | kOptStack, kOptRcv | kOptConsistency, kOptRcv | kOptSync,
};

// The operand forms of each subcommand and the options they permit.
struct FormRow {
    uint32_t uiFunc;
    int32_t iForm;
    uint32_t uiPermitted;
    uint32_t uiPermitted2;
};
constexpr uint32_t kStartOpts2 = kOpt2RwProtect | kOpt2Skip | kOpt2AccessPath;
constexpr uint32_t kSuspendOpts = kOptF | kOptInterval | kOptCount | kOptBack | kOptC;
constexpr uint32_t kSuspendOpts2 = kOpt2NoTrans | kOpt2AccessPath | kOpt2StackTimer;
constexpr uint32_t kResumeOpts = kOptStack | kOptSync | kOptConsistency | kOptBack | kOptRcv;
constexpr uint32_t kListOpts2 = kOpt2AccessPath | kOpt2SessionList | kOpt2RemoteVz;
constexpr FormRow kForms[] = {
    {kFuncStart, kFormPair, kModeOptions, kStartOpts2},
    {kFuncStart, kFormGroupFile, kModeOptions | kOptGroupFile, kStartOpts2},
    {kFuncStop, kFormPair, kOptF | kOptBack, kOpt2AccessPath},
    {kFuncStop, kFormGroupFile, kOptF | kOptBack | kOptGroupFile, kOpt2AccessPath},
    {kFuncSuspend, kFormPair, kSuspendOpts, kSuspendOpts2},
    {kFuncSuspend, kFormGroupFile, kSuspendOpts | kOptGroupFile, kSuspendOpts2},
    {kFuncSuspend, kFormSessionList, kOptF, kListOpts2},
    {kFuncResume, kFormPair, kResumeOpts, kOpt2Remain | kOpt2AccessPath},
    {kFuncResume, kFormGroupFile, kResumeOpts | kOptGroupFile, kOpt2Remain | kOpt2AccessPath},
    {kFuncResume, kFormSessionList, 0, kOpt2Remain | kListOpts2},
    {kFuncReverse, kFormPair, kOptBack, kOpt2AccessPath},
    {kFuncReverse, kFormGroupFile, kOptBack | kOptGroupFile, kOpt2AccessPath},
    {kFuncReverse, kFormSessionList, 0, kListOpts2},
    {kFuncChmod, kFormPair, kModeOptions | kOptThrough, kOpt2AccessPath},
    {kFuncChmod, kFormSessionList, kModeOptions | kOptThrough, kOpt2AccessPath | kOpt2SessionList},
    {kFuncSuspendStatus, kFormPair, kOptBack, kOpt2Csv},
    {kFuncSuspendStatus, kFormGroupFile, kOptBack | kOptGroupFile, kOpt2Csv},
};

bool Served(uint32_t func) {
    for (const FormRow &row : kForms) {
        if (row.uiFunc == func) return true;
    }
    return false;
}

const FormRow *FindForm(const CommandParam &param) {
    for (const FormRow &row : kForms) {
        if (row.uiFunc == param.uiFuncCode && row.iForm == param.iForm) return &row;
    }
    return nullptr;
}

const PermRow *FindPerm(const PermRow *first, const PermRow *last, uint32_t options) {
    for (const PermRow *row = first; row != last; ++row) {
        if (row->uiOptions == options) return row;
    }
    return nullptr;
}

bool Has(const CommandParam &p, uint32_t flag) { return (p.uiOptFlag & flag) != 0; }
bool Has2(const CommandParam &p, uint32_t flag) { return (p.uiOptFlag2 & flag) != 0; }

// The option word of the subcommand, or the refusal word in *refused.
bool OptionWord(const CommandParam &p, uint32_t *word, const char **refused) {
    switch (p.uiFuncCode) {
    case kFuncStart: {
        const PermRow *row = FindPerm(std::begin(taStartPermFlag), std::end(taStartPermFlag),
                                      p.uiOptFlag & ~kOptGroupFile);
        if (row == nullptr) {
            *refused = kWordOptionError;
            return false;
        }
        *word = row->uiWord;
        if (Has(p, kOptGroupFile)) *word |= ZRKC_OPT_GROUP_FILE;
        if (Has2(p, kOpt2RwProtect)) *word |= ZRK_OPT_SECONDARY;
        if (Has2(p, kOpt2Skip)) *word |= ZRK_OPT_SKIP_COPY;
        if (Has2(p, kOpt2AccessPath)) *word |= ZRKC_OPT_ACCESS_PATH;
        return true;
    }
    case kFuncSuspend: {
        const bool count = Has(p, kOptCount), interval = Has(p, kOptInterval);
        if (Has(p, kOptF) && (p.uiOptFlag & ~(kOptF | kOptGroupFile | kOptBack)) != 0) {
            *refused = "-f";
        } else if (count != interval) {
            *refused = "-count -interval";
        } else if (Has2(p, kOpt2NoTrans) && !Has(p, kOptC)) {
            *refused = "-notrans -c";
        } else if (Has2(p, kOpt2StackTimer) &&
                   (Has(p, kOptC | kOptCount | kOptInterval | kOptF) || Has2(p, kOpt2NoTrans))) {
            *refused = "-stacktimer";
        } else {
            *word = p.uiApiFlag;
            if (!count && !Has(p, kOptF)) *word |= ZRKC_OPT_PROPERTIES;
            return true;
        }
        return false;
    }
    case kFuncResume: {
        const uint32_t given = p.uiOptFlag & kResumeMask;
        for (uint32_t permitted : uiaResumeOptFlag) {
            if (given == permitted) {
                *word = p.uiApiFlag;
                return true;
            }
        }
        *refused = kWordOptionError;
        return false;
    }
    case kFuncChmod: {
        const PermRow *row = FindPerm(std::begin(taChmodPermFlag), std::end(taChmodPermFlag), p.uiOptFlag);
        if (row == nullptr) {
            *refused = kWordOptionError;
            return false;
        }
        *word = row->uiWord | (Has2(p, kOpt2AccessPath) ? ZRKC_OPT_ACCESS_PATH : 0);
        return true;
    }
    default:  // stop, reverse, suspendstatus
        *word = p.uiApiFlag;
        return true;
    }
}

// The CLI type of a session-list run.
int CliType(const CommandParam &p) {
    const bool remote = Has2(p, kOpt2RemoteVz);
    switch (p.uiFuncCode) {
    case kFuncSuspend: return remote ? ZRKC_CLI_SUSPEND_RVZ : ZRKC_CLI_SUSPEND_VZ;
    case kFuncResume: return remote ? ZRKC_CLI_RESUME_RVZ : ZRKC_CLI_RESUME_VZ;
    case kFuncReverse: return remote ? ZRKC_CLI_REVERSE_RVZ : ZRKC_CLI_REVERSE_VZ;
    default: return ZRKC_CLI_CHANGE_RVZ;
    }
}

// The pair command of the subcommand, once per call.
int CallPair(const CommandParam &p, char *source, char *target, uint32_t word, ReturnInfo &ri) {
    const int option = static_cast<int>(word);
    switch (p.uiFuncCode) {
    case kFuncStart: return zrkc_start_vz(source, target, option, &ri);
    case kFuncStop: return zrkc_stop_vz(source, target, option, &ri);
    case kFuncResume: return zrkc_resume_vz(source, target, option, &ri);
    case kFuncReverse: return zrkc_reverse_vz(source, target, option, &ri);
    case kFuncChmod: return zrkc_change_vz(source, target, option, &ri);
    default: return zrkc_suspend_vz(source, target, p.uiCount, p.uiInterval, word, &ri);
    }
}

int Run(int argc, char **argv) {
    static CommandParam param;
    const PasswordWipe wipePassword(param);
    ReturnInfo ri{};
    std::memset(ZrkcAccessPath, 0, sizeof(ZrkcAccessPath));
    SetUsageText(kUsageText);
    if (parse_param(argc, argv, &param) != 0) {
        Usage();
        return kExitUsage;
    }
    if (!Served(param.uiFuncCode)) return Refuse(argv[1]);
    const FormRow *form = FindForm(param);
    if (form == nullptr) return Refuse(kWordVolumeSpec);
    if (!OptionsPermitted(param, form->uiPermitted, form->uiPermitted2)) return Refuse(kWordNotPermitted);
    uint32_t word = 0;
    const char *refused = nullptr;
    if (!OptionWord(param, &word, &refused)) return Refuse(refused);
    if (Has2(param, kOpt2AccessPath) || param.iForm == kFormSessionList) {
        std::memcpy(ZrkcAccessPath, param.caAccessPath, sizeof(ZrkcAccessPath));
    }

    char *source = param.caOperand1;
    char *target = param.iForm == kFormPair ? param.caOperand2 : nullptr;
    PairArea area;
    PairArea output;
    int result;
    if (param.iForm == kFormSessionList) {
        if (!area.Allocate(kSessionListAreaSize)) return OutOfMemory();
        ri.pPairArea = area.Data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.Size());
        result = zrkc_execcli_sessionlist(source, CliType(param), static_cast<int>(word), &ri);
    } else if (param.uiFuncCode == kFuncSuspendStatus) {
        result = CallWithOutputArea(ri, output, OutputRetry::KeepPairArea, [&](void *buffer, uint32_t size) {
            return CallWithPairArea(ri, area, [&] {
                return zrkc_query_suspendstatus(source, target, static_cast<int>(word), &ri,
                                                static_cast<SuspendStatusList *>(buffer),
                                                static_cast<int>(size));
            });
        });
    } else {
        result = CallWithPairArea(ri, area, [&] { return CallPair(param, source, target, word, ri); });
    }
    if (result == -2) return kExitMemory;

    const bool status = param.uiFuncCode == kFuncSuspendStatus;
    if (result == 0 || (status && result == -1 && IsRunFailure(ri, RunKind::GroupFile))) {
        if (status) {
            RegisterLayout(kLayoutSuspendStatus, PrintSuspendStatusList);
            list_out(static_cast<int>(output.Size()), output.Data(), param, ri);
        }
        return result == 0 ? kExitOk : kExitError;
    }
    if (result == 1) {
        PrintMessage(ri);
        return kExitWarning;
    }
    if (IsRunFailure(ri, RunKind::GroupFile)) {
        PrintPairErrors(ri, RunKind::GroupFile, PairNaming);
    } else if (IsRunFailure(ri, RunKind::SessionList)) {
        PrintPairErrors(ri, RunKind::SessionList, SessionNaming);
    } else {
        PrintMessage(ri);
    }
    return kExitError;
}

}  // namespace

int main(int argc, char **argv) {
    zrkcli::OpenStandardDescriptors();
    return Run(argc, argv);
}
