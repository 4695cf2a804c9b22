// Records the seed corpora of the in-band fuzz targets: runs each seed's
// selector through the targets' drivers against the array simulator and
// writes down every host call's answer in the fuzz host's record format
// (fuzz_host.h), after the selector. A seed replayed by its target then
// takes the same road through the library as the simulated run did.
//
//   record_inband_seeds ZRKSIM OUTDIR
// ZRKSIM is the simulator daemon of a normal build (build/sim/zrksim);
// OUTDIR receives inband_query/, inband_lists/, inband_volinfo/,
// inband_classic/, inband_extended/ and host_paths/ (fuzz/corpus is where the kept seeds live).
//
// The host calls go to host_sim.cpp, compiled here with its functions
// renamed zrk_sim_*; this file provides the zrk_host_* functions that the
// library calls, and the zrkfuzz::host functions that the drivers call.
#include "fuzz_host.h"
#include "inband_driver.h"
#include "zrkframe.h"
#include "zrkhost.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

extern char **environ;

extern "C" {
int zrk_sim_open(const char *path, int flags);
int zrk_sim_close(int fd);
int zrk_sim_ioctl(int fd, unsigned long request, void *arg);
int zrk_sim_stat(const char *path, struct stat *st);
int zrk_sim_access(const char *path, int mode);
ssize_t zrk_sim_readlink(const char *path, char *buf, size_t size);
ssize_t zrk_sim_read_file(const char *path, char *buf, size_t size);
ssize_t zrk_sim_run(const char *const argv[], char *out, size_t max, int *status);
}

namespace {

using zrkfuzz::host::AppendBe;
using zrkfuzz::host::AppendRecord;

// The host of the seeds: arrays of each kind the library tells apart, their
// sessions, and every kind of device path.
const char kScenario[] = R"(
array A1 boxid="BOX-A1" generations=4 poolsize=yes rvzpages=4 support=00000000EF0000F100000000000000F100000000004B00F10000000000FF10F1
array A2 boxid="BOX-A2" profile=detail
array A3 boxid="BOX-A3" profile=idlist
array A4 boxid="BOX-A4" family=qm
array A5 boxid="BOX-A5" role=2 group=1 partner=A1
volume A1 5 2097152 name=vol5
volume A1 6 2097152 name=vol6
volume A1 7 2097152 name=snap7 olustatus=1
volume A1 8 2097152 name=snap8 olustatus=1
volume A1 9 2097152 name=vol9
volume A2 5 2097152
volume A2 6 2097152
volume A2 7 2097152
volume A3 5 2097152
volume A3 6 2097152
volume A3 7 2097152
volume A4 5 2097152
volume A4 6 2097152
volume A5 5 2097152
volume A5 6 2097152
session 1 vz A1 5 A1 6
session 2 snapkzp+ A1 5 A1 7
session 3 snapkzp+ A1 5 A1 8
session 4 rvz A1 6 A2 6 partner=10
session 5 kzp A1 9 A1 6 status=active
session 6 failover A1 5 A5 5 partner=10
session 1 vz A2 5 A2 6
session 2 kzp A2 5 A2 7
session 1 vz A3 5 A3 6
session 2 kzp A3 5 A3 7
session 1 vz A4 5 A4 6
session 1 vz A5 5 A5 6
rvzbuffer A1 1 type=1 remote=A2 cms=1,2
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 A2 5
disk /dev/sdd 8:48 A3 5
disk /dev/sde 8:64 A4 5
disk /dev/sdf 8:80 A5 5
disk /dev/nvme0n1 259:0 A1 6
partition /dev/nvme0n1p2 259:2 /dev/nvme0n1 4096 8192
dm /dev/mapper/mpatha 253:0 A1 5 table="0 2097152 multipath 0 0 1 1 round-robin 0 1 1 8:16 1"
dm /dev/mapper/lin1 253:1 A1 5 table="0 4096 linear 8:16 2048"
brdlx /dev/brdlx/c1/dsk/vol1:sdb 250:1 out="volume vol1 a b c d 4096 e 1048576"
link /dev/disk/by-id/scsi-BOXA1-5-part1 ../../sdb1
)";

// ---- the recording host layer ----------------------------------------------------

struct Recording {
    bool bOn = false;             // host calls are being written down
    std::string sRecords;         // what they answered
    std::set<int> sOpen;          // descriptors the library holds
    std::string sPayload;         // the next TakePayload's bytes
};

Recording &Rec() {
    static Recording *recording = new Recording;
    return *recording;
}

void Put(int rc, std::string_view payload) {
    if (!Rec().bOn) return;
    AppendRecord(Rec().sRecords, rc < 0 ? errno : 0, rc < 0 ? std::string_view{} : payload);
}

// The payload of an SG_IO answer; data in cut after its last non-zero byte.
std::string SgPayload(const sg_io_hdr_t &h) {
    std::string p;
    p.push_back(static_cast<char>(h.status));
    p.push_back(static_cast<char>(h.host_status));
    p.push_back(static_cast<char>(h.driver_status));
    p.push_back(static_cast<char>(h.sb_len_wr));
    p.append(reinterpret_cast<const char *>(h.sbp), h.sb_len_wr);
    if (h.dxfer_direction == SG_DXFER_FROM_DEV && h.dxferp != nullptr) {
        size_t moved = h.dxfer_len - static_cast<size_t>(h.resid);
        const auto *data = static_cast<const char *>(h.dxferp);
        while (moved > 0 && data[moved - 1] == 0) --moved;
        p.append(data, moved);
    }
    return p;
}

}  // namespace

namespace zrkfuzz::host {

void Feed(const uint8_t *, size_t) {}
int OpenDescriptors() { return static_cast<int>(Rec().sOpen.size()); }
bool TakePayload(std::string_view *payload) {
    *payload = Rec().sPayload;
    if (Rec().bOn) AppendRecord(Rec().sRecords, 0, Rec().sPayload);
    return true;
}

}  // namespace zrkfuzz::host

extern "C" int zrk_host_open(const char *path, int flags) {
    const int fd = zrk_sim_open(path, flags);
    Put(fd, {});
    if (fd >= 0) Rec().sOpen.insert(fd);
    return fd;
}

extern "C" int zrk_host_close(int fd) {
    Rec().sOpen.erase(fd);
    return zrk_sim_close(fd);
}

extern "C" int zrk_host_ioctl(int fd, unsigned long request, void *arg) {
    const int rc = zrk_sim_ioctl(fd, request, arg);
    if (rc < 0) {
        Put(rc, {});
        return rc;
    }
    std::string p;
    if (request == SG_IO) {
        p = SgPayload(*static_cast<sg_io_hdr_t *>(arg));
    } else if (request == ZRK_BRDLX_DIAG_IOCTL) {
        p = SgPayload(*static_cast<sg_io_hdr_t *>(static_cast<ZrkBrdlxPassThrough *>(arg)->pArg));
    } else if (request == HDIO_GETGEO) {
        const auto *g = static_cast<hd_geometry *>(arg);
        AppendBe(p, g->heads, 1);
        AppendBe(p, g->sectors, 1);
        AppendBe(p, g->cylinders, 2);
        AppendBe(p, g->start, 8);
    } else if (request == BLKGETSIZE) {
        AppendBe(p, *static_cast<unsigned long *>(arg), 8);
    }
    Put(rc, p);
    return rc;
}

extern "C" int zrk_host_stat(const char *path, struct stat *st) {
    const int rc = zrk_sim_stat(path, st);
    std::string p;
    if (rc == 0) {
        const unsigned char kind = S_ISBLK(st->st_mode)   ? zrkfuzz::host::kStatBlock
                                   : S_ISCHR(st->st_mode) ? zrkfuzz::host::kStatChar
                                   : S_ISDIR(st->st_mode) ? zrkfuzz::host::kStatDir
                                                          : zrkfuzz::host::kStatRegular;
        p.push_back(static_cast<char>(kind));
        AppendBe(p, major(st->st_rdev), 4);
        AppendBe(p, minor(st->st_rdev), 4);
        AppendBe(p, static_cast<uint64_t>(st->st_size), 8);
    }
    Put(rc, p);
    return rc;
}

extern "C" int zrk_host_access(const char *path, int mode) {
    const int rc = zrk_sim_access(path, mode);
    Put(rc, {});
    return rc;
}

extern "C" ssize_t zrk_host_readlink(const char *path, char *buf, size_t size) {
    const ssize_t n = zrk_sim_readlink(path, buf, size);
    Put(n < 0 ? -1 : 0, n < 0 ? std::string_view{} : std::string_view(buf, static_cast<size_t>(n)));
    return n;
}

extern "C" ssize_t zrk_host_read_file(const char *path, char *buf, size_t size) {
    const ssize_t n = zrk_sim_read_file(path, buf, size);
    Put(n < 0 ? -1 : 0, n < 0 ? std::string_view{} : std::string_view(buf, static_cast<size_t>(n)));
    return n;
}

extern "C" ssize_t zrk_host_run(const char *const argv[], char *out, size_t max, int *status) {
    int wait = 0;
    const ssize_t n = zrk_sim_run(argv, out, max, &wait);
    if (status != nullptr) *status = wait;
    std::string p;
    if (n >= 0) {
        p.push_back(static_cast<char>(WIFEXITED(wait) ? WEXITSTATUS(wait) : 0xFF));
        p.append(out, static_cast<size_t>(n));
    }
    Put(n < 0 ? -1 : 0, p);
    return n;
}

namespace {

using zrkfuzz::inband::Selector;

struct Seed {
    const char *pTarget;              // corpus folder
    const char *pName;                // file name
    zrkfuzz::inband::Driver driver;   // the target's driver
    Selector sel;                     // the input's first bytes
    std::function<std::string()> fPayload; // bytes of the drivers' own record, if any
};

// The detail list of /dev/sdb as page 0x43 reads it, or page 0x24.
std::string ReadPage(unsigned char page, int length) {
    const char *path = zrkfuzz::inband::PathOf(0);
    zrkfuzz::inband::ResetLibrary();
    CheckProduct(path);
    GetSupportCopyInfo(path, nullptr, nullptr);
    std::string reply(static_cast<size_t>(length), '\0');
    const unsigned char id[2] = {0, 0};
    ExecTravoIn(path, 0x01, page, id, reply.data(), length);
    CloseSharedDevice();
    return reply;
}

std::string DetailEntries() {
    std::vector<DETAIL_LIST_INFO> area(ZRK_DETAIL_PAGE_ENTRIES);
    int count = 0;
    zrkfuzz::inband::ResetLibrary();
    const char *path = zrkfuzz::inband::PathOf(0);
    CheckProduct(path);
    GetSupportCopyInfo(path, nullptr, nullptr);
    GetDetailList(path, ZRK_LIST_MODE_ALL, &count, area.data(), ZRK_DETAIL_PAGE_ENTRIES);
    CloseSharedDevice();
    return std::string(reinterpret_cast<const char *>(area.data()),
                       static_cast<size_t>(count) * sizeof(DETAIL_LIST_INFO));
}

std::vector<Seed> Seeds() {
    using namespace zrkfuzz::inband;
    const auto q = DriveQuery;
    const auto l = DriveLists;
    const auto v = DriveVolumeInfo;
    const auto h = DriveHostPaths;
    const auto c = DriveClassic;
    const auto e = DriveExtended;
    return {
        {"inband_query", "vz_pair", q, {0, 0, 0, 0}, {}},
        {"inband_query", "vz_by_id", q, {0, 0, 0x01, 1}, {}},
        {"inband_query", "rvz_by_id", q, {0, 0, 0x01, 4}, {}},
        {"inband_query", "vz_detail", q, {1, 0, 0, 0}, {}},
        {"inband_query", "vz_session", q, {2, 0, 0, 1}, {}},
        {"inband_query", "kzp_by_id", q, {3, 0, 0x01, 5}, {}},
        {"inband_query", "kzp_detail_none", q, {4, 0, 0x08, 0}, {}},
        {"inband_query", "kzp_session", q, {5, 0, 0, 5}, {}},
        {"inband_query", "detail_any", q, {6, 0, 0, 0}, {}},
        {"inband_query", "detail_short_area", q, {6, 0, 0x41, 100}, {}},
        {"inband_query", "snap_generations", q, {7, 0, 0, 0}, {}},
        {"inband_query", "snap_generation_info", q, {8, 0, 0, 0}, {}},
        {"inband_query", "snap_generation_by_id", q, {8, 0, 0x01, 3}, {}},
        {"inband_query", "pool_info", q, {9, 0, 0, 0}, {}},
        {"inband_query", "pool_use", q, {10, 0, 0x01, 2}, {}},
        {"inband_query", "detail_from_list", q, {11, 0, 0, 0}, DetailEntries},
        {"inband_query", "vz_classic_array", q, {0, 2, 0, 0}, {}},
        {"inband_query", "vz_qm_array", q, {0, 4, 0, 0}, {}},
        {"inband_query", "vz_secondary", q, {0, 5, 0, 0}, {}},
        {"inband_query", "vz_through_partition", q, {1, 1, 0, 0}, {}},
        {"inband_lists", "detail_list_all", l, {0, 0, 0x80, 0}, {}},
        {"inband_lists", "detail_list_classic", l, {0, 2, 0, 0}, {}},
        {"inband_lists", "detail_list_small_area", l, {0, 0, 0xC0, 2}, {}},
        {"inband_lists", "detail_page", l, {1, 0, 0, 0}, {}},
        {"inband_lists", "id_list_local_kzp", l, {2, 0, 0, 0}, {}},
        {"inband_lists", "id_list_local_vz", l, {2, 0, 1, 0}, {}},
        {"inband_lists", "id_list_remote_vz", l, {2, 0, 3, 0}, {}},
        {"inband_lists", "id_list_idlist_array", l, {2, 3, 1, 0}, {}},
        {"inband_lists", "id_list_qm", l, {2, 4, 1, 0}, {}},
        {"inband_lists", "tvc_id_list_vz", l, {3, 0, 1, 0}, {}},
        {"inband_lists", "rvz_buffers", l, {4, 0, 0, 0}, {}},
        {"inband_lists", "rvz_buffers_checked", l, {4, 0, 1, 0}, {}},
        {"inband_lists", "classic_vz_detail", l, {5, 2, 1, 1}, {}},
        {"inband_lists", "classic_kzp_detail", l, {5, 3, 0, 2}, {}},
        {"inband_lists", "search_vz_classic", l, {6, 2, 0, 0}, {}},
        {"inband_lists", "search_vz_idlist", l, {6, 3, 0, 0}, {}},
        {"inband_lists", "search_kzp_classic", l, {7, 2, 0, 0}, {}},
        {"inband_lists", "max_sessions_vz", l, {8, 0, 1, 0}, {}},
        {"inband_lists", "max_sessions_qm", l, {8, 4, 1, 0}, {}},
        {"inband_lists", "olu_status", l, {9, 0, 0, 7}, {}},
        {"inband_lists", "olu_status_info", l, {10, 0, 0, 5}, {}},
        {"inband_lists", "lun_information", l, {11, 0, 0, 0}, {}},
        {"inband_lists", "vpd_list", l, {12, 0, 0, 0}, {}},
        {"inband_lists", "vpd_f0", l, {12, 0, 1, 0}, {}},
        {"inband_lists", "vpd_f2", l, {12, 0, 2, 0}, {}},
        {"inband_lists", "check_boxid_remote", l, {13, 0, 2, 0}, {}},
        {"inband_lists", "failover_secondary", l, {14, 5, 0, 0}, {}},
        {"inband_lists", "failover_session", l, {15, 0, 0, 0}, {}},
        {"inband_lists", "swap_to_primary", l, {16, 5, 0, 0}, {}},
        {"inband_lists", "page24_records", l, {17, 0, 0, 1}, [] { return ReadPage(0x24, 4096); }},
        {"inband_lists", "page_per_command", l, {19, 0, 0x40, 64}, {}},
        {"inband_lists", "page_rvz_list", l, {19, 0, 0x21, 80}, {}},
        {"inband_lists", "classic_search_of_list", l, {20, 0, 2, 0}, DetailEntries},
        {"inband_lists", "multi_suspend", l, {18, 0, 0, 1}, {}},
        {"inband_volinfo", "disk", v, {0, 0, 0, 0}, {}},
        {"inband_volinfo", "partition", v, {0, 1, 0, 0}, {}},
        {"inband_volinfo", "classic_array", v, {0, 2, 0, 0}, {}},
        {"inband_volinfo", "qm_array", v, {0, 4, 0, 0}, {}},
        {"inband_volinfo", "secondary", v, {0, 5, 0, 0}, {}},
        {"inband_volinfo", "secondary_no_swap", v, {1, 5, 1, 0}, {}},
        {"inband_volinfo", "multipath", v, {0, 6, 0, 0}, {}},
        {"inband_volinfo", "linear", v, {1, 7, 0, 0}, {}},
        {"inband_volinfo", "volume_manager", v, {0, 8, 0, 0}, {}},
        {"inband_volinfo", "disk_link", v, {1, 9, 0, 0}, {}},
        {"inband_volinfo", "nvme_partition", v, {0, 10, 0, 0}, {}},
        {"inband_volinfo", "block_size", v, {2, 0, 0, 0}, {}},
        {"inband_volinfo", "common_body", v, {3, 0, 0, 0}, {}},
        {"inband_classic", "detail_query_pair", c, {0, 2, 0, 0}, {}},
        {"inband_classic", "detail_query_idlist", c, {0, 3, 0, 0}, {}},
        {"inband_classic", "detail_list", c, {1, 2, 0, 0}, {}},
        {"inband_classic", "detail_from_list", c, {2, 2, 0, 0}, DetailEntries},
        {"inband_classic", "rvz_buffers", c, {3, 0, 0, 0}, {}},
        {"inband_classic", "rvz_buffer_set", c, {4, 0, 0, 1}, {}},
        {"inband_classic", "olu_status", c, {5, 0, 0, 7}, {}},
        {"inband_classic", "list_vz", c, {6, 2, 0, 0}, {}},
        {"inband_classic", "list_vz_idlist", c, {6, 3, 0, 0}, {}},
        {"inband_classic", "list_kzp", c, {7, 2, 0, 0}, {}},
        {"inband_classic", "status_list_vz", c, {8, 2, 0, 0}, {}},
        {"inband_classic", "status_list_vz_idlist", c, {8, 3, 0, 0}, {}},
        {"inband_classic", "count_info", c, {9, 2, 0, 0}, {}},
        {"inband_classic", "volume_info", c, {10, 2, 0, 0}, {}},
        {"inband_classic", "volume_info_qm", c, {10, 4, 1, 0}, {}},
        {"inband_classic", "volume_list", c, {11, 2, 0, 0}, {}},
        {"inband_classic", "volume_const_info", c, {12, 2, 0, 0}, {}},
        {"inband_classic", "remote_boxids", c, {13, 2, 0, 0}, {}},
        {"inband_classic", "remote_boxids_qm", c, {13, 4, 0, 0}, {}},
        {"inband_classic", "query_vz", c, {14, 2, 0, 0}, {}},
        {"inband_classic", "query_vz_qm", c, {14, 4, 0, 0}, {}},
        {"inband_classic", "query_vz_detail", c, {15, 3, 0, 0}, {}},
        {"inband_classic", "query_vz_session", c, {16, 2, 0, 1}, {}},
        {"inband_classic", "query_kzp", c, {17, 2, 0, 0}, {}},
        {"inband_classic", "query_kzp_detail", c, {18, 2, 0, 2}, {}},
        {"inband_classic", "query_kzp_session", c, {19, 3, 0, 2}, {}},
        {"inband_classic", "multi_suspend", c, {20, 2, 0, 0}, {}},
        {"inband_extended", "device_inquiry", e, {0, 0, 0, 0}, {}},
        {"inband_extended", "device_box", e, {0, 0, 1, 0}, {}},
        {"inband_extended", "device_support", e, {0, 0, 2, 0}, {}},
        {"inband_extended", "logical_unit", e, {1, 0, 0, 0}, {}},
        {"inband_extended", "olu_status_list", e, {2, 0, 0, 5}, {}},
        {"inband_extended", "olu_status_list_pages", e, {2, 0, 3, 0}, {}},
        {"inband_extended", "olu_protect", e, {3, 0, 1, 6}, {}},
        {"inband_extended", "rvz_buffers", e, {4, 0, 0, 0}, {}},
        {"inband_extended", "rvz_buffers_classic", e, {4, 2, 0, 0}, {}},
        {"inband_extended", "copy_priority", e, {5, 0, 0, 0}, {}},
        {"inband_extended", "copy_priority_set", e, {6, 0, 0, 2}, {}},
        {"inband_extended", "copy_priority_partner", e, {6, 0, 0x07, 0}, {}},
        {"inband_extended", "volume_lite", e, {7, 0, 0, 0}, {}},
        {"inband_extended", "volume_lite_ex", e, {7, 1, 1, 0}, {}},
        {"host_paths", "whole_disk_of_partition", h, {0, 1, 0, 0}, {}},
        {"host_paths", "whole_disk_of_link", h, {0, 9, 0, 0}, {}},
        {"host_paths", "whole_disk_nvme", h, {0, 10, 0, 0}, {}},
        {"host_paths", "device_number_brdlx", h, {1, 8, 0, 0}, {}},
        {"host_paths", "extent_partition", h, {2, 1, 0, 0}, {}},
        {"host_paths", "extent_brdlx", h, {2, 8, 0, 0}, {}},
        {"host_paths", "extent_lv_linear", h, {3, 7, 0, 0}, {}},
        {"host_paths", "extent_lv_multipath", h, {3, 6, 0, 0}, {}},
        {"host_paths", "extent_lv_link", h, {3, 9, 0, 0}, {}},
        {"host_paths", "vtoc_partition", h, {4, 1, 0, 0}, {}},
        {"host_paths", "vtoc_capacity", h, {4, 0, 0x80, 0}, {}},
        {"host_paths", "brxinfo", h, {5, 8, 0, 0}, {}},
        {"host_paths", "dmsetup_linear", h, {6, 7, 0, 0}, {}},
        {"host_paths", "sysfs_partition", h, {7, 1, 0, 0}, {}},
        {"host_paths", "sysfs_nvme", h, {7, 10, 0, 0}, {}},
        {"host_paths", "sysfs_disk", h, {7, 0, 0, 0}, {}},
        {"host_paths", "access_brdlx", h, {8, 8, 0, 0}, {}},
        {"host_paths", "inquiry", h, {9, 0, 0, 96}, {}},
        {"host_paths", "inquiry_whole_disk_fallback", h, {9, 1, 0, 96}, {}},
        {"host_paths", "inquiry_pass_through", h, {9, 8, 0, 96}, {}},
        {"host_paths", "travo_in_check_condition", h, {9, 0, 0x81, 64}, {}},
        {"host_paths", "older_transport", h, {10, 0, 0, 96}, {}},
    };
}

// Starts the simulator on the scenario; its pid, or -1.
pid_t StartSimulator(const char *daemon, const std::string &scenario, const std::string &socket) {
    std::vector<std::string> args = {daemon, "--scenario", scenario, "--socket", socket};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, daemon, nullptr, nullptr, argv.data(), environ) != 0) return -1;
    for (int i = 0; i < 100; ++i) {
        struct stat st {};
        if (stat(socket.c_str(), &st) == 0) return pid;
        usleep(50000);
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ZRKSIM OUTDIR\n", argv[0]);
        return 2;
    }
    zrkfuzz::inband::PrepareInstallRoot();
    char dir[] = "/tmp/zrkfuzz_record.XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    const std::string scenario = std::string(dir) + "/seeds.scn";
    const std::string socket = std::string(dir) + "/sim.sock";
    std::ofstream(scenario) << kScenario;
    const pid_t sim = StartSimulator(argv[1], scenario, socket);
    if (sim < 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        unlink(scenario.c_str());
        rmdir(dir);
        return 1;
    }
    setenv("ZRK_SIM_SOCKET", socket.c_str(), 1);

    int failed = 0;
    for (const Seed &seed : Seeds()) {
        Recording &rec = Rec();
        rec.sPayload = seed.fPayload ? seed.fPayload() : std::string();
        zrkfuzz::inband::ResetLibrary();
        rec.sRecords.assign({static_cast<char>(seed.sel.ucFunction),
                             static_cast<char>(seed.sel.ucPath),
                             static_cast<char>(seed.sel.ucVariant),
                             static_cast<char>(seed.sel.ucArg)});
        rec.bOn = true;
        seed.driver(seed.sel);
        CloseSharedDevice();
        rec.bOn = false;
        const std::string folder = std::string(argv[2]) + "/" + seed.pTarget;
        mkdir(folder.c_str(), 0755);
        std::ofstream out(folder + "/" + seed.pName, std::ios::binary);
        out << rec.sRecords;
        if (!out) ++failed;
        std::printf("%-16s %-30s %6zu bytes, ZRKerrno %d\n", seed.pTarget, seed.pName,
                    rec.sRecords.size(), ZRKerrno);
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    unlink(scenario.c_str());
    rmdir(dir);
    return failed == 0 ? 0 : 1;
}
