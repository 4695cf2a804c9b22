// zrkcvz - the command program of the VZ and RVZ sessions: start, stop,
// suspend, resume, reverse, chmod and suspendstatus, for one pair, every
// pair of a group file (-gf) or, for suspend, resume, reverse and chmod,
// every session of a session-list file (-sl).
//
// Its rules on the frame (zrkcprogram.h) check the operand form and the
// options each subcommand permits; the mode tables below turn the options
// into the command function's option word. It reports messages on standard
// error, the suspend-status table on standard output, and the exit code (0
// done, 1 warning, 2 command line refused, 3 out of memory, 4 the library
// failed).
#include "zrkcout.h"
#include "zrkcprogram.h"

#include <cstdint>
#include <iterator>
#include <span>

namespace zrkcli {
namespace {

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

// The row of the mode options in a table, or null.
const PermRow *FindPerm(std::span<const PermRow> table, uint32_t options) {
    for (const PermRow &row : table) {
        if (row.uiOptions == options) return &row;
    }
    return nullptr;
}

// The mode options of start (-gf aside) and of chmod: a row of their table.
const PermRow *StartModes(const CommandParam &p) { return FindPerm(taStartPermFlag, p.uiOptFlag & ~kOptGroupFile); }
const PermRow *ChmodModes(const CommandParam &p) { return FindPerm(taChmodPermFlag, p.uiOptFlag); }
const char *CheckStartModes(const CommandParam &p) { return StartModes(p) == nullptr ? kWordOptionError : nullptr; }
const char *CheckChmodModes(const CommandParam &p) { return ChmodModes(p) == nullptr ? kWordOptionError : nullptr; }

// The option word of the subcommand.
uint32_t OptionWord(const CommandParam &p) {
    switch (p.uiFuncCode) {
    case kFuncStart: {
        uint32_t word = StartModes(p)->uiWord;
        if (Has(p, kOptGroupFile)) word |= ZRKC_OPT_GROUP_FILE;
        if (Has2(p, kOpt2RwProtect)) word |= ZRK_OPT_SECONDARY;
        if (Has2(p, kOpt2Skip)) word |= ZRK_OPT_SKIP_COPY;
        if (Has2(p, kOpt2AccessPath)) word |= ZRKC_OPT_ACCESS_PATH;
        return word;
    }
    case kFuncSuspend:
        return p.uiApiFlag | (!Has(p, kOptCount) && !Has(p, kOptF) ? ZRKC_OPT_PROPERTIES : 0);
    case kFuncChmod: return ChmodModes(p)->uiWord | (Has2(p, kOpt2AccessPath) ? ZRKC_OPT_ACCESS_PATH : 0);
    default: return p.uiApiFlag;  // stop, resume, reverse, suspendstatus
    }
}

// suspend: -f with none of -count, -interval and -c; -count with -interval;
// -notrans with -c; -stacktimer with none of the other suspend modes.
constexpr OptionRow kSuspendRows[] = {
    Excludes(Opt(kOptF), Opt(kOptInterval | kOptCount | kOptC), "-f"),
    Requires(Opt(kOptCount), Opt(kOptInterval), "-count -interval"),
    Requires(Opt(kOptInterval), Opt(kOptCount), "-count -interval"),
    Requires(Opt2(kOpt2NoTrans), Opt(kOptC), "-notrans -c"),
    Excludes(Opt2(kOpt2StackTimer), Opt(kOptC | kOptCount | kOptInterval | kOptF) | Opt2(kOpt2NoTrans),
             "-stacktimer"),
};

// resume: a transfer mode only with -rcv, and only one.
constexpr uint32_t kTransferModes = kOptStack | kOptSync | kOptConsistency;
constexpr OptionRow kResumeRows[] = {
    Requires(Opt(kTransferModes), Opt(kOptRcv), kWordOptionError),
    AtMostOne(Opt(kTransferModes), kWordOptionError),
};

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

int Sessions(ProgramRun &run) { return CallSessionList(run, CliType(run.rParam)); }

int Suspend(ProgramRun &run) {
    return CallWithPairArea(run.rRi, run.area, [&] {
        return zrkc_suspend_vz(run.Source(), run.Target(), run.rParam.uiCount, run.rParam.uiInterval, run.uiWord,
                               &run.rRi);
    });
}

int SuspendStatus(ProgramRun &run) {
    return CallGrowing(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_suspendstatus(run.Source(), run.Target(), run.Word(), &run.rRi,
                                        static_cast<SuspendStatusList *>(buffer), static_cast<int>(size));
    });
}

void Layouts() { RegisterLayout(kLayoutSuspendStatus, PrintSuspendStatusList); }

// The rules: each subcommand in its operand forms.
constexpr OptionSet kModes = Opt(kModeOptions);
constexpr OptionSet kGf = Opt(kOptGroupFile);
constexpr OptionSet kPath = Opt2(kOpt2AccessPath);
constexpr OptionSet kStartOpts = kModes | Opt2(kOpt2RwProtect | kOpt2Skip | kOpt2AccessPath);
constexpr OptionSet kStopOpts = Opt(kOptF | kOptBack) | kPath;
constexpr OptionSet kSuspendOpts =
    Opt(kOptF | kOptInterval | kOptCount | kOptBack | kOptC) | Opt2(kOpt2NoTrans | kOpt2AccessPath | kOpt2StackTimer);
constexpr OptionSet kResumeOpts = Opt(kTransferModes | kOptBack | kOptRcv) | Opt2(kOpt2Remain | kOpt2AccessPath);
constexpr OptionSet kListOpts = Opt2(kOpt2AccessPath | kOpt2SessionList | kOpt2RemoteVz);
constexpr OptionSet kChmodOpts = kModes | Opt(kOptThrough) | kPath;
constexpr OptionSet kStatusOpts = Opt(kOptBack) | Opt2(kOpt2Csv);
constexpr FormRule kRules[] = {
    {.uiFunc = kFuncStart, .iForm = kFormPair, .permitted = kStartOpts, .pCheck = CheckStartModes,
     .pHandler = CallPair<zrkc_start_vz>},
    {.uiFunc = kFuncStart, .iForm = kFormGroupFile, .permitted = kStartOpts | kGf, .pCheck = CheckStartModes,
     .pHandler = CallPair<zrkc_start_vz>},
    {.uiFunc = kFuncStop, .iForm = kFormPair, .permitted = kStopOpts, .pHandler = CallPair<zrkc_stop_vz>},
    {.uiFunc = kFuncStop, .iForm = kFormGroupFile, .permitted = kStopOpts | kGf, .pHandler = CallPair<zrkc_stop_vz>},
    {.uiFunc = kFuncSuspend, .iForm = kFormPair, .permitted = kSuspendOpts, .after = kSuspendRows,
     .pHandler = Suspend},
    {.uiFunc = kFuncSuspend, .iForm = kFormGroupFile, .permitted = kSuspendOpts | kGf, .after = kSuspendRows,
     .pHandler = Suspend},
    {.uiFunc = kFuncSuspend, .iForm = kFormSessionList, .permitted = Opt(kOptF) | kListOpts, .after = kSuspendRows,
     .pHandler = Sessions},
    {.uiFunc = kFuncResume, .iForm = kFormPair, .permitted = kResumeOpts, .after = kResumeRows,
     .pHandler = CallPair<zrkc_resume_vz>},
    {.uiFunc = kFuncResume, .iForm = kFormGroupFile, .permitted = kResumeOpts | kGf, .after = kResumeRows,
     .pHandler = CallPair<zrkc_resume_vz>},
    {.uiFunc = kFuncResume, .iForm = kFormSessionList, .permitted = Opt2(kOpt2Remain) | kListOpts,
     .after = kResumeRows, .pHandler = Sessions},
    {.uiFunc = kFuncReverse, .iForm = kFormPair, .permitted = Opt(kOptBack) | kPath,
     .pHandler = CallPair<zrkc_reverse_vz>},
    {.uiFunc = kFuncReverse, .iForm = kFormGroupFile, .permitted = Opt(kOptBack) | kGf | kPath,
     .pHandler = CallPair<zrkc_reverse_vz>},
    {.uiFunc = kFuncReverse, .iForm = kFormSessionList, .permitted = kListOpts, .pHandler = Sessions},
    {.uiFunc = kFuncChmod, .iForm = kFormPair, .permitted = kChmodOpts, .pCheck = CheckChmodModes,
     .pHandler = CallPair<zrkc_change_vz>},
    {.uiFunc = kFuncChmod, .iForm = kFormSessionList, .permitted = kChmodOpts | Opt2(kOpt2SessionList),
     .pCheck = CheckChmodModes, .pHandler = Sessions},
    {.uiFunc = kFuncSuspendStatus, .iForm = kFormPair, .permitted = kStatusOpts, .pHandler = SuspendStatus,
     .pList = ListResult},
    {.uiFunc = kFuncSuspendStatus, .iForm = kFormGroupFile, .permitted = kStatusOpts | kGf,
     .pHandler = SuspendStatus, .pList = ListResult},
};

}  // namespace

const ProgramTables kVzProgram = {.pUsage = kUsageText,
                                  .rules = kRules,
                                  .pWord = OptionWord,
                                  .pLayouts = Layouts,
                                  .bWarnings = true};

}  // namespace zrkcli
