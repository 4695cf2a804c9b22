// zrkcinq - the inquiry program: the summary of a volume (vol) or of the
// array that holds it (device), as text or CSV.
#include "zrkcinq_out.h"
#include "zrkcprogram.h"

namespace zrkcli {
namespace {

constexpr char kUsageText[] = "Usage : zrkcinq vol [-csv] volume\n";

int GetVolume(ProgramRun &run) {
    return CallIntoRecord<VolumeQueryInfo>(run, [&](void *buffer, uint32_t size) {
        return zrkc_get_volume(run.Source(), run.uiWord, &run.rRi, buffer, size);
    });
}

int GetDevice(ProgramRun &run) {
    return CallIntoRecord<DeviceQueryInfo>(run, [&](void *buffer, uint32_t size) {
        return zrkc_get_device(run.Source(), run.uiWord, &run.rRi, buffer, size);
    });
}

constexpr FormRule kRules[] = {
    {.uiFunc = kFuncVol, .iForm = kFormVolume, .permitted = Opt2(kOpt2Csv), .pHandler = GetVolume,
     .pList = ListResult},
    {.uiFunc = kFuncDevice, .iForm = kFormVolume, .permitted = Opt2(kOpt2Csv), .pHandler = GetDevice,
     .pList = ListResult},
};

}  // namespace

const ProgramTables kInqProgram = {.pUsage = kUsageText, .rules = kRules, .pLayouts = RegisterInqLayouts};

}  // namespace zrkcli
