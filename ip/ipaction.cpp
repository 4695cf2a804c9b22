// Array action commands: one wrapper per command that changes something on
// the array. Each builds its text from fixed pieces, runs it through the LAN
// interface management service and reads the reply's status line; the starts
// also read the new session's identifier from line 2.
#include "ipaction.h"

#include "platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace zrkip;

namespace zrkip {

std::string Format(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (needed > 0) {
        text.resize(static_cast<size_t>(needed));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

const char *TransferMode(unsigned option) {
    if (option & ZRK_OPT_SYNC) return "10";
    if (option & ZRK_OPT_STACK) return "02";
    if (option & ZRK_OPT_CONSISTENCY) return "03";
    return "00";
}

}  // namespace zrkip

namespace zrkip {

bool BoxIdText(const char *field, std::string *text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(field);
    size_t length = 0;
    while (length < ZRK_BOXID_LEN && bytes[length] != 0) ++length;
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] < 0x20 || bytes[i] == 0x7F || bytes[i] == '"') return false;
    }
    text->assign(field, length);
    return true;
}

}  // namespace zrkip

namespace {

// A text that holds a clear password, wiped before its memory goes. Made in
// one piece (Format sizes it once), so no copy is left behind by a growth.
class SecretText {
public:
    explicit SecretText(std::string text) : sText(std::move(text)) {}
    ~SecretText() { explicit_bzero(sText.data(), sText.capacity()); }
    SecretText(const SecretText &) = delete;
    SecretText &operator=(const SecretText &) = delete;
    const std::string &Get() const { return sText; }

private:
    std::string sText; // the text
};

// The identifiers in the caller's order, "%d" each, joined by ",". Stops
// with false once the list reaches limit characters.
bool IdList(const int *ids, int count, size_t limit, std::string *list) {
    list->clear();
    for (int i = 0; i < count; ++i) {
        if (i > 0) list->push_back(',');
        list->append(std::to_string(ids[i]));
        if (list->size() >= limit) return false;
    }
    return true;
}

// Runs a command that answers with its status line only.
int RunStatus(const char *ipAddress, const char *user, const std::string &command) {
    Reply reply;
    if (reply.Run(ipAddress, user, command) != 0) return -1;
    return reply.CheckStatus();
}

// Runs a start command: status, then the new session's identifier in line 2
// into *sessionId (not written when sessionId is NULL).
int RunStart(const char *ipAddress, const char *user, const std::string &command,
             int *sessionId) {
    Reply reply;
    if (reply.Run(ipAddress, user, command) != 0) return -1;
    if (reply.CheckStatus() != 0) return -1;
    if (reply.Line(2) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t id = 0;
    if (zrkip::ReadHex32(reply.Line(2), &id) != 0) return -1;
    if (sessionId != nullptr) *sessionId = static_cast<int>(id);
    return 0;
}

// The text of a single-session command, which the array takes in 512 bytes.
int RunSingle(const char *name, const char *ipAddress, const char *user,
              const std::string &command) {
    if (command.size() > IP_SINGLE_CMD_MAX) {
        TraceText(1, "ERR", name, "command too long. len=%zu", command.size());
        return FailWith(ZRK_ERR_TOO_LONG);
    }
    return RunStatus(ipAddress, user, command);
}

// A hexadecimal number with nothing after it: 0, or -1 with ZRKerrno
// ZRK_ERR_REPLY_NUMBER (too large) or ZRK_ERR_REPLY_BAD_NUMBER (characters
// after the digits).
int ReadHexStrict(const char *text, uint32_t *value) {
    if (text == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint64_t wide = 0;
    const char *end = ScanPlainHex(text, &wide);
    if (end == nullptr || wide > UINT32_MAX) return FailWith(ZRK_ERR_REPLY_NUMBER);
    if (*end != '\0') return FailWith(ZRK_ERR_REPLY_BAD_NUMBER);
    *value = static_cast<uint32_t>(wide);
    return 0;
}

// ---- pieces of the start commands -------------------------------------------

struct StartPieces {
    std::string sSrc;   // "-source-volume-number %d"
    std::string sDst;   // "-destination-volume-number %d"
    std::string sSize;  // "-size %llu", empty for a whole volume
    std::string sSlba;  // "-source-lba %llu", empty for a whole volume
    std::string sDlba;  // "-destination-lba %llu", empty for a whole volume
    std::string sSec;   // "-secondary-access 1 " with ZRK_OPT_SECONDARY
};

StartPieces MakeStartPieces(unsigned option, const IPCopyReq &req) {
    StartPieces p;
    p.sSrc = Format("-source-volume-number %d", static_cast<int>(req.SrcOLU));
    p.sDst = Format("-destination-volume-number %d", static_cast<int>(req.DstOLU));
    if ((req.CopyAttr & ZRK_IPATTR_WHOLE_VOLUME) == 0) {
        p.sSize = Format("-size %llu", static_cast<unsigned long long>(
                                           zrkip::Join64(req.SrcSize_high, req.SrcSize_low)));
        p.sSlba = Format("-source-lba %llu", static_cast<unsigned long long>(zrkip::Join64(
                                                 req.SrcExtAddr_high, req.SrcExtAddr_low)));
        p.sDlba = Format("-destination-lba %llu", static_cast<unsigned long long>(zrkip::Join64(
                                                      req.DstExtAddr_high, req.DstExtAddr_low)));
    }
    if (option & ZRK_OPT_SECONDARY) p.sSec = "-secondary-access 1 ";
    return p;
}

// The common frame of the five starts: trace, build, run, publish the id.
template <typename Build>
int StartCommand(const char *name, const char *ipAddress, const char *user, int option,
                 const IPCopyReq *req, bool publish, Build build) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s] Option=%d", Safe(ipAddress), option);
    if (req == nullptr) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    std::string command;
    if (!build(static_cast<unsigned>(option), *req, &command)) {
        return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    }
    if (command.size() > IP_SINGLE_CMD_MAX) return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
    int id = 0;
    if (RunStart(ipAddress, user, command, &id) != 0) return TraceEnd(1, name, -1);
    if (publish) ZRKsessionid = id;
    return TraceEnd(1, name, 0);
}

// ---- the change, resume and single-value commands ------------------------------

int SessionCommand(const char *name, const char *ipAddress, const char *user, int option,
                   int sessionId, const std::string &command) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s] Option=%d SessionID=%d", Safe(ipAddress), option,
              sessionId);
    return TraceEnd(1, name, RunSingle(name, ipAddress, user, command));
}

int VolumeProtection(const char *name, const char *word, const char *ipAddress,
                     const char *user, int volume, const unsigned char *statusInfo) {
    TraceText(1, "INFO", name, "START");
    if (statusInfo == nullptr) {
        TraceText(3, "INFO", name, "cpIPaddress=[%s] Olu=%d ucpStatusInfo=NULL", Safe(ipAddress),
                  volume);
        return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    }
    TraceText(3, "INFO", name, "cpIPaddress=[%s] Olu=%d ucpStatusInfo[0]=%xh ucpStatusInfo[1]=%xh",
              Safe(ipAddress), volume, statusInfo[0], statusInfo[1]);
    const std::string command =
        Format("%s %s %s ", word, Format("-volume-number %d", volume).c_str(),
               (statusInfo[0] & 0x01) ? "-copy-protection enable" : "-copy-protection disable");
    return TraceEnd(1, name, RunSingle(name, ipAddress, user, command));
}

// ---- the commands on a list of sessions -------------------------------------------

int ListTraceAndCheck(const char *name, const char *ipAddress, int option, int count,
                      const int *sessionIds, bool needOne) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s] Option=%d SessionCount=%d", Safe(ipAddress),
              option, count);
    if (count < 0 || (needOne && count == 0) || (count > 0 && sessionIds == nullptr)) {
        return FailWith(ZRK_ERR_PARAMETER);
    }
    return 0;
}

int StopCommand(const char *name, const char *ipAddress, const char *user, int option,
                int count, const int *sessionIds, bool vvol) {
    if (ListTraceAndCheck(name, ipAddress, option, count, sessionIds, false) != 0) {
        return TraceEnd(1, name, -1);
    }
    std::string list;
    if (!IdList(sessionIds, count, IP_CMD_MAX + 1, &list)) {
        return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
    }
    const unsigned opt = static_cast<unsigned>(option);
    std::string command;
    if (vvol) {
        command = Format("%s %s %s", "stop vvol-copy-session", ("-vvol-session-id " + list).c_str(),
                         "-force");
    } else {
        command = Format("%s %s %s %s ", "stop copy-session", ("-session-id " + list).c_str(),
                         (opt & ZRK_OPT_FORCE) ? "-mode force" : "",
                         (opt & ZRK_OPT_STOP_TRACKING) ? "-mode stop-tracking" : "");
    }
    if (command.size() > IP_CMD_MAX) return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
    return TraceEnd(1, name, RunStatus(ipAddress, user, command));
}

int SuspendCommand(const char *name, const char *ipAddress, const char *user, int option,
                   int mode, int count, const int *sessionIds, bool rvz) {
    if (ListTraceAndCheck(name, ipAddress, option, count, sessionIds, true) != 0) {
        return TraceEnd(1, name, -1);
    }
    std::string list;
    if (!IdList(sessionIds, count, IP_SUSPEND_LIST_MAX, &list)) {
        TraceText(1, "ERR", name, "session id list too long. count=%d", count);
        return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
    }
    const unsigned opt = static_cast<unsigned>(option);
    const std::string ids = "-session-id " + list;
    std::string command;
    if (!rvz) {
        command = Format("%s %s %s ", "suspend copy-vz", ids.c_str(),
                         (mode & 1) ? "-mode concurrent" : "-mode normal");
    } else {
        const char *modePiece = (mode & 1)              ? "-mode concurrent"
                                : (opt & ZRK_OPT_FORCE) ? "-mode force"
                                                        : "";
        std::string timer;
        if (opt & ZRK_OPT_STACK_TIMER) {
            timer = Format("-timer %d", ZRKRVZ_stacktimer);
            if (timer.size() > IP_TIMER_PIECE_MAX) {
                TraceText(1, "ERR", name, "timer too large. ZRKRVZ_stacktimer=%d",
                          ZRKRVZ_stacktimer);
                return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
            }
        }
        command = Format("%s %s %s %s %s", "suspend copy-rvz", ids.c_str(), modePiece,
                         (opt & ZRK_OPT_UNTRANSFERRED) ? "-untrans enable" : "", timer.c_str());
    }
    if (command.size() > IP_CMD_MAX) return TraceEnd(1, name, FailWith(ZRK_ERR_TOO_LONG));
    return TraceEnd(1, name, RunStatus(ipAddress, user, command));
}

}  // namespace

// ---- exported wrappers ------------------------------------------------------------

extern "C" int ChangeCopyVz(const char *ipAddress, const char *user, int option,
                            int sessionId) {
    const unsigned opt = static_cast<unsigned>(option);
    const std::string command =
        Format("%s %s %s ", "change copy-vz", Format("-session-id %d", sessionId).c_str(),
               (opt & ZRK_OPT_REVERSE) ? "-action reverse" : "");
    return SessionCommand("ChangeCopyVz", ipAddress, user, option, sessionId, command);
}

extern "C" int ChangeCopyRvz(const char *ipAddress, const char *user, int option,
                             int sessionId) {
    const unsigned opt = static_cast<unsigned>(option);
    const bool reverse = (opt & ZRK_OPT_REVERSE) != 0;
    const std::string xfer =
        reverse ? std::string() : std::string("-xfer-mode ") + zrkip::TransferMode(opt);
    const char *split =
        (opt & ZRK_OPT_SYNC) ? ((opt & ZRK_OPT_AUTO_SPLIT) ? "-split 1" : "-split 0") : "";
    const char *recovery =
        reverse ? "" : ((opt & ZRK_OPT_MANUAL_RCV) ? "-recovery 1" : "-recovery 0");
    const std::string command =
        Format("%s %s %s %s %s %s", "change copy-rvz", Format("-session-id %d", sessionId).c_str(),
               reverse ? "-action reverse" : "-action change", xfer.c_str(), split, recovery);
    return SessionCommand("ChangeCopyRvz", ipAddress, user, option, sessionId, command);
}

extern "C" int ResumeCopyVz(const char *ipAddress, const char *user, int option, int sessionId) {
    const std::string command =
        Format("%s %s ", "resume copy-vz", Format("-session-id %d", sessionId).c_str());
    return SessionCommand("ResumeCopyVz", ipAddress, user, option, sessionId, command);
}

extern "C" int ResumeCopyRvz(const char *ipAddress, const char *user, int option,
                             int sessionId) {
    const unsigned opt = static_cast<unsigned>(option);
    const std::string command =
        Format("%s %s %s", "resume copy-rvz", Format("-session-id %d", sessionId).c_str(),
               (opt & ZRK_OPT_REMAIN) ? "-remain-mode enable" : "");
    return SessionCommand("ResumeCopyRvz", ipAddress, user, option, sessionId, command);
}

extern "C" int InitializeSnapDataVolume(const char *ipAddress, const char *user, int volume) {
    static const char kName[] = "InitializeSnapDataVolume";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] SDV=%d", Safe(ipAddress), volume);
    const std::string command = Format("%s %s ", "initialize snap-data-volume",
                                       Format("-volume-number %d", volume).c_str());
    return TraceEnd(1, kName, RunSingle(kName, ipAddress, user, command));
}

extern "C" int SetVolume(const char *ipAddress, const char *user, int volume,
                         const unsigned char *statusInfo) {
    return VolumeProtection("SetVolume", "set volume", ipAddress, user, volume, statusInfo);
}

extern "C" int SetMorvicTierVolume(const char *ipAddress, const char *user, int volume,
                                   const unsigned char *statusInfo) {
    return VolumeProtection("SetMorvicTierVolume", "set morvic-tier-volume", ipAddress, user,
                            volume, statusInfo);
}

extern "C" int SetRvzBuffer(const char *ipAddress, const char *user,
                            CliRvzBufferSetting setting) {
    static const char kName[] = "SetRvzBuffer";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] ", Safe(ipAddress));
    std::string box;
    if (!BoxIdText(setting.caRemoteBoxID, &box)) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    const char *type = setting.iBuffType == 1   ? "-buffer-type send"
                       : setting.iBuffType == 2 ? "-buffer-type receive"
                                                : "";
    const std::string command =
        Format("%s %s %s %s %s %s", "set rvz-buffer",
               Format("-partition %d", setting.iPartition).c_str(),
               ("-remote-boxid \"" + box + "\"").c_str(), type,
               Format("-forwarding-interval %d", setting.iForwardInterval).c_str(),
               Format("-monitoring-time %d", setting.iMonitorTime).c_str());
    return TraceEnd(1, kName, RunSingle(kName, ipAddress, user, command));
}

extern "C" int StartCopyVz(const char *ipAddress, const char *user, int option,
                           const IPCopyReq *req) {
    return StartCommand("StartCopyVz", ipAddress, user, option, req, true,
                        [](unsigned opt, const IPCopyReq &r, std::string *command) {
                            const StartPieces p = MakeStartPieces(opt, r);
                            *command = Format("%s %s %s %s %s %s %s", "start copy-vz",
                                              p.sSrc.c_str(), p.sDst.c_str(), p.sSize.c_str(),
                                              p.sSlba.c_str(), p.sDlba.c_str(), p.sSec.c_str());
                            return true;
                        });
}

extern "C" int StartCopyKzp(const char *ipAddress, const char *user, int option,
                            const IPCopyReq *req) {
    return StartCommand("StartCopyKzp", ipAddress, user, option, req, true,
                        [](unsigned opt, const IPCopyReq &r, std::string *command) {
                            const StartPieces p = MakeStartPieces(opt, r);
                            *command = Format("%s %s %s %s %s %s", "start copy-kzp", p.sSrc.c_str(),
                                              p.sDst.c_str(), p.sSize.c_str(), p.sSlba.c_str(),
                                              p.sDlba.c_str());
                            return true;
                        });
}

extern "C" int StartCopyQuickKzp(const char *ipAddress, const char *user, int option,
                                 const IPCopyReq *req) {
    const bool restart = (static_cast<unsigned>(option) & ZRK_OPT_RESTART) != 0;
    return StartCommand(
        "StartCopyQuickKzp", ipAddress, user, option, req, !restart,
        [restart](unsigned opt, const IPCopyReq &r, std::string *command) {
            if (restart) {
                *command = Format("%s %s ", "start copy-quick-kzp",
                                  Format("-restart %d", static_cast<int>(r.SrcOLU)).c_str());
                return true;
            }
            const StartPieces p = MakeStartPieces(opt, r);
            *command = Format("%s %s %s %s %s %s %s", "start copy-quick-kzp",
                              (opt & ZRK_OPT_VVOL_DELETE) ? "-vvol-session-delete-mode enable" : "",
                              p.sSrc.c_str(), p.sDst.c_str(), p.sSize.c_str(), p.sSlba.c_str(),
                              p.sDlba.c_str());
            return true;
        });
}

extern "C" int StartCopyRvz(const char *ipAddress, const char *user, int option,
                            const IPCopyReq *req) {
    return StartCommand(
        "StartCopyRvz", ipAddress, user, option, req, true,
        [](unsigned opt, const IPCopyReq &r, std::string *command) {
            std::string srcBox;
            std::string dstBox;
            if (!BoxIdText(r.SrcBoxID, &srcBox) || !BoxIdText(r.DstBoxID, &dstBox)) return false;
            const StartPieces p = MakeStartPieces(opt, r);
            *command = Format("%s %s %s %s %s %s %s %s %s %s %s %s %s", "start copy-rvz",
                              ("-source-boxid \"" + srcBox + "\"").c_str(),
                              ("-destination-boxid \"" + dstBox + "\"").c_str(), p.sSrc.c_str(),
                              p.sDst.c_str(), p.sSize.c_str(), p.sSlba.c_str(), p.sDlba.c_str(),
                              (opt & ZRK_OPT_SKIP_COPY) ? "-mode skip" : "",
                              (std::string("-xfer-mode ") + zrkip::TransferMode(opt)).c_str(),
                              (opt & ZRK_OPT_AUTO_SPLIT) ? "-split 1" : "",
                              (opt & ZRK_OPT_MANUAL_RCV) ? "-recovery 1" : "", p.sSec.c_str());
            return true;
        });
}

extern "C" int StartCopySnapKzp(const char *ipAddress, const char *user, int option,
                                const IPCopyReq *req) {
    return StartCommand(
        "StartCopySnapKzp", ipAddress, user, option, req, true,
        [](unsigned opt, const IPCopyReq &r, std::string *command) {
            const StartPieces p = MakeStartPieces(opt, r);
            if (opt & ZRK_OPT_MONITOR) {
                *command = Format("%s %s %s %s", "start copy-monitor", p.sSrc.c_str(),
                                  p.sSize.c_str(), p.sSlba.c_str());
                return true;
            }
            *command =
                Format("%s %s %s %s %s %s %s %s", "start copy-snap-kzp",
                       (opt & ZRK_OPT_VVOL_DELETE) ? "-vvol-session-delete-mode enable" : "",
                       (r.CopyAttr & ZRK_IPATTR_SNAPKZP) ? "-mode normal" : "", p.sSrc.c_str(),
                       p.sDst.c_str(), p.sSize.c_str(), p.sSlba.c_str(), p.sDlba.c_str());
            return true;
        });
}

extern "C" int StopCopySession(const char *ipAddress, const char *user, int option, int count,
                               const int *sessionIds) {
    return StopCommand("StopCopySession", ipAddress, user, option, count, sessionIds, false);
}

extern "C" int StopVvolCopySession(const char *ipAddress, const char *user, int option,
                                   int count, const int *sessionIds) {
    return StopCommand("StopVvolCopySession", ipAddress, user, option, count, sessionIds, true);
}

extern "C" int SuspendCopyVz(const char *ipAddress, const char *user, int option, int mode,
                             int count, const int *sessionIds) {
    return SuspendCommand("SuspendCopyVz", ipAddress, user, option, mode, count, sessionIds,
                          false);
}

extern "C" int SuspendCopyRvz(const char *ipAddress, const char *user, int option, int mode,
                              int count, const int *sessionIds) {
    return SuspendCommand("SuspendCopyRvz", ipAddress, user, option, mode, count, sessionIds,
                          true);
}

extern "C" int TestAuthentication(const char *ipAddress, const char *user, const char *password,
                                  int *result) {
    static const char kName[] = "TestAuthentication";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] ", Safe(ipAddress));
    if (user == nullptr || password == nullptr || result == nullptr) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    const std::string name = Format("-name %s", user);
    const SecretText secret(Format("-password %s", password));
    if (name.size() > IP_AUTH_PIECE_MAX || secret.Get().size() > IP_AUTH_PIECE_MAX) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_TOO_LONG));
    }
    const SecretText command(
        Format("%s %s %s", "test authentication", name.c_str(), secret.Get().c_str()));
    Reply reply;
    if (reply.Run(ipAddress, user, command.Get()) != 0) return TraceEnd(1, kName, -1);
    if (reply.Count() < 2 || reply.Line(1) == nullptr) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_REPLY_INCOMPLETE));
    }
    uint32_t status = 0;
    if (ReadHexStrict(reply.Line(1), &status) != 0) return TraceEnd(1, kName, -1);
    if (status != 0) return TraceEnd(1, kName, reply.CheckStatus());
    uint32_t code = 0;
    if (ReadHexStrict(reply.Line(2), &code) != 0) return TraceEnd(1, kName, -1);
    *result = static_cast<int>(code);
    return TraceEnd(1, kName, 0);
}
