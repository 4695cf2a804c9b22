#include "faults.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace zrksim {

namespace {

struct ErrnoName {
    int value;
    const char *name;
};

// The errno values a fault may name, by name.
constexpr ErrnoName kErrnoNames[] = {
    {EPERM, "EPERM"},       {ENOENT, "ENOENT"},   {EINTR, "EINTR"},     {EIO, "EIO"},
    {ENXIO, "ENXIO"},       {E2BIG, "E2BIG"},     {EBADF, "EBADF"},     {EAGAIN, "EAGAIN"},
    {ENOMEM, "ENOMEM"},     {EACCES, "EACCES"},   {EFAULT, "EFAULT"},   {EBUSY, "EBUSY"},
    {EEXIST, "EEXIST"},     {ENODEV, "ENODEV"},   {ENOTDIR, "ENOTDIR"}, {EISDIR, "EISDIR"},
    {EINVAL, "EINVAL"},     {ENFILE, "ENFILE"},   {EMFILE, "EMFILE"},   {ENOTTY, "ENOTTY"},
    {EFBIG, "EFBIG"},       {ENOSPC, "ENOSPC"},   {EROFS, "EROFS"},     {EPIPE, "EPIPE"},
    {ENAMETOOLONG, "ENAMETOOLONG"}, {ENOSYS, "ENOSYS"}, {ELOOP, "ELOOP"},
    {EOVERFLOW, "EOVERFLOW"}, {EMSGSIZE, "EMSGSIZE"}, {ETIMEDOUT, "ETIMEDOUT"},
    {ECONNREFUSED, "ECONNREFUSED"}, {EHOSTDOWN, "EHOSTDOWN"}, {ECHILD, "ECHILD"},
    {ENOEXEC, "ENOEXEC"}, {EMEDIUMTYPE, "EMEDIUMTYPE"}, {ENOMEDIUM, "ENOMEDIUM"},
};

struct RequestName {
    unsigned long value;
    const char *name;
};

constexpr RequestName kRequestNames[] = {
    {kSgIo, "SG_IO"},           {kBrdlxDiag, "BRDLX_DIAG"}, {kHdioGetgeo, "HDIO_GETGEO"},
    {kBlkGetSize, "BLKGETSIZE"}, {kBlkRrPart, "BLKRRPART"},
};

}  // namespace

std::string requestName(unsigned long request) {
    for (const RequestName &r : kRequestNames)
        if (r.value == request) return r.name;
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", request);
    return text;
}

unsigned long requestFromName(const std::string &name) {
    for (const RequestName &r : kRequestNames)
        if (name == r.name) return r.value;
    return 0;
}

int errnoFromName(const std::string &name) {
    for (const ErrnoName &e : kErrnoNames)
        if (name == e.name) return e.value;
    return -1;
}

std::string errnoName(int err) {
    for (const ErrnoName &e : kErrnoNames)
        if (e.value == err) return e.name;
    return std::to_string(err);
}

std::string Fault::describe() const {
    char line[512];
    char head[128];
    switch (kind) {
    case FaultKind::Sense:
        std::snprintf(head, sizeof head, "sense key=0x%x asc=0x%02x ascq=0x%02x", ucKey, ucAsc, ucAscq);
        break;
    case FaultKind::Status: std::snprintf(head, sizeof head, "status 0x%02x", ucStatus); break;
    case FaultKind::Transport:
        std::snprintf(head, sizeof head, "transport host=0x%02x driver=0x%02x", ucHost, ucDriver);
        break;
    case FaultKind::Errno:
        std::snprintf(head, sizeof head, "errno %s %s", op.c_str(), errnoName(iErrno).c_str());
        break;
    }
    std::snprintf(line, sizeof line, "%s count=%d skip=%d seen=%d path=%s request=0x%lx", head, iCount,
                  iSkip, iSeen, path.empty() ? "*" : path.c_str(), ulRequest);
    std::string out = line;
    char page[32];
    if (iOutPage >= 0) {
        std::snprintf(page, sizeof page, " page=0x%02x", iOutPage);
        out += page;
    }
    if (iInPage >= 0) {
        std::snprintf(page, sizeof page, " inpage=0x%02x", iInPage);
        out += page;
    }
    return out;
}

std::vector<std::string> FaultTable::describe() const {
    std::vector<std::string> out;
    for (const Fault &f : faults_) out.push_back(f.describe());
    return out;
}

template <typename Match>
std::optional<Fault> FaultTable::fire(Match match) {
    std::optional<Fault> fired;
    for (Fault &f : faults_) {
        if (!match(f)) continue;
        int number = ++f.iSeen;  // 1-based count of matching calls
        if (!fired && number > f.iSkip && number <= f.iSkip + f.iCount) fired = f;
    }
    std::erase_if(faults_, [](const Fault &f) { return f.iSeen >= f.iSkip + f.iCount; });
    return fired;
}

int FaultTable::hostCall(const std::string &op, const std::string &path, unsigned long request) {
    auto fired = fire([&](const Fault &f) {
        return f.kind == FaultKind::Errno && f.op == op && (f.path.empty() || f.path == path) &&
               (f.ulRequest == 0 || f.ulRequest == request);
    });
    return fired ? fired->iErrno : 0;
}

std::optional<Fault> FaultTable::scsiCommand(const std::string &path, const std::string &via,
                                             const std::vector<std::uint8_t> &cdb,
                                             const std::vector<std::uint8_t> &dataOut) {
    // The copy commands: TRAVO IN 0xEB (0xEE on the QM family) names its page
    // in CDB byte 2, TRAVO OUT 0xE9 (0xEC) in byte 0 of its list.
    std::uint8_t opcode = cdb.empty() ? 0 : cdb[0];
    int inPage = (opcode == 0xEB || opcode == 0xEE) && cdb.size() > 2 ? cdb[2] : -1;
    int outPage = (opcode == 0xE9 || opcode == 0xEC) && !dataOut.empty() ? dataOut[0] : -1;
    return fire([&](const Fault &f) {
        return f.kind != FaultKind::Errno && (f.path.empty() || f.path == path || f.path == via) &&
               (f.iOutPage < 0 || f.iOutPage == outPage) && (f.iInPage < 0 || f.iInPage == inPage);
    });
}

std::string Corruption::describe() const {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 0x0F];
    }
    char line[512];
    std::snprintf(line, sizeof line, "corrupt page=0x%02x offset=%zu bytes=%s count=%d skip=%d seen=%d array=%s",
                  iPage, offset, hex.c_str(), iCount, iSkip, iSeen, array.empty() ? "*" : array.c_str());
    return line;
}

std::vector<std::string> CorruptionTable::describe() const {
    std::vector<std::string> out;
    for (const Corruption &c : table_) out.push_back(c.describe());
    return out;
}

void CorruptionTable::apply(const std::string &array, int page, std::vector<std::uint8_t> &reply) {
    // Every corruption that is due patches the reply, in the order given.
    for (Corruption &c : table_) {
        if (c.iPage != page || (!c.array.empty() && c.array != array)) continue;
        int number = ++c.iSeen;
        if (number <= c.iSkip || number > c.iSkip + c.iCount) continue;
        if (reply.size() < c.offset + c.bytes.size()) reply.resize(c.offset + c.bytes.size(), 0);
        std::copy(c.bytes.begin(), c.bytes.end(), reply.begin() + static_cast<std::ptrdiff_t>(c.offset));
    }
    std::erase_if(table_, [](const Corruption &c) { return c.iSeen >= c.iSkip + c.iCount; });
}

void SimState::reset(Model next) {
    model = std::move(next);
    ullClock = model.ullClockStart;
    faults.clear();
    corruptions.clear();
    cdbLog.clear();
    calls.clear();
    lan.reset();
}

}  // namespace zrksim
