// The result rows of the array's multi-session commands on arbitrary reply
// bodies: the stop, suspend, resume and change of several sessions with one
// command (a head row and one row per session) and the concurrent KZP start
// in its phases and its restart (rows of seven or three columns).
//
// The body is split into its lines as the link hands it over (Reply::Split)
// and read by the commands' own reply readers (ipmulti.h), with the status
// line judged against the error catalogue: no connection in the loop.
//
// Input: byte 0 picks the command (0-6 the multi-session commands, 7-9 the
// concurrent start's phases 0-2, 10 its restart), byte 1 the option bits,
// byte 2 the session count (1-8); the rest is the reply body. The option bits
// only shape the command text, which is not built here: byte 1 is kept so
// that the corpus still reads the same.
#include "../ip/ipmulti.h"
#include "fuzz_root.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The reply of a multi-session command for count sessions.
void MultiSession(const zrkip::Reply &reply, size_t count) {
    std::vector<CliMultiSessionResult> table(count + 1);
    ZRKerrno = 0;
    const int rc = zrkip::ReadMultiReply("VastrelCli4MultiOpt", reply, static_cast<int>(count),
                                         table.data());
    if (rc == 0) {
        Check(table[0].uiKindOrID == IP_MULTI_KIND_ROWS && table[0].uiCount == count);
        for (size_t k = 1; k <= count; ++k) {
            Check(table[k].iResult == 0 || table[k].iResult == -1);
            Check(table[k].iResult == 0 || table[k].iError != 0);
        }
    } else {
        Check(rc == -1 && ZRKerrno != 0);
    }
}

// The reply of one concurrent start call in the given phase, or a restart.
void ConcurrentStart(const zrkip::Reply &reply, int phase, bool restart) {
    uint32_t concId = 0x5A5A5A5Au;
    uint32_t rowCount = 0x5A5A5A5Au;
    CliConcStartResult *rows = nullptr;
    ZRKerrno = 0;
    const int rc = zrkip::ReadConcReply("StartCopyConcurrentKzp", reply, phase, restart, &concId,
                                        &rowCount, &rows);
    Check(rc == 0 || (rc == -1 && ZRKerrno != 0));
    if (restart || phase == 2) {
        if (rc == 0) {
            Check(rows != nullptr && rowCount > 0);
            const auto *bytes = reinterpret_cast<const volatile unsigned char *>(rows);
            unsigned sum = 0;
            for (size_t i = 0; i < rowCount * sizeof(CliConcStartResult); ++i) sum += bytes[i];
            (void)sum;
            for (uint32_t i = 0; i < rowCount; ++i) Check(rows[i].uiaReserved[0] == 0);
        } else {
            Check(rows == nullptr && rowCount == 0);
        }
    }
    std::free(rows);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The catalogue the error mapping reads.
    zrkfuzz::InstallRoot::Get().InstallCatalogue(".zrk_errinf_wxapi");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3 || size > 16384) return 0;
    // The body as the link hands it over: the text up to its end, or up to
    // a NUL (which the framing refuses, so no body the link hands over has
    // one).
    const std::string body(reinterpret_cast<const char *>(data + 3),
                           strnlen(reinterpret_cast<const char *>(data + 3), size - 3));
    zrkip::Reply reply;
    ZRKerrno = 0;
    if (reply.Split(body.c_str()) != 0) {
        Check(ZRKerrno != 0);
        return 0;
    }
    const size_t count = data[2] % 8 + 1;
    const int pick = data[0] % 11;
    if (pick < 7) {
        MultiSession(reply, count);
    } else if (pick < 10) {
        ConcurrentStart(reply, pick - 7, false);
    } else {
        ConcurrentStart(reply, 0, true);
    }
    return 0;
}
