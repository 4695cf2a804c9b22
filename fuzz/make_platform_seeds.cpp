// Writes the seed corpora of the fuzz targets that read the library's own
// files, from what the library itself writes:
//   make_platform_seeds OUTDIR
// OUTDIR receives volname_store/, trace_files/, install_file/ and
// devicelist/ (fuzz/corpus is where the kept seeds live).
#include "fuzz_root.h"
#include "volname.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string gOut;

std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Seed(const std::string &target, const std::string &name, const std::string &bytes) {
    mkdir((gOut + "/" + target).c_str(), 0755);
    if (!zrkfuzz::WriteFile(gOut + "/" + target + "/" + name, bytes)) {
        std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
        std::exit(1);
    }
}

std::string Box(const char *text) {
    std::string id = text;
    id.resize(ZRK_BOXID_LEN, ' ');
    return id;
}

// A store of the given records, as the writers lay it out (sorted, the
// unused slots zero).
std::string Store(int capacity, std::vector<VolInfRecord> records) {
    std::sort(records.begin(), records.end(), [](const VolInfRecord &a, const VolInfRecord &b) {
        return sort_vols(&a, &b) < 0;
    });
    const VolInfHeader head{capacity, static_cast<int32_t>(records.size())};
    std::string bytes(reinterpret_cast<const char *>(&head), sizeof head);
    records.resize(static_cast<size_t>(capacity));
    bytes.append(reinterpret_cast<const char *>(records.data()), records.size() * sizeof(VolInfRecord));
    return bytes;
}

VolInfRecord Record(const char *box, int32_t key1, int32_t key5, const char *name, int refs) {
    VolInfRecord r{};
    std::memcpy(r.caBoxId, Box(box).data(), ZRK_BOXID_LEN);
    r.iKey[0] = key1;
    r.iKey[1] = 2;
    r.iKey[2] = 3;
    r.iKey[3] = 4;
    r.iKey[4] = key5;
    std::strncpy(r.caName, name, sizeof r.caName - 1);
    r.iRefCount = refs;
    return r;
}

void VolnameSeeds(const zrkfuzz::InstallRoot &root) {
    // The key byte of fuzz_volname_store, then the store.
    const std::string key0(1, '\0');
    Seed("volname_store", "one_record", key0 + Store(1, {Record("BOX-A1", 0, 0, "/dev/sdb", 1)}));
    Seed("volname_store", "full_two", key0 + Store(2, {Record("BOX-A1", 0, 0, "/dev/sdb", 2),
                                                        Record("BOX-A2", 1, -1, "/dev/sdc1", 1)}));
    Seed("volname_store", "room_left", std::string(1, '\x04') +
                                           Store(3, {Record("BOX-A2", 0, 0, "/dev/mapper/mpatha", 1)}));
    Seed("volname_store", "empty_file", key0);
    // A store as set_volname makes it.
    const std::string path = root.Etc(ZRK_VOLINF_FILE);
    unlink(path.c_str());
    set_volname("/dev/sdb", Box("BOX-A1").c_str(), 0, 2, 3, 4, 0);
    set_volname("/dev/sdc", Box("BOX-A1").c_str(), 1, 2, 3, 4, 0);
    Seed("volname_store", "written_by_library", key0 + ReadWhole(path));
    unlink(path.c_str());
}

void TraceSeeds(const zrkfuzz::InstallRoot &root) {
    const std::string dir = root.Root() + "/trc";
    mkdir(dir.c_str(), 0700);
    zrkfuzz::WriteFile(root.Etc("velkapi_trcdef.ini"),
                                    "[TRACEDEFINE]\npath=" + dir + "\nsize=1\ngen=2\nmax=2\n[FUZZ]\nlevel=3\n");
    TraceHandle handle{};
    ZRKC_OpenTrace(&handle, "FUZZ");
    ZRKC_OutputTrace(&handle, 1, 1, 2, 1, 5, "START");
    ZRKC_CloseTrace(&handle);
    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d)) {
            if (e->d_name[0] != '.') files.emplace_back(e->d_name);
        }
        closedir(d);
    }
    for (const std::string &name : files) {
        const std::string bytes = ReadWhole(dir + "/" + name);
        if (name == "velk_trcmng.def") {
            Seed("trace_files", "management_file", std::string("\x02\x10", 2) + bytes);
        } else {
            Seed("trace_files", "trace_file_one_record", std::string("\x03\x10", 2) + bytes);
        }
    }
    // After a rotation: the management file names the next generation.
    ZRKC_OpenTrace(&handle, "FUZZ");
    static const std::string kText(900, 'r');
    for (int i = 0; i < 3; ++i) ZRKC_OutputTrace(&handle, 1, 1, 2, 1, static_cast<int>(kText.size()), kText.data());
    ZRKC_CloseTrace(&handle);
    Seed("trace_files", "management_file_rotated",
         std::string("\x04\x80", 2) + ReadWhole(dir + "/velk_trcmng.def"));
}

void TextSeeds() {
    Seed("install_file", "installer", "zrkc_optdir=/opt/QRVNzrkc\nzrkc_etcdir=/etc/opt/QRVNzrkc\n");
    Seed("install_file", "etc_only", "zrkc_etcdir=/var/tmp/zrkc/etc\n");
    Seed("install_file", "no_etc", "zrkc_optdir=/opt/QRVNzrkc\n");
    Seed("install_file", "no_newline", "zrkc_etcdir=/etc/opt/QRVNzrkc");
    Seed("install_file", "long_etc", "zrkc_etcdir=/" + std::string(1000, 'e') + "\n");
    const std::string a1 = Box("BOX-A1");
    Seed("devicelist", "registered", a1 + "<devices>\n<device boxid=\"" + a1 + "\" name=\"A1\"/>\n</devices>\n");
    Seed("devicelist", "other_array", a1 + "<devices>\n<device boxid=\"" + Box("BOX-A2") + "\"/>\n</devices>\n");
    Seed("devicelist", "two_on_a_line", a1 + "<device boxid='" + Box("BOX-A2") + "'/><device boxid='" + a1 + "'/>\n");
    Seed("devicelist", "cut_short", a1 + "<device boxid=\"BOX-A1   ");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    gOut = argv[1];
    mkdir(gOut.c_str(), 0755);
    const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
    VolnameSeeds(root);
    TraceSeeds(root);
    TextSeeds();
    return 0;
}
