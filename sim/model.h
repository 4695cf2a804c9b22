// The simulator's model: the arrays with their volumes, and the host that
// sees them (device nodes, files, links, programs and their answers). The
// fronts read it; the scenario parser builds it.
#pragma once

#include "sessions.h"
#include "support.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zrksim {

constexpr std::size_t kBoxIdLen = 40;

// Volume types as the command-line interface reports them ("show volumes").
namespace voltype {
constexpr std::uint8_t kOpen = 1;
constexpr std::uint8_t kSnapData = 4;      // snap data volume
constexpr std::uint8_t kSnapDataPool = 5;  // snap data pool volume
constexpr std::uint8_t kThin = 6;          // thin provisioning volume
}  // namespace voltype

// State word of a snap data volume.
namespace sdvstate {
constexpr std::uint32_t kInitializing = 0x40000000u;
constexpr std::uint32_t kBusy = 0x60000000u;  // initialising, or otherwise busy
}  // namespace sdvstate

struct Volume {
    std::uint32_t uiOlu = 0;      // OLU number inside the array
    std::uint64_t ullBlocks = 0;  // size in 512-byte blocks
    std::string name;             // the volume's name
    std::uint8_t ucAttr = 0;      // attribute byte of the LU information page
    int iRole = -1;               // failover role for page 0xF2, -1: the array's
    int iGroup = -1;              // failover group for page 0xF2, -1: the array's
    std::uint8_t ucOluStatus = 0; // byte 4 of the OLU status record (page 0x31)
    bool bCopyProtection = false; // copy protection set through the command-line interface
    std::uint8_t ucType = voltype::kOpen;  // volume type
    std::uint32_t uiSdvStatus = 0;         // snap data volume: state word
    bool bInitializing = false;            // an initialisation started on the clock is running
    std::uint64_t ullInitEnd = 0;          //   and ends at this clock value
    bool bTier = false;                    // a tier volume: "set volume" refuses it

    bool snapData() const { return ucType == voltype::kSnapData; }
};

// An RVZ buffer of an array (pages 0x21, 0x23, 0x24).
struct RvzBuffer {
    std::uint8_t ucId = 0;              // buffer identifier
    std::uint16_t usType = 1;           // 1 send, 2 receive
    std::string remote;                 // remote array, by name ("" none)
    std::uint16_t usInterval = 0;       // forwarding interval
    std::uint32_t uiMonitor = 0;        // monitoring time
    std::vector<std::uint16_t> cms;     // controller-module identifiers
    std::uint32_t uiSize = 0;           // buffer size ("show rvz-buffer", "show rvz-buffer-usage")
    std::uint32_t uiUsed = 0;           // used part of it
    std::vector<std::uint32_t> rlus;    // disk buffer: its logical units, none: no disk buffer
    std::uint64_t ullDiskSize = 0;      // disk-buffer size
    std::uint64_t ullDiskUsed = 0;      // data stored in the disk buffer
};

// Bytes laid over an answer: the standard INQUIRY data or a VPD page.
struct Patch {
    int iPage = -1;                    // -1 standard INQUIRY, else the VPD page code
    std::size_t offset = 0;            // first byte patched
    std::vector<std::uint8_t> bytes;   // the bytes
};

struct Array {
    std::string name;                  // the scenario's name of the array
    std::string boxId;                 // exactly 40 bytes
    std::string vendor = "KORVALE";    // INQUIRY vendor identification
    std::string product = "WX900";     // INQUIRY product identification
    std::string revision = "0100";     // INQUIRY product revision
    std::string family = "main";       // array family
    bool bVendorPages = true;          // offers VPD pages 0xF0 and 0xF2
    bool bCopyFunctions = true;        // page 0xF0 byte 26 bit 0x08
    bool bBoxInfo = true;              // page 0xF0 byte 26 bit 0x20
    std::uint8_t ucRole = 0;           // page 0xF2 byte 88
    std::uint8_t ucGroup = 0;          // page 0xF2 byte 89
    std::map<std::uint32_t, Volume> volumes;  // by OLU
    std::vector<Patch> patches;        // in scenario order

    // Copy functions.
    std::string profile = "paged";     // profile that preset the support bytes
    SupportBytes support{};            // TRAVO IN page 0x00 bytes 8-39
    std::array<std::uint8_t, 8> qmSupport{0x03, 0, 0, 0, 0, 0, 0, 0};  // QM page 0x02 bytes 8-15
    std::array<std::uint16_t, 4> maxSessions{16, 1024, 16, 1024};  // in OLU, all OLUs, MLU, all MLUs
    std::uint16_t usPerCommand = 64;   // sessions per command (page 0x40)
    std::uint16_t usGenerations = 16;  // maximum SnapKZP+ generation count (page 0x45)
    // The maxima "show copy-functions" reports instead of the second and
    // fourth maxsessions values and generations when set (lanmaxima=): 32 bits,
    // so that a LAN reply can name more than the SCSI pages' 16 bits.
    std::array<std::uint32_t, 3> lanMaxima{};
    bool bLanMaxima = false;
    std::uint16_t usRvzBuffers = 8;    // maximum number of RVZ buffers (page 0x21)
    std::uint8_t ucRvzPages = 0x03;    // page 0x21 byte 15: pages 0x23, 0x24, long 0x24
    std::string partner;               // the other array of its storage cluster
    std::vector<std::string> remotes;  // arrays listed by page 0x20
    std::map<std::uint8_t, RvzBuffer> rvzBuffers;  // by identifier
    std::uint8_t ucRvzDetail = 0x02;   // RVZ buffer detail flags ("show copy-functions"), 0x02 disk buffers
    std::uint32_t uiCopyFlags = 0;     // last number of "show copy-functions"
    std::array<std::uint8_t, 10> modelInfo{};  // the numbers of "show model-info"

    // Sessions on the clock and the snap data pool.
    std::uint64_t ullRate = 262144;    // blocks a copying session copies per second
    std::uint64_t ullWriteRate = 0;    // blocks hosts write to each session's source per second
    std::uint64_t ullReserveTime = 300;  // seconds a reserved identifier lives, 0 for ever
    std::uint64_t ullPool = 16777216;  // snap data pool capacity in blocks
    std::uint64_t ullPoolUsed = 0;     // pool blocks in use besides the snapshot sessions
    std::uint64_t ullSdvInit = 60;     // seconds an initialisation of a snap data volume takes

    // The LAN front.
    std::vector<std::string> addresses;  // host addresses that reach its command-line interface

    bool qm() const { return family == "qm"; }
};

enum class NodeKind { Disk, Partition, DeviceMapper, Brdlx, Diag };

struct Geometry {
    unsigned uiHeads = 255;     // HDIO_GETGEO heads
    unsigned uiSectors = 63;    // sectors per track
    unsigned uiCylinders = 0;   // cylinders (16 bits on the wire)
};

struct Node {
    NodeKind kind = NodeKind::Disk;
    std::string path;            // /dev/sdb
    unsigned uiMajor = 0;        // device number
    unsigned uiMinor = 0;
    std::string array;           // reached volume (disk, dm), by array name
    std::uint32_t uiOlu = 0;     //   and OLU
    std::uint64_t ullStart = 0;  // partition start in blocks (0 otherwise)
    std::uint64_t ullSize = 0;   // BLKGETSIZE answer in blocks
    Geometry geo;                // HDIO_GETGEO answer
    std::string disk;            // partition: its disk node; brdlx: /dev/DISK
};

struct File {
    std::string content;   // what read_file gives
    bool bProgram = false; // executable (can be run)
};

// The answer of running one argument vector.
struct CommandAnswer {
    std::vector<std::string> lines;  // standard output, one entry per line
    int iExit = 0;                   // exit code
};

// The role and state of a LAN account, as "show users" lists it.
struct Account {
    std::string role = "Software";  // column 1
    std::uint32_t uiState = 1;      // column 2: 1 enabled
    std::uint32_t uiFlags = 0;      // column 3 (flags=)
};

struct Model {
    std::uint64_t ullClockStart = 0;           // clock value the scenario sets
    std::map<std::string, Array> arrays;       // by name
    std::map<std::string, Node> nodes;         // by path
    std::map<std::string, File> files;         // by path (sysfs, programs)
    std::map<std::string, std::string> links;  // path -> target as written
    std::map<std::vector<std::string>, CommandAnswer> commands;  // by argv
    std::vector<Session> sessions;             // copy sessions of all arrays
    std::map<std::string, std::string> users;  // LAN accounts: name -> password (none: any login)
    std::map<std::string, Account> accounts;   // role and state of each of users

    // What a path names once links are followed.
    enum class Kind { None, Node, File, Dir };
    struct Lookup {
        Kind kind = Kind::None;
        std::string path;  // the resolved path
        int err = 0;       // ENOENT, ELOOP when kind is None
    };
    Lookup resolve(const std::string &path) const;
    // Whether any declared path lies below this one.
    bool isDir(const std::string &path) const;
    const Node *node(const std::string &resolvedPath) const;
    // The node that reaches a volume and carries this device number.
    const Node *volumeNodeByDevice(unsigned major, unsigned minor) const;
    // The array and volume a node reaches; false for nodes without one.
    bool volumeOf(const Node &node, const Array **array, const Volume **volume) const;
    // One-line description of each part, for the control command dump.
    std::vector<std::string> describe() const;
};

// The BoxID of the named array, blanks when the model has no such array.
std::string boxIdOf(const Model &model, const std::string &array);

// A path with duplicate and trailing slashes, "." and ".." removed.
std::string normalizePath(const std::string &path);

}  // namespace zrksim
