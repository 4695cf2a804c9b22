// zrkckzp - the command program of the KZP sessions: start and stop, for one
// pair, every pair of a group file (-gf) or, for stop, every session of a
// session-list file (-sl).
#include "zrkcprogram.h"

namespace zrkcli {
namespace {

constexpr char kUsageText[] =
    "Usage : zrkckzp start              src_volume trg_volume |\n"
    "        zrkckzp start [-c]     -gf group_file            |\n"
    "        zrkckzp stop -f [-odx]     src_volume trg_volume |\n"
    "        zrkckzp stop -f [-odx] -gf group_file            |\n";

constexpr OptionRow kForce[] = {AtLeastOne(Opt(kOptF), "-f is necessary")};
constexpr OptionSet kStopOpts = Opt(kOptF) | Opt2(kOpt2Odx | kOpt2Vvol);

int StopSessions(ProgramRun &run) { return CallSessionList(run, ZRKC_CLI_STOP); }

constexpr FormRule kRules[] = {
    {.uiFunc = kFuncStart, .iForm = kFormPair, .pHandler = CallPair<zrkc_start_kzp>},
    {.uiFunc = kFuncStart, .iForm = kFormGroupFile, .permitted = Opt(kOptC | kOptGroupFile) | Opt2(kOpt2NoPost),
     .pHandler = CallPair<zrkc_start_kzp>},
    {.uiFunc = kFuncStop, .iForm = kFormPair, .before = kForce, .permitted = kStopOpts,
     .pHandler = CallPair<zrkc_stop_kzp>},
    {.uiFunc = kFuncStop, .iForm = kFormGroupFile, .before = kForce, .permitted = kStopOpts | Opt(kOptGroupFile),
     .pHandler = CallPair<zrkc_stop_kzp>},
    {.uiFunc = kFuncStop, .iForm = kFormSessionList,
     .permitted = Opt(kOptF) | Opt2(kOpt2SessionList | kOpt2AccessPath), .pHandler = StopSessions},
};

}  // namespace

const ProgramTables kKzpProgram = {.pUsage = kUsageText, .rules = kRules};

}  // namespace zrkcli
