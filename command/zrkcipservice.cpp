// The two entry points through which the IP-service control program talks
// to the LAN interface management service and reads its settings.
#include "zrkc.h"
#include "zrkctrace.h"

#include "platform.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kExecCliCaller = 1032; // caller id of the API trace

} // namespace

extern "C" int zrkc_exec_cli(const char *ipAddress, const char *user, int optionFlag,
                             const char *command, int len, char *reply) {
    static constexpr char kName[] = "zrkc_exec_cli";
    ZRKC_Com_OpenTrace(kExecCliCaller);
    zrkplatform::TraceText(1, "INFO", kName, "START");
    zrkplatform::TraceText(1, "INFO", kName, "IPaddress=%s, OptionFlag=0x%02x, Command=%s",
                           ipAddress != nullptr ? ipAddress : "(null)", optionFlag,
                           command != nullptr ? command : "(null)");
    char *answer = nullptr;
    const int ret = IPExecVastrelCLI(ipAddress, user, optionFlag, command, &answer);
    // Below 1 byte there is no room even for the terminator: nothing is
    // copied, the caller's buffer stays as it was.
    if (ret == 0 && reply != nullptr && len >= 1) {
        const size_t room = static_cast<size_t>(len);
        std::memset(reply, 0, room);
        if (answer != nullptr) std::memcpy(reply, answer, strnlen(answer, room - 1));
    }
    std::free(answer);
    zrkplatform::TraceEnd(1, kName, ret);
    ZRKC_Com_CloseTrace();
    return ret;
}

extern "C" int zrkc_getproperties_int(const char *key, ReturnInfo *ri) {
    static constexpr char kName[] = "zrkc_getproperties_int";
    velk_trace_init();
    zrkc::TraceStart(kName, zrkc::kTraceStep);
    const int value = get_properties_int(key, ri);
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s end.", kName);
    velk_trace_term();
    return value;
}
