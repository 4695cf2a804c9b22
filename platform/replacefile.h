// Replacing a file whole: the new contents go into a temporary file beside
// it, which is synced, closed and renamed over the file, and then the folder
// is synced. Whatever instant the process dies, the file is the old one or the
// new one; a reader never sees half of either.
//
// The temporary is created without following a symbolic link, with exactly
// the mode asked (whatever the umask), and is named one of two ways:
// - a fixed name, for a store whose writers take the store's lock first: only
//   the lock holder writes it, and a plain file of one name left there by a
//   writer that died is written anew; anything else there (a link, a second
//   name of another file, a folder) is refused with EEXIST and left alone;
// - a name of this run's own (the file's name and six characters), for
//   writers that take no lock: two runs at once never write the same one.
// A run removes and renames only a temporary that it opened itself.
//
// Standalone: it uses only the retrying system calls, so that the programs
// link it as well as the library.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>

namespace zrkplatform {

// Whether two stats are of one file.
inline bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The steps of a replacement, in order. A step hook is told each one when it
// is done (the crash tests kill a writer there); a failure names the one that
// could not be done.
enum class ReplaceStep {
    kOpen,       // the temporary is open, empty and of the mode asked
    kWrite,      // the new contents are in it
    kSync,       // they are on disk
    kClose,      // it is closed
    kRename,     // it has replaced the file: from here the change is made
    kFolderSync, // the rename is on disk (told after the attempt, done or not)
};

using ReplaceHook = void (*)(ReplaceStep step);

// Fills the open temporary: 0, or an errno.
using ReplaceWriter = std::function<int(int fd)>;

// The temporary file of one replacement, removed when the object goes unless
// it was renamed or kept.
class Replacement {
public:
    // The temporary of a new version of the file at path: the fixed name
    // temporary, or with an empty one a name of this run's own beside path.
    Replacement(std::string path, std::string temporary, mode_t mode);
    ~Replacement();
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

    // Opens the temporary, lets write fill it, syncs and closes it, telling
    // hook (when set) each step done. 0, or the errno of the failed step
    // (Failed() names it) with any temporary this run opened removed.
    int Write(const ReplaceWriter &write, ReplaceHook hook = nullptr);
    // Renames the written temporary over the file: 0, or the errno (the
    // temporary stays for the destructor to remove).
    int Rename();
    // Leaves the temporary where it is when the object goes: it is a part
    // of a change that the caller finishes.
    void Keep() { bKept = true; }

    ReplaceStep Failed() const { return eFailed; }
    const std::string &Temporary() const { return sTemporary; }

private:
    int Open();
    int Fail(ReplaceStep step, int error);

    std::string sPath;        // the file replaced
    std::string sTemporary;   // its temporary (once named, for a unique one)
    bool bUnique;             // the temporary gets a name of this run's own
    mode_t uiMode;            // the mode of the new file
    int iFd = -1;             // the temporary while it is open
    bool bOwned = false;      // this run opened the temporary
    bool bKept = false;       // renamed, or kept for the caller
    ReplaceStep eFailed = ReplaceStep::kOpen; // the step that failed
};

// Syncs the folder that holds path, so that a rename in it is on disk: 0, or
// the errno.
int SyncFolderOf(const std::string &path);

// What ReplaceFile did.
struct ReplaceResult {
    int iError = 0;                            // errno of the failed step; 0: the file is replaced
    ReplaceStep eFailed = ReplaceStep::kOpen;  // the failed step, when iError is set
    bool bFolderSynced = false;                // the folder was synced after the rename
};

// Replaces the file at path with what write puts into the temporary (named
// as for Replacement), of the given mode: write, sync, close, rename over
// path, sync the folder, telling hook each step. A failure up to the rename
// leaves the file as it was and no temporary of this run behind; a failed
// sync of the folder after the rename is no failure (the change is made),
// only bFolderSynced false.
ReplaceResult ReplaceFile(const std::string &path, const std::string &temporary, mode_t mode,
                          const ReplaceWriter &write, ReplaceHook hook = nullptr);

} // namespace zrkplatform
