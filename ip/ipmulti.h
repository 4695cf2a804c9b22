// ipmulti.h - the reply readers of the two commands that answer with one
// result row per session (ipmulti.cpp): what the commands do with a reply
// once it is received, apart from the link, so that they can be run on
// reply texts held in memory.
#ifndef ZRK_IPMULTI_H
#define ZRK_IPMULTI_H

#include "ipaction.h"

#include <cstdint>

namespace zrkip {

// The reply of one concurrent KZP start call (StartCopyConcurrentKzp): the
// status; phase 0 stores the concurrent identifier of line 2 in *concId;
// phase 1 reads nothing more; phase 2 and a restart hand back the row count
// of line 2 in *rowCount and one row per line from line 3 on in *rows
// (allocated, the caller frees it). 0, or -1 with ZRKerrno set and, for
// phase 2 and a restart, *rows NULL and *rowCount 0. name heads the trace
// lines.
int ReadConcReply(const char *name, const Reply &reply, int phase, bool restart,
                  uint32_t *concId, uint32_t *rowCount, CliConcStartResult **rows);

// The reply of one multi-session command (VastrelCli4MultiOpt) for count
// sessions: the status, a row count that must be count, and one row per
// session into table rows 1 to count (row 0 the head row). 0, or -1 with
// ZRKerrno set; rows read before a failure stay filled.
int ReadMultiReply(const char *name, const Reply &reply, int count,
                   CliMultiSessionResult *table);

}  // namespace zrkip

#endif /* ZRK_IPMULTI_H */
