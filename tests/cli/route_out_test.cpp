// Output layouts 8 (dest) and 9 (alias -l) through list_out's layout
// mechanism, text and CSV compared byte for byte, from records filled here.
#include "zrkcalias.h"
#include "zrkcargs.h"
#include "zrkcout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace zrkcli;

// What ListOut writes to standard output (standard error must stay empty).
std::string Printed(uint32_t func, bool csv, const void *record, int size) {
    RegisterRouteLayouts();
    CommandParam param{};
    param.uiFuncCode = func;
    param.uiOptFlag2 = csv ? static_cast<uint32_t>(kOpt2Csv) : 0u;
    char *outText = nullptr, *errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE *out = open_memstream(&outText, &outSize);
    FILE *err = open_memstream(&errText, &errSize);
    const ReturnInfo ri{};
    EXPECT_EQ(0, ListOut(size, record, param, ri, Out{out, err}));
    std::fclose(out);
    std::fclose(err);
    std::string text(outText, outSize);
    EXPECT_EQ(errSize, 0u);
    std::free(outText);
    std::free(errText);
    return text;
}

template <size_t N>
void Put(char (&field)[N], const std::string &text) {
    std::memcpy(field, text.data(), std::min(N, text.size()));
}
template <size_t N>
void Put(uint8_t (&field)[N], const std::string &text) {
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

std::string Padded(const std::string &box) { return box + std::string(40 - box.size(), ' '); }
// A text left-justified in a column of width characters.
std::string Col(const std::string &text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::unique_ptr<RouteInfo> Route(uint8_t targets) {
    auto r = std::make_unique<RouteInfo>();
    Put(r->Alias, "src");
    Put(r->DevIDNo, "D1234567");
    Put(r->ProductID, "WX900           ");
    Put(r->BoxID, Padded("BOX\"A"));
    Put(r->AccessPath, "/dev/sdb");
    r->TargetCount = targets;
    for (uint8_t i = 0; i < targets; ++i) {
        RouteTarget &t = r->Target[i];
        t.No = static_cast<uint8_t>(7 + i);
        Put(t.BoxID, Padded("BOX" + std::to_string(i)));
        if (i == 0) {
            Put(t.Alias, "remote0");
            Put(t.DevIDNo, "D7654321");
            Put(t.ProductID, "WX900");
        }
    }
    return r;
}

// The text of Route()'s source block and the target header.
const std::string kDestHead = "Source\n"
                              "Alias     :src             \n"
                              "DevIDNo   :D1234567\n"
                              "ProductID :WX900           \n"
                              "BoxID     :BOX\"A                                   \n"
                              "AccessPath:/dev/sdb\n"
                              "\n"
                              "Target\n"
                              "No   Alias             DevIDNo   ProductID         BoxID\n";

TEST(RouteOut, DestText) {
    auto r = Route(2);
    EXPECT_EQ(Printed(kFuncDest, false, r.get(), sizeof(RouteInfo)),
              kDestHead + "1    remote0           D7654321  WX900             " + Padded("BOX0") + "\n" +
                  Col("2", 3) + "  " + Col("", 16) + "  " + Col("", 8) + "  " + Col("", 16) + "  " +
                  Col("BOX1", 40) + "\n");
}

TEST(RouteOut, DestCsv) {
    auto r = Route(2);
    const std::string header =
        "\"Source\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\",\"Target\",\"No\","
        "\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\"\n";
    const std::string source = "\"\",\"src\",\"D1234567\",\"WX900\",\"BOX\"\"A\",\"/dev/sdb\",\"\",";
    EXPECT_EQ(Printed(kFuncDest, true, r.get(), sizeof(RouteInfo)),
              header + source + "\"1\",\"remote0\",\"D7654321\",\"WX900\",\"BOX0\"\n" + source +
                  "\"2\",\"\",\"\",\"\",\"BOX1\"\n");
    // Without a remote array: one row, the target fields empty.
    r->TargetCount = 0;
    EXPECT_EQ(Printed(kFuncDest, true, r.get(), sizeof(RouteInfo)),
              header + source + "\"\",\"\",\"\",\"\",\"\"\n");
}

TEST(RouteOut, DestWithoutTargetsAndCountsBeyondTheRecord) {
    auto r = Route(0);
    const std::string head = kDestHead;
    EXPECT_EQ(Printed(kFuncDest, false, r.get(), sizeof(RouteInfo)), head);
    // A count larger than the bytes handed over prints only what they hold.
    auto full = Route(3);
    const int oneTarget = static_cast<int>(offsetof(RouteInfo, Target) + sizeof(RouteTarget));
    const std::string printed = Printed(kFuncDest, false, full.get(), oneTarget);
    EXPECT_EQ(printed.substr(0, head.size()), head);
    EXPECT_EQ(printed.substr(head.size()).find('\n'), printed.size() - head.size() - 1)
        << "one target row";
}

std::unique_ptr<AliasList> Aliases() {
    auto list = std::make_unique<AliasList>();
    list->Count = 2;
    AliasEntry &a = list->Entry[0].Main;
    a.ID = 0;
    Put(a.Alias, "sa");
    Put(a.DevIDNo, "D1234567");
    Put(a.ProductID, "WX900           ");
    Put(a.BoxID, Padded("BOXA"));
    Put(a.AccessPath, "/dev/sdb");
    AliasEntry &b = list->Entry[1].Main;
    b.ID = 12;
    Put(b.Alias, std::string(40, 'x'));  // a full alias field, no terminator
    Put(b.BoxID, Padded("BOX,\"B"));
    Put(b.AccessPath, "10.0.0.6");
    return list;
}

TEST(RouteOut, AliasListText) {
    auto list = Aliases();
    EXPECT_EQ(Printed(kFuncAlias, false, list.get(), sizeof(AliasList)),
              "ID   Alias             DevIDNo   ProductID         BoxID                                     AccessPath\n" +
                  Col("0", 3) + "  " + Col("sa", 16) + "  D1234567  WX900             " + Padded("BOXA") +
                  "  /dev/sdb\n" + Col("12", 3) + "  " + std::string(40, 'x') + "  " + Col("", 8) + "  " +
                  Col("", 16) + "  " + Padded("BOX,\"B") + "  10.0.0.6\n");
}

TEST(RouteOut, AliasListCsv) {
    auto list = Aliases();
    EXPECT_EQ(Printed(kFuncAlias, true, list.get(), sizeof(AliasList)),
              "\"ID\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\"\n"
              "\"0\",\"sa\",\"D1234567\",\"WX900\",\"BOXA\",\"/dev/sdb\"\n"
              "\"12\",\"" + std::string(40, 'x') + "\",\"\",\"\",\"BOX,\"\"B\",\"10.0.0.6\"\n");
}

TEST(RouteOut, AliasListCountIsClampedToTheRecord) {
    auto list = Aliases();
    list->Count = 0xFFFF;  // more than a list holds
    const std::string text = Printed(kFuncAlias, true, list.get(), sizeof(AliasList));
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), 1u + ZRKC_ALIAS_SLOTS);
    // Fewer bytes than the count needs: only the entries they hold.
    list->Count = 2;
    const int oneEntry = static_cast<int>(offsetof(AliasList, Entry) + sizeof(AliasRecord));
    const std::string one = Printed(kFuncAlias, true, list.get(), oneEntry);
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 2);
}

}  // namespace
