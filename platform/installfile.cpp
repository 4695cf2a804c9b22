// Reading the installation file through the platform's buffered reader.
#include "installfile.h"

#include "fileread.h"

#include <cstring>

namespace zrkplatform {

namespace {

constexpr size_t kLineMax = 8192; // bytes of a line that count

constexpr const char *kKeyTexts[kInstallKeys] = {"zrkc_etcdir=", "zrkc_optdir=", "zrkc_jredir="};

} // namespace

std::string InstallFileUnder(const std::string &root) {
    return root + "/bin/" + kInstallFileName;
}

const char *InstallKeyText(InstallKey key) { return kKeyTexts[static_cast<size_t>(key)]; }

int ReadInstallFile(int fd, InstallValues &values, const InstallLineSeen &seen) {
    BufferedFile file(fd);
    std::string line;
    for (;;) {
        int end = file.ReadLine(line, kLineMax);
        if (end == BufferedFile::kError) return file.Error();
        if (end == BufferedFile::kEnd && line.empty()) return 0;
        for (size_t k = 0; k < kInstallKeys; ++k) {
            const size_t length = std::strlen(kKeyTexts[k]);
            if (line.compare(0, length, kKeyTexts[k]) != 0) continue;
            // A value is a folder's name: it ends at a NUL byte.
            values.oaValue[k] = std::string(line.c_str() + length);
            if (seen) seen(static_cast<InstallKey>(k), *values.oaValue[k]);
            break;
        }
        // The rest of a line too long is no line of its own.
        while (end == BufferedFile::kTooLong || (end >= 0 && end != '\n')) end = file.Get();
        if (end == BufferedFile::kError) return file.Error();
        if (end == BufferedFile::kEnd) return 0;
    }
}

} // namespace zrkplatform
