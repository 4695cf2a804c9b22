// "show users": the array's user accounts, one CliUser per reply line, in a
// newly allocated array that the caller releases with free().
#include "ipshow_users.h"

#include "ipshow_volumes.h"
#include "platform.h"

#include <climits>
#include <cstdlib>

using namespace zrkip;

namespace {

constexpr char kName[] = "ShowUsers";

using U = CliUser;

// Columns 0 to 3 of a reply line; further columns are traced "default".
const Column kColumns[] = {
    ZRK_SHOW_TEXT(U, caUserName),  // 0
    ZRK_SHOW_TEXT(U, caRole),      // 1
    ZRK_SHOW_HEX32(U, uiStatus),   // 2
    ZRK_SHOW_HEX32(U, uiCol3),     // 3
};
static_assert(sizeof kColumns / sizeof kColumns[0] == IP_USER_MIN_COLUMNS, "user columns");

const Table kTable = {kName, kColumns, IP_USER_MIN_COLUMNS, sizeof(U), IP_USER_MIN_COLUMNS,
                      nullptr, nullptr};

}  // namespace

namespace zrkip {

const char kShowUsersCommand[] = "show users";

int ParseUsers(const Reply &reply, int *count, CliUser **rows) {
    *rows = nullptr;
    *count = 0;
    uint32_t records = 0;
    const int head = reply.Head(kName, &records);
    // The announced count goes to the caller at once, when it is an int.
    if (records <= INT_MAX) *count = static_cast<int>(records);
    if (head != 0) return -1;
    if (records == 0) return 0;
    // Head has seen a line for every row, so the count is bounded by the
    // reply's size.
    Freed<U> made(static_cast<U *>(std::calloc(records, sizeof(U))));
    if (made == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (uint32_t j = 0; j < records; ++j) {
        if (ScanRecord(kTable, reply.Record(j), &made.get()[j]) != 0) return -1;
    }
    *rows = made.release();
    return 0;
}

int ParseUsersText(const char *text, int *count, CliUser **rows) {
    if (count == nullptr || rows == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    *rows = nullptr;
    *count = 0;
    return SplitAndParse(text, [&](const Reply &reply) { return ParseUsers(reply, count, rows); });
}

}  // namespace zrkip

extern "C" int ShowUsers(const char *cpIPaddress, const char *user, int *count, CliUser **rows) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] ", Safe(cpIPaddress));
    if (count == nullptr || rows == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    *rows = nullptr;
    *count = 0;
    return RunQuery(
        kName, cpIPaddress, user,
        [](std::string *command) {
            *command = kShowUsersCommand;
            return 0;
        },
        [&](const Reply &reply) { return ParseUsers(reply, count, rows); });
}
