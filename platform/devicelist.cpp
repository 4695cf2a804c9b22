// Whether an array is registered with the storage management server on this
// host: its device registration file names each array as device boxid= with
// one quote character and the array's 40-character BoxID. The file belongs to
// that product; only that attribute is read, and only within one line.
#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <fcntl.h>

#include <new>
#include <string>
#include <string_view>

using namespace zrkplatform;

namespace {

constexpr std::string_view kDeviceAttribute = "device boxid=";
constexpr size_t kBoxIdOffset = kDeviceAttribute.size() + 1;  // past the quote
constexpr int kUnreadable = -3;  // the cause reported for a file that cannot be read

// The management file cannot be found or read: the result with the cause, and
// the trace line of the check.
int RefuseManagementFile(ReturnInfo *ri, int cause, int line) {
    SetResult(ri, 6, 1500,
              "ZRKC1500 ERROR Error occurred recognition of VASTREL management file. "
              "Cause=(%d).\n",
              cause);
    VelkErrEnd("check_dovr_devicelist", line);
    return -1;
}

// Whether one line names the BoxID in any of its device attributes. The 40
// characters must lie within the line.
bool LineNames(std::string_view line, std::string_view boxId) {
    for (size_t at = line.find(kDeviceAttribute); at != std::string_view::npos;
         at = line.find(kDeviceAttribute, at + 1)) {
        if (line.size() - at >= kBoxIdOffset + boxId.size() &&
            line.compare(at + kBoxIdOffset, boxId.size(), boxId) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int check_dovr_devicelist_file(const char *path, const char *boxId, ReturnInfo *ri) {
    if (path == nullptr || boxId == nullptr) return RefuseManagementFile(ri, kUnreadable, __LINE__);
    std::string text;
    {
        FileDescriptor file(sys::Open(path, O_RDONLY | O_CLOEXEC));
        if (file.Get() < 0) return RefuseManagementFile(ri, kUnreadable, __LINE__);
        int err;
        try {
            err = ReadWholeFile(file.Get(), text);
        } catch (const std::bad_alloc &) {
            SetNoMemoryResult(ri);
            VelkErrEnd("check_dovr_devicelist", "no memory", __LINE__);
            return -1;
        }
        if (err != 0) return RefuseManagementFile(ri, kUnreadable, __LINE__);
    }

    const std::string_view id(boxId, ZRK_BOXID_LEN);
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (LineNames(line, id)) return 1;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    VelkErrEnd("check_dovr_devicelist", "not registered", __LINE__);
    return 2;
}

extern "C" int check_dovr_devicelist(const char *boxId, ReturnInfo *ri) {
    char path[ZRK_PATH_LEN];
    if (int rc = get_dovr_device_file(path); rc != 0) return RefuseManagementFile(ri, rc, __LINE__);
    return check_dovr_devicelist_file(path, boxId, ri);
}
