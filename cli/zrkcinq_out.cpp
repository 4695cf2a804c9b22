// The inquiry program's layouts: where a volume lies (vol) and what its
// array can do (device), in fixed-width text or CSV.
#include "zrkcinq_out.h"

#include "zrkc.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

namespace zrkcli {

int PrintVolLayout(int /*resultSize*/, const void *result, const CommandParam &param,
                   const ReturnInfo & /*ri*/, const Out &out) {
    VolumeQueryInfo info{};
    std::memcpy(&info, result, sizeof info);
    const std::string box = FieldText(info.BoxID, sizeof info.BoxID);
    const bool sdv = info.Type == ZRKC_VOLTYPE_SDV;
    const std::string alias = info.AliasPresent == 1 ? FieldText(info.Alias, sizeof info.Alias) : "";
    const std::string size = KbText(info.ExtentSize);
    if (Csv(param)) {
        std::fputs("\"BoxID\",\"Volume\",\"ExtentStartAddress\",\"ExtentSize(KB)\",\"Type\",\"Alias\"\n",
                   out.pOut);
        const std::string line =
            CsvLine({{box, CsvKind::Name},
                     {FormatNumber("0x%llx", info.Volume)},
                     {FormatNumber("0x%llx", info.ExtentStartAddress)},
                     {size},
                     {sdv ? "SDV" : ""},
                     {alias, CsvKind::Name}});
        std::fputs(line.c_str(), out.pOut);
        return 0;
    }
    std::fputs("BoxID                                     Volume  ExtentStartAddress  ExtentSize(KB)"
               "         Type  Alias\n",
               out.pOut);
    std::fprintf(out.pOut, "%-40s  0x%-4x  0x%-16llx  %-21s  %-3s   %-16s\n", box.c_str(), info.Volume,
                 static_cast<unsigned long long>(info.ExtentStartAddress), size.c_str(),
                 sdv ? "SDV" : "   ", info.AliasPresent == 1 ? alias.c_str() : "                ");
    return 0;
}

int PrintDeviceLayout(int /*resultSize*/, const void *result, const CommandParam &param,
                      const ReturnInfo & /*ri*/, const Out &out) {
    DeviceQueryInfo info{};
    std::memcpy(&info, result, sizeof info);
    if (Csv(param)) {
        std::fputs("\"MaxSession\",\"MaxSnapGene\",\"SupportFlag\"\n", out.pOut);
        std::fputs(CsvLine({{std::to_string(info.MaxSession)},
                            {std::to_string(info.MaxSnapGene)},
                            {FormatNumber("0x%08llx", info.SupportFlag)}})
                       .c_str(),
                   out.pOut);
        return 0;
    }
    std::fputs("MaxSession  MaxSnapGene  SupportFlag\n", out.pOut);
    std::fprintf(out.pOut, "%-10d  %-11d  0x%08x\n", info.MaxSession, info.MaxSnapGene, info.SupportFlag);
    return 0;
}

void RegisterInqLayouts() {
    RegisterLayout(kLayoutVol, PrintVolLayout);
    RegisterLayout(kLayoutDevice, PrintDeviceLayout);
}

}  // namespace zrkcli
