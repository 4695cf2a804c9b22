// The host platform layer of the fuzz build: every call is answered from the
// records of the fuzz input (format in fuzz/fuzz_host.h). Linked into the fuzz
// targets only, never into the product or the simulated library.
//
// Descriptors are numbers of this layer's own, not system descriptors; a
// call on one that is not open, or an SG_IO header that does not describe
// its buffers, aborts: that is a fault of the caller, which the fuzzer is to
// find.
#include "zrkhost.h"

#include "../fuzz/fuzz_host.h"

#include <linux/fs.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

constexpr int kFirstFd = 1000;  // far from the system's descriptors
constexpr int kMaxCdb = 16;

struct Input {
    const uint8_t *pData = nullptr; // records not yet taken
    size_t uiSize = 0;              // their bytes
    std::set<int> sOpen;            // descriptors handed out and not closed
    int iNextFd = kFirstFd;         // the next descriptor number
};

Input &TheInput() {
    static Input *input = new Input;  // never destroyed: atexit handlers may call the layer
    return *input;
}

[[noreturn]] void CallerFault(const char *what) {
    std::fprintf(stderr, "host_fuzz: %s\n", what);
    std::abort();
}

int Fail(int err) {
    errno = err;
    return -1;
}

// One record: the errno (0 success) and the payload.
struct Record {
    int iErr;
    std::string_view sPayload;
};

Record Next() {
    Input &in = TheInput();
    if (in.uiSize < 3) {
        in.uiSize = 0;
        return {EIO, {}};
    }
    const int err = in.pData[0];
    size_t length = static_cast<size_t>(in.pData[1]) << 8 | in.pData[2];
    length = std::min(length, in.uiSize - 3);
    const std::string_view payload(reinterpret_cast<const char *>(in.pData + 3), length);
    in.pData += 3 + length;
    in.uiSize -= 3 + length;
    return {err, payload};
}

// A big-endian number at offset of a payload; missing bytes read as 0.
uint64_t Number(std::string_view payload, size_t offset, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const size_t at = offset + static_cast<size_t>(i);
        value = value << 8 | (at < payload.size() ? static_cast<unsigned char>(payload[at]) : 0u);
    }
    return value;
}

// The payload from offset on (empty past its end).
std::string_view Tail(std::string_view payload, size_t offset) {
    return offset < payload.size() ? payload.substr(offset) : std::string_view{};
}

void CheckOpen(int fd) {
    if (TheInput().sOpen.count(fd) == 0) CallerFault("descriptor not open");
}

// Reads every byte of an area, so that AddressSanitizer sees one that is
// shorter than its length says.
void Touch(const void *data, size_t length) {
    const auto *bytes = static_cast<const volatile unsigned char *>(data);
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i) sum += bytes[i];
    (void)sum;
}

int SgIo(sg_io_hdr_t *header) {
    if (header == nullptr) CallerFault("SG_IO without a header");
    if (header->interface_id != 'S') CallerFault("SG_IO interface id");
    if (header->cmd_len == 0 || header->cmd_len > kMaxCdb || header->cmdp == nullptr)
        CallerFault("SG_IO command block");
    if (header->iovec_count != 0) CallerFault("SG_IO scatter list");
    if (header->dxfer_len > 0 && header->dxferp == nullptr) CallerFault("SG_IO data buffer");
    if (header->mx_sb_len > 0 && header->sbp == nullptr) CallerFault("SG_IO sense buffer");
    Touch(header->cmdp, header->cmd_len);
    Touch(header->dxferp, header->dxfer_len);
    Touch(header->sbp, header->mx_sb_len);

    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    const std::string_view p = r.sPayload;
    const auto status = static_cast<unsigned char>(Number(p, 0, 1));
    const std::string_view rest = Tail(p, zrkfuzz::host::kSgHeadLen);
    const size_t senseGiven = std::min<size_t>(Number(p, 3, 1), rest.size());
    const std::string_view sense = rest.substr(0, senseGiven);
    const std::string_view dataIn = rest.substr(senseGiven);

    const bool fromDevice = header->dxfer_direction == SG_DXFER_FROM_DEV ||
                            header->dxfer_direction == SG_DXFER_TO_FROM_DEV;
    size_t moved = 0;
    if (fromDevice) {
        moved = std::min<size_t>(dataIn.size(), header->dxfer_len);
        if (moved > 0) std::memcpy(header->dxferp, dataIn.data(), moved);
    }
    const size_t senseLength = std::min<size_t>(sense.size(), header->mx_sb_len);
    if (senseLength > 0) std::memcpy(header->sbp, sense.data(), senseLength);
    header->status = status;
    header->masked_status = static_cast<unsigned char>((status >> 1) & 0x7F);
    header->msg_status = 0;
    header->host_status = static_cast<unsigned short>(Number(p, 1, 1));
    header->driver_status = static_cast<unsigned short>(Number(p, 2, 1));
    header->sb_len_wr = static_cast<unsigned char>(senseLength);
    header->resid = fromDevice ? static_cast<int>(header->dxfer_len - moved) : 0;
    header->duration = 0;
    header->info = (header->masked_status != 0 || header->host_status != 0 ||
                    header->driver_status != 0)
                       ? SG_INFO_CHECK
                       : SG_INFO_OK;
    return 0;
}

int Ioctl(unsigned long request, void *arg) {
    switch (request) {
    case SG_IO:
        return SgIo(static_cast<sg_io_hdr_t *>(arg));
    case ZRK_BRDLX_DIAG_IOCTL: {
        auto *pass = static_cast<ZrkBrdlxPassThrough *>(arg);
        if (pass == nullptr) CallerFault("pass-through without a record");
        if (pass->uiRequest != SG_IO) {
            // The older transport's request: answered by its errno alone.
            const Record r = Next();
            return r.iErr != 0 ? Fail(r.iErr) : Fail(ENOTTY);
        }
        return SgIo(static_cast<sg_io_hdr_t *>(pass->pArg));
    }
    case HDIO_GETGEO: {
        auto *geometry = static_cast<hd_geometry *>(arg);
        if (geometry == nullptr) CallerFault("HDIO_GETGEO without a record");
        const Record r = Next();
        if (r.iErr != 0) return Fail(r.iErr);
        geometry->heads = static_cast<unsigned char>(Number(r.sPayload, 0, 1));
        geometry->sectors = static_cast<unsigned char>(Number(r.sPayload, 1, 1));
        geometry->cylinders = static_cast<unsigned short>(Number(r.sPayload, 2, 2));
        geometry->start = static_cast<unsigned long>(Number(r.sPayload, 4, 8));
        return 0;
    }
    case BLKGETSIZE: {
        auto *blocks = static_cast<unsigned long *>(arg);
        if (blocks == nullptr) CallerFault("BLKGETSIZE without a result");
        const Record r = Next();
        if (r.iErr != 0) return Fail(r.iErr);
        *blocks = static_cast<unsigned long>(Number(r.sPayload, 0, 8));
        return 0;
    }
    default: {
        const Record r = Next();
        return r.iErr != 0 ? Fail(r.iErr) : 0;
    }
    }
}

// Copies a payload into a caller's buffer of size bytes, as read(2) would.
ssize_t CopyOut(std::string_view payload, char *buffer, size_t size) {
    const size_t count = std::min(size, payload.size());
    if (count > 0) std::memcpy(buffer, payload.data(), count);
    return static_cast<ssize_t>(count);
}

}  // namespace

namespace zrkfuzz::host {

void Feed(const uint8_t *data, size_t size) {
    Input &in = TheInput();
    in.pData = data;
    in.uiSize = data != nullptr ? size : 0;
    in.sOpen.clear();
    in.iNextFd = kFirstFd;
}

int OpenDescriptors() { return static_cast<int>(TheInput().sOpen.size()); }

bool TakePayload(std::string_view *payload) {
    const Record r = Next();
    *payload = r.iErr == 0 ? r.sPayload : std::string_view{};
    return r.iErr == 0;
}

}  // namespace zrkfuzz::host

extern "C" int zrk_host_open(const char *path, int /*flags*/) {
    if (path == nullptr) CallerFault("open without a path");
    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    Input &in = TheInput();
    const int fd = in.iNextFd++;
    in.sOpen.insert(fd);
    return fd;
}

extern "C" int zrk_host_close(int fd) {
    CheckOpen(fd);
    TheInput().sOpen.erase(fd);
    return 0;
}

extern "C" int zrk_host_ioctl(int fd, unsigned long request, void *arg) {
    CheckOpen(fd);
    return Ioctl(request, arg);
}

extern "C" int zrk_host_stat(const char *path, struct stat *st) {
    if (path == nullptr || st == nullptr) CallerFault("stat without a path or a result");
    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    const std::string_view p = r.sPayload;
    mode_t type = S_IFREG;
    switch (Number(p, 0, 1)) {
    case zrkfuzz::host::kStatBlock: type = S_IFBLK; break;
    case zrkfuzz::host::kStatChar: type = S_IFCHR; break;
    case zrkfuzz::host::kStatDir: type = S_IFDIR; break;
    default: break;
    }
    std::memset(st, 0, sizeof *st);
    st->st_mode = type | 0644;
    st->st_nlink = 1;
    st->st_rdev = makedev(static_cast<unsigned>(Number(p, 1, 4)), static_cast<unsigned>(Number(p, 5, 4)));
    st->st_size = static_cast<off_t>(Number(p, 9, 8) & 0x7FFFFFFFFFFFFFFFull);
    st->st_blksize = 4096;
    return 0;
}

extern "C" int zrk_host_access(const char *path, int /*mode*/) {
    if (path == nullptr) CallerFault("access without a path");
    const Record r = Next();
    return r.iErr != 0 ? Fail(r.iErr) : 0;
}

extern "C" ssize_t zrk_host_readlink(const char *path, char *buf, size_t size) {
    if (path == nullptr || buf == nullptr) CallerFault("readlink without a path or a buffer");
    Touch(buf, size);
    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    return CopyOut(r.sPayload, buf, size);
}

extern "C" ssize_t zrk_host_read_file(const char *path, char *buf, size_t size) {
    if (path == nullptr || (buf == nullptr && size > 0)) CallerFault("read_file without a path or a buffer");
    Touch(buf, size);
    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    return CopyOut(r.sPayload, buf, size);
}

extern "C" ssize_t zrk_host_run(const char *const argv[], char *out, size_t max, int *status) {
    if (argv == nullptr || argv[0] == nullptr || (out == nullptr && max > 0))
        CallerFault("run without a program or an output buffer");
    for (const char *const *arg = argv; *arg != nullptr; ++arg) Touch(*arg, std::strlen(*arg));
    Touch(out, max);
    const Record r = Next();
    if (r.iErr != 0) return Fail(r.iErr);
    if (status != nullptr) *status = static_cast<int>(Number(r.sPayload, 0, 1) << 8);
    return CopyOut(Tail(r.sPayload, 1), out, max);
}
