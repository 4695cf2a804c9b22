// Replacing a file whole through a temporary file beside it.
#include "replacefile.h"

#include "sysio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace zrkplatform {

namespace {

constexpr char kUniqueSuffix[] = ".XXXXXX"; // mkostemp's pattern

void Tell(ReplaceHook hook, ReplaceStep step) {
    if (hook != nullptr) hook(step);
}

} // namespace

Replacement::Replacement(std::string path, std::string temporary, mode_t mode)
    : sPath(std::move(path)), sTemporary(std::move(temporary)), bUnique(sTemporary.empty()),
      uiMode(mode) {}

Replacement::~Replacement() {
    if (iFd >= 0) sys::Close(iFd);
    if (bOwned && !bKept) (void)sys::Unlink(sTemporary.c_str());
}

int Replacement::Fail(ReplaceStep step, int error) {
    eFailed = step;
    if (iFd >= 0) sys::Close(iFd);
    iFd = -1;
    if (bOwned) (void)sys::Unlink(sTemporary.c_str());
    bOwned = false;
    return error;
}

// Opens the temporary: 0, or the errno. A fixed name is opened without
// following a link and reused only as a plain file of one name, which is
// this run's once it has the mode and is empty; a unique one is created
// (O_EXCL, so never through a link either) and is this run's at once.
int Replacement::Open() {
    if (bUnique) {
        sTemporary = sPath + kUniqueSuffix;
        iFd = mkostemp(sTemporary.data(), O_CLOEXEC);
        if (iFd < 0) return errno;
        bOwned = true;
        return sys::Fchmod(iFd, uiMode) == 0 ? 0 : errno;
    }
    iFd = sys::Open(sTemporary.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                    uiMode);
    if (iFd < 0) return errno;
    struct stat st {};
    if (fstat(iFd, &st) != 0) return errno;
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return EEXIST;
    if (sys::Fchmod(iFd, uiMode) != 0 || sys::Truncate(iFd, 0) != 0) return errno;
    bOwned = true;
    return 0;
}

int Replacement::Write(const ReplaceWriter &write, ReplaceHook hook) {
    if (int err = Open(); err != 0) return Fail(ReplaceStep::kOpen, err);
    Tell(hook, ReplaceStep::kOpen);
    if (int err = write(iFd); err != 0) return Fail(ReplaceStep::kWrite, err);
    Tell(hook, ReplaceStep::kWrite);
    if (sys::Fsync(iFd) != 0) return Fail(ReplaceStep::kSync, errno);
    Tell(hook, ReplaceStep::kSync);
    const int closed = sys::Close(iFd);
    iFd = -1;
    if (closed != 0) return Fail(ReplaceStep::kClose, errno);
    Tell(hook, ReplaceStep::kClose);
    return 0;
}

int Replacement::Rename() {
    if (sys::Rename(sTemporary.c_str(), sPath.c_str()) != 0) {
        eFailed = ReplaceStep::kRename;
        return errno;
    }
    bKept = true;
    return 0;
}

int SyncFolderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = sys::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = sys::Fsync(fd) == 0 ? 0 : errno;
    sys::Close(fd);
    return err;
}

ReplaceResult ReplaceFile(const std::string &path, const std::string &temporary, mode_t mode,
                          const ReplaceWriter &write, ReplaceHook hook) {
    ReplaceResult result;
    Replacement next(path, temporary, mode);
    result.iError = next.Write(write, hook);
    if (result.iError == 0) result.iError = next.Rename();
    if (result.iError != 0) {
        result.eFailed = next.Failed();
        return result;
    }
    Tell(hook, ReplaceStep::kRename);
    result.bFolderSynced = SyncFolderOf(path) == 0;
    Tell(hook, ReplaceStep::kFolderSync);
    return result;
}

} // namespace zrkplatform
