// The fields of a request to the LAN service as the link sends them: count,
// host, port, operation, account, password and text, TAB between each.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace iptest {

// The text (the last field) of a "proc" request; nothing for a request of
// another operation or of fewer fields. tab is what parts the fields: a TAB
// in the bytes received, the two characters \t in the simulator's escaped
// LAN log.
inline std::optional<std::string> ProcText(const std::string &request, std::string_view tab = "\t") {
    size_t start = 0;
    std::string operation;
    for (int i = 0; i < 6; ++i) {
        const size_t at = request.find(tab, start);
        if (at == std::string::npos) return std::nullopt;
        if (i == 3) operation = request.substr(start, at - start);
        start = at + tab.size();
    }
    if (operation != "proc") return std::nullopt;
    return request.substr(start);
}

} // namespace iptest
