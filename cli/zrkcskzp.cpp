// zrkcskzp - the command program of the SnapKZP sessions and their snap data
// volumes: start, stop and restore of snapshots (with -e: estimate sessions
// of one volume), sdvinit, the sdvinfo and estimate tables of volumes, and
// the sdpinfo table of the snap data pool of a volume's array.
#include "zrkcout.h"
#include "zrkcprogram.h"

#include <iterator>

namespace {

using namespace zrkcli;

constexpr char kUsageText[] =
    "Usage : zrkcskzp start               src_volume trg_volume |\n"
    "        zrkcskzp start [-c] -gf      group_file            |\n"
    "        zrkcskzp stop [-f]           src_volume trg_volume |\n"
    "        zrkcskzp stop [-f] -gf       group_file            |\n"
    "        zrkcskzp start -e            src_volume            |\n"
    "        zrkcskzp start -e -gf        group_file            |\n"
    "        zrkcskzp estimate [-csv]     src_volume            |\n"
    "        zrkcskzp estimate [-csv] -gf group_file            |\n"
    "        zrkcskzp stop -e             src_volume            |\n"
    "        zrkcskzp stop -e -gf         group_file            |\n"
    "        zrkcskzp sdvinit             volume                |\n"
    "        zrkcskzp sdvinit -gf         group_file            |\n"
    "        zrkcskzp sdvinfo [-csv]      volume                |\n"
    "        zrkcskzp sdvinfo [-csv] -gf  group_file            |\n"
    "        zrkcskzp sdpinfo [-csv]      volume                |\n"
    "        zrkcskzp restore             src_volume trg_volume |\n"
    "        zrkcskzp restore -gf         group_file            |\n";

constexpr const char *kWordEstimate = "-e is necessary";
constexpr uint32_t kGf = kOptGroupFile;

constexpr FormRule kRules[] = {
    {kFuncStart, kFormPair, 0, nullptr, 0, nullptr, 0, kOpt2VvolDelete, CallKind::Pair,
     zrkc_start_snapkzp},
    {kFuncStart, kFormVolume, kOptE, kWordEstimate, 0, nullptr, kOptE, 0, CallKind::Pair,
     zrkc_start_snapkzp},
    {kFuncStart, kFormGroupFile, 0, nullptr, kOptE | kOptC, "-e, -c", kOptC | kGf | kOptE,
     kOpt2NoPost, CallKind::Pair, zrkc_start_snapkzp},
    {kFuncStop, kFormPair, 0, nullptr, 0, nullptr, kOptF, 0, CallKind::Pair, zrkc_stop_snapkzp},
    {kFuncStop, kFormVolume, kOptE, kWordEstimate, 0, nullptr, kOptE, 0, CallKind::Pair,
     zrkc_stop_snapkzp},
    {kFuncStop, kFormGroupFile, 0, nullptr, kOptE | kOptF, "-e, -f", kOptF | kGf | kOptE, 0,
     CallKind::Pair, zrkc_stop_snapkzp},
    {kFuncRestore, kFormPair, 0, nullptr, 0, nullptr, 0, 0, CallKind::Pair, zrkc_restore_snapkzp},
    {kFuncRestore, kFormGroupFile, 0, nullptr, 0, nullptr, kGf, 0, CallKind::Pair,
     zrkc_restore_snapkzp},
    {kFuncSdvInit, kFormVolume, 0, nullptr, 0, nullptr, 0, 0, CallKind::InitSdv, nullptr},
    {kFuncSdvInit, kFormGroupFile, 0, nullptr, 0, nullptr, kGf, 0, CallKind::InitSdv, nullptr},
    {kFuncSdvInfo, kFormVolume, 0, nullptr, 0, nullptr, 0, kOpt2Csv, CallKind::QuerySdv, nullptr},
    {kFuncSdvInfo, kFormGroupFile, 0, nullptr, 0, nullptr, kGf, kOpt2Csv, CallKind::QuerySdv, nullptr},
    {kFuncEstimate, kFormVolume, 0, nullptr, 0, nullptr, 0, kOpt2Csv, CallKind::QueryEstimate,
     nullptr},
    {kFuncEstimate, kFormGroupFile, 0, nullptr, 0, nullptr, kGf, kOpt2Csv, CallKind::QueryEstimate,
     nullptr},
    {kFuncSdpInfo, kFormVolume, 0, nullptr, 0, nullptr, 0, kOpt2Csv, CallKind::QuerySdp, nullptr},
};

// A failed entry names its pair, or its volume for an estimate session and
// for sdvinit; the naming ends in a blank.
std::string Naming(const CommandParam &param, const PairResult &entry) {
    if (param.uiFuncCode == kFuncSdvInit || (param.uiOptFlag & kOptE) != 0) {
        return "Volume=(" + EntrySource(entry) + "). ";
    }
    return PairNaming(entry) + " ";
}

}  // namespace

int main(int argc, char **argv) {
    return RunCommandProgram(argc, argv, {kUsageText, kRules, std::size(kRules), Naming});
}
