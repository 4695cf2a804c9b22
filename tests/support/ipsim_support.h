// What the tests of the session road share when they drive the simulator's
// LAN front: the support bytes of a fully equipped array, padded BoxIDs, the
// service's "encrypt" of a text, the command texts the arrays received, and
// trace files large enough to keep every line of a test.
#pragma once

#include "install_root.h"
#include "ip_request.h"
#include "sim_client.h"
#include "zrkapi.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace iptest {

// The scenario's support= hex of an array with every copy function, with
// the given (byte, value) pairs replaced.
inline std::string SupportHex(std::initializer_list<std::pair<int, int>> changes) {
    unsigned char bytes[32] = {};
    bytes[4] = 0x0F;
    bytes[7] = 0xF1;
    bytes[15] = 0xF1;
    bytes[21] = 0x4B;
    bytes[23] = 0xF1;
    bytes[29] = 0xFF;
    bytes[30] = 0x10;
    bytes[31] = 0xF1;
    for (const auto &[index, value] : changes) bytes[index] = static_cast<unsigned char>(value);
    std::string hex;
    char two[3];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex;
}

// Columns joined by tabs: one line of a show reply.
inline std::string TabLine(const std::vector<std::string> &columns) {
    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out.push_back('\t');
        out += columns[i];
    }
    return out;
}

// The text of a successful show reply: "0", the line count in hex, then the
// lines, each after a newline.
inline std::string ShowReply(const std::vector<std::string> &lines) {
    char count[24];
    std::snprintf(count, sizeof count, "%zX", lines.size());
    std::string out = std::string("0\n") + count;
    for (const std::string &line : lines) out += "\n" + line;
    return out;
}

// The value of key=value in a session line of the control interface, ""
// when the line has no such field.
inline std::string SessionField(const std::string &line, const std::string &key) {
    const size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return {};
    const size_t from = at + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

// A BoxID as the array reports it: blank padded to 40 bytes.
inline std::string PaddedBox(const std::string &name) {
    std::string box = name;
    box.resize(ZRK_BOXID_LEN, ' ');
    return box;
}

// The service's "encrypt" of a text.
inline std::string Encrypted(const char *text) {
    char *out = nullptr;
    if (ZRKIPProc(1, text, &out, nullptr) != 0 || out == nullptr) return "";
    std::string result = out;
    std::free(out);
    return result;
}

// The command texts of the "proc" requests the arrays received since the
// last call; the simulator's LAN log is cleared.
inline std::vector<std::string> LanCommands(const zrksim::Simulator &sim) {
    std::vector<std::string> out;
    for (const std::string &entry : sim.commandOk("lanlog"))
        if (const std::optional<std::string> text = ProcText(entry, "\\t")) out.push_back(*text);
    sim.commandOk("clearlanlog");
    return out;
}

// The operations (open, close, force_close, encrypt, decrypt, proc) the LAN
// service received since the last call; the simulator's LAN log is cleared.
inline std::vector<std::string> LanOperations(const zrksim::Simulator &sim) {
    std::vector<std::string> ops;
    for (const std::string &entry : sim.commandOk("lanlog")) {
        size_t at = 0;
        for (int field = 0; field < 3 && at != std::string::npos; ++field) {
            at = entry.find("\\t", at);
            if (at != std::string::npos) at += 2;
        }
        if (at == std::string::npos) continue;
        ops.push_back(entry.substr(at, entry.find("\\t", at) - at));
    }
    sim.commandOk("clearlanlog");
    return ops;
}

// The same without the capability, BoxID and model questions that every
// call may ask first: the commands that looked for or acted on a session.
inline std::vector<std::string> LanSessionCommands(const zrksim::Simulator &sim) {
    std::vector<std::string> out;
    for (const std::string &c : LanCommands(sim)) {
        if (c.rfind("show copy-functions", 0) != 0 && c.rfind("show boxid", 0) != 0 &&
            c.rfind("show model-info", 0) != 0) {
            out.push_back(c);
        }
    }
    return out;
}

// Trace files large enough for every line of a test's calls.
inline void LargeTrace(const zrktest::InstallRoot &root) {
    root.writeTraceDefinition("[TRACEDEFINE]\npath=" + root.traceDir() +
                              "\nsize=999\ngen=2\nmax=4\n[ZRKC]\nlevel=5\n[WXAPI]\nlevel=5\n");
}

}  // namespace iptest
