#include "lan_front.h"

#include "cli.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace zrksim {

namespace {

constexpr std::size_t kMaxCountDigits = 10;
constexpr std::uint64_t kMaxRequest = 1u << 20;  // the service refuses longer requests
constexpr std::size_t kMaxPlain = 127;           // encrypt: 2 characters per byte, 255 at most with the mark

std::string frame(const std::string &body) { return std::to_string(body.size()) + "\t" + body; }

// The fields of a request body: host, port, operation, account, password,
// text (the text runs to the end and may hold TABs); missing ones are empty.
std::vector<std::string> fields(const std::string &body) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (out.size() < 5) {
        std::size_t tab = body.find('\t', from);
        if (tab == std::string::npos) break;
        out.push_back(body.substr(from, tab - from));
        from = tab + 1;
    }
    out.push_back(body.substr(std::min(from, body.size())));
    out.resize(6);
    return out;
}

const Array *arrayAt(const Model &model, const std::string &host) {
    for (const auto &[name, a] : model.arrays)
        if (std::find(a.addresses.begin(), a.addresses.end(), host) != a.addresses.end()) return &a;
    return nullptr;
}

std::string answer(SimState &st, const std::vector<std::string> &f) {
    const std::string &host = f[0];
    const std::string &op = f[2];
    if (op == "open") {
        const Array *a = arrayAt(st.model, host);
        auto user = st.model.users.find(f[3]);
        bool known = st.model.users.empty() ? !f[3].empty()
                                            : user != st.model.users.end() && user->second == f[4];
        if (a == nullptr || !known) return "false";
        st.lan.logins[host] = f[3];
        return "true";
    }
    if (op == "close" || op == "force_close") {
        st.lan.logins.erase(host);
        return "true";
    }
    if (op == "encrypt" || op == "decrypt") {
        std::string out;
        bool ok = op == "encrypt" ? lanEncrypt(f[5], out) : lanDecrypt(f[5], out);
        if (!ok) return "ERROR: the text cannot be transformed";
        if (out.empty()) return "ERROR: empty text";
        return out;
    }
    if (op != "proc") return "ERROR: unknown operation";
    const std::string &command = f[5];
    if (command.rfind("zrkcipservice_", 0) == 0) {
        if (command == "zrkcipservice_alive") return "true";
        if (command == "zrkcipservice_stop") {
            st.lan.bStopRequested = true;
            return "true";
        }
        return "ERROR: unknown service command";
    }
    if (st.lan.logins.count(host) == 0) return "ERROR: not logged in to " + host;
    const Array *a = arrayAt(st.model, host);
    if (a == nullptr) return "ERROR: no array at " + host;
    return runArrayCommand(st, *a, command);
}

long takeDelay(LanState &lan) {
    for (LanDelay &d : lan.delays) {
        if (d.iCount <= 0) continue;
        --d.iCount;
        long ms = d.lMs;
        std::erase_if(lan.delays, [](const LanDelay &x) { return x.iCount <= 0; });
        return ms;
    }
    return 0;
}

std::optional<LanFault> takeFault(LanState &lan) {
    for (LanFault &f : lan.faults) {
        if (f.iCount <= 0) continue;
        --f.iCount;
        LanFault fired = f;
        std::erase_if(lan.faults, [](const LanFault &x) { return x.iCount <= 0; });
        return fired;
    }
    return std::nullopt;
}

// A key stream for the scrambling: reversible, and no output byte is a
// control character since the output is hexadecimal.
std::uint8_t keyByte(std::size_t i) { return static_cast<std::uint8_t>(0x5A ^ (i * 37 + 11)); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint64_t number(const std::string &text, const char *what, std::uint64_t max) {
    std::uint64_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value > max)
        throw std::runtime_error(std::string("bad ") + what + " \"" + text + "\"");
    return value;
}

// The rest of the line after `n` words.
std::string restAfter(const std::string &line, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t w = 0; w < n; ++w) {
        while (i < line.size() && line[i] == ' ') ++i;
        while (i < line.size() && line[i] != ' ') ++i;
    }
    if (i < line.size()) ++i;  // the one blank after the last word
    return line.substr(std::min(i, line.size()));
}

}  // namespace

bool lanEncrypt(const std::string &text, std::string &out) {
    if (text.empty() || text.size() > kMaxPlain) return false;
    static const char digits[] = "0123456789ABCDEF";
    out = "Z";
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(text[i]) ^ keyByte(i);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return true;
}

bool lanDecrypt(const std::string &text, std::string &out) {
    if (text.empty() || text[0] != 'Z' || text.size() % 2 != 1) return false;
    out.clear();
    for (std::size_t i = 1; i < text.size(); i += 2) {
        int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(static_cast<std::uint8_t>(hi << 4 | lo) ^ keyByte(i / 2));
    }
    return true;
}

std::optional<LanOutcome> serveLan(SimState &st, const std::string &in, bool ended) {
    std::size_t tab = in.find('\t');
    std::size_t digits = tab == std::string::npos ? in.size() : tab;
    bool badHeader = digits > kMaxCountDigits || tab == 0 ||
                     !std::all_of(in.begin(), in.begin() + static_cast<long>(digits),
                                  [](char c) { return c >= '0' && c <= '9'; });
    std::uint64_t count = 0;
    if (!badHeader && tab != std::string::npos) {
        std::from_chars(in.data(), in.data() + tab, count);
        if (count == 0 || count > kMaxRequest) badHeader = true;
    }
    if (badHeader) {
        st.lan.log.push_back(in);
        return LanOutcome{};
    }
    if (tab == std::string::npos || in.size() - tab - 1 < count) {
        if (!ended) return std::nullopt;
        if (!in.empty()) st.lan.log.push_back(in);
        return LanOutcome{};
    }
    st.lan.log.push_back(in);
    LanOutcome outcome;
    outcome.lDelayMs = takeDelay(st.lan);
    std::optional<LanFault> fault = takeFault(st.lan);
    if (fault && fault->kind == LanFault::Kind::Reply) {
        outcome.out = frame(fault->bytes);
        return outcome;
    }
    if (fault && fault->kind == LanFault::Kind::Raw) {
        outcome.out = fault->bytes;
        return outcome;
    }
    std::string body = answer(st, fields(in.substr(tab + 1, count)));
    outcome.out = frame(body);
    if (fault && fault->kind == LanFault::Kind::Drop) {
        std::size_t cut = fault->lCut >= 0 ? static_cast<std::size_t>(fault->lCut)
                                           : outcome.out.size() - body.size() + body.size() / 2;
        outcome.out.resize(std::min(cut, outcome.out.size()));
        outcome.bDropAfter = true;
    }
    return outcome;
}

std::string LanFault::describe() const {
    switch (kind) {
    case Kind::Reply: return "lanreply " + std::to_string(iCount) + " " + escapeBytes(bytes);
    case Kind::Raw: return "lanraw " + std::to_string(iCount) + " " + escapeBytes(bytes);
    case Kind::Drop: return "landrop " + std::to_string(iCount) + (lCut >= 0 ? " bytes=" + std::to_string(lCut) : "");
    }
    return "";
}

std::string escapeBytes(const std::string &bytes) {
    std::string out;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string unescapeBytes(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) throw std::runtime_error("a backslash ends the text");
        char c = text[i];
        if (c == 't') out += '\t';
        else if (c == 'n') out += '\n';
        else if (c == 'r') out += '\r';
        else if (c == '\\') out += '\\';
        else if (c == 's') out += ' ';
        else if (c == 'x' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            throw std::runtime_error(std::string("bad escape \\") + c);
        }
    }
    return out;
}

std::optional<std::vector<std::string>> lanControl(SimState &st, const std::vector<std::string> &w,
                                                   const std::string &line) {
    const std::string &cmd = w[0];
    auto args = [&](std::size_t min, std::size_t max, const char *usage) {
        if (w.size() < min || w.size() > max) throw std::runtime_error(std::string("usage: ") + usage);
    };
    if (cmd == "lanport") {
        args(1, 1, "lanport");
        if (st.lan.iPort < 0) throw std::runtime_error("no LAN front");
        return std::vector<std::string>{std::to_string(st.lan.iPort)};
    }
    if (cmd == "lanreply" || cmd == "lanraw") {
        if (w.size() < 2) throw std::runtime_error(std::string("usage: ") + cmd + " COUNT TEXT");
        LanFault f;
        f.kind = cmd == "lanreply" ? LanFault::Kind::Reply : LanFault::Kind::Raw;
        f.iCount = static_cast<int>(number(w[1], "count", 1000000));
        f.bytes = unescapeBytes(restAfter(line, 2));
        st.lan.faults.push_back(f);
        return std::vector<std::string>{};
    }
    if (cmd == "landrop") {
        args(2, 3, "landrop COUNT [bytes=N]");
        LanFault f;
        f.kind = LanFault::Kind::Drop;
        f.iCount = static_cast<int>(number(w[1], "count", 1000000));
        if (w.size() == 3) {
            if (w[2].rfind("bytes=", 0) != 0) throw std::runtime_error("usage: landrop COUNT [bytes=N]");
            f.lCut = static_cast<long>(number(w[2].substr(6), "bytes", 1u << 30));
        }
        st.lan.faults.push_back(f);
        return std::vector<std::string>{};
    }
    if (cmd == "landelay") {
        args(3, 3, "landelay COUNT MS");
        LanDelay d;
        d.iCount = static_cast<int>(number(w[1], "count", 1000000));
        d.lMs = static_cast<long>(number(w[2], "milliseconds", 3600000));
        st.lan.delays.push_back(d);
        return std::vector<std::string>{};
    }
    if (cmd == "lanlog") {
        args(1, 2, "lanlog [hex]");
        bool hex = w.size() == 2;
        if (hex && w[1] != "hex") throw std::runtime_error("usage: lanlog [hex]");
        std::vector<std::string> lines;
        for (const std::string &r : st.lan.log) {
            if (!hex) {
                lines.push_back(escapeBytes(r));
                continue;
            }
            std::string h;
            char buf[4];
            for (char c : r) {
                std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(c));
                h += buf;
            }
            lines.push_back(h.empty() ? "-" : h);
        }
        return lines;
    }
    if (cmd == "clearlanlog") {
        args(1, 1, "clearlanlog");
        st.lan.log.clear();
        return std::vector<std::string>{};
    }
    if (cmd == "lanlogins") {
        args(1, 1, "lanlogins");
        std::vector<std::string> lines;
        for (const auto &[host, account] : st.lan.logins) lines.push_back(host + " " + account);
        return lines;
    }
    return std::nullopt;
}

}  // namespace zrksim
