#include "control.h"

#include "lan_front.h"
#include "progress.h"
#include "scenario.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace zrksim {

namespace {

struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void refuse(const std::string &text) { throw CommandError(text); }

std::string reply(const std::vector<std::string> &lines) {
    std::string out = "ok " + std::to_string(lines.size()) + "\n";
    for (std::string line : lines) {
        for (char &c : line)
            if (c == '\n' || c == '\r') c = ' ';
        out += line + "\n";
    }
    return out;
}

std::uint64_t number(const std::string &text, const char *what, std::uint64_t max) {
    std::uint64_t value = 0;
    const char *begin = text.data();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value > max)
        refuse(std::string("bad ") + what + " \"" + text + "\"");
    return value;
}

std::string hex(const std::vector<std::uint8_t> &bytes) {
    if (bytes.empty()) return "-";
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

class Control {
public:
    explicit Control(SimState &state) : st_(state) {}

    std::string answer(const std::string &line) {
        std::istringstream in(line);
        for (std::string word; in >> word;) words_.push_back(word);
        if (words_.empty()) refuse("empty command");
        const std::string &cmd = words_[0];
        if (cmd == "ping") return simple(1, {"pong"});
        if (cmd == "clock") return simple(1, {std::to_string(st_.ullClock)});
        if (cmd == "advance") {
            args(2, 2, "advance SECONDS");
            advanceClock(st_, number(words_[1], "seconds", 1ULL << 40));
            return reply({std::to_string(st_.ullClock)});
        }
        if (cmd == "fault") return fault();
        if (cmd == "faults") {
            std::vector<std::string> lines = st_.faults.describe();
            for (const std::string &l : st_.corruptions.describe()) lines.push_back(l);
            for (const LanFault &f : st_.lan.faults) lines.push_back(f.describe());
            for (const LanDelay &d : st_.lan.delays)
                lines.push_back("landelay " + std::to_string(d.iCount) + " " + std::to_string(d.lMs));
            return simple(1, lines);
        }
        if (cmd == "clearfaults") {
            st_.faults.clear();
            st_.corruptions.clear();
            st_.lan.faults.clear();
            st_.lan.delays.clear();
            return simple(1, {});
        }
        if (cmd == "sessions") return sessions();
        if (cmd == "session") return addSession(line);
        if (cmd == "endsession") return endSession();
        if (cmd == "setsession") return setSession(line);
        if (cmd == "setarray") return setArray(line);
        if (cmd == "role") return role();
        if (cmd == "corrupt") return corrupt();
        if (cmd == "cdblog") return cdblog();
        if (cmd == "clearlog") {
            st_.cdbLog.clear();
            return simple(1, {});
        }
        if (cmd == "calls") return simple(1, st_.calls);
        if (cmd == "clearcalls") {
            st_.calls.clear();
            return simple(1, {});
        }
        if (cmd == "load") return load(line);
        if (cmd == "dump") return simple(1, dump());
        if (cmd == "shutdown") {
            st_.bStop = true;
            return simple(1, {});
        }
        std::optional<std::vector<std::string>> lan;
        try {
            lan = lanControl(st_, words_, line);
        } catch (const std::runtime_error &e) {
            refuse(e.what());
        }
        if (lan) return reply(*lan);
        refuse("unknown command \"" + cmd + "\"");
    }

private:
    SimState &st_;
    std::vector<std::string> words_;

    void args(std::size_t min, std::size_t max, const char *usage) const {
        if (words_.size() < min || words_.size() > max) refuse(std::string("usage: ") + usage);
    }

    std::string simple(std::size_t count, const std::vector<std::string> &lines) const {
        args(count, count, words_[0].c_str());
        return reply(lines);
    }

    std::string fault() {
        if (words_.size() < 2) refuse("usage: fault sense|status|transport|errno ...");
        const std::string &kind = words_[1];
        Fault f;
        std::vector<std::string> fixed;
        for (std::size_t i = 2; i < words_.size(); ++i) {
            const std::string &w = words_[i];
            if (w.starts_with("path=")) {
                f.path = w.substr(5);
            } else if (w.starts_with("skip=")) {
                f.iSkip = static_cast<int>(number(w.substr(5), "skip", 1000000));
            } else if (w.starts_with("page=")) {
                f.iOutPage = static_cast<int>(number(w.substr(5), "page", 255));
            } else if (w.starts_with("inpage=")) {
                f.iInPage = static_cast<int>(number(w.substr(7), "page", 255));
            } else if (w.starts_with("request=")) {
                std::string r = w.substr(8);
                f.ulRequest = requestFromName(r);
                if (f.ulRequest == 0) f.ulRequest = number(r, "request", 0xFFFFFFFFu);
            } else {
                fixed.push_back(w);
            }
        }
        auto count = [&](const std::string &text) {
            int n = static_cast<int>(number(text, "count", 1000000));
            if (n < 1) refuse("count must be at least 1");
            return n;
        };
        auto byte = [&](const std::string &text, const char *what) {
            return static_cast<std::uint8_t>(number(text, what, 255));
        };
        if (kind == "sense") {
            if (fixed.size() != 4) refuse("usage: fault sense COUNT KEY ASC ASCQ [path=] [skip=] [page=] [inpage=]");
            f.kind = FaultKind::Sense;
            f.iCount = count(fixed[0]);
            f.ucKey = static_cast<std::uint8_t>(number(fixed[1], "sense key", 15));
            f.ucAsc = byte(fixed[2], "ASC");
            f.ucAscq = byte(fixed[3], "ASCQ");
        } else if (kind == "status") {
            if (fixed.size() != 2) refuse("usage: fault status COUNT STATUS [path=] [skip=] [page=] [inpage=]");
            f.kind = FaultKind::Status;
            f.iCount = count(fixed[0]);
            f.ucStatus = byte(fixed[1], "status");
        } else if (kind == "transport") {
            if (fixed.size() != 3) refuse("usage: fault transport COUNT HOST DRIVER [path=] [skip=] [page=] [inpage=]");
            f.kind = FaultKind::Transport;
            f.iCount = count(fixed[0]);
            f.ucHost = byte(fixed[1], "host status");
            f.ucDriver = byte(fixed[2], "driver status");
        } else if (kind == "errno") {
            if (fixed.size() != 3) refuse("usage: fault errno OP COUNT ERRNO [path=] [skip=] [request=]");
            static const char *const ops[] = {"open", "stat", "access", "readlink", "read_file", "run", "ioctl"};
            bool known = false;
            for (const char *op : ops) known = known || fixed[0] == op;
            if (!known) refuse("unknown host call \"" + fixed[0] + "\"");
            f.kind = FaultKind::Errno;
            f.op = fixed[0];
            f.iCount = count(fixed[1]);
            f.iErrno = errnoFromName(fixed[2]);
            if (f.iErrno < 0) f.iErrno = static_cast<int>(number(fixed[2], "errno", 4095));
            if (f.iErrno == 0) refuse("errno must not be 0");
        } else {
            refuse("unknown fault kind \"" + kind + "\"");
        }
        if (f.ulRequest != 0 && f.op != "ioctl") refuse("request= applies to ioctl only");
        if (f.kind == FaultKind::Errno && (f.iOutPage >= 0 || f.iInPage >= 0))
            refuse("page= and inpage= apply to SCSI faults only");
        st_.faults.add(f);
        return reply({});
    }

    // The text of the line after its first `skip` words.
    static std::string rest(const std::string &line, std::size_t skip) {
        std::size_t at = 0;
        for (std::size_t i = 0; i < skip; ++i) {
            at = line.find_first_not_of(" \t", at);
            at = line.find_first_of(" \t", at);
            if (at == std::string::npos) return "";
        }
        return line.substr(at);
    }

    const Array &array(const std::string &name) const {
        auto it = st_.model.arrays.find(name);
        if (it == st_.model.arrays.end()) refuse("unknown array \"" + name + "\"");
        return it->second;
    }

    Session &session(const std::string &arrayName, const std::string &idText) {
        array(arrayName);
        auto id = static_cast<std::uint16_t>(number(idText, "session identifier", 0xFFFF));
        Session *s = findSession(st_.model, arrayName, id);
        if (s == nullptr) refuse("array " + arrayName + " has no session " + idText);
        return *s;
    }

    std::string sessions() const {
        args(1, 2, "sessions [ARRAY]");
        if (words_.size() == 2) array(words_[1]);
        std::vector<std::string> lines;
        for (const Session &s : st_.model.sessions)
            if (words_.size() == 1 || s.on(words_[1])) lines.push_back(sessionLine(s));
        return reply(lines);
    }

    std::string addSession(const std::string &line) {
        std::string error;
        if (!addSessions(st_.model, st_.ullClock, rest(line, 1), error)) refuse(error);
        return reply({});
    }

    std::string endSession() {
        args(3, 3, "endsession ARRAY ID");
        Session *s = &session(words_[1], words_[2]);
        std::erase_if(st_.model.sessions, [&](const Session &o) { return &o == s; });
        return reply({});
    }

    std::string setSession(const std::string &line) {
        if (words_.size() < 4) refuse("usage: setsession ARRAY ID KEY=VALUE...");
        Session &s = session(words_[1], words_[2]);
        std::string error;
        if (!changeSession(s, rest(line, 3), error)) refuse(error);
        return reply({});
    }

    std::string setArray(const std::string &line) {
        if (words_.size() < 3) refuse("usage: setarray ARRAY KEY=VALUE...");
        array(words_[1]);
        std::string error;
        if (!changeArray(st_.model.arrays.at(words_[1]), rest(line, 2), error)) refuse(error);
        return reply({});
    }

    std::string role() {
        if (words_.size() < 3) refuse("usage: role ARRAY ROLE [group=N] [olu=N]");
        array(words_[1]);
        Array &a = st_.model.arrays.at(words_[1]);
        auto roleValue = static_cast<int>(number(words_[2], "role", 255));
        int group = -1;
        long olu = -1;
        for (std::size_t i = 3; i < words_.size(); ++i) {
            const std::string &w = words_[i];
            if (w.starts_with("group=")) group = static_cast<int>(number(w.substr(6), "group", 255));
            else if (w.starts_with("olu=")) olu = static_cast<long>(number(w.substr(4), "OLU", 0xFFFF));
            else refuse("usage: role ARRAY ROLE [group=N] [olu=N]");
        }
        if (olu >= 0) {
            auto v = a.volumes.find(static_cast<std::uint32_t>(olu));
            if (v == a.volumes.end()) refuse("array " + a.name + " has no volume " + std::to_string(olu));
            v->second.iRole = roleValue;
            if (group >= 0) v->second.iGroup = group;
        } else {
            a.ucRole = static_cast<std::uint8_t>(roleValue);
            if (group >= 0) a.ucGroup = static_cast<std::uint8_t>(group);
        }
        return reply({});
    }

    std::string corrupt() {
        if (words_.size() < 4) refuse("usage: corrupt PAGE OFFSET HEX [count=N] [skip=K] [array=NAME]");
        Corruption c;
        c.iPage = static_cast<int>(number(words_[1], "page", 255));
        c.offset = number(words_[2], "offset", 0xFFFFFF);
        std::string hexText;
        for (std::size_t i = 3; i < words_.size(); ++i) {
            const std::string &w = words_[i];
            if (w.starts_with("count=")) c.iCount = static_cast<int>(number(w.substr(6), "count", 1000000));
            else if (w.starts_with("skip=")) c.iSkip = static_cast<int>(number(w.substr(5), "skip", 1000000));
            else if (w.starts_with("array=")) c.array = array(w.substr(6)).name;
            else hexText += w;
        }
        if (c.iCount < 1) refuse("count must be at least 1");
        if (hexText.empty() || hexText.size() % 2 != 0) refuse("bad hex bytes \"" + hexText + "\"");
        for (std::size_t i = 0; i < hexText.size(); i += 2)
            c.bytes.push_back(static_cast<std::uint8_t>(number("0x" + hexText.substr(i, 2), "hex byte", 255)));
        st_.corruptions.add(c);
        return reply({});
    }

    std::string cdblog() const {
        args(1, 1, "cdblog");
        std::vector<std::string> lines;
        for (const CdbRecord &r : st_.cdbLog)
            lines.push_back(r.path + " " + (r.via.empty() ? "-" : r.via) + " " + hex(r.cdb) + " " +
                            hex(r.dataOut));
        return reply(lines);
    }

    std::string load(const std::string &line) {
        std::size_t at = line.find("load");
        std::string file = line.substr(at + 4);
        file.erase(0, file.find_first_not_of(" \t"));
        file.erase(file.find_last_not_of(" \t\r") + 1);
        if (file.empty()) refuse("usage: load FILE");
        Model next;
        std::string error;
        if (!loadScenario(file, next, error)) refuse(error);
        st_.reset(std::move(next));
        return reply({});
    }

    std::vector<std::string> dump() const {
        std::vector<std::string> lines;
        lines.push_back("clock " + std::to_string(st_.ullClock));
        for (const std::string &l : st_.model.describe()) lines.push_back(l);
        for (const std::string &l : st_.faults.describe()) lines.push_back("fault " + l);
        lines.push_back("cdblog " + std::to_string(st_.cdbLog.size()) + " records");
        lines.push_back("calls " + std::to_string(st_.calls.size()) + " records");
        if (st_.lan.iPort >= 0) {
            lines.push_back("lan port " + std::to_string(st_.lan.iPort) + (st_.lan.bStopped ? " stopped" : ""));
            for (const auto &[host, account] : st_.lan.logins) lines.push_back("lan login " + host + " " + account);
            for (const LanFault &f : st_.lan.faults) lines.push_back("fault " + f.describe());
            for (const LanDelay &d : st_.lan.delays)
                lines.push_back("fault landelay " + std::to_string(d.iCount) + " " + std::to_string(d.lMs));
            lines.push_back("lanlog " + std::to_string(st_.lan.log.size()) + " records");
        }
        return lines;
    }
};

}  // namespace

std::string answerControl(SimState &state, const std::string &line) {
    try {
        return Control(state).answer(line);
    } catch (const CommandError &e) {
        std::string text = e.what();
        for (char &c : text)
            if (c == '\n') c = ' ';
        return "error " + text + "\n";
    }
}

}  // namespace zrksim
