// A scratch file for fuzz targets that feed their input to a reader of files:
// it lives in a private temporary folder that is removed when the run ends.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace zrkfuzz {

class ScratchFile {
public:
    // Creates the folder; `name` is the file's name inside it.
    explicit ScratchFile(const char *name) {
        char dir[] = "/tmp/zrkfuzz.XXXXXX";
        if (mkdtemp(dir) == nullptr) std::abort();
        dir_ = dir;
        path_ = dir_ + "/" + name;
    }
    ~ScratchFile() {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    const std::string &path() const { return path_; }

    // Replaces the file's contents; false when they could not all be written.
    bool write(const uint8_t *data, size_t size) const {
        int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        while (size > 0) {
            ssize_t n = ::write(fd, data, size);
            if (n <= 0) break;
            data += n;
            size -= static_cast<size_t>(n);
        }
        close(fd);
        return size == 0;
    }

private:
    std::string dir_;
    std::string path_;
};

}  // namespace zrkfuzz
