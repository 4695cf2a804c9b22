// The inquiry layouts vol and device through list_out, text and CSV, byte
// for byte.
#include "zrkcargs.h"
#include "zrkcinq_out.h"
#include "zrkcout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using zrkcli::CommandParam;

// What list_out prints for the record under the given function code.
template <typename Record>
std::string Printed(const Record &record, uint32_t func, bool csv) {
    zrkcli::RegisterInqLayouts();
    CommandParam param{};
    param.uiFuncCode = func;
    param.uiOptFlag2 = csv ? static_cast<uint32_t>(zrkcli::kOpt2Csv) : 0u;
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    EXPECT_EQ(0, zrkcli::ListOut(sizeof record, &record, param, ReturnInfo{}, {out, stderr}));
    std::fclose(out);
    std::string printed(text, size);
    std::free(text);
    return printed;
}

VolumeQueryInfo Volume(const char *box, uint8_t type, const char *alias) {
    VolumeQueryInfo v{};
    std::memset(v.BoxID, ' ', sizeof v.BoxID);
    std::memcpy(v.BoxID, box, std::strlen(box));
    v.Type = type;
    v.Volume = 0x1a;
    v.ExtentStartAddress = 0x100000000ull;
    v.ExtentSize = 4097;
    if (alias != nullptr) {
        std::memcpy(v.Alias, alias, std::strlen(alias));
        v.AliasPresent = 1;
    }
    return v;
}

constexpr char kVolHeader[] =
    "BoxID                                     Volume  ExtentStartAddress  ExtentSize(KB)         Type  Alias\n";
constexpr char kVolCsvHeader[] =
    "\"BoxID\",\"Volume\",\"ExtentStartAddress\",\"ExtentSize(KB)\",\"Type\",\"Alias\"\n";

TEST(InqOut, VolText) {
    const std::string box40 = "BOX \"Q\"" + std::string(33, ' ');
    EXPECT_EQ(std::string(kVolHeader) + box40 + "  0x1a    0x100000000         2048.5                 "
                                                "SDV   sa              \n",
              Printed(Volume("BOX \"Q\"", ZRKC_VOLTYPE_SDV, "sa"), zrkcli::kFuncVol, false));
    // No alias and an ordinary volume: blanks in both columns.
    EXPECT_EQ(std::string(kVolHeader) + box40 + "  0x1a    0x100000000         2048.5                 "
                                                "                      \n",
              Printed(Volume("BOX \"Q\"", ZRKC_VOLTYPE_NORMAL, nullptr), zrkcli::kFuncVol, false));
}

TEST(InqOut, VolCsv) {
    EXPECT_EQ(std::string(kVolCsvHeader) + "\"BOX \"\"Q\"\"\",\"0x1a\",\"0x100000000\",\"2048.5\",\"SDV\",\"sa\"\n",
              Printed(Volume("BOX \"Q\"", ZRKC_VOLTYPE_SDV, "sa"), zrkcli::kFuncVol, true));
    EXPECT_EQ(std::string(kVolCsvHeader) + "\"BOX \"\"Q\"\"\",\"0x1a\",\"0x100000000\",\"2048.5\",\"\",\"\"\n",
              Printed(Volume("BOX \"Q\"", ZRKC_VOLTYPE_NORMAL, nullptr), zrkcli::kFuncVol, true));
}

// Control bytes of the array's BoxID and of an alias print as "?", in both
// layouts; nothing else of the row changes.
TEST(InqOut, VolControlBytesShowAsQuestionMarks) {
    for (const bool csv : {false, true}) {
        SCOPED_TRACE(csv);
        EXPECT_EQ(Printed(Volume("BOX?[1m??\"Q\"?", ZRKC_VOLTYPE_SDV, "s?a?"), zrkcli::kFuncVol, csv),
                  Printed(Volume("BOX\x1b[1m\x07\n\"Q\"\x7f", ZRKC_VOLTYPE_SDV, "s\ra\t"), zrkcli::kFuncVol, csv));
    }
}

TEST(InqOut, VolFullWidthFields) {
    // A BoxID and an alias of their full 40 bytes, without terminator.
    VolumeQueryInfo v = Volume("", ZRKC_VOLTYPE_NORMAL, nullptr);
    std::memset(v.BoxID, 'B', sizeof v.BoxID);
    std::memset(v.Alias, 'a', sizeof v.Alias);
    v.AliasPresent = 1;
    const std::string csv = Printed(v, zrkcli::kFuncVol, true);
    EXPECT_NE(std::string::npos, csv.find("\"" + std::string(40, 'B') + "\",")) << csv;
    EXPECT_NE(std::string::npos, csv.find(",\"" + std::string(40, 'a') + "\"\n")) << csv;
}

TEST(InqOut, Device) {
    DeviceQueryInfo d{};
    d.MaxSession = 1024;
    d.MaxSnapGene = 64;
    d.SupportFlag = ZRKC_DEVSUP_DEVICE | ZRKC_DEVSUP_LAN_FUNCTION;
    EXPECT_EQ("MaxSession  MaxSnapGene  SupportFlag\n"
              "1024        64           0x05000000\n",
              Printed(d, zrkcli::kFuncDevice, false));
    EXPECT_EQ("\"MaxSession\",\"MaxSnapGene\",\"SupportFlag\"\n"
              "\"1024\",\"64\",\"0x05000000\"\n",
              Printed(d, zrkcli::kFuncDevice, true));
}

} // namespace
