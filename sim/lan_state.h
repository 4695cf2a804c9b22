// What the LAN front keeps between requests: the logins per array address,
// the scripted answers and delays for the next requests, the request log and
// the concurrent starts the arrays are assembling.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zrksim {

// A scripted answer for the next LAN requests.
struct LanFault {
    enum class Kind { Reply, Raw, Drop };
    Kind kind = Kind::Reply;
    std::string bytes;     // Reply: the body; Raw: the bytes sent as they are
    long lCut = -1;        // Drop: reply bytes sent before the close, -1 header and half the body
    int iCount = 1;        // requests still to answer this way

    std::string describe() const;
};

// One session prepared by a part of a concurrent start, as the part
// described it (its row names it even when the session is gone).
struct ConcurrentMember {
    std::uint16_t usId = 0;           // the prepared identifier
    std::uint32_t uiSrcOlu = 0;
    std::uint32_t uiDstOlu = 0;
    std::uint64_t ullSrcExtent = 0;   // blocks
    std::uint64_t ullDstExtent = 0;
};

// A concurrent start that an array is assembling: it ends with its last part,
// or is discarded (sessions rolled back) by a refused part or by any other
// command the array receives first.
struct ConcurrentStart {
    std::string array;                        // the array that prepares it
    std::vector<ConcurrentMember> members;    // in the order of the parts
};

struct LanDelay {
    long lMs = 0;          // milliseconds each reply waits
    int iCount = 1;        // requests still to delay
};

struct LanState {
    int iPort = -1;                                 // listening port, -1 when no LAN front
    bool bStopRequested = false;                    // a stop request was answered
    bool bStopped = false;                          // the listener is closed
    std::map<std::string, std::string> logins;      // host -> account logged in
    std::vector<LanFault> faults;                   // in the order given
    std::vector<LanDelay> delays;                   // in the order given
    std::vector<std::string> log;                   // every request, bytes as received
    std::map<std::uint32_t, ConcurrentStart> concurrent;  // concurrent-start identifier -> its sessions
    std::uint32_t uiNextConcurrent = 1;             // next concurrent-start identifier

    // Drops scripted answers, delays, the log, logins and concurrent starts.
    void reset() {
        logins.clear();
        faults.clear();
        delays.clear();
        log.clear();
        concurrent.clear();
        uiNextConcurrent = 1;
    }
};

}  // namespace zrksim
