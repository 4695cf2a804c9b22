// zrkcskzp - the command program of the SnapKZP sessions and their snap data
// volumes: start, stop and restore of snapshots (with -e: estimate sessions
// of one volume), sdvinit, the sdvinfo and estimate tables of volumes, and
// the sdpinfo table of the snap data pool of a volume's array.
#include "zrkcout.h"
#include "zrkcprogram.h"

namespace zrkcli {
namespace {

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

constexpr OptionRow kEstimate[] = {AtLeastOne(Opt(kOptE), "-e is necessary")};
constexpr OptionRow kStartGroup[] = {AtMostOne(Opt(kOptE | kOptC), "-e, -c")};
constexpr OptionRow kStopGroup[] = {AtMostOne(Opt(kOptE | kOptF), "-e, -f")};
constexpr OptionSet kGf = Opt(kOptGroupFile);
constexpr OptionSet kCsv = Opt2(kOpt2Csv);

int InitSdv(ProgramRun &run) {
    return CallWithPairArea(run.rRi, run.area, [&] { return zrkc_init_sdv(run.Source(), run.Word(), &run.rRi); });
}

int QuerySdv(ProgramRun &run) {
    return CallGrowing(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_sdv(run.Source(), run.Word(), &run.rRi, static_cast<SdvStatusList *>(buffer),
                              static_cast<int>(size));
    });
}

int QueryEstimate(ProgramRun &run) {
    return CallGrowing(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_estimate(run.Source(), run.Word(), &run.rRi, static_cast<EstimateList *>(buffer),
                                   static_cast<int>(size));
    });
}

int QuerySdp(ProgramRun &run) {
    return CallIntoRecord<SdpInfo>(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_sdp(run.Source(), run.Word(), &run.rRi, static_cast<SdpInfo *>(buffer),
                              static_cast<int>(size));
    });
}

constexpr FormRule kRules[] = {
    {.uiFunc = kFuncStart, .iForm = kFormPair, .permitted = Opt2(kOpt2VvolDelete),
     .pHandler = CallPair<zrkc_start_snapkzp>},
    {.uiFunc = kFuncStart, .iForm = kFormVolume, .before = kEstimate, .permitted = Opt(kOptE),
     .pHandler = CallPair<zrkc_start_snapkzp>},
    {.uiFunc = kFuncStart, .iForm = kFormGroupFile, .before = kStartGroup,
     .permitted = Opt(kOptC | kOptE) | kGf | Opt2(kOpt2NoPost), .pHandler = CallPair<zrkc_start_snapkzp>},
    {.uiFunc = kFuncStop, .iForm = kFormPair, .permitted = Opt(kOptF), .pHandler = CallPair<zrkc_stop_snapkzp>},
    {.uiFunc = kFuncStop, .iForm = kFormVolume, .before = kEstimate, .permitted = Opt(kOptE),
     .pHandler = CallPair<zrkc_stop_snapkzp>},
    {.uiFunc = kFuncStop, .iForm = kFormGroupFile, .before = kStopGroup, .permitted = Opt(kOptF | kOptE) | kGf,
     .pHandler = CallPair<zrkc_stop_snapkzp>},
    {.uiFunc = kFuncRestore, .iForm = kFormPair, .pHandler = CallPair<zrkc_restore_snapkzp>},
    {.uiFunc = kFuncRestore, .iForm = kFormGroupFile, .permitted = kGf, .pHandler = CallPair<zrkc_restore_snapkzp>},
    {.uiFunc = kFuncSdvInit, .iForm = kFormVolume, .pHandler = InitSdv},
    {.uiFunc = kFuncSdvInit, .iForm = kFormGroupFile, .permitted = kGf, .pHandler = InitSdv},
    {.uiFunc = kFuncSdvInfo, .iForm = kFormVolume, .permitted = kCsv, .pHandler = QuerySdv, .pList = ListResult},
    {.uiFunc = kFuncSdvInfo, .iForm = kFormGroupFile, .permitted = kGf | kCsv, .pHandler = QuerySdv,
     .pList = ListResult},
    {.uiFunc = kFuncEstimate, .iForm = kFormVolume, .permitted = kCsv, .pHandler = QueryEstimate,
     .pList = ListResult},
    {.uiFunc = kFuncEstimate, .iForm = kFormGroupFile, .permitted = kGf | kCsv, .pHandler = QueryEstimate,
     .pList = ListResult},
    {.uiFunc = kFuncSdpInfo, .iForm = kFormVolume, .permitted = kCsv, .pHandler = QuerySdp, .pList = ListResult},
};

// A failed entry names its pair, or its volume for an estimate session and
// for sdvinit; the naming ends in a blank.
std::string Naming(const CommandParam &param, const PairResult &entry) {
    if (param.uiFuncCode == kFuncSdvInit || (param.uiOptFlag & kOptE) != 0) {
        return VolumeNaming(entry);
    }
    return PairNaming(entry) + " ";
}

}  // namespace

const ProgramTables kSnapKzpProgram = {
    .pUsage = kUsageText, .rules = kRules, .pLayouts = RegisterSnapLayouts, .pNaming = Naming};

}  // namespace zrkcli
