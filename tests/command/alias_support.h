// What the alias store tests build their entries from: BoxIDs and the
// remote-box list that the arrays return.
#pragma once

#include "zrkcalias.h"

#include <cstring>
#include <string>
#include <vector>

namespace zrktest {

// A BoxID: the name, blank-padded to its length.
inline std::string box(const std::string &name) {
    std::string id = name;
    id.resize(ZRK_BOXID_LEN, ' ');
    return id;
}

// A remote-box list as the arrays return it.
inline std::vector<unsigned char> remoteList(const std::string &own, const std::vector<std::string> &remotes) {
    std::vector<unsigned char> list(ZRKC_REMOTE_LIST_LEN, 0);
    std::memcpy(list.data(), own.data(), ZRK_BOXID_LEN);
    list[ZRKC_REMOTE_COUNT_AT] = static_cast<unsigned char>(remotes.size());
    for (size_t i = 0; i < remotes.size(); ++i) {
        std::memcpy(list.data() + ZRKC_REMOTE_ENTRY_AT + i * ZRKC_REMOTE_ENTRY_LEN, remotes[i].data(),
                    ZRK_BOXID_LEN);
    }
    return list;
}

}  // namespace zrktest
