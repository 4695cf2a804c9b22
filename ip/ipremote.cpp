// The remote arrays an array reaches by its RVZ paths, and the check of an
// array account for the LAN login: ZRKIPGetRemoteBoxIDList and
// ZRKIPCheckUsers with their internals.
#include "ipremote.h"

#include "ipaction.h"
#include "ipframe.h"
#include "ipshow_rvzpath.h"
#include "ipshow_volumes.h"
#include "platform.h"

#include <cstring>
#include <new>
#include <vector>

using namespace zrkip;

namespace {

constexpr int kRemoteListId = 1002;
constexpr int kCheckUsersId = 1031;

constexpr char kListName[] = "IPGetRemoteBoxIDList";
constexpr char kCheckName[] = "IPCheckUsers";

// The prologue of the remote list: the copy functions and the own BoxID.
constexpr int kRemoteListRefresh = IP_REFRESH_BOXID | IP_REFRESH_FUNCS;

// Errors of a reply to "test authentication" that could not be read.
bool Unreadable(int error) {
    return error == ZRK_ERR_REPLY_NUMBER || error == ZRK_ERR_REPLY_INCOMPLETE ||
           error == ZRK_ERR_REPLY_BAD_NUMBER;
}

// The text of a fixed field up to its first zero byte, never past width.
size_t FieldLength(const char *field, size_t width) {
    const void *zero = std::memchr(field, '\0', width);
    return zero == nullptr ? width : static_cast<size_t>(static_cast<const char *>(zero) - field);
}

// A field that holds exactly text: the text is shorter than the field, and
// the field ends right after it.
bool FieldIs(const char *field, size_t width, const char *text) {
    const size_t length = std::strlen(text);
    return length < width && FieldLength(field, width) == length &&
           std::memcmp(field, text, length) == 0;
}

}  // namespace

// ---- pieces -------------------------------------------------------------------------

namespace zrkip {

bool FillRemoteBoxIDList(const unsigned char *ownBox, const unsigned char *boxes, size_t rows,
                         unsigned char *list) {
    if (rows > IP_REMOTE_PATH_ROWS) return false;
    std::memset(list, 0, IP_REMOTE_LIST_LEN);
    std::memcpy(list, ownBox, ZRK_BOXID_LEN);
    list[IP_REMOTE_COUNT_AT] = static_cast<unsigned char>(rows);
    for (size_t i = 0; i < rows; ++i) {
        std::memcpy(list + IP_REMOTE_HEAD_LEN + IP_REMOTE_ENTRY_LEN * i,
                    boxes + ZRK_BOXID_LEN * i, ZRK_BOXID_LEN);
    }
    return true;
}

void CutRemoteBoxIDList(const unsigned char *list, unsigned char *out) {
    std::memcpy(out, list, IP_REMOTE_LIST_OUT_LEN);
    if (out[IP_REMOTE_COUNT_AT] > IP_REMOTE_OUT_ENTRIES) {
        TraceText(2, "INFO", kListName, "%u remote arrays, %d handed out",
                  static_cast<unsigned>(out[IP_REMOTE_COUNT_AT]), IP_REMOTE_OUT_ENTRIES);
        out[IP_REMOTE_COUNT_AT] = IP_REMOTE_OUT_ENTRIES;
    }
}

bool CommandWord(const char *text) {
    if (text == nullptr || text[0] == '\0') return false;
    for (const char *c = text; *c != '\0'; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u <= ' ' || u == 0x7F || u == '"') return false;
    }
    return true;
}

bool AccountUsable(const CliUser &row, const char *user) {
    return user != nullptr && FieldIs(row.caUserName, sizeof row.caUserName, user) &&
           FieldIs(row.caRole, sizeof row.caRole, IP_ROLE_SOFTWARE) &&
           row.uiStatus == IP_USER_ENABLED;
}

}  // namespace zrkip

// ---- the remote BoxID list ------------------------------------------------------------

extern "C" int IPGetRemoteBoxIDList(const char *ip, const char *user, uint32_t OptionFlag,
                                    unsigned char *List) {
    TraceText(1, "INFO", kListName, "START");
    TraceText(3, "INFO", kListName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (List == nullptr) return TraceEnd(1, kListName, FailWith(ZRK_ERR_PARAMETER));

    if (!CopyFunctions().Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) {
        return TraceEnd(1, kListName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    unsigned char own[ZRK_BOXID_LEN];
    IPCtrlCommonData(IP_COMMON_BOXID_GET, own);

    try {
        std::vector<unsigned char> boxes(size_t{IP_REMOTE_PATH_ROWS} * ZRK_BOXID_LEN, 0);
        int rows = 0;
        if (ShowRvzPath(ip, user, &rows, reinterpret_cast<char *>(boxes.data()), IP_REMOTE_PATH_ROWS) != 0) {
            return TraceEnd(1, kListName, -1);
        }
        std::vector<unsigned char> list(IP_REMOTE_LIST_LEN, 0);
        if (rows < 0 || !FillRemoteBoxIDList(own, boxes.data(), static_cast<size_t>(rows),
                                             list.data())) {
            TraceText(1, "ERR", kListName, " path rows %d, room %d ", rows, IP_REMOTE_PATH_ROWS);
            return TraceEnd(1, kListName, FailWith(ZRK_ERR_REPLY_INCOMPLETE));
        }
        std::memcpy(List, list.data(), list.size());
        TraceData(3, kListName, list.data(), static_cast<int>(list.size()));
    } catch (const std::bad_alloc &) {
        return TraceEnd(1, kListName, FailWith(ZRK_ERR_NO_MEMORY));
    }
    return TraceEnd(1, kListName, 0);
}

extern "C" int ZRKIPGetRemoteBoxIDList(const char *ip, const char *user, uint32_t OptionFlag,
                                       unsigned char *RemoteBoxIDList,
                                       unsigned char *SenseData) {
    CallFrame frame(kRemoteListId, "ZRKIPGetRemoteBoxIDList", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    // The list is the one output; without it nothing is asked.
    if (RemoteBoxIDList == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPComInfoCheckSet(ip, user, OptionFlag, 0, kRemoteListRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    unsigned char out[IP_REMOTE_LIST_OUT_LEN];
    try {
        std::vector<unsigned char> list(IP_REMOTE_LIST_LEN, 0);
        if (IPGetRemoteBoxIDList(ip, user, OptionFlag, list.data()) != 0) {
            frame.SenseAgain();
            return frame.Finish(-1);
        }
        CutRemoteBoxIDList(list.data(), out);
    } catch (const std::bad_alloc &) {
        return frame.Finish(FailWith(ZRK_ERR_NO_MEMORY));
    }
    std::memcpy(RemoteBoxIDList, out, sizeof out);
    frame.Dump(2, out, static_cast<int>(sizeof out));
    return frame.Finish(0);
}

// ---- the account check ----------------------------------------------------------------

extern "C" int IPCheckUsers(const char *ip, const char *user, const char *Password,
                            uint32_t OptionFlag) {
    TraceText(1, "INFO", kCheckName, "START");
    TraceText(3, "INFO", kCheckName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    // Both travel as words of the command text.
    if (!CommandWord(user) || !CommandWord(Password)) {
        TraceText(1, "ERR", kCheckName, "user name or password not one word");
        return TraceEnd(1, kCheckName, FailWith(ZRK_ERR_PARAMETER));
    }

    int code = 0;
    if (TestAuthentication(ip, user, Password, &code) != 0) {
        if (Unreadable(ZRKerrno)) {
            TraceText(1, "ERR", kCheckName, "authentication reply unreadable (%d)", ZRKerrno);
            ZRKerrno = ZRK_ERR_ACCOUNT_UNCHECKED;
        }
        return TraceEnd(1, kCheckName, -1);
    }
    TraceText(3, "INFO", kCheckName, "account code %d", code);
    if (code == IP_ACCOUNT_REFUSED) {
        return TraceEnd(1, kCheckName, FailWith(ZRK_ERR_ACCOUNT_UNUSABLE));
    }

    int count = 0;
    CliUser *raw = nullptr;
    if (ShowUsers(ip, user, &count, &raw) != 0) return TraceEnd(1, kCheckName, -1);
    const Freed<CliUser> rows(raw);
    for (int j = 0; j < count && rows != nullptr; ++j) {
        if (AccountUsable(rows.get()[j], user)) return TraceEnd(1, kCheckName, 0);
    }
    TraceText(1, "ERR", kCheckName, "no enabled %s account of that name among %d",
              IP_ROLE_SOFTWARE, count);
    return TraceEnd(1, kCheckName, FailWith(ZRK_ERR_ACCOUNT_MISSING));
}

extern "C" int ZRKIPCheckUsers(const char *ip, const char *user, const char *Password,
                               uint32_t OptionFlag, unsigned char *SenseData) {
    // Any caller may check an account: there is no root check here.
    CallFrame frame(kCheckUsersId, "ZRKIPCheckUsers", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (OptionFlag != 0) return frame.Finish(FailWith(ZRK_ERR_OPTION));
    if (IPCheckUsers(ip, user, Password, OptionFlag) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
