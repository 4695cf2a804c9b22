// Scratch files for the fuzz targets that feed their input to a reader of
// files. They live in a private folder in memory (/dev/shm, else /tmp): a
// file rewritten for every run must not cost a disk write.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace zrkfuzz {

// Makes a new private folder whose name starts with prefix; aborts when it
// cannot.
inline std::string MakeScratchDir(const char *prefix) {
    struct stat st {};
    const bool shm = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0;
    std::string pattern = std::string(shm ? "/dev/shm/" : "/tmp/") + prefix + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}

// Replaces a file's contents; false when they could not all be written.
inline bool WriteFile(const std::string &path, const void *data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n <= 0) break;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
    return size == 0;
}

inline bool WriteFile(const std::string &path, const std::string &text) {
    return WriteFile(path, text.data(), text.size());
}

// One scratch file in a folder of its own, removed when it goes out of scope.
class ScratchFile {
public:
    // Creates the folder; `name` is the file's name inside it.
    explicit ScratchFile(const char *name) : sDir(MakeScratchDir("zrkfuzz")), sPath(sDir + "/" + name) {}
    ~ScratchFile() {
        unlink(sPath.c_str());
        rmdir(sDir.c_str());
    }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    const std::string &Path() const { return sPath; }

    // Replaces the file's contents; false when they could not all be written.
    bool Write(const uint8_t *data, size_t size) const { return WriteFile(sPath, data, size); }

private:
    std::string sDir;
    std::string sPath;
};

}  // namespace zrkfuzz
