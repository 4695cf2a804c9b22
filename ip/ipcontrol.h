/*
 * ipcontrol.h - the road that every single-session control and stop
 * function of the out-of-band API follows (ipcontrol.cpp), shared with the
 * stops (ipstop.cpp):
 *
 *   public entry    call frame, option mask and capabilities, the request by
 *                   copy pair (IPCheckParam, IPMakeReq) or by session
 *                   identifier (SrcOLU, 55 above 0xFFFF), the member's own
 *                   checks, ReqMark, CopyType and CopyAttr;
 *   internal part   BoxID check (by pair), capability gate on the request,
 *                   lookup (IPQueryTvc), checks on the found session, the
 *                   session identifier and one array command.
 *
 * A member describes only what differs; both halves are written once here.
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPCONTROL_H
#define ZRK_IPCONTROL_H

#include <cstdint>

#include "ipframe.h"
#include "ipsession.h"

namespace zrkipctl {

// Option bits the road itself reads.
constexpr uint32_t kByIdBit = 0x4;          // session named by its identifier in SrcOLU
constexpr uint32_t kMaxSessionId = 0xFFFF;  // above: 55
constexpr int kErrBadSessionId = 55;
constexpr int kErrNotSupported = 17;
constexpr int kErrOption = 37;
constexpr int kErrSequence = 39;
constexpr int kErrNoSession = 21;
constexpr int kLookupShowFlags = 0x80;  // show flags of every lookup
constexpr int kRefreshCopy = 5;         // own BoxID, no RVZ buffer count

// The copy-function record of the common data, as the array reported it.
using Caps = zrkipframe::CopyFunctions;

// 0, or -1 with ZRKerrno set to error.
inline int Refuse(int error) {
    ZRKerrno = error;
    return -1;
}

inline bool Remote(const IPCopyReq &req) {
    return (req.CopyAttr & ZRK_IPATTR_REMOTE) != 0;
}
inline bool RemoteRow(const CliCopySession &row) {
    return (row.ucAttr & ZRK_IPATTR_REMOTE) != 0;
}

// ---- the public half --------------------------------------------------------------

using InternalFn = int (*)(const char *, const char *, uint32_t, IPCopyReq *);

// What one public function adds to the road.
struct Member {
    int traceId;       // identifier of the trace
    const char *name;  // trace name, the function's name
    uint32_t mask;     // allowed option bits
    bool wideOption;   // "OptionFlag=0x%08x" in the first parameter line
    int checkOption;   // CheckOption of IPCheckParam by pair
    uint8_t copyType;  // IPCopyReq.CopyType
    uint8_t copyAttr;  // CopyAttr bits ORed into the request
    // The member's own checks once the request is built (byId tells the
    // path); 0, or -1 with ZRKerrno. May be null.
    int (*checks)(uint32_t option, const IPCopyReq &req, bool byId);
    InternalFn internal;
};

// The argument list of a public copy function (the parameter names of
// ZRKIP_COPY_ARGS) as one record.
#define ZRKIPCTL_COPY_ARGS                                                              \
    (zrkipframe::CopyArgs{ip, user, SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low,  \
                          SrcSize_high, SrcSize_low, DstBoxID, DstOLU, DstExtAddr_high, \
                          DstExtAddr_low, CopyInterval, OptionFlag})

// The whole public function: frame, checks, request, internal function.
int RunMember(const Member &member, const zrkipframe::CopyArgs &args, unsigned char *sense);

// ---- the internal half ------------------------------------------------------------

// What one internal function adds to the road.
struct Steps {
    const char *name;  // trace name
    int paramLevel;    // level of "IPaddress=%s, OptionFlag=0x%02x"
    // Capability gate on the request (17); null: none.
    int (*gate)(const Caps &caps, uint32_t option, const IPCopyReq &req);
    // Option word handed to IPQueryTvc.
    uint32_t (*lookupOption)(uint32_t option);
    // Checks on the found session (status, second gate, its kind); null: none.
    int (*found)(const Caps &caps, uint32_t option, const IPCopyReq &req,
                 const CliCopySession &row);
    // true: the identifier that names the session to this array (SrcOLU by
    // identifier, the second identifier of a remote row that this array
    // knows by it); false: always the found row's uiSessionID.
    bool pairIdentifier;
    // The array command for the session.
    int (*command)(const char *ip, const char *user, uint32_t option, const CliCopySession &row,
                   int sessionId);
};

// The internal function: trace, BoxID check, gate, lookup, checks, command.
int RunInternal(const Steps &steps, const char *ip, const char *user, uint32_t option,
                IPCopyReq *req);

// The identifier to send for a session found for req.
uint32_t SessionIdFor(uint32_t option, const IPCopyReq &req, const CliCopySession &row);

}  // namespace zrkipctl

#endif /* ZRK_IPCONTROL_H */
