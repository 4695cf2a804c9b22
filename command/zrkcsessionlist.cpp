// Session-list runs: one copy operation of the array's command line for
// every session identifier of a session-list file, sent to the array of the
// LAN alias in ZrkcAccessPath as one multi-session command, with one
// PairResult entry per identifier.
#include "ipaction.h"
#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"

#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>

using namespace zrkc;

namespace {

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
    case ZRKC_CLI_STOP: return IP_MULTI_STOP;
    case ZRKC_CLI_SUSPEND_VZ: return IP_MULTI_SUSPEND_VZ;
    case ZRKC_CLI_SUSPEND_RVZ: return IP_MULTI_SUSPEND_RVZ;
    case ZRKC_CLI_RESUME_VZ: return IP_MULTI_RESUME_VZ;
    case ZRKC_CLI_RESUME_RVZ: return IP_MULTI_RESUME_RVZ;
    case ZRKC_CLI_REVERSE_VZ: return IP_MULTI_CHANGE_VZ;
    case ZRKC_CLI_REVERSE_RVZ:
    case ZRKC_CLI_CHANGE_RVZ: return IP_MULTI_CHANGE_RVZ;
    default: return -1;
    }
}

} // namespace

extern "C" int com_get_ses_list_file(const char *file, uint32_t *count, uint32_t *ids, ReturnInfo *ri) {
    constexpr const char *kName = "com_get_ses_list_file";
    TraceStart(kName);
    ReturnInfo scratch{};
    if (zrkc_CheckDir(file, &scratch) != 0) {
        SetResult(ri, Msg::SessionListMissing);
        return ErrorEnd(kName);
    }
    bool notRegular = false;
    const int fd = zrkplatform::OpenRegularFile(file, &notRegular);
    if (fd < 0) {
        if (notRegular || errno == ENOENT)
            SetResult(ri, Msg::SessionListMissing);
        else
            SetResultAs(ri, ZRKC_CLASS_ARRAY, Msg::FileOpen, file, errno);
        return ErrorEnd(kName);
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
            return ErrorEnd(kName);
        }
        if (line.size() > kLineMax && line[kLineMax] != '\r') tooLong = true;
        if (!tooLong && (line.empty() || line[0] == '\r')) continue; // an empty line
        const size_t cr = line.find('\r');
        if (cr != std::string::npos) line.resize(cr);
        uint32_t id = 0;
        if (tooLong || line.size() > kIdMax || !ParseId(line, &id)) {
            SetResult(ri, Msg::SessionListSyntax, lineNo);
            return ErrorEnd(kName);
        }
        if (stored == ZRKC_SESSION_LIST_MAX) {
            SetResult(ri, Msg::SessionListTooMany);
            return ErrorEnd(kName);
        }
        ids[stored++] = id;
        if (c == zrkplatform::BufferedFile::kEnd) break;
    }
    if (stored == 0) {
        SetResult(ri, Msg::SessionListEmpty);
        return ErrorEnd(kName);
    }
    *count = stored;
    return NormalEnd(kName);
}

extern "C" int zrkc_execcli_sessionlist(const char *file, int cliType, int opt, ReturnInfo *ri) {
    CommandCall call("zrkc_execcli_sessionlist", ri);
    // Without a result record there is no message to end with.
    if (ri == nullptr) {
        TraceNullOperand(call.Name());
        return -1;
    }
    if (call.Open(file) != 0) return -1;
    TraceLine(kTraceStep, {}, "%s started. src=%s, clitype=%d opt=%08x", call.Name(), file, cliType,
              static_cast<unsigned>(opt));
    AliasRecord alias{};

    const int command = CommandType(cliType);
    if (command < 0) {
        SetResult(ri, Msg::InternalInconsistency);
        return call.Fail();
    }
    if (ZrkcAccessPath[0] == '\0') {
        SetResult(ri, Msg::InvalidOption);
        return call.Fail();
    }
    uint32_t apiOption = static_cast<uint32_t>(opt) & ZRKC_OPT_API_MASK;
    if ((apiOption & ZRK_OPT_REMAIN) && cliType != ZRKC_CLI_RESUME_RVZ) {
        SetResult(ri, Msg::InvalidOption);
        return call.Fail();
    }
    if (cliType == ZRKC_CLI_STOP && !(apiOption & ZRK_OPT_FORCE)) apiOption |= ZRK_OPT_STOP_TRACKING;
    if (cliType == ZRKC_CLI_REVERSE_VZ || cliType == ZRKC_CLI_REVERSE_RVZ) apiOption |= ZRK_OPT_REVERSE;

    const int found = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, ZrkcAccessPath, &alias, ri);
    if (found == 1) {
        SetResult(ri, Msg::AliasUndefined);
        return call.Fail();
    }
    if (found != 0) return call.Fail();
    if (alias.Main.Direct != 1) {
        SetResult(ri, Msg::ArrayUnregistered);
        return call.Fail();
    }
    if (alias.Main.Interface != ZRKC_ALIAS_IF_LAN) {
        SetResult(ri, Msg::NotForScsi);
        return call.Fail();
    }

    Owned<uint32_t> ids = Cleared<uint32_t>(ZRKC_SESSION_LIST_MAX);
    if (!ids) return call.NoMemory();
    uint32_t count = 0;
    if (com_get_ses_list_file(file, &count, ids.get(), ri) != 0) return call.Fail();

    // Every identifier gets its entry: the area must have room for them all
    // before the array is asked to do anything.
    if (!CommandCall::PairAreaHolds(ri, count)) return call.Warn();

    Owned<CliMultiSessionResult> table = Cleared<CliMultiSessionResult>(size_t{count} + 1);
    if (!table) return call.NoMemory();
    call.TraceApiStart(Op::SessionListRun);
    const int r = VastrelCli4MultiOpt(alias.Main.AccessPath, nullptr, static_cast<int>(apiOption), command,
                                      static_cast<int>(count), reinterpret_cast<const int *>(ids.get()),
                                      table.get());
    call.TraceApiEnd(Op::SessionListRun);
    const uint8_t id = IdOf(Op::SessionListRun);
    if (r == -1) {
        call.MapResult(0, id, file, -1);
        return call.Fail();
    }

    CommandCall::SetEntryCount(ri, count);
    const CliMultiSessionResult *rows = table.get();
    const uint32_t listed = std::min<uint32_t>(rows[0].uiCount, count);
    bool failed = false;
    for (uint32_t i = 0; i < count; ++i) {
        PairResult &entry = *CommandCall::EntryOf(ri, i);
        ClearResult(SlotOf(&entry));
        std::snprintf(entry.caSource, sizeof entry.caSource, "%u", ids.get()[i]);
        entry.caTarget[0] = '\0';
        const CliMultiSessionResult *row = nullptr;
        for (uint32_t k = 1; k <= listed; ++k) {
            if (rows[k].uiKindOrID == ids.get()[i]) {
                row = &rows[k];
                break;
            }
        }
        if (row == nullptr) {
            SetResult(ri, Msg::InternalInconsistency);
            return call.Fail();
        }
        // The row's result as the entry's own; a failed session leaves the
        // run's 1834 (without a message line) in the result record.
        ZRKerrno = row->iError;
        if (com_set_return_inf(id, file, row->iResult, call.Sense(), &entry.iReturnClass,
                               &entry.uiMessageNo, entry.caMessage) != 0) {
            ri->iReturnClass = ZRKC_CLASS_SESSION_LIST;
            ri->uiMessageNo = NumberOf(Msg::SessionListLinesFailed);
            ri->caMessage[0] = '\0';
            failed = true;
        }
    }
    const int result = call.Finish();
    return failed ? -1 : result;
}
