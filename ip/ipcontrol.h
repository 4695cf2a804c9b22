/*
 * ipcontrol.h - the road that every single-session control and stop
 * function of the out-of-band API follows (ipcontrol.cpp), shared with the
 * stops (ipstop.cpp):
 *
 *   public entry    call frame, option mask and capabilities, the request by
 *                   copy pair (IPCheckParam, IPMakeReq) or by session
 *                   identifier (SrcOLU, ZRK_ERR_SESSION_ID above 0xFFFF), the
 *                   member's own checks, ReqMark, CopyType and CopyAttr;
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

namespace zrkip {

constexpr uint32_t kMaxSessionId = 0xFFFF;          // above: ZRK_ERR_SESSION_ID
constexpr int kLookupShowFlags = IP_SHOW_FLAG_MODE;  // show flags of every lookup

// The copy-function record of the common data, as the array reported it.
using Caps = CopyFunctions;

// The lookup by copy pair, or by identifier with ZRK_OPT_SESSION_ID.
inline uint32_t PairOrId(uint32_t option) { return option & ZRK_OPT_SESSION_ID; }

// Any of the option bits `bits` set.
inline bool Set(uint32_t option, uint32_t bits) { return (option & bits) != 0; }


// ---- the public half --------------------------------------------------------------

using InternalFn = int (*)(const char *, const char *, uint32_t, IPCopyReq *);

// What one public function adds to the road.
struct Member {
    int iTraceId;               // identifier of the trace
    const char *pName;          // trace name, the function's name
    uint32_t uiMask;            // allowed option bits
    bool bWideOption;           // "OptionFlag=0x%08x" in the first parameter line
    int iCheckOption;           // CheckOption of IPCheckParam by pair
    uint8_t ucCopyType;         // IPCopyReq.CopyType
    uint8_t ucCopyAttr;         // CopyAttr bits ORed into the request
    // The member's own checks once the request is built (byId tells the
    // path); 0, or -1 with ZRKerrno. May be null.
    int (*pChecks)(uint32_t option, const IPCopyReq &req, bool byId);
    InternalFn pInternal;       // the internal function
};

// The whole public function: frame, checks, request, internal function.
int RunMember(const Member &member, const CopyArgs &args, unsigned char *sense);

// ---- the internal half ------------------------------------------------------------

// What one internal function adds to the road.
struct Steps {
    const char *pName;       // trace name
    int iParamLevel;         // level of "IPaddress=%s, OptionFlag=0x%02x"
    // Capability gate on the request (ZRK_ERR_NOT_SUPPORT); null: none.
    int (*pGate)(const Caps &caps, uint32_t option, const IPCopyReq &req);
    // Option word handed to IPQueryTvc.
    uint32_t (*pLookupOption)(uint32_t option);
    // Checks on the found session (status, second gate, its kind); null: none.
    int (*pFound)(const Caps &caps, uint32_t option, const IPCopyReq &req,
                  const CliCopySession &row);
    // true: the identifier that names the session to this array (SrcOLU by
    // identifier, the second identifier of a remote row that this array
    // knows by it); false: always the found row's uiSessionID.
    bool bPairIdentifier;
    // The array command for the session.
    int (*pCommand)(const char *ip, const char *user, uint32_t option, const CliCopySession &row,
                    int sessionId);
};

// The internal function: trace, BoxID check, gate, lookup, checks, command.
int RunInternal(const Steps &steps, const char *ip, const char *user, uint32_t option,
                IPCopyReq *req);

// The identifier to send for a session found for req.
uint32_t SessionIdFor(uint32_t option, const IPCopyReq &req, const CliCopySession &row);

}  // namespace zrkip

#endif /* ZRK_IPCONTROL_H */
