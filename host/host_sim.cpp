// The host platform layer of the simulated build: every call is answered by
// the array simulator (zrksim) over the Unix socket named by ZRK_SIM_SOCKET.
//
// - One connection per process, opened on the first call, opened again after
//   fork (the child must not share the parent's stream) and when
//   ZRK_SIM_SOCKET names another socket. No simulator: EHOSTDOWN.
// - A simulated descriptor is a real one on /dev/null (close-on-exec), so that
//   descriptor numbers and counts behave; a local table maps it to the path it
//   was opened with, and each ioctl names that path to the simulator.
// - Every answer carries an errno; EINTR is retried here, as the production
//   layer retries it.
#include "zrkhost.h"

#include "../sim/host_proto.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>

namespace {

using zrksim::proto::Fields;

// Largest data transfer one SG_IO may ask for here.
constexpr unsigned kMaxTransfer = 8u * 1024u * 1024u;
constexpr int kMaxCdb = 16;

struct SimLink {
    std::mutex mutex;
    int fd = -1;                     // connection to the simulator
    pid_t pid = 0;                   // process that opened it
    std::string path;                // socket it was opened on
    std::map<int, std::string> fds;  // simulated descriptor -> path
};

SimLink &simLink() {
    static SimLink *link = new SimLink;  // never destroyed: calls may come from atexit handlers
    return *link;
}

template <typename Call>
auto retryEintr(Call call) {
    decltype(call()) rc;
    do {
        rc = call();
    } while (rc == -1 && errno == EINTR);
    return rc;
}

void disconnect(SimLink &link) {
    if (link.fd >= 0) close(link.fd);
    link.fd = -1;
}

// Opens the connection; 0 or the errno.
int connectTo(SimLink &link, const std::string &path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return EHOSTDOWN;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    if (retryEintr([&] { return connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr); }) != 0) {
        close(fd);
        return EHOSTDOWN;
    }
    link.fd = fd;
    link.pid = getpid();
    link.path = path;
    return 0;
}

bool sendAll(int fd, const std::string &data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = retryEintr([&] { return send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL); });
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool recvAll(int fd, char *buf, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = retryEintr([&] { return recv(fd, buf + done, size - done, 0); });
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One request and its answer over an open connection.
bool roundTrip(int fd, const Fields &request, Fields &reply) {
    if (!sendAll(fd, zrksim::proto::encode(request))) return false;
    char head[4];
    if (!recvAll(fd, head, sizeof head)) return false;
    std::uint32_t len = zrksim::proto::getU32(head);
    if (len > zrksim::proto::kMaxBody) return false;
    std::string body(len, '\0');
    if (!recvAll(fd, body.data(), len)) return false;
    return zrksim::proto::decode(body, reply) && !reply.empty();
}

// Sends a request; returns the errno of the answer (0 on success), with the
// answer's further fields in `reply`. EINTR answers are asked again.
int ask(const Fields &request, Fields &reply) {
    SimLink &link = simLink();
    std::lock_guard<std::mutex> lock(link.mutex);
    const char *env = std::getenv("ZRK_SIM_SOCKET");
    if (env == nullptr || *env == '\0') return EHOSTDOWN;
    std::string path = env;
    if (link.fd >= 0 && (link.pid != getpid() || link.path != path)) disconnect(link);
    for (;;) {
        bool reused = link.fd >= 0;
        if (!reused) {
            if (int err = connectTo(link, path)) return err;
        }
        Fields answer;
        if (!roundTrip(link.fd, request, answer)) {
            disconnect(link);
            if (reused) continue;  // a stale connection: once more on a fresh one
            return EHOSTDOWN;
        }
        int err = 0;
        const std::string &code = answer[0];
        auto [ptr, ec] = std::from_chars(code.data(), code.data() + code.size(), err);
        if (ec != std::errc() || ptr != code.data() + code.size()) return EPROTO;
        if (err == EINTR) continue;
        reply.assign(answer.begin() + 1, answer.end());
        return err;
    }
}

// `count` numeric fields of a reply; false when the simulator sent less.
bool numbers(const Fields &reply, std::size_t count, unsigned long long *out) {
    if (reply.size() < count) return false;
    for (std::size_t i = 0; i < count; ++i) {
        auto [ptr, ec] = std::from_chars(reply[i].data(), reply[i].data() + reply[i].size(), out[i]);
        if (ec != std::errc() || ptr != reply[i].data() + reply[i].size()) return false;
    }
    return true;
}

int fail(int err) {
    errno = err;
    return -1;
}

bool pathOf(int fd, std::string &path) {
    SimLink &link = simLink();
    std::lock_guard<std::mutex> lock(link.mutex);
    auto it = link.fds.find(fd);
    if (it == link.fds.end()) return false;
    path = it->second;
    return true;
}

int doSgIo(const std::string &path, const std::string &device, sg_io_hdr_t *hdr) {
    if (hdr == nullptr) return fail(EFAULT);
    if (hdr->interface_id != 'S') return fail(ENOSYS);
    if (hdr->cmd_len == 0 || hdr->cmd_len > kMaxCdb || hdr->cmdp == nullptr) return fail(EINVAL);
    if (hdr->iovec_count != 0) return fail(EINVAL);
    if (hdr->dxfer_len > kMaxTransfer) return fail(ENOMEM);
    if (hdr->dxfer_len > 0 && hdr->dxferp == nullptr) return fail(EFAULT);
    const char *cdb = reinterpret_cast<const char *>(hdr->cmdp);
    std::string dataOut;
    int direction = hdr->dxfer_direction;
    if (direction == SG_DXFER_TO_DEV || direction == SG_DXFER_TO_FROM_DEV)
        dataOut.assign(static_cast<const char *>(hdr->dxferp), hdr->dxfer_len);
    Fields reply;
    int err = ask({"sg_io", path, device, std::to_string(direction), std::to_string(hdr->dxfer_len),
                   std::to_string(hdr->mx_sb_len), std::string(cdb, hdr->cmd_len), dataOut},
                  reply);
    if (err != 0) return fail(err);
    unsigned long long status[3];
    if (!numbers(reply, 3, status) || reply.size() < 5) return fail(EPROTO);
    const std::string &sense = reply[3];
    const std::string &dataIn = reply[4];
    std::size_t moved = std::min<std::size_t>(dataIn.size(), hdr->dxfer_len);
    if (moved > 0) std::memcpy(hdr->dxferp, dataIn.data(), moved);
    std::size_t senseLen = hdr->sbp == nullptr ? 0 : std::min<std::size_t>(sense.size(), hdr->mx_sb_len);
    if (senseLen > 0) std::memcpy(hdr->sbp, sense.data(), senseLen);
    hdr->status = static_cast<unsigned char>(status[0]);
    hdr->masked_status = static_cast<unsigned char>((status[0] >> 1) & 0x7F);
    hdr->msg_status = 0;
    hdr->host_status = static_cast<unsigned short>(status[1]);
    hdr->driver_status = static_cast<unsigned short>(status[2]);
    hdr->sb_len_wr = static_cast<unsigned char>(senseLen);
    // Data to the device is taken whole; data from it may fall short.
    bool toDevice = direction == SG_DXFER_TO_DEV;
    hdr->resid = toDevice ? 0 : static_cast<int>(hdr->dxfer_len - moved);
    hdr->duration = 0;
    hdr->info = (hdr->masked_status != 0 || hdr->host_status != 0 || hdr->driver_status != 0)
                    ? SG_INFO_CHECK
                    : SG_INFO_OK;
    return 0;
}

int doIoctl(int fd, unsigned long request, void *arg) {
    std::string path;
    if (!pathOf(fd, path)) return fail(EBADF);
    Fields reply;
    switch (request) {
    case SG_IO: return doSgIo(path, "-", static_cast<sg_io_hdr_t *>(arg));
    case ZRK_BRDLX_DIAG_IOCTL: {
        auto *record = static_cast<ZrkBrdlxPassThrough *>(arg);
        if (record == nullptr) return fail(EFAULT);
        if (record->uiRequest != SG_IO) return fail(EINVAL);
        std::string device = std::to_string(major(record->ullDevice)) + ":" +
                             std::to_string(minor(record->ullDevice));
        return doSgIo(path, device, static_cast<sg_io_hdr_t *>(record->pArg));
    }
    case HDIO_GETGEO: {
        auto *geo = static_cast<hd_geometry *>(arg);
        if (geo == nullptr) return fail(EFAULT);
        if (int err = ask({"getgeo", path}, reply)) return fail(err);
        unsigned long long v[4];
        if (!numbers(reply, 4, v)) return fail(EPROTO);
        geo->heads = static_cast<unsigned char>(v[0]);
        geo->sectors = static_cast<unsigned char>(v[1]);
        geo->cylinders = static_cast<unsigned short>(v[2]);
        geo->start = static_cast<unsigned long>(v[3]);
        return 0;
    }
    case BLKGETSIZE: {
        auto *size = static_cast<unsigned long *>(arg);
        if (size == nullptr) return fail(EFAULT);
        if (int err = ask({"getsize", path}, reply)) return fail(err);
        unsigned long long v[1];
        if (!numbers(reply, 1, v)) return fail(EPROTO);
        *size = static_cast<unsigned long>(v[0]);
        return 0;
    }
    default:
        if (int err = ask({"ioctl", path, std::to_string(request)}, reply)) return fail(err);
        return 0;
    }
}

// Runs a call, turning a C++ failure (no memory) into errno.
template <typename Call>
auto guarded(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (...) {
        errno = ENOMEM;
        return -1;
    }
}

}  // namespace

extern "C" int zrk_host_open(const char *path, int flags) {
    return guarded([&]() -> int {
        if (path == nullptr) return fail(EFAULT);
        Fields reply;
        if (int err = ask({"open", path, std::to_string(flags)}, reply)) return fail(err);
        int fd = retryEintr([] { return open("/dev/null", O_RDONLY | O_CLOEXEC); });
        if (fd < 0) return -1;
        SimLink &link = simLink();
        std::lock_guard<std::mutex> lock(link.mutex);
        link.fds[fd] = path;
        return fd;
    });
}

extern "C" int zrk_host_close(int fd) {
    return guarded([&]() -> int {
        SimLink &link = simLink();
        {
            std::lock_guard<std::mutex> lock(link.mutex);
            link.fds.erase(fd);
        }
        return close(fd);
    });
}

extern "C" int zrk_host_ioctl(int fd, unsigned long request, void *arg) {
    return guarded([&] { return doIoctl(fd, request, arg); });
}

extern "C" int zrk_host_stat(const char *path, struct stat *st) {
    return guarded([&]() -> int {
        if (path == nullptr || st == nullptr) return fail(EFAULT);
        Fields reply;
        if (int err = ask({"stat", path}, reply)) return fail(err);
        if (reply.size() < 5) return fail(EPROTO);
        unsigned long long v[3];
        Fields tail(reply.begin() + 2, reply.end());
        if (!numbers(tail, 3, v)) return fail(EPROTO);
        unsigned long perm = std::strtoul(reply[1].c_str(), nullptr, 8);
        mode_t type = reply[0] == "blk"   ? S_IFBLK
                      : reply[0] == "chr" ? S_IFCHR
                      : reply[0] == "dir" ? S_IFDIR
                                          : S_IFREG;
        std::memset(st, 0, sizeof *st);
        st->st_mode = type | static_cast<mode_t>(perm & 07777);
        st->st_nlink = 1;
        st->st_rdev = makedev(static_cast<unsigned>(v[0]), static_cast<unsigned>(v[1]));
        st->st_size = static_cast<off_t>(v[2]);
        st->st_blksize = 4096;
        return 0;
    });
}

extern "C" int zrk_host_access(const char *path, int mode) {
    return guarded([&]() -> int {
        if (path == nullptr) return fail(EFAULT);
        Fields reply;
        if (int err = ask({"access", path, std::to_string(mode)}, reply)) return fail(err);
        return 0;
    });
}

extern "C" ssize_t zrk_host_readlink(const char *path, char *buf, size_t size) {
    return guarded([&]() -> ssize_t {
        if (path == nullptr || buf == nullptr) return fail(EFAULT);
        Fields reply;
        if (int err = ask({"readlink", path}, reply)) return fail(err);
        if (reply.empty()) return fail(EPROTO);
        std::size_t n = std::min(size, reply[0].size());
        std::memcpy(buf, reply[0].data(), n);
        return static_cast<ssize_t>(n);
    });
}

extern "C" ssize_t zrk_host_read_file(const char *path, char *buf, size_t size) {
    return guarded([&]() -> ssize_t {
        if (path == nullptr || (buf == nullptr && size > 0)) return fail(EFAULT);
        Fields reply;
        if (int err = ask({"read_file", path}, reply)) return fail(err);
        if (reply.empty()) return fail(EPROTO);
        std::size_t n = std::min(size, reply[0].size());
        if (n > 0) std::memcpy(buf, reply[0].data(), n);
        return static_cast<ssize_t>(n);
    });
}

extern "C" ssize_t zrk_host_run(const char *const argv[], char *out, size_t max, int *status) {
    return guarded([&]() -> ssize_t {
        if (argv == nullptr || argv[0] == nullptr || (out == nullptr && max > 0)) return fail(EFAULT);
        Fields request{"run"};
        for (const char *const *arg = argv; *arg != nullptr; ++arg) request.emplace_back(*arg);
        Fields reply;
        if (int err = ask(request, reply)) return fail(err);
        unsigned long long wait[1];
        if (!numbers(reply, 1, wait) || reply.size() < 2) return fail(EPROTO);
        std::size_t n = std::min(max, reply[1].size());
        if (n > 0) std::memcpy(out, reply[1].data(), n);
        if (status != nullptr) *status = static_cast<int>(wait[0]);
        return static_cast<ssize_t>(n);
    });
}
