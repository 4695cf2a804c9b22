// Whether an array is registered with the storage management server on this
// host: its device registration file names each array as device boxid= with
// one quote character and the array's 40-character BoxID. The file belongs to
// that product; only that attribute is read, and only within one line.
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kDeviceAttribute = "device boxid=";
constexpr size_t kBoxIdOffset = kDeviceAttribute.size() + 1;  // past the quote

int unreadable(ReturnInfo *ri, int line) {
    zrk_set_result(ri, 6, 1500,
                   "ZRKC1500 ERROR Error occurred recognition of VASTREL management file. "
                   "Cause=(%d).\n",
                   -3);
    velk_trace(1, "%s error end. [%d]", "check_dovr_devicelist", line);
    return -1;
}

// Reads the whole file; false with errno set on a failure.
bool read_all(int fd, std::string &text) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    text.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<size_t>(n));
    }
}

// Whether one line names the BoxID in any of its device attributes. The 40
// characters must lie within the line.
bool line_names(std::string_view line, std::string_view boxId) {
    for (size_t at = line.find(kDeviceAttribute); at != std::string_view::npos;
         at = line.find(kDeviceAttribute, at + 1)) {
        if (line.size() - at >= kBoxIdOffset + boxId.size() &&
            line.compare(at + kBoxIdOffset, boxId.size(), boxId) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int check_dovr_devicelist_file(const char *path, const char *boxId, ReturnInfo *ri) {
    if (path == nullptr || boxId == nullptr) return unreadable(ri, __LINE__);
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return unreadable(ri, __LINE__);

    std::string text;
    bool readOk;
    try {
        readOk = read_all(fd, text);
    } catch (const std::bad_alloc &) {
        close(fd);
        zrk_set_result(ri, 4, 1106, "ZRKC1106 ERROR Insufficient memory.\n");
        velk_trace(1, "%s error end.(%s) [%d]", "check_dovr_devicelist", "no memory", __LINE__);
        return -1;
    }
    close(fd);
    if (!readOk) return unreadable(ri, __LINE__);

    const std::string_view id(boxId, ZRK_BOXID_LEN);
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (line_names(line, id)) return 1;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    velk_trace(1, "%s error end.(%s) [%d]", "check_dovr_devicelist", "not registered", __LINE__);
    return 2;
}

extern "C" int check_dovr_devicelist(const char *boxId, ReturnInfo *ri) {
    char path[ZRK_PATH_LEN];
    int rc = get_dovr_device_file(path);
    if (rc != 0) {
        zrk_set_result(ri, 6, 1500,
                       "ZRKC1500 ERROR Error occurred recognition of VASTREL management file. "
                       "Cause=(%d).\n",
                       rc);
        velk_trace(1, "%s error end. [%d]", "check_dovr_devicelist", __LINE__);
        return -1;
    }
    return check_dovr_devicelist_file(path, boxId, ri);
}
