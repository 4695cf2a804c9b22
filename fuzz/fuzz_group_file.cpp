// Fuzzes the group-file reader: the first input byte picks max_grouping_ses
// (0: the default), the rest is the group file. It is read through
// com_set_copypair with a per-pair area that may be too small, the names
// are checked (each terminated in its field, no more than the limit, one
// form), the list is rewritten into volumes and released.
#include "fuzz_root.h"
#include "platform.h"
#include "zrkc.h"
#include "zrkcgroupfile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckLine(const char *message) {
    const size_t length = strnlen(message, ZRK_MESSAGE_LEN);
    Check(length < ZRK_MESSAGE_LEN);
    Check(length == 0 || message[length - 1] == '\n');
}

void CheckNames(const CopyPairNames *names, uint32_t limit) {
    Check(names->uiCount > 0 && names->uiCount <= limit);
    Check(names->uiForm == ZRKC_FORM_PAIRS || names->uiForm == ZRKC_FORM_VOLUMES);
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        const CopyPairName &entry = names->taEntry[i];
        Check(strnlen(entry.caSource, ZRK_VOLNAME_LEN) < ZRK_VOLNAME_LEN);
        const bool noTarget = static_cast<unsigned char>(entry.caTarget[0]) == 0xFF &&
                              static_cast<unsigned char>(entry.caTarget[ZRK_VOLNAME_LEN - 1]) == 0xFF;
        if (names->uiForm == ZRKC_FORM_PAIRS) {
            Check(strnlen(entry.caTarget, ZRK_VOLNAME_LEN) < ZRK_VOLNAME_LEN);
        } else {
            Check(noTarget);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    (void)zrkfuzz::InstallRoot::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const auto &root = zrkfuzz::InstallRoot::Get();
    const uint32_t limit = data[0] == 0 ? 65535u : data[0];
    const std::string properties =
        data[0] == 0 ? std::string("max_grouping_ses=\n") : "max_grouping_ses=" + std::to_string(limit) + "\n";
    if (!zrkfuzz::WriteFile(root.Etc("zrkc.ini"), properties.data(), properties.size())) std::abort();
    const std::string path = root.Root() + "/group";
    if (!zrkfuzz::WriteFile(path, data + 1, size - 1)) std::abort();

    // An area for at most four entries.
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(4), 0xAA);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    CopyPairList list{};
    const int result = com_set_copypair(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &list, &ri);
    CheckLine(ri.caMessage);
    if (result == -1) {
        Check(ri.iReturnClass != 0);
        Check(list.pNames == nullptr);
    } else {
        Check(list.pNames != nullptr && list.iFromGroupFile == 1);
        CheckNames(list.pNames, limit);
        if (result == 1) {
            Check(ri.uiMessageNo == 1015 && list.pNames->uiCount > 4);
            Check(ri.uiNeedPairAreaSize == ZRK_PAIR_AREA_SIZE(list.pNames->uiCount));
        } else {
            Check(result == 0 && list.pNames->uiCount <= 4 && area[0] == 0);
        }
        if (list.pNames->uiForm == ZRKC_FORM_PAIRS) com_reset_copypair(data[0] & 1, &list);
        com_pair_to_vol(&list);
        Check(list.pNames->uiForm == ZRKC_FORM_VOLUMES);
    }
    com_file_release(&list);
    com_file_release(&list);
    release_properties();
    return 0;
}
