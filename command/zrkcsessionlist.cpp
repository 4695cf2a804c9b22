// Session-list runs: one copy operation of the array's command line for
// every session identifier of a session-list file, sent to the array of the
// LAN alias in ZrkcAccessPath as one multi-session command, with one
// PairResult entry per identifier.
#include "ipaction.h"
#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcmessage.h"

#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>

using namespace zrkc;
using zrkplatform::VelkErrEnd;

namespace {

constexpr uint8_t kApiMultiSession = 71;

// A line holds at most this many characters before its line end, an
// identifier at most this many (leading blanks among them).
constexpr size_t kLineMax = 128;
constexpr size_t kIdMax = 5;

// The identifier of one line cut at its line end: digits after optional
// leading blanks, nothing after them.
bool ParseId(const std::string &text, uint32_t *id) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\v' || text[i] == '\f'))
        ++i;
    if (i == text.size()) return false;
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<uint32_t>(text[i] - '0'); // 5 characters cannot overflow
    }
    *id = value;
    return true;
}

// The command type of each CLI type; -1 for one the run does not know.
int CommandType(int cliType) {
    switch (cliType) {
    case 1: return IP_MULTI_STOP;
    case 10: return IP_MULTI_SUSPEND_VZ;
    case 11: return IP_MULTI_SUSPEND_RVZ;
    case 12: return IP_MULTI_RESUME_VZ;
    case 13: return IP_MULTI_RESUME_RVZ;
    case 14: return IP_MULTI_CHANGE_VZ;
    case 15:
    case 16: return IP_MULTI_CHANGE_RVZ;
    default: return -1;
    }
}

} // namespace

extern "C" int com_get_ses_list_file(const char *file, uint32_t *count, uint32_t *ids, ReturnInfo *ri) {
    constexpr const char *kName = "com_get_ses_list_file";
    velk_trace(6, "%s start. [%d]", kName, __LINE__);
    ReturnInfo scratch{};
    if (zrkc_CheckDir(file, &scratch) != 0) {
        SetResult(ri, Msg::SessionListMissing);
        VelkErrEnd(kName, __LINE__);
        return -1;
    }
    bool notRegular = false;
    const int fd = zrkplatform::OpenRegularFile(file, &notRegular);
    if (fd < 0) {
        if (notRegular || errno == ENOENT)
            SetResult(ri, Msg::SessionListMissing);
        else
            SetResultAs(ri, ZRKC_CLASS_ARRAY, Msg::FileOpen, file, errno);
        VelkErrEnd(kName, __LINE__);
        return -1;
    }
    zrkplatform::FileDescriptor owner(fd);
    zrkplatform::BufferedFile in(fd);
    uint32_t stored = 0;
    std::string line;
    for (int lineNo = 1;; ++lineNo) {
        // The characters of a line end: LF, or CR LF.
        const int c = in.ReadLine(line, kLineMax + 1);
        if (c == zrkplatform::BufferedFile::kEnd && line.empty()) break;
        bool tooLong = c == zrkplatform::BufferedFile::kTooLong;
        if (c == zrkplatform::BufferedFile::kError) {
            SetResultAs(ri, ZRKC_CLASS_ARRAY, Msg::FileOpen, file, in.Error());
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        if (line.size() > kLineMax && line[kLineMax] != '\r') tooLong = true;
        if (!tooLong && (line.empty() || line[0] == '\r')) continue; // an empty line
        const size_t cr = line.find('\r');
        if (cr != std::string::npos) line.resize(cr);
        uint32_t id = 0;
        if (tooLong || line.size() > kIdMax || !ParseId(line, &id)) {
            SetResult(ri, Msg::SessionListSyntax, lineNo);
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        if (stored == ZRKC_SESSION_LIST_MAX) {
            SetResult(ri, Msg::SessionListTooMany);
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        ids[stored++] = id;
        if (c == zrkplatform::BufferedFile::kEnd) break;
    }
    if (stored == 0) {
        SetResult(ri, Msg::SessionListEmpty);
        VelkErrEnd(kName, __LINE__);
        return -1;
    }
    *count = stored;
    velk_trace(6, "%s normal end. [%d]", kName, __LINE__);
    return 0;
}

extern "C" int zrkc_execcli_sessionlist(const char *file, int cliType, int opt, ReturnInfo *ri) {
    constexpr const char *kName = "zrkc_execcli_sessionlist";
    velk_trace_init();
    struct TraceClose {
        ~TraceClose() { velk_trace_term(); }
    } closeTrace;
    auto fail = [&](int line) {
        velk_trace(1, "%s abnormal_end. msg=%s [%d]", kName, ri->caMessage, line);
        return -1;
    };
    if (file == nullptr || ri == nullptr) {
        velk_trace(1, "%s started. parameter null pointer [%d]", kName, __LINE__);
        if (ri == nullptr) return -1;
        SetResult(ri, Msg::ParameterMissing);
        return fail(__LINE__);
    }
    velk_trace(1, "%s started. src=%s, clitype=%d opt=%08x [%d]", kName, file, cliType,
               static_cast<unsigned>(opt), __LINE__);
    ClearResult(SlotOf(ri));
    unsigned char sense[ZRK_SENSE_LEN] = {};
    AliasRecord alias{};

    const int command = CommandType(cliType);
    if (command < 0) {
        SetResult(ri, Msg::InternalInconsistency);
        return fail(__LINE__);
    }
    if (ZrkcAccessPath[0] == '\0') {
        SetResult(ri, Msg::InvalidOption);
        return fail(__LINE__);
    }
    uint32_t apiOption = static_cast<uint32_t>(opt) & ZRKC_OPT_API_MASK;
    if ((apiOption & ZRK_OPT_REMAIN) && cliType != 13) {
        SetResult(ri, Msg::InvalidOption);
        return fail(__LINE__);
    }
    if (cliType == 1 && !(apiOption & ZRK_OPT_FORCE)) apiOption |= ZRK_OPT_STOP_TRACKING;
    if (cliType == 14 || cliType == 15) apiOption |= ZRK_OPT_REVERSE;

    const int found = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, ZrkcAccessPath, &alias, ri);
    if (found == 1) {
        SetResult(ri, Msg::AliasUndefined);
        return fail(__LINE__);
    }
    if (found != 0) return fail(__LINE__);
    if (alias.Main.Direct != 1) {
        SetResult(ri, Msg::ArrayUnregistered);
        return fail(__LINE__);
    }
    if (alias.Main.Interface != ZRKC_ALIAS_IF_LAN) {
        SetResult(ri, Msg::NotForScsi);
        return fail(__LINE__);
    }

    std::unique_ptr<uint32_t[]> ids(new (std::nothrow) uint32_t[ZRKC_SESSION_LIST_MAX]());
    if (!ids) {
        SetNoMemory(ri);
        return fail(__LINE__);
    }
    uint32_t count = 0;
    if (com_get_ses_list_file(file, &count, ids.get(), ri) != 0) return fail(__LINE__);

    // Every identifier gets its entry: the area must have room for them all
    // before the array is asked to do anything.
    const size_t needed = ZRK_PAIR_AREA_SIZE(count);
    if (ri->pPairArea == nullptr || ri->uiPairAreaLength < needed) {
        SetResult(ri, Msg::PairAreaShort);
        ri->uiNeedPairAreaSize = static_cast<uint32_t>(needed);
        velk_trace(1, "%s warning_end. msg=%s [%d]", kName, ri->caMessage, __LINE__);
        return 1;
    }

    std::unique_ptr<CliMultiSessionResult[]> table(new (std::nothrow) CliMultiSessionResult[count + 1]());
    if (!table) {
        SetNoMemory(ri);
        return fail(__LINE__);
    }
    velk_trace(1, "%s WX-API Call started.[%s] [%d]", kName, "VastrelCli4MultiOpt", __LINE__);
    const int r = VastrelCli4MultiOpt(alias.Main.AccessPath, nullptr, static_cast<int>(apiOption), command,
                                      static_cast<int>(count), reinterpret_cast<const int *>(ids.get()),
                                      table.get());
    velk_trace(1, "%s WX-API Call end.[%s] [%d]", kName, "VastrelCli4MultiOpt", __LINE__);
    if (r == -1) {
        com_set_return_inf(kApiMultiSession, file, -1, sense, &ri->iReturnClass, &ri->uiMessageNo,
                           ri->caMessage);
        return fail(__LINE__);
    }

    unsigned char *area = static_cast<unsigned char *>(ri->pPairArea);
    std::memcpy(area, &count, sizeof count);
    PairResult *entries = reinterpret_cast<PairResult *>(area + 4);
    const uint32_t rows = std::min<uint32_t>(table[0].uiCount, count);
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        PairResult &entry = entries[i];
        ClearResult(SlotOf(&entry));
        std::snprintf(entry.caSource, sizeof entry.caSource, "%u", ids[i]);
        entry.caTarget[0] = '\0';
        const CliMultiSessionResult *row = nullptr;
        for (uint32_t k = 1; k <= rows; ++k) {
            if (table[k].uiKindOrID == ids[i]) {
                row = &table[k];
                break;
            }
        }
        if (row == nullptr) {
            SetResult(ri, Msg::InternalInconsistency);
            return fail(__LINE__);
        }
        ZRKerrno = row->iError;
        int32_t returnClass = 0;
        uint32_t messageNo = 0;
        char message[ZRK_MESSAGE_LEN] = {};
        if (com_set_return_inf(kApiMultiSession, file, row->iResult, sense, &returnClass, &messageNo,
                               message) != 0) {
            entry.iReturnClass = returnClass;
            entry.uiMessageNo = messageNo;
            std::memcpy(entry.caMessage, message, ZRK_MESSAGE_LEN);
            ri->iReturnClass = ZRKC_CLASS_SESSION_LIST;
            ri->uiMessageNo = NumberOf(Msg::SessionListLinesFailed);
            ri->caMessage[0] = '\0';
            result = -1;
        }
    }
    velk_trace(1, "%s normal_end. [%d]", kName, __LINE__);
    return result;
}
