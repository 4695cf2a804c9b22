// Fault switches and the records the control interface reads back: the
// daemon's state beside the model.
#pragma once

#include "lan_state.h"
#include "model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrksim {

enum class FaultKind { Sense, Status, Transport, Errno };

struct Fault {
    FaultKind kind = FaultKind::Errno;
    std::string op;                 // Errno: the host call it fails
    std::string path;               // only calls naming this path; empty: any
    unsigned long ulRequest = 0;    // Errno on ioctl: only this request; 0: any
    int iSkip = 0;                  // matching calls let through first
    int iCount = 0;                 // matching calls that fail after those
    int iSeen = 0;                  // matching calls counted so far
    std::uint8_t ucKey = 0, ucAsc = 0, ucAscq = 0;  // Sense
    std::uint8_t ucStatus = 0;                      // Status
    std::uint8_t ucHost = 0, ucDriver = 0;          // Transport
    int iErrno = 0;                                 // Errno
    int iOutPage = -1;              // SCSI: only TRAVO OUT lists of this page; -1: any command
    int iInPage = -1;               // SCSI: only TRAVO IN commands of this page; -1: any command

    std::string describe() const;
};

class FaultTable {
public:
    void add(const Fault &fault) { faults_.push_back(fault); }
    void clear() { faults_.clear(); }
    std::vector<std::string> describe() const;

    // A host call `op` on `path` (and, for ioctl, `request`): the errno it
    // must fail with, 0 when none.
    int hostCall(const std::string &op, const std::string &path, unsigned long request);
    // A SCSI command that reached `path` (through `via`, or ""): the fault
    // that decides its answer, if any.
    std::optional<Fault> scsiCommand(const std::string &path, const std::string &via,
                                     const std::vector<std::uint8_t> &cdb,
                                     const std::vector<std::uint8_t> &dataOut);

private:
    template <typename Match>
    std::optional<Fault> fire(Match match);
    std::vector<Fault> faults_;
};

// Bytes laid over the next replies of one TRAVO IN page (hostile replies).
struct Corruption {
    int iPage = 0;                     // page code
    std::string array;                 // only this array's replies; empty: any
    std::size_t offset = 0;            // first byte patched
    std::vector<std::uint8_t> bytes;   // the bytes
    int iSkip = 0;                     // matching replies let through first
    int iCount = 1;                    // matching replies patched after those
    int iSeen = 0;                     // matching replies counted so far

    std::string describe() const;
};

class CorruptionTable {
public:
    void add(const Corruption &c) { table_.push_back(c); }
    void clear() { table_.clear(); }
    std::vector<std::string> describe() const;
    // Patches a reply of `page` built by `array` when a corruption is due.
    void apply(const std::string &array, int page, std::vector<std::uint8_t> &reply);

private:
    std::vector<Corruption> table_;
};

// One SCSI command as received.
struct CdbRecord {
    std::string path;                 // node that answered
    std::string via;                  // node it came through, or ""
    std::vector<std::uint8_t> cdb;    // CDB
    std::vector<std::uint8_t> dataOut;// bytes to the device
};

// Everything the daemon holds.
struct SimState {
    Model model;
    std::uint64_t ullClock = 0;        // virtual seconds
    FaultTable faults;
    CorruptionTable corruptions;       // hostile TRAVO IN replies
    LanState lan;                      // the LAN front
    std::vector<CdbRecord> cdbLog;     // since the last clearlog
    std::vector<std::string> calls;    // host calls since the last clearcalls
    bool bStop = false;                // shutdown requested

    // Replaces the model; faults and logs go, the clock starts again.
    void reset(Model next);
};

// The ioctl requests the host front knows, by the names the logs use.
constexpr unsigned long kSgIo = 0x2285;
constexpr unsigned long kBrdlxDiag = 0x737800;
constexpr unsigned long kHdioGetgeo = 0x0301;
constexpr unsigned long kBlkGetSize = 0x1260;
constexpr unsigned long kBlkRrPart = 0x125F;
std::string requestName(unsigned long request);
unsigned long requestFromName(const std::string &name);  // 0 when unknown

// Errno names the control interface accepts ("EIO"), and back.
int errnoFromName(const std::string &name);  // -1 when unknown
std::string errnoName(int err);

}  // namespace zrksim
