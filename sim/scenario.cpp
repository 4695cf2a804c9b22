#include "scenario.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <cstdio>
#include <set>
#include <sstream>
#include <stdexcept>

namespace zrksim {

namespace {

struct ParseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string &message) { throw ParseError(message); }

struct Word {
    std::string text;
    bool quoted = false;       // some part of it was quoted
    std::size_t eq = std::string::npos;  // '=' of an option word, before any quote
};

// Splits one line into words; quotes group and escape, '#' outside quotes
// ends the line.
std::vector<Word> splitLine(const std::string &line) {
    std::vector<Word> words;
    Word word;
    bool inWord = false;
    bool inQuote = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (inQuote) {
            if (c == '"') {
                inQuote = false;
            } else if (c == '\\') {
                if (++i >= line.size()) fail("unfinished escape");
                char e = line[i];
                switch (e) {
                case 'n': word.text += '\n'; break;
                case 't': word.text += '\t'; break;
                case '\\': word.text += '\\'; break;
                case '"': word.text += '"'; break;
                case 'x': {
                    if (i + 2 >= line.size()) fail("bad \\x escape");
                    unsigned value = 0;
                    auto [ptr, ec] = std::from_chars(line.data() + i + 1, line.data() + i + 3, value, 16);
                    if (ec != std::errc() || ptr != line.data() + i + 3) fail("bad \\x escape");
                    word.text += static_cast<char>(value);
                    i += 2;
                    break;
                }
                default: fail(std::string("unknown escape \\") + e);
                }
            } else {
                word.text += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) words.push_back(word);
            word = Word{};
            inWord = false;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            inWord = true;
            inQuote = true;
            word.quoted = true;
        } else {
            if (c == '=' && !word.quoted && word.eq == std::string::npos) word.eq = word.text.size();
            word.text += c;
            inWord = true;
        }
    }
    if (inQuote) fail("unterminated quote");
    if (inWord) words.push_back(word);
    return words;
}

std::uint64_t parseNumber(const std::string &text, const char *what) {
    std::uint64_t value = 0;
    const char *begin = text.data();
    const char *end = begin + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    auto [ptr, ec] = std::from_chars(begin, end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end)
        fail(std::string("bad ") + what + " \"" + text + "\"");
    return value;
}

std::uint64_t parseBounded(const std::string &text, const char *what, std::uint64_t max) {
    std::uint64_t value = parseNumber(text, what);
    if (value > max) fail(std::string(what) + " " + text + " is out of range");
    return value;
}

bool parseYesNo(const std::string &text, const char *what) {
    if (text == "yes") return true;
    if (text == "no") return false;
    fail(std::string(what) + " must be yes or no");
}

void parseDevice(const std::string &text, unsigned &major, unsigned &minor) {
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) fail("bad device number \"" + text + "\" (MAJOR:MINOR)");
    major = static_cast<unsigned>(parseBounded(text.substr(0, colon), "major", 4095));
    minor = static_cast<unsigned>(parseBounded(text.substr(colon + 1), "minor", 1048575));
}

std::vector<std::uint8_t> parseHexBytes(const std::string &text) {
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != '\t') digits += c;
    if (digits.empty() || digits.size() % 2 != 0) fail("bad hex bytes \"" + text + "\"");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
        if (ec != std::errc() || ptr != digits.data() + i + 2) fail("bad hex bytes \"" + text + "\"");
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

std::string lastComponent(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// One directive's words: positional ones and key=value options.
struct Directive {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> options;

    const std::string *option(const std::string &key) const {
        const std::string *found = nullptr;
        for (const auto &[k, v] : options)
            if (k == key) found = &v;
        return found;
    }
    std::vector<std::string> all(const std::string &key) const {
        std::vector<std::string> values;
        for (const auto &[k, v] : options)
            if (k == key) values.push_back(v);
        return values;
    }
    void expect(std::size_t minArgs, std::size_t maxArgs, const char *usage) const {
        if (args.size() < minArgs || args.size() > maxArgs) fail("usage: " + std::string(usage));
    }
    // Refuses keys outside `allowed`; keys in `repeatable` may come again.
    void allow(std::initializer_list<const char *> allowed,
               std::initializer_list<const char *> repeatable = {}) const {
        std::set<std::string> seen;
        for (const auto &[key, value] : options) {
            bool ok = false;
            for (const char *a : allowed) ok = ok || key == a;
            if (!ok) fail("unknown option " + key + "= for " + name);
            bool again = false;
            for (const char *r : repeatable) again = again || key == r;
            if (!again && !seen.insert(key).second) fail("option " + key + "= given twice");
        }
    }
};

Directive toDirective(const std::vector<Word> &words, bool argvAfterDashes) {
    Directive d;
    d.name = words[0].text;
    bool positionalOnly = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const Word &w = words[i];
        if (argvAfterDashes && !positionalOnly && !w.quoted && w.text == "--") {
            positionalOnly = true;
            d.args.emplace_back("--");
            continue;
        }
        if (!positionalOnly && w.eq != std::string::npos && w.eq > 0) {
            std::string key = w.text.substr(0, w.eq);
            bool isKey = true;
            for (char c : key) isKey = isKey && ((c >= 'a' && c <= 'z') || c == '_');
            if (isKey) {
                d.options.emplace_back(key, w.text.substr(w.eq + 1));
                continue;
            }
        }
        d.args.push_back(w.text);
    }
    return d;
}

std::vector<std::string> splitList(const std::string &text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    return parts;
}

struct NamedValue {
    const char *name;
    std::uint8_t value;
};

constexpr NamedValue kStatusNames[] = {
    {"idle", state::kIdle},       {"reserve", state::kReserve},   {"active", state::kActive},
    {"errorsuspend", state::kErrorSuspend}, {"suspend", state::kSuspend}, {"halt", state::kHalt},
};

constexpr NamedValue kPhaseNames[] = {
    {"nopair", phase::kNoPair},     {"copying", phase::kCopying},
    {"equivalent", phase::kEquivalent}, {"tracking", phase::kTracking},
    {"trackcopy", phase::kTrackingCopying}, {"readying", phase::kReadying},
};

template <std::size_t N>
std::uint8_t namedByte(const std::string &text, const NamedValue (&names)[N], const char *what) {
    for (const NamedValue &n : names)
        if (text == n.name) return n.value;
    return static_cast<std::uint8_t>(parseBounded(text, what, 255));
}

std::uint8_t parseMode(const std::string &text) {
    if (text == "none") return 0;
    if (!text.empty() && text[0] >= '0' && text[0] <= '9')
        return static_cast<std::uint8_t>(parseBounded(text, "mode", 7));
    std::uint8_t mode = 0;
    for (const std::string &word : splitList(text)) {
        if (word == "sync") mode |= kModeSync;
        else if (word == "split") mode |= kModeSplit;
        else if (word == "manual") mode |= kModeManual;
        else fail("mode must list sync, split, manual (or none)");
    }
    return mode;
}

// The options of a session that may also change later (setsession).
void sessionOptions(const Directive &d, Session &s) {
    if (const std::string *v = d.option("status")) s.ucStatus = namedByte(*v, kStatusNames, "status");
    if (const std::string *v = d.option("phase")) s.ucPhase = namedByte(*v, kPhaseNames, "phase");
    if (const std::string *v = d.option("copied")) s.ullCopied = parseNumber(*v, "copied");
    if (const std::string *v = d.option("mode")) s.ucMode = parseMode(*v);
    if (const std::string *v = d.option("transfer"))
        s.ucTransfer = static_cast<std::uint8_t>(parseBounded(*v, "transfer", 255));
    if (const std::string *v = d.option("secondary"))
        s.ucSecondary = static_cast<std::uint8_t>(parseBounded(*v, "secondary", 3));
    if (const std::string *v = d.option("modechange"))
        s.ucModeChange = static_cast<std::uint8_t>(parseBounded(*v, "modechange", 255));
    if (const std::string *v = d.option("interval"))
        s.usInterval = static_cast<std::uint16_t>(parseBounded(*v, "interval", 0xFFFF));
    if (const std::string *v = d.option("start")) s.ullStart = parseNumber(*v, "start");
    if (const std::string *v = d.option("volrole"))
        s.ucVolRole = static_cast<std::uint8_t>(parseBounded(*v, "volrole", 255));
    if (const std::string *v = d.option("generation"))
        s.uiGeneration = static_cast<std::uint32_t>(parseBounded(*v, "generation", 0xFFFFFFFFu));
    if (const std::string *v = d.option("vvol")) s.bVvol = parseYesNo(*v, "vvol");
    if (const std::string *v = d.option("diff")) s.ullDiff = parseNumber(*v, "diff");
    if (const std::string *v = d.option("stacktimer"))
        s.ucStackTimer = static_cast<std::uint8_t>(parseBounded(*v, "stacktimer", 255));
    if (const std::string *v = d.option("tracking")) s.bTracking = parseYesNo(*v, "tracking");
    if (const std::string *v = d.option("vvoldelete")) s.bVvolDelete = parseYesNo(*v, "vvoldelete");
    if (const std::string *v = d.option("prepared")) s.bPrepared = parseYesNo(*v, "prepared");
}

constexpr std::initializer_list<const char *> kChangeable = {
    "status", "phase", "copied", "mode", "transfer", "secondary", "modechange", "interval", "start",
    "volrole", "generation", "vvol", "diff", "stacktimer", "tracking", "vvoldelete", "prepared"};

// The options of an array that may also change later (setarray).
void arrayOptions(const Directive &d, Array &a) {
    if (const std::string *v = d.option("percommand"))
        a.usPerCommand = static_cast<std::uint16_t>(parseBounded(*v, "percommand", 0xFFFF));
    if (const std::string *v = d.option("generations"))
        a.usGenerations = static_cast<std::uint16_t>(parseBounded(*v, "generations", 0x7FFF));
    if (const std::string *v = d.option("rate")) a.ullRate = parseBounded(*v, "rate", 0xFFFFFFFFu);
    if (const std::string *v = d.option("writerate")) a.ullWriteRate = parseBounded(*v, "writerate", 0xFFFFFFFFu);
    if (const std::string *v = d.option("reservetime"))
        a.ullReserveTime = parseBounded(*v, "reservetime", 0xFFFFFFFFu);
    if (const std::string *v = d.option("pool")) a.ullPool = parseNumber(*v, "pool");
    if (const std::string *v = d.option("poolused")) a.ullPoolUsed = parseNumber(*v, "poolused");
    if (const std::string *v = d.option("sdvinit")) a.ullSdvInit = parseBounded(*v, "sdvinit", 0xFFFFFFFFu);
    if (const std::string *v = d.option("lanmaxima")) {
        std::vector<std::string> parts = splitList(*v);
        if (parts.size() != 3) fail("lanmaxima= needs three counts: SESSIONS,SESSIONS2,GENERATIONS");
        for (std::size_t i = 0; i < 3; ++i)
            a.lanMaxima[i] = static_cast<std::uint32_t>(parseBounded(parts[i], "lanmaxima count", 0xFFFFFFFFu));
        a.bLanMaxima = true;
    }
}

constexpr std::initializer_list<const char *> kArrayChangeable = {
    "percommand", "generations", "rate", "writerate", "reservetime", "pool", "poolused", "sdvinit",
    "lanmaxima"};

std::uint8_t volumeType(const std::string &text) {
    if (text == "open") return voltype::kOpen;
    if (text == "sdv") return voltype::kSnapData;
    if (text == "sdpv") return voltype::kSnapDataPool;
    if (text == "tpv") return voltype::kThin;
    fail("type must be open, sdv, sdpv or tpv");
}

// A `session` directive: one session, or `count` of them.
void addSessionDirective(Model &model, const Directive &d, std::uint64_t clock) {
    d.expect(6, 6, "session ID KIND SRCARRAY SRCOLU DSTARRAY DSTOLU [options]");
    std::vector<const char *> allowed(kChangeable);
    for (const char *k : {"partner", "srcext", "size", "dstext", "count"}) allowed.push_back(k);
    for (const auto &[key, value] : d.options) {
        bool ok = false;
        for (const char *a : allowed) ok = ok || key == a;
        if (!ok) fail("unknown option " + key + "= for session");
    }
    Session s;
    auto firstId = static_cast<std::uint32_t>(parseBounded(d.args[0], "session identifier", 0xFFFF));
    if (firstId == 0) fail("session identifier 0 is not valid");
    if (!kindFromName(d.args[1], s.kind)) fail("unknown session kind \"" + d.args[1] + "\"");
    s.srcArray = d.args[2];
    s.dstArray = d.args[4];
    for (const std::string &name : {s.srcArray, s.dstArray})
        if (model.arrays.count(name) == 0) fail("unknown array \"" + name + "\"");
    s.uiSrcOlu = static_cast<std::uint32_t>(parseBounded(d.args[3], "OLU", 0xFFFF));
    if (model.arrays.at(s.srcArray).volumes.count(s.uiSrcOlu) == 0)
        fail("array " + s.srcArray + " has no volume " + d.args[3]);
    if (d.args[5] == "-") {
        if (s.kind != SessionKind::Monitor) fail("only a monitor session has no destination");
        if (s.remote()) fail("a monitor session names its source array twice");
        s.uiDstOlu = kNoOlu;
    } else {
        s.uiDstOlu = static_cast<std::uint32_t>(parseBounded(d.args[5], "OLU", 0xFFFF));
        if (model.arrays.at(s.dstArray).volumes.count(s.uiDstOlu) == 0)
            fail("array " + s.dstArray + " has no volume " + d.args[5]);
    }
    if ((d.args[1] == "rvz" || s.kind == SessionKind::Failover) && !s.remote())
        fail(d.args[1] + " sessions join two arrays");
    if (const std::string *v = d.option("srcext")) s.ullSrcExtent = parseNumber(*v, "srcext");
    if (const std::string *v = d.option("size")) s.ullSize = parseNumber(*v, "size");
    if (const std::string *v = d.option("dstext")) s.ullDstExtent = parseNumber(*v, "dstext");
    s.ucPhase = defaultPhase(s.kind);
    s.ullStart = clock;
    sessionOptions(d, s);
    std::uint32_t count = 1;
    if (const std::string *v = d.option("count"))
        count = static_cast<std::uint32_t>(parseBounded(*v, "count", 0xFFFF));
    if (count == 0 || firstId + count - 1 > 0xFFFF) fail("count leaves the identifiers 1..65535");
    std::uint32_t partner = 0;
    if (const std::string *v = d.option("partner")) {
        if (!s.remote()) fail("partner= is for remote sessions");
        partner = static_cast<std::uint32_t>(parseBounded(*v, "partner", 0xFFFF));
        if (partner == 0 || partner + count - 1 > 0xFFFF) fail("partner leaves the identifiers 1..65535");
    }
    bool generationGiven = d.option("generation") != nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        Session one = s;
        one.usId = static_cast<std::uint16_t>(firstId + i);
        if (findSession(model, one.srcArray, one.usId) != nullptr)
            fail("array " + one.srcArray + " has session " + std::to_string(one.usId) + " already");
        if (one.remote()) {
            one.usPartnerId = partner != 0 ? static_cast<std::uint16_t>(partner + i)
                                           : freeSessionId(model, one.dstArray);
            if (one.usPartnerId == 0) fail("array " + one.dstArray + " has no free session identifier");
            if (findSession(model, one.dstArray, one.usPartnerId) != nullptr)
                fail("array " + one.dstArray + " has session " + std::to_string(one.usPartnerId) + " already");
        }
        if (one.kind == SessionKind::SnapKzpPlus && !generationGiven) {
            std::uint32_t last = 0;
            for (const Session &o : model.sessions)
                if (o.kind == SessionKind::SnapKzpPlus && o.srcArray == one.srcArray &&
                    o.uiSrcOlu == one.uiSrcOlu && o.ullSrcExtent == one.ullSrcExtent && o.ullSize == one.ullSize)
                    last = std::max(last, o.uiGeneration);
            one.uiGeneration = last + 1;
        }
        model.sessions.push_back(one);
    }
}

// A file operation applied after the derived files exist.
struct FileOp {
    enum Kind { Put, Remove, Program };
    Kind what;
    std::string path;
    std::string content;
    int line;
};

class Parser {
public:
    explicit Parser(Model &model) : model_(model) {}

    void line(int number, const std::string &text) {
        lineNo_ = number;
        std::vector<Word> words = splitLine(text);
        if (words.empty()) return;
        bool isCommand = words[0].text == "command";
        Directive d = toDirective(words, isCommand);
        static const std::map<std::string, void (Parser::*)(const Directive &)> handlers = {
            {"clock", &Parser::clock},       {"array", &Parser::array},
            {"volume", &Parser::volume},     {"bytes", &Parser::bytes},
            {"disk", &Parser::disk},         {"partition", &Parser::partition},
            {"dm", &Parser::dm},             {"brdlx", &Parser::brdlx},
            {"diag", &Parser::diag},         {"link", &Parser::link},
            {"file", &Parser::file},         {"nofile", &Parser::nofile},
            {"program", &Parser::program},   {"command", &Parser::command},
            {"session", &Parser::session},   {"rvzbuffer", &Parser::rvzbuffer},
            {"user", &Parser::user},
        };
        auto it = handlers.find(d.name);
        if (it == handlers.end()) fail("unknown directive \"" + d.name + "\"");
        (this->*(it->second))(d);
    }

    void finish() {
        lineNo_ = 0;
        finishArrays();
        // Derived sysfs files of disks and partitions.
        for (const auto &[path, node] : model_.nodes) {
            char text[64];
            if (node.kind == NodeKind::Disk) {
                std::string base = "/sys/block/" + lastComponent(path);
                std::snprintf(text, sizeof text, "%llu\n", static_cast<unsigned long long>(node.ullSize));
                model_.files[base + "/size"] = File{text, false};
                std::snprintf(text, sizeof text, "%u:%u\n", node.uiMajor, node.uiMinor);
                model_.files[base + "/dev"] = File{text, false};
            } else if (node.kind == NodeKind::Partition) {
                std::string base = "/sys/block/" + lastComponent(node.disk) + "/" + lastComponent(path);
                std::snprintf(text, sizeof text, "%llu\n", static_cast<unsigned long long>(node.ullStart));
                model_.files[base + "/start"] = File{text, false};
                std::snprintf(text, sizeof text, "%llu\n", static_cast<unsigned long long>(node.ullSize));
                model_.files[base + "/size"] = File{text, false};
                std::snprintf(text, sizeof text, "%u:%u\n", node.uiMajor, node.uiMinor);
                model_.files[base + "/dev"] = File{text, false};
            }
        }
        bool anyDm = false;
        bool anyBrdlx = false;
        for (const auto &[path, node] : model_.nodes) {
            anyDm = anyDm || node.kind == NodeKind::DeviceMapper;
            anyBrdlx = anyBrdlx || node.kind == NodeKind::Brdlx;
        }
        if (anyDm) model_.files["/sbin/dmsetup"] = File{"", true};
        if (anyBrdlx) {
            model_.files["/usr/sbin/brxinfo"] = File{"", true};
            if (model_.nodes.count("/dev/brdlx/_diag") == 0) addDiag(10, 240);
        }
        for (const auto &[path, line] : brdlxLines_) {
            lineNo_ = line;
            const Node *disk = model_.node(model_.nodes.at(path).disk);
            if (disk == nullptr ||
                (disk->kind != NodeKind::Disk && disk->kind != NodeKind::DeviceMapper))
                fail("brdlx " + path + ": " + model_.nodes.at(path).disk + " is not a declared disk");
        }
        for (const auto &[argv, answer] : model_.commands) model_.files[argv[0]] = File{"", true};
        for (const FileOp &op : fileOps_) {
            lineNo_ = op.line;
            switch (op.what) {
            case FileOp::Put: model_.files[op.path] = File{op.content, false}; break;
            case FileOp::Program: model_.files[op.path].bProgram = true; break;
            case FileOp::Remove:
                if (model_.files.erase(op.path) == 0) fail("nofile: " + op.path + " is not a file");
                break;
            }
        }
        lineNo_ = 0;
        for (const auto &[path, file] : model_.files) {
            if (model_.nodes.count(path) != 0 || model_.links.count(path) != 0)
                fail(path + " is declared twice");
        }
        for (const auto &[path, target] : model_.links)
            if (model_.nodes.count(path) != 0) fail(path + " is declared twice");
    }

    int lineNo() const { return lineNo_; }

    // Partners, the failover bits and the remote-array lists.
    void finishArrays() {
        for (auto &[name, array] : model_.arrays) {
            lineNo_ = arrayLines_[name];
            if (array.partner.empty()) continue;
            auto other = model_.arrays.find(array.partner);
            if (other == model_.arrays.end()) fail("array " + name + ": unknown partner \"" + array.partner + "\"");
            if (other->second.partner.empty()) other->second.partner = name;
        }
        for (auto &[name, array] : model_.arrays) {
            lineNo_ = arrayLines_[name];
            auto given = failover_.find(name);
            bool on = given != failover_.end() ? given->second : !array.partner.empty();
            if (on && explicitSupport_.count(name) == 0) addFailoverBits(array.support);
            if (explicitRemotes_.count(name) != 0) {
                for (const std::string &r : array.remotes)
                    if (model_.arrays.count(r) == 0) fail("array " + name + ": unknown remote array \"" + r + "\"");
            } else {
                for (const auto &[other, unused] : model_.arrays)
                    if (other != name) array.remotes.push_back(other);
            }
        }
        lineNo_ = 0;
    }

private:
    Model &model_;
    int lineNo_ = 0;
    std::vector<FileOp> fileOps_;
    std::set<std::string> explicitFiles_;
    std::vector<std::pair<std::string, int>> brdlxLines_;  // brdlx nodes and their lines
    std::set<std::string> explicitSupport_;   // arrays whose support= was given
    std::set<std::string> explicitRemotes_;   // arrays whose remotes= was given
    std::map<std::string, bool> failover_;    // failover= as given, by array
    std::map<std::string, int> arrayLines_;   // line of each array directive

    static std::string absolute(const std::string &path) {
        if (!path.starts_with("/")) fail("path \"" + path + "\" is not absolute");
        return normalizePath(path);
    }

    static std::string devPath(const std::string &path) {
        std::string p = absolute(path);
        if (!p.starts_with("/dev/")) fail("device node \"" + path + "\" is not under /dev");
        return p;
    }

    Array &findArray(const std::string &name) {
        auto it = model_.arrays.find(name);
        if (it == model_.arrays.end()) fail("unknown array \"" + name + "\"");
        return it->second;
    }

    Volume &findVolume(const std::string &arrayName, const std::string &oluText) {
        Array &array = findArray(arrayName);
        auto olu = static_cast<std::uint32_t>(parseBounded(oluText, "OLU", 0xFFFF));
        auto it = array.volumes.find(olu);
        if (it == array.volumes.end()) fail("array " + arrayName + " has no volume " + oluText);
        return it->second;
    }

    void addNode(Node node) {
        if (model_.nodes.count(node.path) != 0 || model_.links.count(node.path) != 0 ||
            explicitFiles_.count(node.path) != 0)
            fail(node.path + " is declared twice");
        for (const auto &[path, other] : model_.nodes)
            if (other.uiMajor == node.uiMajor && other.uiMinor == node.uiMinor)
                fail("device number of " + node.path + " is already used by " + path);
        model_.nodes.emplace(node.path, node);
    }

    void addDiag(unsigned major, unsigned minor) {
        Node node;
        node.kind = NodeKind::Diag;
        node.path = "/dev/brdlx/_diag";
        node.uiMajor = major;
        node.uiMinor = minor;
        addNode(node);
    }

    static void geometry(const Directive &d, Geometry &geo, std::uint64_t blocks) {
        if (const std::string *v = d.option("heads"))
            geo.uiHeads = static_cast<unsigned>(parseBounded(*v, "heads", 255));
        if (const std::string *v = d.option("sectors"))
            geo.uiSectors = static_cast<unsigned>(parseBounded(*v, "sectors", 255));
        if (geo.uiHeads == 0 || geo.uiSectors == 0) fail("heads and sectors must not be 0");
        std::uint64_t cylinders = blocks / (std::uint64_t{geo.uiHeads} * geo.uiSectors);
        geo.uiCylinders = static_cast<unsigned>(cylinders > 65535 ? 65535 : cylinders);
        if (const std::string *v = d.option("cylinders"))
            geo.uiCylinders = static_cast<unsigned>(parseBounded(*v, "cylinders", 65535));
    }

    static int exitCode(const Directive &d) {
        const std::string *v = d.option("status");
        return v == nullptr ? 0 : static_cast<int>(parseBounded(*v, "status", 255));
    }

    void clock(const Directive &d) {
        d.expect(1, 1, "clock SECONDS");
        d.allow({});
        model_.ullClockStart = parseNumber(d.args[0], "clock");
    }

    void array(const Directive &d) {
        d.expect(1, 1, "array NAME boxid=TEXT [options]");
        d.allow({"boxid", "vendor", "product", "revision", "family", "vpd", "zrk", "boxinfo",
                 "role", "group", "partner", "failover", "profile", "support", "qmsupport",
                 "maxsessions", "percommand", "generations", "rvzbuffers", "rvzpages", "remotes",
                 "rate", "writerate", "reservetime", "pool", "poolused", "poolsize", "address",
                 "modelinfo", "rvzdetail", "copyflags", "sdvinit", "lanmaxima"});
        if (model_.arrays.count(d.args[0]) != 0) fail("array " + d.args[0] + " is declared twice");
        Array a;
        a.name = d.args[0];
        const std::string *box = d.option("boxid");
        if (box == nullptr) fail("array " + a.name + " needs boxid=");
        if (box->size() > kBoxIdLen) fail("boxid is longer than 40 bytes");
        a.boxId = *box + std::string(kBoxIdLen - box->size(), ' ');
        auto text = [&](const char *key, std::string &field, std::size_t max) {
            if (const std::string *v = d.option(key)) {
                if (v->size() > max) fail(std::string(key) + " is longer than " + std::to_string(max) + " bytes");
                field = *v;
            }
        };
        text("vendor", a.vendor, 8);
        text("product", a.product, 16);
        text("revision", a.revision, 4);
        text("family", a.family, 16);
        if (a.family != "main" && a.family != "qm") fail("family must be main or qm");
        if (const std::string *v = d.option("vpd")) a.bVendorPages = parseYesNo(*v, "vpd");
        if (const std::string *v = d.option("zrk")) a.bCopyFunctions = parseYesNo(*v, "zrk");
        if (const std::string *v = d.option("boxinfo")) a.bBoxInfo = parseYesNo(*v, "boxinfo");
        if (const std::string *v = d.option("role")) a.ucRole = static_cast<std::uint8_t>(parseBounded(*v, "role", 255));
        if (const std::string *v = d.option("group")) a.ucGroup = static_cast<std::uint8_t>(parseBounded(*v, "group", 255));
        copyFunctions(d, a);
        if (const std::string *v = d.option("address")) {
            a.addresses = splitList(*v);
            for (const std::string &addr : a.addresses)
                for (const auto &[name, other] : model_.arrays)
                    if (std::find(other.addresses.begin(), other.addresses.end(), addr) != other.addresses.end())
                        fail("address " + addr + " is already the address of array " + name);
        }
        model_.arrays.emplace(a.name, a);
    }

    // The copy-function options of an array directive.
    void copyFunctions(const Directive &d, Array &a) {
        if (const std::string *v = d.option("profile")) {
            a.profile = *v;
            if (a.profile == "qm") a.family = "qm";
        } else {
            a.profile = a.qm() ? "qm" : "paged";
        }
        if (a.qm() && d.option("product") == nullptr) a.product = "QM100";
        if (!profileSupport(a.profile, a.support)) fail("profile must be paged, detail, idlist or qm");
        if (const std::string *v = d.option("support")) {
            std::vector<std::uint8_t> b = parseHexBytes(*v);
            if (b.size() != a.support.size()) fail("support= needs exactly 32 bytes");
            std::copy(b.begin(), b.end(), a.support.begin());
            explicitSupport_.insert(a.name);
        }
        if (const std::string *v = d.option("poolsize"); v != nullptr && parseYesNo(*v, "poolsize"))
            a.support[4] |= 0x10;
        if (const std::string *v = d.option("qmsupport")) {
            std::vector<std::uint8_t> b = parseHexBytes(*v);
            if (b.size() != a.qmSupport.size()) fail("qmsupport= needs exactly 8 bytes");
            std::copy(b.begin(), b.end(), a.qmSupport.begin());
        }
        if (const std::string *v = d.option("maxsessions")) {
            std::vector<std::string> parts = splitList(*v);
            if (parts.size() != 4) fail("maxsessions= needs four counts: OLU,ALLOLU,MLU,ALLMLU");
            for (std::size_t i = 0; i < 4; ++i)
                a.maxSessions[i] = static_cast<std::uint16_t>(parseBounded(parts[i], "session count", 0xFFFF));
        }
        arrayOptions(d, a);
        if (const std::string *v = d.option("rvzbuffers"))
            a.usRvzBuffers = static_cast<std::uint16_t>(parseBounded(*v, "rvzbuffers", 0xFFFF));
        if (const std::string *v = d.option("rvzpages"))
            a.ucRvzPages = static_cast<std::uint8_t>(parseBounded(*v, "rvzpages", 255));
        if (const std::string *v = d.option("rvzdetail"))
            a.ucRvzDetail = static_cast<std::uint8_t>(parseBounded(*v, "rvzdetail", 255));
        if (const std::string *v = d.option("copyflags"))
            a.uiCopyFlags = static_cast<std::uint32_t>(parseBounded(*v, "copyflags", 0xFFFFFFFFu));
        a.modelInfo.fill(0);
        if (!a.qm()) a.modelInfo[9] = 0x04;
        if (const std::string *v = d.option("modelinfo")) {
            std::vector<std::uint8_t> b = parseHexBytes(*v);
            if (b.size() != a.modelInfo.size()) fail("modelinfo= needs exactly 10 bytes");
            std::copy(b.begin(), b.end(), a.modelInfo.begin());
        }
        if (const std::string *v = d.option("partner")) {
            if (*v == a.name) fail("an array cannot be its own partner");
            a.partner = *v;
        }
        arrayLines_[a.name] = lineNo_;
        if (const std::string *v = d.option("failover")) failover_[a.name] = parseYesNo(*v, "failover");
        if (const std::string *v = d.option("remotes")) {
            a.remotes = splitList(*v);
            explicitRemotes_.insert(a.name);
        }
    }

    void rvzbuffer(const Directive &d) {
        d.expect(2, 2, "rvzbuffer ARRAY ID [type=] [remote=] [interval=] [monitor=] [cms=] [size=] [used=] "
                       "[rlus=] [disksize=] [diskused=]");
        d.allow({"type", "remote", "interval", "monitor", "cms", "size", "used", "rlus", "disksize", "diskused"});
        Array &array = findArray(d.args[0]);
        RvzBuffer b;
        b.ucId = static_cast<std::uint8_t>(parseBounded(d.args[1], "buffer identifier", 255));
        if (const std::string *v = d.option("type")) b.usType = static_cast<std::uint16_t>(parseBounded(*v, "type", 0xFFFF));
        if (const std::string *v = d.option("remote")) {
            findArray(*v);
            b.remote = *v;
        }
        if (const std::string *v = d.option("interval"))
            b.usInterval = static_cast<std::uint16_t>(parseBounded(*v, "interval", 0xFFFF));
        if (const std::string *v = d.option("monitor"))
            b.uiMonitor = static_cast<std::uint32_t>(parseBounded(*v, "monitor", 0xFFFFFFFFu));
        if (const std::string *v = d.option("cms"))
            for (const std::string &cm : splitList(*v))
                b.cms.push_back(static_cast<std::uint16_t>(parseBounded(cm, "module identifier", 0xFFFF)));
        if (b.cms.size() > 32) fail("an RVZ buffer lists at most 32 modules");
        if (const std::string *v = d.option("size")) b.uiSize = static_cast<std::uint32_t>(parseBounded(*v, "size", 0xFFFFFFFFu));
        if (const std::string *v = d.option("used")) b.uiUsed = static_cast<std::uint32_t>(parseBounded(*v, "used", 0xFFFFFFFFu));
        if (b.uiUsed > b.uiSize) fail("used= is larger than size=");
        if (const std::string *v = d.option("rlus"))
            for (const std::string &rlu : splitList(*v))
                b.rlus.push_back(static_cast<std::uint32_t>(parseBounded(rlu, "logical unit", 0xFFFFFFFFu)));
        if (b.rlus.size() > 16) fail("a disk buffer lists at most 16 logical units");
        if (const std::string *v = d.option("disksize")) b.ullDiskSize = parseNumber(*v, "disksize");
        if (const std::string *v = d.option("diskused")) b.ullDiskUsed = parseNumber(*v, "diskused");
        if (b.ullDiskUsed > b.ullDiskSize) fail("diskused= is larger than disksize=");
        if (!array.rvzBuffers.emplace(b.ucId, b).second) fail("RVZ buffer " + d.args[1] + " is declared twice");
    }

    void user(const Directive &d) {
        d.expect(2, 2, "user NAME PASSWORD [role=ROLE] [state=N] [flags=N]");
        d.allow({"role", "state", "flags"});
        if (d.args[0].empty()) fail("user needs a name");
        model_.users[d.args[0]] = d.args[1];
        Account &account = model_.accounts[d.args[0]] = Account{};
        if (const std::string *v = d.option("role")) account.role = *v;
        if (const std::string *v = d.option("state")) account.uiState = static_cast<std::uint32_t>(parseBounded(*v, "state", 0xFFFFFFFFu));
        if (const std::string *v = d.option("flags")) account.uiFlags = static_cast<std::uint32_t>(parseBounded(*v, "flags", 0xFFFFFFFFu));
    }

    void session(const Directive &d) { addSessionDirective(model_, d, model_.ullClockStart); }

    void volume(const Directive &d) {
        d.expect(3, 3,
                 "volume ARRAY OLU BLOCKS [name=] [attr=] [role=] [group=] [olustatus=] [type=] [sdvstatus=] "
                 "[protection=] [tier=]");
        d.allow({"name", "attr", "role", "group", "olustatus", "type", "sdvstatus", "protection", "tier"});
        Array &array = findArray(d.args[0]);
        Volume v;
        v.uiOlu = static_cast<std::uint32_t>(parseBounded(d.args[1], "OLU", 0xFFFF));
        v.ullBlocks = parseNumber(d.args[2], "block count");
        if (v.ullBlocks == 0) fail("a volume needs at least one block");
        if (const std::string *n = d.option("name")) v.name = *n;
        if (const std::string *n = d.option("attr")) v.ucAttr = static_cast<std::uint8_t>(parseBounded(*n, "attr", 255));
        if (const std::string *n = d.option("role")) v.iRole = static_cast<int>(parseBounded(*n, "role", 255));
        if (const std::string *n = d.option("group")) v.iGroup = static_cast<int>(parseBounded(*n, "group", 255));
        if (const std::string *n = d.option("olustatus"))
            v.ucOluStatus = static_cast<std::uint8_t>(parseBounded(*n, "olustatus", 255));
        // Bit 0 of the OLU status and the type tell the same: a snap data volume.
        if (const std::string *n = d.option("type")) {
            v.ucType = volumeType(*n);
            if (v.snapData()) v.ucOluStatus |= 0x01;
            else if (v.ucOluStatus & 0x01) fail("olustatus bit 0x01 marks a snap data volume (type=sdv)");
        } else if (v.ucOluStatus & 0x01) {
            v.ucType = voltype::kSnapData;
        }
        if (const std::string *n = d.option("sdvstatus")) {
            if (!v.snapData()) fail("sdvstatus= is for snap data volumes");
            v.uiSdvStatus = static_cast<std::uint32_t>(parseBounded(*n, "sdvstatus", 0xFFFFFFFFu));
        }
        if (const std::string *n = d.option("protection")) {
            v.bCopyProtection = parseYesNo(*n, "protection");
            if (v.bCopyProtection && v.snapData()) fail("a snap data volume has no copy protection");
        }
        if (const std::string *n = d.option("tier")) v.bTier = parseYesNo(*n, "tier");
        if (!array.volumes.emplace(v.uiOlu, v).second)
            fail("array " + array.name + " has volume " + d.args[1] + " twice");
    }

    void bytes(const Directive &d) {
        if (d.args.size() < 4) fail("usage: bytes ARRAY PAGE OFFSET HEX...");
        d.allow({});
        Array &array = findArray(d.args[0]);
        Patch patch;
        if (d.args[1] == "inquiry") {
            patch.iPage = -1;
        } else {
            patch.iPage = static_cast<int>(parseBounded(d.args[1], "page", 255));
            if (patch.iPage == 0) fail("page 0x00 is derived from the pages offered");
        }
        patch.offset = parseBounded(d.args[2], "offset", 0xFFFF);
        std::string hex;
        for (std::size_t i = 3; i < d.args.size(); ++i) hex += d.args[i];
        patch.bytes = parseHexBytes(hex);
        std::size_t limit = patch.iPage < 0 ? 255 : 0xFFFF;
        if (patch.offset + patch.bytes.size() > limit) fail("patch ends beyond the page");
        if (patch.offset < 4) fail("the first 4 bytes of an answer are derived");
        array.patches.push_back(patch);
    }

    void disk(const Directive &d) {
        d.expect(4, 4, "disk PATH DEV ARRAY OLU [heads=] [sectors=] [cylinders=]");
        d.allow({"heads", "sectors", "cylinders"});
        Node node;
        node.kind = NodeKind::Disk;
        node.path = devPath(d.args[0]);
        parseDevice(d.args[1], node.uiMajor, node.uiMinor);
        Volume &v = findVolume(d.args[2], d.args[3]);
        node.array = d.args[2];
        node.uiOlu = v.uiOlu;
        node.ullSize = v.ullBlocks;
        geometry(d, node.geo, node.ullSize);
        addNode(node);
    }

    void partition(const Directive &d) {
        d.expect(5, 5, "partition PATH DEV DISK START SIZE [heads=] [sectors=] [cylinders=]");
        d.allow({"heads", "sectors", "cylinders"});
        Node node;
        node.kind = NodeKind::Partition;
        node.path = devPath(d.args[0]);
        parseDevice(d.args[1], node.uiMajor, node.uiMinor);
        node.disk = devPath(d.args[2]);
        const Node *disk = model_.node(node.disk);
        if (disk == nullptr || disk->kind != NodeKind::Disk)
            fail(node.disk + " is not a declared disk");
        node.ullStart = parseNumber(d.args[3], "start");
        node.ullSize = parseNumber(d.args[4], "size");
        if (node.ullSize == 0) fail("a partition needs at least one block");
        if (node.ullStart > disk->ullSize || node.ullSize > disk->ullSize - node.ullStart)
            fail("partition " + node.path + " ends beyond its disk");
        // HDIO_GETGEO of a partition tells its disk's geometry and its own start.
        node.geo = disk->geo;
        if (d.option("heads") || d.option("sectors") || d.option("cylinders"))
            geometry(d, node.geo, disk->ullSize);
        addNode(node);
    }

    void dm(const Directive &d) {
        d.expect(4, 4, "dm PATH DEV ARRAY OLU table=LINE... [status=] [size=]");
        d.allow({"table", "status", "size"}, {"table"});
        Node node;
        node.kind = NodeKind::DeviceMapper;
        node.path = devPath(d.args[0]);
        parseDevice(d.args[1], node.uiMajor, node.uiMinor);
        Volume &v = findVolume(d.args[2], d.args[3]);
        node.array = d.args[2];
        node.uiOlu = v.uiOlu;
        node.ullSize = v.ullBlocks;
        if (const std::string *s = d.option("size")) node.ullSize = parseNumber(*s, "size");
        geometry(d, node.geo, node.ullSize);
        addNode(node);
        model_.commands[{"/sbin/dmsetup", "table", node.path}] = CommandAnswer{d.all("table"), exitCode(d)};
    }

    void brdlx(const Directive &d) {
        d.expect(2, 2, "brdlx /dev/brdlx/CLASS/dsk/VOLUME:DISK DEV out=LINE... [status=]");
        d.allow({"out", "status"}, {"out"});
        Node node;
        node.kind = NodeKind::Brdlx;
        node.path = devPath(d.args[0]);
        parseDevice(d.args[1], node.uiMajor, node.uiMinor);
        std::vector<std::string> parts;
        std::stringstream split(node.path);
        for (std::string part; std::getline(split, part, '/');)
            if (!part.empty()) parts.push_back(part);
        std::size_t colon = parts.back().find(':');
        if (parts.size() < 4 || parts[1] != "brdlx" || colon == std::string::npos || colon == 0 ||
            colon + 1 == parts.back().size())
            fail("brdlx path must read /dev/brdlx/CLASS/.../VOLUME:DISK");
        const std::string &cls = parts[2];
        std::string vol = parts.back().substr(0, colon);
        node.disk = "/dev/" + parts.back().substr(colon + 1);
        addNode(node);
        brdlxLines_.emplace_back(node.path, lineNo_);
        model_.commands[{"/usr/sbin/brxinfo", "-V", "-c", cls, "-o", vol}] =
            CommandAnswer{d.all("out"), exitCode(d)};
    }

    void diag(const Directive &d) {
        d.expect(0, 1, "diag [DEV]");
        d.allow({});
        unsigned major = 10;
        unsigned minor = 240;
        if (!d.args.empty()) parseDevice(d.args[0], major, minor);
        addDiag(major, minor);
    }

    void link(const Directive &d) {
        d.expect(2, 2, "link PATH TARGET");
        d.allow({});
        std::string path = absolute(d.args[0]);
        if (d.args[1].empty()) fail("a link needs a target");
        if (model_.nodes.count(path) != 0 || explicitFiles_.count(path) != 0 ||
            !model_.links.emplace(path, d.args[1]).second)
            fail(path + " is declared twice");
    }

    void putFile(const std::string &path, FileOp::Kind what, const std::string &content) {
        if (model_.nodes.count(path) != 0 || model_.links.count(path) != 0)
            fail(path + " is declared twice");
        if (what != FileOp::Remove && !explicitFiles_.insert(path).second)
            fail(path + " is declared twice");
        fileOps_.push_back(FileOp{what, path, content, lineNo_});
    }

    void file(const Directive &d) {
        d.expect(2, 2, "file PATH TEXT");
        d.allow({});
        putFile(absolute(d.args[0]), FileOp::Put, d.args[1]);
    }

    void nofile(const Directive &d) {
        d.expect(1, 1, "nofile PATH");
        d.allow({});
        putFile(absolute(d.args[0]), FileOp::Remove, "");
    }

    void program(const Directive &d) {
        d.expect(1, 1, "program PATH");
        d.allow({});
        std::string path = absolute(d.args[0]);
        putFile(path, FileOp::Put, "");
        fileOps_.push_back(FileOp{FileOp::Program, path, "", lineNo_});
    }

    void command(const Directive &d) {
        d.allow({"status", "out"}, {"out"});
        if (d.args.size() < 2 || d.args[0] != "--") fail("usage: command [status=] [out=LINE...] -- ARGV...");
        std::vector<std::string> argv(d.args.begin() + 1, d.args.end());
        argv[0] = absolute(argv[0]);
        if (model_.commands.count(argv) != 0) fail("command is declared twice");
        model_.commands.emplace(argv, CommandAnswer{d.all("out"), exitCode(d)});
    }
};

}  // namespace

namespace {

// The parse itself: the failing line (0 when the error concerns the whole
// scenario) and the message.
bool parse(const std::string &text, Model &model, int &line, std::string &message) {
    Model built;
    Parser parser(built);
    try {
        std::istringstream in(text);
        std::string textLine;
        int number = 0;
        while (std::getline(in, textLine)) parser.line(++number, textLine);
        parser.finish();
    } catch (const ParseError &e) {
        line = parser.lineNo();
        message = e.what();
        return false;
    }
    model = std::move(built);
    return true;
}

}  // namespace

namespace {

// One directive given as text: the words of a line after the directive's name.
Directive directiveOf(const std::string &name, const std::string &words) {
    std::vector<Word> split = splitLine(name + " " + words);
    return toDirective(split, false);
}

}  // namespace

bool addSessions(Model &model, std::uint64_t clock, const std::string &words, std::string &error) {
    try {
        Model next = model;
        addSessionDirective(next, directiveOf("session", words), clock);
        model.sessions = std::move(next.sessions);
        return true;
    } catch (const ParseError &e) {
        error = e.what();
        return false;
    }
}

bool changeSession(Session &session, const std::string &words, std::string &error) {
    try {
        Directive d = directiveOf("setsession", words);
        if (!d.args.empty()) fail("setsession takes KEY=VALUE words only");
        d.allow(kChangeable);
        Session next = session;
        sessionOptions(d, next);
        session = next;
        return true;
    } catch (const ParseError &e) {
        error = e.what();
        return false;
    }
}

bool changeArray(Array &array, const std::string &words, std::string &error) {
    try {
        Directive d = directiveOf("setarray", words);
        if (!d.args.empty()) fail("setarray takes KEY=VALUE words only");
        d.allow(kArrayChangeable);
        Array next = array;
        arrayOptions(d, next);
        array = next;
        return true;
    } catch (const ParseError &e) {
        error = e.what();
        return false;
    }
}

bool parseScenario(const std::string &text, Model &model, std::string &error) {
    int line = 0;
    std::string message;
    if (parse(text, model, line, message)) return true;
    error = line > 0 ? std::to_string(line) + ": " + message : message;
    return false;
}

bool loadScenario(const std::string &file, Model &model, std::string &error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file + ": cannot read: " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    int line = 0;
    std::string message;
    if (!parse(text.str(), model, line, message)) {
        error = file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
        return false;
    }
    return true;
}

}  // namespace zrksim
