// The trace definition reader on arbitrary bytes. Input: one byte giving the
// length of the trace name (0 to 40), the name, then the definition file.
// The file lives in a temporary installation root made at start-up; the
// reader's results must stay within their documented ranges, and the trace
// file names formed from them must stay within their buffers.
#include "fuzz_file.h"
#include "sysio.h"
#include "trace_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string gRoot;
std::string gDefinition;

void write_file(const std::string &path, const void *data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    if (size != 0 && zrkplatform::sys::WriteAll(fd, data, size, 0) != 0) std::abort();
    close(fd);
}

void remove_root() {
    unlink(gDefinition.c_str());
    unlink((gRoot + "/bin/.zrkc_install.sys").c_str());
    rmdir((gRoot + "/bin").c_str());
    rmdir((gRoot + "/etc").c_str());
    rmdir(gRoot.c_str());
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    gRoot = zrkfuzz::MakeScratchDir("fuzz_trace_definition");
    if (mkdir((gRoot + "/bin").c_str(), 0700) != 0 || mkdir((gRoot + "/etc").c_str(), 0700) != 0) {
        std::abort();
    }
    const std::string install = "zrkc_etcdir=" + gRoot + "/etc\n";
    write_file(gRoot + "/bin/.zrkc_install.sys", install.data(), install.size());
    setenv("QRVNZRKC_PATH", gRoot.c_str(), 1);
    char path[zrkplatform::trace::kFileNameLen];
    if (zrkplatform::trace::K8TQ_com_traceinifile(path, sizeof path) != 0) std::abort();
    gDefinition = path;
    std::atexit(remove_root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    size_t nameLen = data[0] % 41;
    if (nameLen > size - 1) nameLen = size - 1;
    const std::string name(reinterpret_cast<const char *>(data + 1), nameLen);
    write_file(gDefinition, data + 1 + nameLen, size - 1 - nameLen);

    zrkplatform::trace::TraceDefinition def;
    check(zrkplatform::trace::ReadTraceDefinition(gDefinition.c_str(), name, def) == 0);
    check(def.uiSizeKb >= 1 && def.uiSizeKb <= zrkplatform::trace::kMaxSizeKb);
    check(def.uiGen >= 1 && def.uiGen <= zrkplatform::trace::kMaxGenerations);
    check(def.uiMax >= 1 && def.uiMax <= zrkplatform::trace::kMaxSlots);
    check(def.uiLevel <= 5);
    check(def.uiPathLen < sizeof def.caPath && def.caPath[def.uiPathLen] == '\0');

    // A management file as a new open would build it, and the names of the
    // last slot's last generation and of an oversize file.
    if (def.uiPathLen == 0 || def.uiPathLen > zrkplatform::trace::kMaxDirLen) return 0;
    unsigned char mng[zrkplatform::trace::kMngFileSize] = {};
    std::memcpy(mng, def.caPath, def.uiPathLen);
    zrkplatform::trace::Put32(mng, zrkplatform::trace::kMngSizeOff, def.uiSizeKb * 1024u);
    zrkplatform::trace::Put32(mng, zrkplatform::trace::kMngMaxOff, def.uiMax);
    zrkplatform::trace::Put32(mng, zrkplatform::trace::kMngGenOff, def.uiGen);
    zrkplatform::trace::Put32(mng, zrkplatform::trace::kMngSlotOff, def.uiMax);
    zrkplatform::trace::Put32(mng, zrkplatform::trace::kMngOversizeOff, zrkplatform::trace::kMaxOversize);
    check(zrkplatform::trace::ManagementHeaderValid(mng, def.uiSizeKb * 1024u) == (def.caPath[0] != '\0'));
    TraceHandle handle {};
    handle.uiSlot = def.uiMax;
    handle.uiGeneration = def.uiGen;
    handle.pMngMap = mng;
    char fileName[zrkplatform::trace::kFileNameLen];
    for (int type = 1; type <= 3; ++type) {
        check(zrkplatform::trace::TracecomGetTraceFileName(&handle, type, fileName, sizeof fileName) == 0);
        check(std::strlen(fileName) < sizeof fileName);
    }
    return 0;
}
