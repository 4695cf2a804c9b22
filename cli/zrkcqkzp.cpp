// zrkcqkzp - the command program of the QuickKZP sessions: start and stop,
// for one pair or every pair of a group file (-gf).
#include "zrkcprogram.h"

namespace zrkcli {
namespace {

constexpr char kUsageText[] =
    "Usage : zrkcqkzp start          src_volume trg_volume |\n"
    "        zrkcqkzp start [-c] -gf group_file            |\n"
    "        zrkcqkzp stop [-f]      src_volume trg_volume |\n"
    "        zrkcqkzp stop [-f] -gf  group_file            |\n";

constexpr FormRule kRules[] = {
    {.uiFunc = kFuncStart, .iForm = kFormPair, .permitted = Opt2(kOpt2VvolDelete),
     .pHandler = CallPair<zrkc_start_quickkzp>},
    {.uiFunc = kFuncStart, .iForm = kFormGroupFile, .permitted = Opt(kOptC | kOptGroupFile) | Opt2(kOpt2NoPost),
     .pHandler = CallPair<zrkc_start_quickkzp>},
    {.uiFunc = kFuncStop, .iForm = kFormPair, .permitted = Opt(kOptF), .pHandler = CallPair<zrkc_stop_quickkzp>},
    {.uiFunc = kFuncStop, .iForm = kFormGroupFile, .permitted = Opt(kOptF | kOptGroupFile),
     .pHandler = CallPair<zrkc_stop_quickkzp>},
};

}  // namespace

const ProgramTables kQuickKzpProgram = {.pUsage = kUsageText, .rules = kRules};

}  // namespace zrkcli
