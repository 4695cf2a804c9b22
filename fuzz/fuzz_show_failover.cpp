// Arbitrary replies through the failover queries and the detail list built
// from them: "show tfo-groups" into its block, "show tfo-pair" into its
// tree, the tree's sessions into a detail-list area, and the same text as
// "show copy-sessions" rows converted into detail-list entries.
//
// Input: byte 0 gives the room of the detail-list areas (0 to 15 entries);
// the rest is the reply text as the link hands it over (up to the first
// NUL). Every area is followed by guard bytes; a failing call must leave
// its area and its output pointer as they were.
#include "../ip/ipdetail.h"
#include "../ip/ipshow.h"
#include "../ip/ipshow_failover.h"
#include "fuzz_area.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using zrkfuzz::Area;

// Reads every byte of n bytes, so that a block shorter than its count shows.
unsigned Touch(const void *p, size_t n) {
    const auto *bytes = static_cast<const volatile unsigned char *>(p);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += bytes[i];
    return sum;
}

void check_groups(const char *reply) {
    CliTfoGroups *const unset = reinterpret_cast<CliTfoGroups *>(alignof(CliTfoGroups) * 16);
    CliTfoGroups *block = unset;
    ZRKerrno = 0;
    const int rc = zrkip::ParseTfoGroupsText(reply, &block);
    if (rc != 0) {
        if (rc != -1 || ZRKerrno == 0 || block != unset) abort();
        return;
    }
    if (block == nullptr || block == unset) abort();
    (void)Touch(block, zrkip::TfoGroupsBytes(block->uiTfoGroupCount));
    std::free(block);
}

void check_pairs(const char *reply, size_t room) {
    CliTfoPair *const unset = reinterpret_cast<CliTfoPair *>(alignof(CliTfoPair) * 16);
    CliTfoPair *tree = unset;
    ZRKerrno = 0;
    const int rc = zrkip::ParseTfoPairText(reply, &tree);
    if (rc != 0) {
        if (rc != -1 || ZRKerrno == 0 || tree != unset) abort();
        return;
    }
    if (tree == nullptr || tree == unset) abort();
    // Every array the tree holds is as long as its count says.
    (void)Touch(tree, zrkip::TfoPairRootBytes(tree->uiTfoGroupCount));
    const auto *groups = reinterpret_cast<const CliTfoPairGroup *>(
        reinterpret_cast<const unsigned char *>(tree) + offsetof(CliTfoPair, taGroup));
    for (uint32_t g = 0; g < tree->uiTfoGroupCount; ++g) {
        if ((groups[g].pPair == nullptr) != (groups[g].uiPairCount == 0)) abort();
        for (uint32_t p = 0; p < groups[g].uiPairCount; ++p) {
            const CliTfoPairEntry &pair = groups[g].pPair[p];
            if ((pair.pDetail == nullptr) != (pair.uiDetailCount == 0)) abort();
            (void)Touch(pair.pDetail, pair.uiDetailCount * sizeof(CliTfoPairDetail));
        }
    }
    Area area(room * sizeof(DETAIL_LIST_INFO));
    int count = -1;
    ZRKerrno = 0;
    const int listed = zrkip::TfoDetailList(tree, &count, area.As<DETAIL_LIST_INFO>(), room);
    area.Check(listed);
    if (listed == 0 && (count < 0 || static_cast<size_t>(count) > room)) abort();
    freeCliTfoPair(&tree);
    if (tree != nullptr) abort();
}

void check_copy_sessions(const std::string &text, size_t room) {
    std::vector<CliCopySession> rows(room + 1);
    int count = -1;
    ZRKerrno = 0;
    if (zrkip::ParseCopySessionsText(text.c_str(), IP_SESSIONS_ALL, nullptr, 0, &count, rows.data(),
                                     room) != 0) {
        return;
    }
    if (count < 0 || static_cast<size_t>(count) > room) abort();
    Area area(room * sizeof(DETAIL_LIST_INFO));
    IPConvCopySes2DetailList(rows.data(), count, area.As<DETAIL_LIST_INFO>());
    area.Check(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    const size_t room = data[0] & 0x0F;
    const std::string text(reinterpret_cast<const char *>(data + 1),
                           strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    check_groups(text.c_str());
    check_pairs(text.c_str(), room);
    check_copy_sessions(text, room);
    return 0;
}
