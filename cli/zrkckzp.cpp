// zrkckzp - the command program of the KZP sessions: start and stop, for one
// pair, every pair of a group file (-gf) or, for stop, every session of a
// session-list file (-sl).
#include "zrkcprogram.h"

#include <iterator>

namespace {

using namespace zrkcli;

constexpr char kUsageText[] =
    "Usage : zrkckzp start              src_volume trg_volume |\n"
    "        zrkckzp start [-c]     -gf group_file            |\n"
    "        zrkckzp stop -f [-odx]     src_volume trg_volume |\n"
    "        zrkckzp stop -f [-odx] -gf group_file            |\n";

constexpr const char *kWordForce = "-f is necessary";
constexpr uint32_t kStopOpts2 = kOpt2Odx | kOpt2Vvol;

constexpr FormRule kRules[] = {
    {kFuncStart, kFormPair, 0, nullptr, 0, nullptr, 0, 0, CallKind::Pair, zrkc_start_kzp},
    {kFuncStart, kFormGroupFile, 0, nullptr, 0, nullptr, kOptC | kOptGroupFile, kOpt2NoPost,
     CallKind::Pair, zrkc_start_kzp},
    {kFuncStop, kFormPair, kOptF, kWordForce, 0, nullptr, kOptF, kStopOpts2, CallKind::Pair,
     zrkc_stop_kzp},
    {kFuncStop, kFormGroupFile, kOptF, kWordForce, 0, nullptr, kOptF | kOptGroupFile, kStopOpts2,
     CallKind::Pair, zrkc_stop_kzp},
    {kFuncStop, kFormSessionList, 0, nullptr, 0, nullptr, kOptF, kOpt2SessionList | kOpt2AccessPath,
     CallKind::SessionStop, nullptr},
};

}  // namespace

int main(int argc, char **argv) {
    return RunCommandProgram(argc, argv, {kUsageText, kRules, std::size(kRules), nullptr});
}
