// zrkcroute_out.cpp - output layouts 8 (dest: the route of a device's array
// and the remote arrays it reaches) and 9 (alias -l: the alias store's
// entries). Text fields of the records' fixed-size character fields are
// taken up to their full width, never past it.
#include "zrkcout.h"

#include "zrkcalias.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace zrkcli {

namespace {

// A fixed-size character field as text: up to its first NUL or its width.
template <typename T, size_t N>
std::string Field(const T (&field)[N]) {
    static_assert(sizeof(T) == 1, "a character field");
    return FieldText(reinterpret_cast<const char *>(field), N);
}

void Put(const Out &out, const std::string &text) { std::fwrite(text.data(), 1, text.size(), out.pOut); }

// Entries of size entrySize from byte at that resultSize holds.
size_t EntriesIn(int resultSize, size_t at, size_t entrySize) {
    if (resultSize < 0 || static_cast<size_t>(resultSize) < at) return 0;
    return (static_cast<size_t>(resultSize) - at) / entrySize;
}

}  // namespace

int PrintDest(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &,
              const Out &out) {
    if (resultSize < static_cast<int>(offsetof(RouteInfo, Target))) return 0;
    const RouteInfo &route = *static_cast<const RouteInfo *>(result);
    const size_t count = std::min<size_t>(
        route.TargetCount, EntriesIn(resultSize, offsetof(RouteInfo, Target), sizeof(RouteTarget)));
    const std::string alias = Field(route.Alias), devId = Field(route.DevIDNo),
                      product = Field(route.ProductID), box = Field(route.BoxID),
                      path = Field(route.AccessPath);
    if (Csv(param)) {
        Put(out, "\"Source\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\",\"Target\","
                 "\"No\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\"\n");
        const auto row = [&](const std::string &no, const std::string &tAlias, const std::string &tDevId,
                             const std::string &tProduct, const std::string &tBox) {
            Put(out, CsvLine({{""}, {alias, CsvKind::Name}, {devId, CsvKind::Name},
                              {product, CsvKind::Name}, {box, CsvKind::Name}, {path, CsvKind::Name},
                              {""}, {no, CsvKind::Name}, {tAlias, CsvKind::Name},
                              {tDevId, CsvKind::Name}, {tProduct, CsvKind::Name},
                              {tBox, CsvKind::Name}}));
        };
        if (count == 0) row("", "", "", "", "");
        for (size_t i = 0; i < count; ++i) {
            const RouteTarget &t = route.Target[i];
            row(std::to_string(i + 1), Field(t.Alias), Field(t.DevIDNo), Field(t.ProductID),
                Field(t.BoxID));
        }
        return 0;
    }
    std::fprintf(out.pOut, "Source\n");
    std::fprintf(out.pOut, "Alias     :%-16s\n", alias.c_str());
    std::fprintf(out.pOut, "DevIDNo   :%-8s\n", devId.c_str());
    std::fprintf(out.pOut, "ProductID :%-16s\n", product.c_str());
    std::fprintf(out.pOut, "BoxID     :%-40s\n", box.c_str());
    std::fprintf(out.pOut, "AccessPath:%-s\n", path.c_str());
    std::fprintf(out.pOut, "\nTarget\n");
    std::fprintf(out.pOut, "No   Alias             DevIDNo   ProductID         BoxID\n");
    for (size_t i = 0; i < count; ++i) {
        const RouteTarget &t = route.Target[i];
        // The position is printed, not the entry's own number.
        std::fprintf(out.pOut, "%-3d  %-16s  %-8s  %-16s  %-40s\n", static_cast<int>(i + 1),
                     Field(t.Alias).c_str(), Field(t.DevIDNo).c_str(), Field(t.ProductID).c_str(),
                     Field(t.BoxID).c_str());
    }
    return 0;
}

int PrintAliasList(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &, const Out &out) {
    const bool csv = Csv(param);
    if (csv) {
        Put(out, "\"ID\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\"\n");
    } else {
        std::fprintf(out.pOut, "ID   Alias             DevIDNo   ProductID         BoxID"
                               "                                     AccessPath\n");
    }
    if (resultSize < static_cast<int>(offsetof(AliasList, Entry))) return 0;
    const AliasList &list = *static_cast<const AliasList *>(result);
    const size_t count = std::min<size_t>(
        {list.Count, ZRKC_ALIAS_SLOTS, EntriesIn(resultSize, offsetof(AliasList, Entry), sizeof(AliasRecord))});
    for (size_t i = 0; i < count; ++i) {
        const AliasEntry &e = list.Entry[i].Main;
        const int id = static_cast<int>(e.ID);
        if (csv) {
            Put(out, CsvLine({{std::to_string(id)}, {Field(e.Alias), CsvKind::Name},
                              {Field(e.DevIDNo), CsvKind::Name}, {Field(e.ProductID), CsvKind::Name},
                              {Field(e.BoxID), CsvKind::Name}, {Field(e.AccessPath), CsvKind::Name}}));
        } else {
            std::fprintf(out.pOut, "%-3d  %-16s  %-8s  %-16s  %-40s  %-s\n", id, Field(e.Alias).c_str(),
                         Field(e.DevIDNo).c_str(), Field(e.ProductID).c_str(), Field(e.BoxID).c_str(),
                         Field(e.AccessPath).c_str());
        }
    }
    return 0;
}

void RegisterRouteLayouts() {
    RegisterLayout(kLayoutDest, PrintDest);
    RegisterLayout(kLayoutAlias, PrintAliasList);
}

}  // namespace zrkcli
