#include "classic_lists.h"

#include "session_ops.h"

#include <algorithm>

namespace zrksim {

namespace {

constexpr std::size_t kLocalLen = 48;
constexpr std::size_t kRemoteLen = 160;
constexpr std::size_t kPageLen = 192;

// What each code asks for.
enum class Action { Start, Stop, Suspend, Resume };

struct Code {
    std::uint8_t ucCode;
    bool bKzp;
    bool bRemote;
    Action action;
};

constexpr Code kCodes[] = {
    {0x04, true, false, Action::Start},  {0x05, true, false, Action::Stop},
    {0x08, false, false, Action::Start}, {0x09, false, false, Action::Stop},
    {0x0A, false, false, Action::Suspend}, {0x0B, false, false, Action::Resume},
    {0x14, true, true, Action::Start},   {0x15, true, true, Action::Stop},
    {0x18, false, true, Action::Start},  {0x19, false, true, Action::Stop},
    {0x1A, false, true, Action::Suspend}, {0x1B, false, true, Action::Resume},
};

const Code *codeOf(std::uint8_t code) {
    for (const Code &c : kCodes)
        if (c.ucCode == code) return &c;
    return nullptr;
}

std::uint8_t pageCode(Action action) {
    switch (action) {
    case Action::Start: return 0x44;
    case Action::Stop: return 0x45;
    case Action::Suspend: return 0x48;
    case Action::Resume: return 0x49;
    }
    return 0;
}

bool zeroAt(const Bytes &b, std::size_t from, std::size_t to) {
    return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t v) { return v == 0; });
}

// The fields both forms share, in the order the page takes them.
struct Fields {
    std::uint16_t usId = 0;
    std::uint16_t usPartnerId = 0;
    bool bWhole = false;
    bool bForced = false;
    bool bDestinationSide = false;
    std::uint8_t ucMode = 0;       // bits 2-0 of the remote flags
    std::uint8_t ucTransfer = 0;
    std::uint8_t ucSecondary = 0;  // bits 1-0
    bool bSkip = false;
    bool bRemain = false;
    std::uint8_t ucRole = 0;
    std::uint32_t uiSrcOlu = 0;
    std::uint32_t uiDstOlu = 0;
    std::uint8_t ucExtentFlag = 0;
    std::uint16_t usInterval = 0;
    std::uint32_t uiSrcExtent = 0;
    std::uint32_t uiSize = 0;
    std::uint32_t uiDstExtent = 0;
};

std::uint32_t get32(const Bytes &b, std::size_t at) { return static_cast<std::uint32_t>(getBe(b, at, 4)); }

// The 48-byte form. VZ: 10 flags (0x80 whole, 0x40 forced stop), 20 role,
// 21 extent flag, 22-23 interval, 24 bits 1-0 secondary access, 26-27 and
// 30-31 the OLUs. KZP: 10 (0x80 whole), 20 role, 22-23 and 24-25 the OLUs,
// 29 extent flag. Both: 32, 36, 40 source extent, size, destination extent.
bool readLocal(const Bytes &l, const Code &c, Fields &f) {
    std::uint8_t allowed10 = static_cast<std::uint8_t>(0x80 | (!c.bKzp && c.action == Action::Stop ? 0x40 : 0));
    if ((l[10] & ~allowed10) != 0 || !zeroAt(l, 11, 20) || !zeroAt(l, 44, 48)) return false;
    f.usId = static_cast<std::uint16_t>(getBe(l, 8, 2));
    f.bWhole = (l[10] & 0x80) != 0;
    f.bForced = (l[10] & 0x40) != 0;
    f.ucRole = l[20];
    if (c.bKzp) {
        if (l[21] != 0 || !zeroAt(l, 26, 29) || !zeroAt(l, 30, 32)) return false;
        f.uiSrcOlu = static_cast<std::uint32_t>(getBe(l, 22, 2));
        f.uiDstOlu = static_cast<std::uint32_t>(getBe(l, 24, 2));
        f.ucExtentFlag = l[29];
    } else {
        bool start = c.action == Action::Start;
        if (l[25] != 0 || !zeroAt(l, 28, 30)) return false;
        if ((l[24] & ~0x03) != 0 || (!start && (l[24] != 0 || getBe(l, 22, 2) != 0))) return false;
        f.ucExtentFlag = l[21];
        f.usInterval = static_cast<std::uint16_t>(getBe(l, 22, 2));
        f.ucSecondary = l[24] & 0x03;
        f.uiSrcOlu = static_cast<std::uint32_t>(getBe(l, 26, 2));
        f.uiDstOlu = static_cast<std::uint32_t>(getBe(l, 30, 2));
    }
    f.uiSrcExtent = get32(l, 32);
    f.uiSize = get32(l, 36);
    f.uiDstExtent = get32(l, 40);
    return true;
}

// The 160-byte form: 8-9 and 10-11 the identifiers on the source and the
// destination array, 12 flags (0x80 whole, 0x40 forced, 0x20 remote, 0x10
// destination side, bits 2-0 the RVZ modes), 16 transfer mode, 24 role,
// 32-71 and 80-119 the BoxIDs, 72 (0x80 skip, 0x40 remain mode, bits 1-0
// secondary access), 128-131 and 132-135 the OLUs, 137 extent flag, 138-139
// interval, 144, 148, 152 source extent, size, destination extent.
bool readRemote(const Bytes &l, const Code &c, Fields &f) {
    bool start = c.action == Action::Start;
    std::uint8_t flags = l[12];
    bool forcedAllowed = c.action == Action::Stop || (!c.bKzp && c.action == Action::Suspend);
    std::uint8_t allowed12 = static_cast<std::uint8_t>(0xB0 | (forcedAllowed ? 0x40 : 0) | (c.bKzp ? 0 : 0x07));
    if ((flags & 0x20) == 0 || (flags & ~allowed12) != 0) return false;
    if (!zeroAt(l, 13, 16) || !zeroAt(l, 17, 24) || !zeroAt(l, 25, 32) || !zeroAt(l, 73, 80) ||
        !zeroAt(l, 120, 128) || l[136] != 0 || !zeroAt(l, 140, 144) || !zeroAt(l, 156, 160))
        return false;
    if (c.bKzp && l[16] != 0) return false;
    std::uint8_t allowed72 = 0;
    if (!c.bKzp && start) allowed72 = 0x83;
    if (!c.bKzp && c.action == Action::Resume) allowed72 = 0x40;
    if ((l[72] & ~allowed72) != 0) return false;
    if ((!start || c.bKzp) && getBe(l, 138, 2) != 0) return false;
    f.usId = static_cast<std::uint16_t>(getBe(l, 8, 2));
    f.usPartnerId = static_cast<std::uint16_t>(getBe(l, 10, 2));
    f.bWhole = (flags & 0x80) != 0;
    f.bForced = (flags & 0x40) != 0;
    f.bDestinationSide = (flags & 0x10) != 0;
    f.ucMode = flags & 0x07;
    f.ucTransfer = l[16];
    f.ucRole = l[24];
    f.bSkip = (l[72] & 0x80) != 0;
    f.bRemain = (l[72] & 0x40) != 0;
    f.ucSecondary = l[72] & 0x03;
    f.uiSrcOlu = get32(l, 128);
    f.uiDstOlu = get32(l, 132);
    f.ucExtentFlag = l[137];
    f.usInterval = static_cast<std::uint16_t>(getBe(l, 138, 2));
    f.uiSrcExtent = get32(l, 144);
    f.uiSize = get32(l, 148);
    f.uiDstExtent = get32(l, 152);
    // A start carries only the identifier this array reserved, on its side.
    if (start && (f.bDestinationSide ? f.usId : f.usPartnerId) != 0) return false;
    return true;
}

}  // namespace

bool isClassicList(std::uint8_t code) { return codeOf(code) != nullptr; }

std::optional<std::uint8_t> readClassicList(const Bytes &list, ClassicList &out) {
    const Code *c = list.empty() ? nullptr : codeOf(list[0]);
    if (c == nullptr) return refusal::kInvalid;
    std::size_t size = c->bRemote ? kRemoteLen : kLocalLen;
    if (list.size() != size || !zeroAt(list, 1, 6) || getBe(list, 6, 2) != size - 8) return refusal::kInvalid;
    Fields f;
    if (!(c->bRemote ? readRemote(list, *c, f) : readLocal(list, *c, f))) return refusal::kInvalid;
    if (f.ucExtentFlag > 1) return refusal::kInvalid;
    // The extent fields count only when the flag says so; a whole volume
    // has none (a list built from a whole-volume session copies zeros).
    if (f.ucExtentFlag == 0 && (f.uiSrcExtent != 0 || f.uiSize != 0 || f.uiDstExtent != 0)) return refusal::kInvalid;
    bool start = c->action == Action::Start;
    // A list that names neither the whole volume nor an extent is the stop
    // that gives back a reserved identifier: it carries nothing else.
    bool namesVolumes = f.bWhole || f.ucExtentFlag != 0;
    if (!namesVolumes && (start || f.uiSrcOlu != 0 || f.uiDstOlu != 0 || f.bForced || f.usPartnerId != 0))
        return refusal::kInvalid;

    Bytes &p = out.page;
    p.assign(kPageLen, 0);
    p[0] = pageCode(c->action);
    put16(p, 6, kPageLen - 8);
    put16(p, 8, f.usId);
    put16(p, 10, f.usPartnerId);
    p[12] = c->bKzp ? 1 : 2;
    p[20] = static_cast<std::uint8_t>((f.bWhole ? 0x80 : 0) | (c->bRemote ? 0x20 : 0) | (start ? f.ucSecondary : 0));
    p[22] = static_cast<std::uint8_t>((f.bDestinationSide ? 0x10 : 0) | (start ? f.ucMode : 0));
    p[23] = start ? f.ucTransfer : 0;
    p[24] = static_cast<std::uint8_t>((f.bForced ? 0x80 : 0) | (f.bRemain ? 0x40 : 0));
    p[25] = f.bSkip ? 0x08 : 0;
    if (c->bRemote) {
        std::copy(list.begin() + 32, list.begin() + 72, p.begin() + 32);
        std::copy(list.begin() + 80, list.begin() + 120, p.begin() + 80);
    }
    put32(p, 128, f.uiSrcOlu);
    put32(p, 132, f.uiDstOlu);
    put16(p, 136, f.ucExtentFlag);
    put16(p, 138, f.usInterval);
    put64(p, 160, f.uiSrcExtent);
    put64(p, 168, f.uiSize);
    put64(p, 176, f.uiDstExtent);

    out.bKzpFamily = c->bKzp;
    out.bRemote = c->bRemote;
    out.ucVolRole = f.ucRole;
    out.uiSrcOlu = f.uiSrcOlu;
    out.uiDstOlu = f.uiDstOlu;
    out.bNamesVolumes = namesVolumes;
    return std::nullopt;
}

}  // namespace zrksim
