#include "sessions.h"

#include "model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace zrksim {

namespace {

struct KindName {
    SessionKind kind;
    const char *name;
};

constexpr KindName kKindNames[] = {
    {SessionKind::Kzp, "kzp"},           {SessionKind::QuickKzp, "quickkzp"},
    {SessionKind::SnapKzp, "snapkzp"},   {SessionKind::SnapKzpPlus, "snapkzp+"},
    {SessionKind::Monitor, "monitor"},   {SessionKind::Vz, "vz"},
    {SessionKind::Failover, "failover"},
};

std::uint8_t bcd(unsigned value) { return static_cast<std::uint8_t>((value / 10 % 10) << 4 | value % 10); }

}  // namespace

std::uint8_t Session::copyKind() const {
    switch (kind) {
    case SessionKind::Vz:
    case SessionKind::Failover: return 2;
    case SessionKind::Monitor: return 3;
    default: return 1;
    }
}

std::uint8_t Session::flags() const {
    std::uint8_t f = ucSecondary & 0x03;
    if (whole()) f |= 0x80;
    if (kind == SessionKind::SnapKzpPlus) f |= 0x40;
    if (remote()) f |= 0x20;
    if (kind == SessionKind::SnapKzp) f |= 0x10;
    if (kind == SessionKind::QuickKzp) f |= 0x08;
    return f;
}

const char *kindName(SessionKind kind) {
    for (const KindName &k : kKindNames)
        if (k.kind == kind) return k.name;
    return "?";
}

bool kindFromName(const std::string &name, SessionKind &kind) {
    if (name == "rvz") {
        kind = SessionKind::Vz;
        return true;
    }
    for (const KindName &k : kKindNames) {
        if (name == k.name) {
            kind = k.kind;
            return true;
        }
    }
    return false;
}

std::uint8_t defaultPhase(SessionKind kind) {
    switch (kind) {
    case SessionKind::Vz:
    case SessionKind::Failover: return phase::kEquivalent;
    case SessionKind::Kzp:
    case SessionKind::QuickKzp: return phase::kCopying;
    default: return phase::kTracking;
    }
}

std::vector<const Session *> sessionsOf(const Model &model, const std::string &array) {
    std::vector<const Session *> out;
    for (const Session &s : model.sessions)
        if (s.on(array)) out.push_back(&s);
    std::sort(out.begin(), out.end(),
              [&](const Session *a, const Session *b) { return a->idOn(array) < b->idOn(array); });
    return out;
}

Session *findSession(Model &model, const std::string &array, std::uint16_t id) {
    for (Session &s : model.sessions)
        if (s.on(array) && s.idOn(array) == id) return &s;
    return nullptr;
}

const Session *findSession(const Model &model, const std::string &array, std::uint16_t id) {
    return findSession(const_cast<Model &>(model), array, id);
}

std::uint64_t totalBlocks(const Model &model, const Session &s) {
    if (!s.whole()) return s.ullSize;
    auto array = model.arrays.find(s.srcArray);
    if (array == model.arrays.end()) return 0;
    auto volume = array->second.volumes.find(s.uiSrcOlu);
    return volume == array->second.volumes.end() ? 0 : volume->second.ullBlocks;
}

std::uint16_t freeSessionId(const Model &model, const std::string &array) {
    std::vector<bool> used(0x10000, false);
    for (const Session &s : model.sessions)
        if (s.on(array)) used[s.idOn(array)] = true;
    for (std::uint32_t id = 1; id <= 0xFFFF; ++id)
        if (!used[id]) return static_cast<std::uint16_t>(id);
    return 0;
}

std::string sessionLine(const Session &s) {
    char dst[16];
    if (s.uiDstOlu == kNoOlu)
        std::snprintf(dst, sizeof dst, "-");
    else
        std::snprintf(dst, sizeof dst, "%u", s.uiDstOlu);
    std::string mode;
    if (s.ucMode & kModeSync) mode += ",sync";
    if (s.ucMode & kModeSplit) mode += ",split";
    if (s.ucMode & kModeManual) mode += ",manual";
    mode = mode.empty() ? "none" : mode.substr(1);
    char line[512];
    std::snprintf(line, sizeof line,
                  "session %u %s %s %u %s %s partner=%u srcext=%llu size=%llu dstext=%llu status=%u "
                  "phase=%u copied=%llu mode=%s transfer=%u secondary=%u modechange=%u interval=%u "
                  "start=%llu volrole=%u generation=%u vvol=%s diff=%llu stacktimer=%u tracking=%s "
                  "vvoldelete=%s",
                  s.usId, kindName(s.kind), s.srcArray.c_str(), s.uiSrcOlu, s.dstArray.c_str(), dst,
                  s.usPartnerId, static_cast<unsigned long long>(s.ullSrcExtent),
                  static_cast<unsigned long long>(s.ullSize), static_cast<unsigned long long>(s.ullDstExtent),
                  s.ucStatus, s.ucPhase, static_cast<unsigned long long>(s.ullCopied), mode.c_str(),
                  s.ucTransfer, s.ucSecondary, s.ucModeChange, s.usInterval,
                  static_cast<unsigned long long>(s.ullStart), s.ucVolRole, s.uiGeneration,
                  s.bVvol ? "yes" : "no", static_cast<unsigned long long>(s.ullDiff), s.ucStackTimer,
                  s.bTracking ? "yes" : "no", s.bVvolDelete ? "yes" : "no");
    return line;
}

std::string bcdTimeText(std::uint64_t seconds) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bcdTime(seconds)) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::vector<std::uint8_t> bcdTime(std::uint64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    unsigned year = static_cast<unsigned>(tm.tm_year + 1900);
    return {bcd(year / 100),
            bcd(year % 100),
            bcd(static_cast<unsigned>(tm.tm_mon + 1)),
            bcd(static_cast<unsigned>(tm.tm_mday)),
            bcd(static_cast<unsigned>(tm.tm_hour)),
            bcd(static_cast<unsigned>(tm.tm_min)),
            bcd(static_cast<unsigned>(tm.tm_sec)),
            0};
}

}  // namespace zrksim
