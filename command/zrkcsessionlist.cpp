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

void Message(ReturnInfo *ri, int returnClass, uint32_t number, const char *text) {
    SetResult(ri, returnClass, number, "%s", text);
}

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
    const char *notThere = "ZRKC1831 ERROR File does not exist.\n";
    ReturnInfo scratch{};
    if (zrkc_CheckDir(file, &scratch) != 0) {
        Message(ri, ZRKC_CLASS_ARRAY, 1831, notThere);
        VelkErrEnd(kName, __LINE__);
        return -1;
    }
    bool notRegular = false;
    const int fd = zrkplatform::OpenRegularFile(file, &notRegular);
    if (fd < 0) {
        if (notRegular || errno == ENOENT)
            Message(ri, ZRKC_CLASS_ARRAY, 1831, notThere);
        else
            SetResult(ri, ZRKC_CLASS_ARRAY, 1400,
                      "ZRKC1400 ERROR File open error. File name=(%s). Cause=(%d).\n", file, errno);
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
            SetResult(ri, ZRKC_CLASS_ARRAY, 1400,
                      "ZRKC1400 ERROR File open error. File name=(%s). Cause=(%d).\n", file, in.Error());
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        if (line.size() > kLineMax && line[kLineMax] != '\r') tooLong = true;
        if (!tooLong && (line.empty() || line[0] == '\r')) continue; // an empty line
        const size_t cr = line.find('\r');
        if (cr != std::string::npos) line.resize(cr);
        uint32_t id = 0;
        if (tooLong || line.size() > kIdMax || !ParseId(line, &id)) {
            SetResult(ri, ZRKC_CLASS_ARRAY, 1832,
                      "ZRKC1832 ERROR Syntax error was detected in file.line=(%d).\n", lineNo);
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        if (stored == ZRKC_SESSION_LIST_MAX) {
            Message(ri, ZRKC_CLASS_ARRAY, 1835,
                    "ZRKC1835 ERROR The number of the session ids described in the session list file "
                    "exceeds the maximum number.\n");
            VelkErrEnd(kName, __LINE__);
            return -1;
        }
        ids[stored++] = id;
        if (c == zrkplatform::BufferedFile::kEnd) break;
    }
    if (stored == 0) {
        Message(ri, ZRKC_CLASS_ARRAY, 1833, "ZRKC1833 ERROR There is no data in file.\n");
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
        Message(ri, ZRKC_CLASS_PARAMETER, 1008, "ZRKC1008 ERROR Parameter is not specified.\n");
        return fail(__LINE__);
    }
    velk_trace(1, "%s started. src=%s, clitype=%d opt=%08x [%d]", kName, file, cliType,
               static_cast<unsigned>(opt), __LINE__);
    ClearResult(SlotOf(ri));
    unsigned char sense[ZRK_SENSE_LEN] = {};
    AliasRecord alias{};

    const int command = CommandType(cliType);
    if (command < 0) {
        Message(ri, ZRKC_CLASS_INTERNAL, 1201, "ZRKC1201 ERROR Internal inconsistency.\n");
        return fail(__LINE__);
    }
    const char *badOption = "ZRKC1010 ERROR Specified option is invalid.\n";
    if (ZrkcAccessPath[0] == '\0') {
        Message(ri, ZRKC_CLASS_PARAMETER, 1010, badOption);
        return fail(__LINE__);
    }
    uint32_t apiOption = static_cast<uint32_t>(opt) & ZRKC_OPT_API_MASK;
    if ((apiOption & ZRK_OPT_REMAIN) && cliType != 13) {
        Message(ri, ZRKC_CLASS_PARAMETER, 1010, badOption);
        return fail(__LINE__);
    }
    if (cliType == 1 && !(apiOption & ZRK_OPT_FORCE)) apiOption |= ZRK_OPT_STOP_TRACKING;
    if (cliType == 14 || cliType == 15) apiOption |= ZRK_OPT_REVERSE;

    const int found = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, ZrkcAccessPath, &alias, ri);
    if (found == 1) {
        Message(ri, ZRKC_CLASS_STATE, 1107, "ZRKC1107 ERROR Alias is not defined.\n");
        return fail(__LINE__);
    }
    if (found != 0) return fail(__LINE__);
    if (alias.Main.Direct != 1) {
        Message(ri, ZRKC_CLASS_UNREGISTERED, 1600,
                "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n");
        return fail(__LINE__);
    }
    if (alias.Main.Interface != ZRKC_ALIAS_IF_LAN) {
        Message(ri, ZRKC_CLASS_ARRAY, 1037, "ZRKC1037 ERROR This command cannot be executed for SCSI interfaces.\n");
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
        Message(ri, ZRKC_CLASS_PARAMETER, 1015,
                "ZRKC1015 WARNING Expand_error_information_area is insufficient.\n");
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
            Message(ri, ZRKC_CLASS_INTERNAL, 1201, "ZRKC1201 ERROR Internal inconsistency.\n");
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
            ri->uiMessageNo = 1834;
            ri->caMessage[0] = '\0';
            result = -1;
        }
    }
    velk_trace(1, "%s normal_end. [%d]", kName, __LINE__);
    return result;
}
