// zrkcqkzp - the command program of the QuickKZP sessions: start and stop,
// for one pair or every pair of a group file (-gf).
#include "zrkcprogram.h"

#include <iterator>

namespace {

using namespace zrkcli;

constexpr char kUsageText[] =
    "Usage : zrkcqkzp start          src_volume trg_volume |\n"
    "        zrkcqkzp start [-c] -gf group_file            |\n"
    "        zrkcqkzp stop [-f]      src_volume trg_volume |\n"
    "        zrkcqkzp stop [-f] -gf  group_file            |\n";

constexpr FormRule kRules[] = {
    {kFuncStart, kFormPair, 0, nullptr, 0, nullptr, 0, kOpt2VvolDelete, CallKind::Pair,
     zrkc_start_quickkzp},
    {kFuncStart, kFormGroupFile, 0, nullptr, 0, nullptr, kOptC | kOptGroupFile, kOpt2NoPost,
     CallKind::Pair, zrkc_start_quickkzp},
    {kFuncStop, kFormPair, 0, nullptr, 0, nullptr, kOptF, 0, CallKind::Pair, zrkc_stop_quickkzp},
    {kFuncStop, kFormGroupFile, 0, nullptr, 0, nullptr, kOptF | kOptGroupFile, 0, CallKind::Pair,
     zrkc_stop_quickkzp},
};

}  // namespace

int main(int argc, char **argv) {
    return RunCommandProgram(argc, argv, {kUsageText, kRules, std::size(kRules), nullptr});
}
