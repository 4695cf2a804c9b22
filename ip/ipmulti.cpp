// The two array commands that act on several sessions at once and answer
// with one result row per session: the concurrent KZP start (first, middle
// and last phase, or a restart) and the multi-session stop, suspend, resume
// and change.
#include "ipmulti.h"

#include "platform.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zrkip;

namespace {

constexpr int kMultiCallerId = 1034;   // trace caller id of the multi-session command
constexpr size_t kConcColumns = 7;     // columns of a concurrent start row
constexpr size_t kRestartColumns = 3;  // columns of a restart row
constexpr size_t kMultiColumns = 3;    // columns of a multi-session row
constexpr size_t kHeadRoom = 5107;     // list + head of a multi-session command

// The TAB-separated columns of one row line; the last runs to the end.
std::vector<std::string> Columns(const char *line) {
    std::vector<std::string> columns;
    const char *start = line;
    for (const char *p = line;; ++p) {
        if (*p == '\t' || *p == '\0') {
            columns.emplace_back(start, static_cast<size_t>(p - start));
            if (*p == '\0') break;
            start = p + 1;
        }
    }
    return columns;
}

void TraceRowColumn(const char *name, size_t index, const char *text) {
    if (text != nullptr) {
        TraceText(3, "INFO", name, "%d - %s", static_cast<int>(index), text);
    } else {
        TraceText(3, "INFO", name, "%d - NULL", static_cast<int>(index));
    }
}

// A 64-bit column: empty 0; up to 8 digits the low half; 9 to 16 digits
// split into the high half (all but the last 8) and the low half.
int ReadColumn64(const std::string &text, uint32_t *high, uint32_t *low) {
    *high = 0;
    *low = 0;
    if (text.empty()) return 0;
    if (text.size() > 16) return FailWith(ZRK_ERR_REPLY_NUMBER);
    if (text.size() <= 8) return zrkip::ReadHex32(text.c_str(), low);
    const size_t split = text.size() - 8;
    if (zrkip::ReadHex32(text.substr(0, split).c_str(), high) != 0) return -1;
    return zrkip::ReadHex32(text.substr(split).c_str(), low);
}

// One row of a concurrent start or restart from its reply line.
int ReadConcRow(const char *name, const char *line, bool restart, CliConcStartResult *row) {
    if (line == nullptr) {
        TraceRowColumn(name, 0, nullptr);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    const std::vector<std::string> columns = Columns(line);
    if (columns.size() < (restart ? kRestartColumns : kConcColumns)) {
        TraceText(3, "ERR", name, "%d - %s", static_cast<int>(columns.size()), line);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    uint32_t *const words[] = {&row->uiResult, &row->uiErrCode, &row->uiSessionID,
                               &row->uiSrcOlu, &row->uiDstOlu};
    for (size_t i = 0; i < columns.size(); ++i) {
        TraceRowColumn(name, i, columns[i].c_str());
        if (i < 5) {
            if (zrkip::ReadHex32(columns[i].c_str(), words[i]) != 0) return -1;
        } else if (i == 5) {
            if (ReadColumn64(columns[i], &row->uiSrcLba_high, &row->uiSrcLba_low) != 0) return -1;
        } else if (i == 6) {
            if (ReadColumn64(columns[i], &row->uiDstLba_high, &row->uiDstLba_low) != 0) return -1;
        } else {
            TraceText(3, "INFO", name, "%d - %s", static_cast<int>(i), "default");
        }
    }
    return 0;
}

// The command text of one concurrent start call; false when it is too long.
bool ConcCommand(int count, const int *sessionIds, int phase, const uint32_t *concId,
                 const CONC_SES_INFO &entry, std::string *command) {
    if (entry.OptionFlag & ZRK_OPT_RESTART) {
        std::string list = "-restart ";
        for (int i = 0; i < count; ++i) {
            if (i > 0) list.push_back(',');
            list.append(std::to_string(sessionIds[i]));
            if (list.size() > IP_CMD_MAX) return false;
        }
        *command = "start copy-concurrent-kzp " + list;
        return command->size() <= IP_CMD_MAX;
    }
    const char *kind = entry.CopyKind == 0    ? "kzp"
                       : entry.CopyKind == 8  ? "quick"
                       : entry.CopyKind == 16 ? "snap"
                                              : "snap+";
    std::string size;
    std::string slba;
    std::string dlba;
    if (entry.SrcExtent_high != 0 || entry.SrcExtent_low != 0 || entry.SrcSize_high != 0 ||
        entry.SrcSize_low != 0 || entry.DstExtent_high != 0 || entry.DstExtent_low != 0) {
        auto join = [](uint32_t high, uint32_t low) {
            return static_cast<unsigned long long>(zrkip::Join64(high, low));
        };
        size = Format("-size %llu", join(entry.SrcSize_high, entry.SrcSize_low));
        slba = Format("-source-lba %llu", join(entry.SrcExtent_high, entry.SrcExtent_low));
        dlba = Format("-destination-lba %llu", join(entry.DstExtent_high, entry.DstExtent_low));
    }
    std::string id;
    if (phase != 0 && concId != nullptr) id = Format("-id %u", *concId);
    *command = Format("%s %s %s %s %s %s %s %s %s", "start copy-concurrent-kzp",
                      (std::string("-session-type ") + kind).c_str(),
                      Format("-source-volume-number %d", static_cast<int>(entry.SrcOlu)).c_str(),
                      Format("-destination-volume-number %d", static_cast<int>(entry.DstOlu)).c_str(),
                      size.c_str(), slba.c_str(), dlba.c_str(),
                      phase == 2 ? "" : "-mode no-commit", id.c_str());
    return command->size() <= IP_CMD_MAX;
}

// Phase 2 and the restart: the row count of line 2 and one row per line.
int ReadConcRows(const char *name, const Reply &reply, bool restart, uint32_t *rowCount,
                 CliConcStartResult **rows) {
    uint32_t count = 0;
    if (zrkip::ReadHex32(reply.Line(2), &count) != 0) return -1;
    *rowCount = count;
    if (count == 0) return FailWith(ZRK_ERR_REPLY);
    // Every row needs its own line after the status and count lines.
    const size_t present = reply.Count() - 2;
    if (static_cast<size_t>(count) > present) {
        TraceText(1, "ERR", name, "rows missing. count=%u lines=%zu", count, reply.Count());
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    auto *table = static_cast<CliConcStartResult *>(
        std::calloc(static_cast<size_t>(count), sizeof(CliConcStartResult)));
    if (table == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (size_t k = 0; k < count; ++k) {
        if (ReadConcRow(name, reply.Line(k + 3), restart, &table[k]) != 0) {
            std::free(table);
            return -1;
        }
    }
    *rows = table;
    return 0;
}

struct MultiCommand {
    int iNumber;        // IP_MULTI_...
    const char *pWord;  // the command's words
};

const MultiCommand kMultiCommands[] = {
    {IP_MULTI_STOP, "stop copy-session"},       {IP_MULTI_SUSPEND_VZ, "suspend copy-vz"},
    {IP_MULTI_SUSPEND_RVZ, "suspend copy-rvz"}, {IP_MULTI_RESUME_VZ, "resume copy-vz"},
    {IP_MULTI_RESUME_RVZ, "resume copy-rvz"},   {IP_MULTI_CHANGE_VZ, "change copy-vz"},
    {IP_MULTI_CHANGE_RVZ, "change copy-rvz"},
};

// The command head up to and including its option pieces; false for a
// command number outside the table.
bool MultiHead(int command, unsigned opt, std::string *head) {
    const char *word = nullptr;
    for (const MultiCommand &c : kMultiCommands) {
        if (c.iNumber == command) word = c.pWord;
    }
    if (word == nullptr) return false;
    switch (command) {
    case IP_MULTI_SUSPEND_VZ:
    case IP_MULTI_RESUME_VZ:
        *head = Format("%s %s", word, "-multi enable");
        return true;
    case IP_MULTI_STOP:
        *head = Format("%s %s %s", word, "-multi enable",
                       (opt & ZRK_OPT_FORCE)           ? "-mode force"
                       : (opt & ZRK_OPT_STOP_TRACKING) ? "-mode stop-tracking"
                                                       : "");
        return true;
    case IP_MULTI_SUSPEND_RVZ:
        *head =
            Format("%s %s %s", word, "-multi enable", (opt & ZRK_OPT_FORCE) ? "-mode force" : "");
        return true;
    case IP_MULTI_RESUME_RVZ:
        *head = Format("%s %s %s", word, "-multi enable",
                       (opt & ZRK_OPT_REMAIN) ? "-remain-mode enable" : "");
        return true;
    case IP_MULTI_CHANGE_VZ:
        *head = Format("%s %s %s", word, "-multi enable",
                       (opt & ZRK_OPT_REVERSE) ? "-action reverse" : "");
        return true;
    default:  // IP_MULTI_CHANGE_RVZ
        if (opt & ZRK_OPT_REVERSE) {
            *head = Format("%s %s %s %s %s %s", word, "-multi enable", "-action reverse", "", "", "");
        } else {
            *head = Format(
                "%s %s %s %s %s %s", word, "-multi enable", "-action change",
                (std::string("-xfer-mode ") + zrkip::TransferMode(opt)).c_str(),
                (opt & ZRK_OPT_SYNC) ? ((opt & ZRK_OPT_AUTO_SPLIT) ? "-split 1" : "-split 0") : "",
                (opt & ZRK_OPT_MANUAL_RCV) ? "-recovery 1" : "-recovery 0");
        }
        return true;
    }
}

// Reads the rows of a multi-session reply into table rows 1..count.
int ReadMultiRows(const char *name, const Reply &reply, int count, CliMultiSessionResult *table) {
    uint32_t rows = 0;
    if (zrkip::ReadHex32(reply.Line(2), &rows) != 0) return -1;
    if (static_cast<uint64_t>(rows) != static_cast<uint64_t>(count)) {
        TraceText(1, "ERR", name, "row count %u differs from %d sessions", rows, count);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    table[0].uiKindOrID = IP_MULTI_KIND_ROWS;
    table[0].iResult = 0;
    table[0].iError = 0;
    table[0].uiCount = rows;
    for (size_t k = 1; k <= rows; ++k) {
        const char *line = reply.Line(k + 2);
        if (line == nullptr) {
            TraceRowColumn(name, 0, nullptr);
            return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
        }
        const std::vector<std::string> columns = Columns(line);
        if (columns.size() < kMultiColumns) {
            TraceText(3, "ERR", name, "%d - %s", static_cast<int>(columns.size()), "Err");
            return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
        }
        uint32_t id = 0;
        uint32_t result = 0;
        TraceRowColumn(name, 0, columns[0].c_str());
        if (zrkip::ReadHex32(columns[0].c_str(), &id) != 0) return -1;
        TraceRowColumn(name, 1, columns[1].c_str());
        if (zrkip::ReadHex32(columns[1].c_str(), &result) != 0) return -1;
        CliMultiSessionResult &row = table[k];
        row.uiKindOrID = id;
        row.iResult = 0;
        if (result != 0) {
            uint32_t code = 0;
            TraceRowColumn(name, 2, columns[2].c_str());
            if (zrkip::ReadHex32(columns[2].c_str(), &code) != 0) return -1;
            IPSet_ZRKerrno_main(static_cast<int>(code));
            row.iResult = -1;
            row.iError = ZRKerrno;
        }
        for (size_t i = kMultiColumns; i < columns.size(); ++i) {
            TraceRowColumn(name, i, columns[i].c_str());
            TraceText(3, "INFO", name, "%d - %s", static_cast<int>(i), "default");
        }
    }
    return 0;
}

int MultiBody(const char *name, const char *ipAddress, const char *user, int option, int command,
              int count, const int *sessionIds, CliMultiSessionResult *table) {
    std::string head;
    if (!MultiHead(command, static_cast<unsigned>(option), &head)) {
        return FailWith(ZRK_ERR_PARAMETER);
    }
    if (count <= 0 || sessionIds == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    const size_t room = head.size() < kHeadRoom ? kHeadRoom - head.size() : 0;
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (i > 0) list.push_back(',');
        list.append(std::to_string(sessionIds[i]));
        if (list.size() > room) {
            TraceText(1, "ERR", name, "session id list too long. count=%d", count);
            return FailWith(ZRK_ERR_TOO_LONG);
        }
    }
    const std::string text = head + " -session-id " + list;
    Reply reply;
    if (reply.Run(ipAddress, user, text) != 0) return -1;
    return ReadMultiReply(name, reply, count, table);
}

}  // namespace

int zrkip::ReadConcReply(const char *name, const Reply &reply, int phase, bool restart,
                         uint32_t *concId, uint32_t *rowCount, CliConcStartResult **rows) {
    const bool hasRows = restart || phase == 2;
    if (hasRows) {
        *rows = nullptr;
        *rowCount = 0;
    }
    if (reply.CheckStatus() != 0) return -1;
    if (!restart && phase == 1) return 0;
    if (reply.Line(2) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (!hasRows) {
        uint32_t id = 0;
        if (zrkip::ReadHex32(reply.Line(2), &id) != 0) return -1;
        *concId = id;
        return 0;
    }
    if (ReadConcRows(name, reply, restart, rowCount, rows) != 0) {
        *rows = nullptr;
        *rowCount = 0;
        return -1;
    }
    return 0;
}

int zrkip::ReadMultiReply(const char *name, const Reply &reply, int count,
                          CliMultiSessionResult *table) {
    if (reply.CheckStatus() != 0) return -1;
    if (reply.Line(2) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    return ReadMultiRows(name, reply, count, table);
}

extern "C" int StartCopyConcurrentKzp(const char *ipAddress, const char *user, int count,
                                      const int *sessionIds, int phase, uint32_t *concId,
                                      CONC_SES_INFO entry, uint32_t *rowCount,
                                      CliConcStartResult **rows) {
    static const char kName[] = "StartCopyConcurrentKzp";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] iPhase=%x", Safe(ipAddress),
              static_cast<unsigned>(phase));
    const bool restart = (entry.OptionFlag & ZRK_OPT_RESTART) != 0;
    if (rows != nullptr) *rows = nullptr;
    if ((restart || phase == 2) && rowCount != nullptr) *rowCount = 0;
    if (phase < 0 || phase > 2 || (phase == 0 && !restart && concId == nullptr) ||
        ((restart || phase == 2) && (rowCount == nullptr || rows == nullptr)) ||
        (restart && (count < 0 || (count > 0 && sessionIds == nullptr)))) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    std::string command;
    if (!ConcCommand(count, sessionIds, phase, concId, entry, &command)) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_TOO_LONG));
    }
    Reply reply;
    if (reply.Run(ipAddress, user, command) != 0) return TraceEnd(1, kName, -1);
    return TraceEnd(1, kName, ReadConcReply(kName, reply, phase, restart, concId, rowCount, rows));
}

extern "C" int VastrelCli4MultiOpt(const char *ipAddress, const char *user, int option,
                                   int command, int count, const int *sessionIds,
                                   CliMultiSessionResult *table) {
    static const char kName[] = "VastrelCli4MultiOpt";
    ZRKC_Com_OpenTrace(kMultiCallerId);
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] Option=%d SessionCount=%d", Safe(ipAddress),
              option, count);
    int ret = 0;
    if (table == nullptr) {
        ret = FailWith(ZRK_ERR_PARAMETER);
    } else if (MultiBody(kName, ipAddress, user, option, command, count, sessionIds, table) != 0) {
        table[0].uiKindOrID = IP_MULTI_KIND_FAILED;
        table[0].iResult = -1;
        table[0].iError = ZRKerrno;
        ret = -1;
    }
    TraceEnd(1, kName, ret);
    ZRKC_Com_CloseTrace();
    return ret;
}
