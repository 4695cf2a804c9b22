// zrkcinq - the inquiry program: the summary of a volume (vol) or of the
// array that holds it (device), as text or CSV.
#include "zrkcprogram.h"

#include <iterator>

namespace {

using namespace zrkcli;

constexpr char kUsageText[] = "Usage : zrkcinq vol [-csv] volume\n";

constexpr FormRule kRules[] = {
    {kFuncVol, kFormVolume, 0, nullptr, 0, nullptr, 0, kOpt2Csv, CallKind::GetVolume, nullptr},
    {kFuncDevice, kFormVolume, 0, nullptr, 0, nullptr, 0, kOpt2Csv, CallKind::GetDevice, nullptr},
};

}  // namespace

int main(int argc, char **argv) {
    return RunCommandProgram(argc, argv, {kUsageText, kRules, std::size(kRules), nullptr});
}
