// Device paths and extents: what kind of host path names a volume (a
// BRINDLEX volume under /dev/brdlx, a device-mapper volume under
// /dev/mapper, a disk or a partition), the whole-disk node of a partition,
// the device number of a node, and the volume's start and size in 512-byte
// blocks of the disk. Every device access goes through the host layer; the
// volume manager's and device-mapper's commands run from an argument vector.
// The step lines leave errno as it was (as every debug log line does), so a
// failed step's errno reaches its caller.
#include "zrkengine.h"
#include "zrkhost.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace zrk;

constexpr const char kDmsetup[] = "/sbin/dmsetup";
constexpr const char kBrxinfo[] = "/usr/sbin/brxinfo";
constexpr size_t kCommandOutputMax = 64 * 1024;
constexpr size_t kBrxinfoLineMax = 511;  // a longer line reads as several
constexpr size_t kSysfsMax = 256;

// A local failure: ZRK_ERR_LOGICAL_VOL and the pseudo sense of its class.
void LocalFailure(int errorClass, int osErrno) {
    ZRKerrno = ZRK_ERR_LOGICAL_VOL;
    SetErrClassCode(errorClass, osErrno);
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The non-empty components of a path.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string_view::npos) next = path.size();
        if (next > pos) parts.push_back(path.substr(pos, next - pos));
        pos = next + 1;
    }
    return parts;
}

bool StartsWithComponents(const char *path, std::string_view first, std::string_view second) {
    if (path == nullptr) return false;
    const auto parts = Components(path);
    return parts.size() >= 2 && parts[0] == first && parts[1] == second;
}

// The last component of a path or link target ("../../sdb1" gives "sdb1").
std::string_view LastComponent(std::string_view path) {
    const auto parts = Components(path);
    return parts.empty() ? std::string_view{} : parts.back();
}

// Blank-separated words of a line.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        if (end > pos) words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

// The lines of a text, without their newlines.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = text.find('\n', pos);
        if (next == std::string_view::npos) next = text.size();
        lines.push_back(text.substr(pos, next - pos));
        pos = next + 1;
    }
    return lines;
}

// A whole word as an unsigned 64-bit number: decimal only, or with the usual
// prefixes (0x hexadecimal, leading 0 octal). Signs, blanks, trailing
// characters and overflow are refused.
std::optional<uint64_t> ParseNumber(std::string_view word, bool prefixes) {
    if (word.empty() || !IsDigit(word[0])) return std::nullopt;
    std::string text(word);
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, prefixes ? 0 : 10);
    if (errno == ERANGE || end == nullptr || *end != '\0') return std::nullopt;
    return static_cast<uint64_t>(value);
}

// Hands out an extent as the four 32-bit halves; a null pointer skips its half.
void PutExtent(uint64_t start, uint64_t size, uint32_t *startHigh, uint32_t *startLow,
               uint32_t *sizeHigh, uint32_t *sizeLow) {
    if (startHigh != nullptr) *startHigh = static_cast<uint32_t>(start >> 32);
    if (startLow != nullptr) *startLow = static_cast<uint32_t>(start);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<uint32_t>(size >> 32);
    if (sizeLow != nullptr) *sizeLow = static_cast<uint32_t>(size);
}

// Runs a command from its argument vector; the output, or nullopt when the
// command cannot be started.
std::optional<std::string> RunCommand(const char *const argv[], int &status) {
    std::string out(kCommandOutputMax, '\0');
    status = 0;
    const ssize_t n = zrk_host_run(argv, out.data(), out.size(), &status);
    if (n < 0) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

bool ExitedZero(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Reads a link into a string; false with errno set when it cannot be read or
// its target would not fit a device name.
bool ReadLink(const char *path, std::string &target) {
    char buffer[ZRK_DEVNAME_LEN + 1];
    const ssize_t n = zrk_host_readlink(path, buffer, sizeof buffer);
    if (n < 0) return false;
    if (static_cast<size_t>(n) >= sizeof buffer) {
        errno = ENAMETOOLONG;
        return false;
    }
    target.assign(buffer, static_cast<size_t>(n));
    return true;
}

bool CopyName(char *out, std::string_view name) {
    const size_t count = std::min(name.size(), static_cast<size_t>(ZRK_DEVNAME_LEN));
    std::memcpy(out, name.data(), count);
    out[count] = '\0';
    return count == name.size();
}

// A sysfs block file exists (the whole-disk test of a node).
bool SysfsExists(const std::string &path) {
    struct stat st {};
    return zrk_host_stat(path.c_str(), &st) == 0;
}

// The number a sysfs file holds (the last line with a value counts); nullopt
// with errno set when the file cannot be read or holds no number.
std::optional<uint64_t> ReadSysfsNumber(const std::string &path) {
    char buffer[kSysfsMax + 1];
    const ssize_t n = zrk_host_read_file(path.c_str(), buffer, kSysfsMax);
    if (n < 0) return std::nullopt;
    std::optional<uint64_t> value;
    for (std::string_view line : Lines(std::string_view(buffer, static_cast<size_t>(n)))) {
        const auto words = Words(line);
        if (words.empty()) continue;
        value = words.size() == 1 ? ParseNumber(words[0], false) : std::nullopt;
    }
    if (!value) errno = EINVAL;
    return value;
}

// The disk of a partition name: trailing digits removed, then a "p" that
// follows a digit (sdb1 -> sdb, nvme0n1p2 -> nvme0n1), or any final "p" of a
// device-mapper name (/dev/mapper/mpathap1 -> /dev/mapper/mpatha).
std::string_view StripPartition(std::string_view name, bool mapper) {
    while (!name.empty() && IsDigit(name.back())) name.remove_suffix(1);
    if (name.size() >= 1 && name.back() == 'p' &&
        (mapper || (name.size() >= 2 && IsDigit(name[name.size() - 2]))))
        name.remove_suffix(1);
    return name;
}

// The parts of a volume-manager path: the class (third component) and the
// volume name (between the last "/" before the ":" and the ":").
struct BvmPath {
    std::string sClass;  /* volume manager's class */
    std::string sVolume; /* volume name */
};
std::optional<BvmPath> ParseBvmPath(std::string_view path) {
    const size_t colon = path.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const size_t slash = path.rfind('/', colon - 1);
    if (slash == std::string_view::npos) return std::nullopt;
    const auto parts = Components(path.substr(0, slash));
    if (parts.size() < 3) return std::nullopt;
    BvmPath result{std::string(parts[2]), std::string(path.substr(slash + 1, colon - slash - 1))};
    if (result.sVolume.empty()) return std::nullopt;
    return result;
}

}  // namespace

extern "C" int IsBrindlex(const char *path) {
    return StartsWithComponents(path, "dev", "brdlx") ? 1 : 0;
}

extern "C" int IsDmDevice(const char *path) {
    return StartsWithComponents(path, "dev", "mapper") ? 1 : 0;
}

extern "C" int GetVolumeName(const char *volume, char *out) {
    static constexpr const char kName[] = "GetVolumeName";
    LogIn(1, kName, volume, __LINE__);
    if (out == nullptr) return LogErr(1, kName, volume, __LINE__);
    out[0] = '\0';
    if (volume == nullptr || volume[0] == '\0') return LogErr(1, kName, volume, __LINE__);
    std::string name(volume);
    if (!CopyName(out, name)) {
        errno = ENAMETOOLONG;
        return LogErr(1, kName, volume, __LINE__);
    }

    if (name.starts_with("/dev/disk/")) {
        std::string target;
        if (!ReadLink(name.c_str(), target)) return LogErr(1, kName, volume, __LINE__);
        const std::string_view last = LastComponent(target);
        if (last.empty()) return LogErr(1, kName, volume, __LINE__);
        name = "/dev/" + std::string(last);
        if (!CopyName(out, name)) {
            errno = ENAMETOOLONG;
            return LogErr(1, kName, volume, __LINE__);
        }
    }

    if (!IsDigit(name.back())) return LogErr(1, kName, volume, __LINE__);
    if (SysfsExists("/sys/block/" + std::string(LastComponent(name)) + "/size"))
        return LogErr(1, kName, volume, __LINE__);

    const std::string_view disk = StripPartition(name, name.starts_with("/dev/mapper/"));
    if (disk.empty() || disk.back() == '/') return LogErr(1, kName, volume, __LINE__);
    CopyName(out, disk);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetDeviceNumber(const char *volume, dev_t *device) {
    static constexpr const char kName[] = "GetDeviceNumber";
    LogIn(1, kName, volume, __LINE__);
    if (volume == nullptr || device == nullptr) {
        errno = EINVAL;
        return LogErr(1, kName, volume, __LINE__);
    }
    std::string node(volume);
    if (IsBrindlex(volume)) {
        const char *colon = std::strchr(volume, ':');
        if (colon == nullptr || colon[1] == '\0') {
            errno = EINVAL;
            return LogErr(1, kName, volume, __LINE__);
        }
        node = std::string("/dev/") + (colon + 1);
    }
    if (node.size() > ZRK_DEVNAME_LEN) {
        errno = ENAMETOOLONG;
        return LogErr(1, kName, volume, __LINE__);
    }
    struct stat st {};
    if (zrk_host_stat(node.c_str(), &st) != 0) return LogErr(1, kName, volume, __LINE__);
    *device = st.st_rdev;
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetExtentInfo(const char *volume, uint32_t *start, uint32_t *size) {
    static constexpr const char kName[] = "GetExtentInfo";
    LogIn(1, kName, volume, __LINE__);
    // The classic records hold the start and the size in 32 bits each, and
    // the classic commands address every block of the extent in 32 bits: an
    // extent beyond them is refused, never cut.
    uint64_t first = 0, blocks = 0;
    if (IsBrindlex(volume)) {
        uint32_t startHigh = 0, startLow = 0, sizeHigh = 0, sizeLow = 0;
        if (GetBvmVolumeInfo(volume, &startHigh, &startLow, &sizeHigh, &sizeLow) != 0)
            return LogErr(1, kName, volume, __LINE__);
        first = static_cast<uint64_t>(startHigh) << 32 | startLow;
        blocks = static_cast<uint64_t>(sizeHigh) << 32 | sizeLow;
    } else {
        uint32_t vtocStart = 0, vtocSize = 0;
        if (GetVtocInfo(volume, &vtocStart, &vtocSize) != 0)
            return LogErr(1, kName, volume, __LINE__);
        first = vtocStart;
        blocks = vtocSize;
    }
    constexpr uint64_t kBlocks32 = uint64_t{1} << 32; // blocks that 32 bits address
    if (blocks > UINT32_MAX || first >= kBlocks32 || blocks > kBlocks32 - first) {
        WriteLog(16, nullptr, 0, "extent beyond 32 bits: start %llu size %llu [%s] [%d]",
                 static_cast<unsigned long long>(first), static_cast<unsigned long long>(blocks),
                 LogText(volume), __LINE__);
        ZRKerrno = ZRK_ERR_EXTENT;
        return LogErr(1, kName, volume, __LINE__);
    }
    if (start != nullptr) *start = static_cast<uint32_t>(first);
    if (size != nullptr) *size = static_cast<uint32_t>(blocks);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetExtentInfoForLV(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                                  uint32_t *sizeHigh, uint32_t *sizeLow) {
    static constexpr const char kName[] = "GetExtentInfoForLV";
    LogIn(1, kName, volume, __LINE__);
    int rc;
    if (IsBrindlex(volume))
        rc = GetBvmVolumeInfo(volume, startHigh, startLow, sizeHigh, sizeLow);
    else if (IsDmDevice(volume))
        rc = GetDmVolumeInfo(volume, startHigh, startLow, sizeHigh, sizeLow);
    else
        rc = GetVtocInfoForLV(volume, startHigh, startLow, sizeHigh, sizeLow);
    return rc == 0 ? LogOk(1, kName, volume, __LINE__) : LogErr(1, kName, volume, __LINE__);
}

extern "C" int GetVtocInfo(const char *volume, uint32_t *start, uint32_t *size) {
    static constexpr const char kName[] = "GetVtocInfo";
    LogIn(1, kName, volume, __LINE__);
    if (volume == nullptr) {
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        return LogErr(1, kName, volume, __LINE__);
    }

    if (ZRKbvm != 0) {
        // READ CAPACITY (10): the last block address, big-endian, plus one.
        unsigned char cdb[10] = {0x25};
        unsigned char capacity[8] = {};
        if (DoScsi(volume, 0, cdb, sizeof cdb, capacity, sizeof capacity) != 0)
            return LogErr(1, kName, volume, __LINE__);
        const uint64_t blocks = static_cast<uint64_t>(ShiftBtoI(capacity, 4)) + 1;
        if (blocks > UINT32_MAX) {
            ZRKerrno = ZRK_ERR_EXTENT;
            return LogErr(1, kName, volume, __LINE__);
        }
        if (start != nullptr) *start = 0;
        if (size != nullptr) *size = static_cast<uint32_t>(blocks);
        return LogOk(1, kName, volume, __LINE__);
    }

    CloseSharedDevice();
    HostFd fd(zrk_host_open(volume, O_RDONLY));
    if (!fd) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "open() : %s", std::strerror(err));
        LocalFailure(ZRK_ERRCLASS_OPEN, err);
        return LogErr(1, kName, volume, __LINE__);
    }
    if (GetEnvNumFlag("WXAPI_RPART_FLAG")) {
        // Re-read the partition table first; whether it worked does not matter.
        (void)zrk_host_ioctl(fd.Get(), BLKRRPART, nullptr);
    }
    struct hd_geometry geometry {};
    if (zrk_host_ioctl(fd.Get(), HDIO_GETGEO, &geometry) == -1) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "ioctl(HDIO_GETGEO) error");
        LocalFailure(ZRK_ERRCLASS_IOCTL, err);
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned long blocks = 0;
    if (zrk_host_ioctl(fd.Get(), BLKGETSIZE, &blocks) == -1) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "ioctl(%s, BLKGETSIZE): error %s", volume, std::strerror(err));
        LocalFailure(ZRK_ERRCLASS_IOCTL, err);
        return LogErr(1, kName, volume, __LINE__);
    }
    if (blocks == 0) {
        WriteLog(16, nullptr, 0, "BlockSize = 0");
        LocalFailure(ZRK_ERRCLASS_BLOCKSIZE, 0);
        return LogErr(1, kName, volume, __LINE__);
    }
    if (geometry.start > UINT32_MAX || blocks > UINT32_MAX) {
        WriteLog(16, nullptr, 0, "extent beyond 32 bits: start %lu size %lu [%d]",
                 geometry.start, blocks, __LINE__);
        ZRKerrno = ZRK_ERR_EXTENT;
        return LogErr(1, kName, volume, __LINE__);
    }
    if (start != nullptr) *start = static_cast<uint32_t>(geometry.start);
    if (size != nullptr) *size = static_cast<uint32_t>(blocks);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetBvmVolumeInfo(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                                uint32_t *sizeHigh, uint32_t *sizeLow) {
    static constexpr const char kName[] = "GetBvmVolumeInfo";
    LogIn(1, kName, volume, __LINE__);
    const auto path = volume != nullptr ? ParseBvmPath(volume) : std::nullopt;
    if (!path) {
        LocalFailure(ZRK_ERRCLASS_PATH, 0);
        return LogErr(1, kName, volume, __LINE__);
    }

    const char *const argv[] = {kBrxinfo, "-V", "-c", path->sClass.c_str(),
                                "-o", path->sVolume.c_str(), nullptr};
    int status = 0;
    const auto output = RunCommand(argv, status);
    if (!output) {
        WriteLog(16, nullptr, 0, "%s not found.", kBrxinfo);
        ZRKerrno = ZRK_ERR_VOLUME_MANAGER;
        return LogErr(1, kName, volume, __LINE__);
    }

    std::optional<uint64_t> start, size;
    bool bad = false;
    for (std::string_view whole : Lines(*output)) {
        for (size_t pos = 0; pos == 0 || pos < whole.size(); pos += kBrxinfoLineMax) {
            const auto words = Words(whole.substr(pos, kBrxinfoLineMax));
            if (words.empty() || words[0] != "volume") continue;
            if (words.size() < 2) {
                bad = true;
                break;
            }
            if (words[1] != path->sVolume) continue;
            if (words.size() < 9) {
                bad = true;
                break;
            }
            start = ParseNumber(words[6], true);
            size = ParseNumber(words[8], true);
            if (!start || !size) bad = true;
            break;
        }
        if (bad || start) break;
    }
    if (bad || !ExitedZero(status)) {
        WriteLog(16, nullptr, 0, "%s -V -c %s -o %s : error", kBrxinfo, path->sClass.c_str(),
                 path->sVolume.c_str());
        ZRKerrno = ZRK_ERR_VOLUME_MANAGER;
        return LogErr(1, kName, volume, __LINE__);
    }
    if (!start) {
        LocalFailure(ZRK_ERRCLASS_NOT_LISTED, 0);
        return LogErr(1, kName, volume, __LINE__);
    }
    PutExtent(*start, *size, startHigh, startLow, sizeHigh, sizeLow);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetDmVolumeInfo(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                               uint32_t *sizeHigh, uint32_t *sizeLow) {
    static constexpr const char kName[] = "GetDmVolumeInfo";
    LogIn(1, kName, volume, __LINE__);
    struct stat st {};
    if (zrk_host_stat(kDmsetup, &st) != 0) {
        WriteLog(16, nullptr, 0, "%s not found.", kDmsetup);
        ZRKerrno = ZRK_ERR_DMSETUP_MISSING;
        return LogErr(1, kName, volume, __LINE__);
    }
    const char *const argv[] = {kDmsetup, "table", LogText(volume), nullptr};
    int status = 0;
    const auto output = RunCommand(argv, status);
    if (!output) {
        ZRKerrno = ZRK_ERR_DMSETUP_FAILED;
        return LogErr(1, kName, volume, __LINE__);
    }
    const auto lines = Lines(*output);
    if (lines.empty()) {
        ZRKerrno = ZRK_ERR_DM_TABLE;
        return LogErr(1, kName, volume, __LINE__);
    }
    const std::string line(lines[0]);
    const auto words = Words(line);
    std::optional<uint64_t> size, start;
    if (words.size() >= 3) size = ParseNumber(words[1], false);
    if (size && words[2] == "linear") {
        start = words.size() >= 5 ? ParseNumber(words[4], false) : std::nullopt;
    } else if (size) {
        start = 0;
    }
    if (!size || !start) {
        WriteLog(16, nullptr, 0, "dmsetup command error. Parameter=\"%s\"", line.c_str());
        ZRKerrno = ZRK_ERR_DM_PARSE;
        return LogErr(1, kName, volume, __LINE__);
    }
    // A linear or multipath table of one segment: a table of several segments
    // has no one start and size on one disk.
    const std::string type(words[2]);
    bool oneDisk = type == "linear" || type == "multipath";
    for (size_t i = 1; oneDisk && i < lines.size(); ++i) oneDisk = Words(lines[i]).empty();
    if (!oneDisk) {
        WriteLog(16, nullptr, 0, "dmsetup command error. Invalid device type(%s).", type.c_str());
        ZRKerrno = ZRK_ERR_DM_TYPE;
        return LogErr(1, kName, volume, __LINE__);
    }
    PutExtent(*start, *size, startHigh, startLow, sizeHigh, sizeLow);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetVtocInfoForLV(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                                uint32_t *sizeHigh, uint32_t *sizeLow) {
    static constexpr const char kName[] = "GetVtocInfoForLV";
    LogIn(1, kName, volume, __LINE__);
    if (volume == nullptr) {
        ZRKerrno = ZRK_ERR_LOGICAL_VOL;
        return LogErr(1, kName, volume, __LINE__);
    }
    // The node's name under /dev, with its leading "/": "/sdb1".
    std::string name;
    if (std::string_view(volume).starts_with("/dev/sd")) {
        name = volume + 4;
    } else {
        std::string target;
        if (!ReadLink(volume, target)) {
            const int err = errno;
            WriteLog(16, nullptr, 0, "readlink(\"%s\", ) : %s", volume, std::strerror(err));
            LocalFailure(ZRK_ERRCLASS_READLINK, err);
            return LogErr(1, kName, volume, __LINE__);
        }
        name = "/" + std::string(LastComponent(target));
    }
    if (name.size() > ZRK_DEVNAME_LEN || name.size() < 2) {
        LocalFailure(ZRK_ERRCLASS_PATH, name.size() < 2 ? EINVAL : ENAMETOOLONG);
        return LogErr(1, kName, volume, __LINE__);
    }

    // A name without digits is a whole disk; so is one that sysfs lists as a
    // disk of its own (nvme0n1, dm-3). Any other is a partition of the disk
    // its name leaves when the partition number is taken away.
    bool whole = name.find_first_of("0123456789") == std::string::npos ||
                 SysfsExists("/sys/block" + name + "/size");
    std::string startFile, sizeFile;
    if (whole) {
        sizeFile = "/sys/block" + name + "/size";
    } else {
        const std::string disk(StripPartition(name, false));
        startFile = "/sys/block" + disk + name + "/start";
        sizeFile = "/sys/block" + disk + name + "/size";
    }

    uint64_t start = 0;
    for (const std::string *file : {&startFile, &sizeFile}) {
        if (file->empty()) continue;
        const auto value = ReadSysfsNumber(*file);
        if (!value) {
            const int err = errno;
            WriteLog(16, nullptr, 0, "fopen(\"%s\", ) : %s", file->c_str(), std::strerror(err));
            LocalFailure(ZRK_ERRCLASS_OPEN, err);
            return LogErr(1, kName, volume, __LINE__);
        }
        if (file == &startFile) {
            start = *value;
        } else {
            PutExtent(start, *value, startHigh, startLow, sizeHigh, sizeLow);
        }
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetEnvNumFlag(const char *name) {
    const char *value = name != nullptr ? std::getenv(name) : nullptr;
    if (value == nullptr || value[0] == '\0') return 0;
    errno = 0;
    char *end = nullptr;
    const long number = std::strtol(value, &end, 10);
    return end != nullptr && *end == '\0' && number != 0 ? 1 : 0;
}

extern "C" int Arch_kind(void) {
    struct utsname names {};
    if (uname(&names) != 0) return 0;
    return std::strcmp(names.machine, "x86_64") == 0 ? 1 : 0;
}

extern "C" int Sg_Io_HDR_Convert(int direction, const void *in, void *out) {
    if (in == nullptr || out == nullptr) return -1;
    if (direction == 1) {
        sg_io_hdr_t from;
        std::memcpy(&from, in, sizeof from);
        ZrkSgIoHdrWide to{};
        to.iInterfaceId = from.interface_id;
        to.iDxferDirection = from.dxfer_direction;
        to.uiCmdLen = from.cmd_len;
        to.uiMxSbLen = from.mx_sb_len;
        to.uiIovecCount = from.iovec_count;
        to.uiDxferLen = from.dxfer_len;
        to.ullDxferp = reinterpret_cast<uintptr_t>(from.dxferp);
        to.ullCmdp = reinterpret_cast<uintptr_t>(from.cmdp);
        to.ullSbp = reinterpret_cast<uintptr_t>(from.sbp);
        to.uiTimeout = from.timeout;
        to.uiFlags = from.flags;
        to.iPackId = from.pack_id;
        to.ullUsrPtr = reinterpret_cast<uintptr_t>(from.usr_ptr);
        to.uiStatus = from.status;
        to.uiMaskedStatus = from.masked_status;
        to.uiMsgStatus = from.msg_status;
        to.uiSbLenWr = from.sb_len_wr;
        to.uiHostStatus = from.host_status;
        to.uiDriverStatus = from.driver_status;
        to.iResid = from.resid;
        to.uiDuration = from.duration;
        to.uiInfo = from.info;
        std::memcpy(out, &to, sizeof to);
        return 0;
    }
    if (direction == 2) {
        ZrkSgIoHdrWide from;
        std::memcpy(&from, in, sizeof from);
        sg_io_hdr_t to{};
        to.interface_id = from.iInterfaceId;
        to.dxfer_direction = from.iDxferDirection;
        to.cmd_len = static_cast<unsigned char>(from.uiCmdLen);
        to.mx_sb_len = static_cast<unsigned char>(from.uiMxSbLen);
        to.iovec_count = static_cast<unsigned short>(from.uiIovecCount);
        to.dxfer_len = from.uiDxferLen;
        to.dxferp = reinterpret_cast<void *>(static_cast<uintptr_t>(from.ullDxferp));
        to.cmdp = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(from.ullCmdp));
        to.sbp = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(from.ullSbp));
        to.timeout = from.uiTimeout;
        to.flags = from.uiFlags;
        to.pack_id = from.iPackId;
        to.usr_ptr = reinterpret_cast<void *>(static_cast<uintptr_t>(from.ullUsrPtr));
        to.status = static_cast<unsigned char>(from.uiStatus);
        to.masked_status = static_cast<unsigned char>(from.uiMaskedStatus);
        to.msg_status = static_cast<unsigned char>(from.uiMsgStatus);
        to.sb_len_wr = static_cast<unsigned char>(from.uiSbLenWr);
        to.host_status = static_cast<unsigned short>(from.uiHostStatus);
        to.driver_status = static_cast<unsigned short>(from.uiDriverStatus);
        to.resid = from.iResid;
        to.duration = from.uiDuration;
        to.info = from.uiInfo;
        std::memcpy(out, &to, sizeof to);
        return 0;
    }
    WriteLog(1, nullptr, 0, "ConvFlag is default(%d) [%d]", direction, __LINE__);
    return -1;
}
