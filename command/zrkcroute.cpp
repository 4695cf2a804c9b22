// Routes, aliases and LAN login: the commands over the alias store that
// register the route to an array (through one of its disks, or through its
// LAN address with an array account), show a device's route and the arrays
// it reaches, list, add, rename and delete entries, and open or close the
// LAN interface management service's session to a registered array.
//
// Remote-box lists are read into an area of the longest list an array
// sends, so that the in-band read of the QM family never writes past it.
// The account texts of a LAN route go through the service's "encrypt" and
// "decrypt"; a reply that does not fit the store's 256-byte field is
// refused, never cut, and nothing is stored.
#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"

#include "platform.h"
#include "zrkengine.h"
#include "zrkerrno.h"
#include "zrksupport.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using zrkc::CommandCall;
using zrkc::IdOf;
using zrkc::Op;

namespace {

constexpr int kEncrypt = 1;               // ZRKIPProc operations
constexpr int kDecrypt = 2;
constexpr char kServiceVolume[] = "DummyVolume";

constexpr int kDeviceListRegistered = 1;  // check_dovr_devicelist
constexpr int kDeviceListMissing = 2;
constexpr uint32_t kIpVolumeInfoWhat = 3; // ZRKIPGetVolumeInfo: maxima, support groups, BoxID

constexpr size_t kInquiryLen = 88;        // standard INQUIRY data from byte 8
constexpr size_t kInquiryProductAt = 8;   // INQUIRY bytes 16-31
constexpr size_t kInquiryDevIdAt = 28;    // INQUIRY bytes 36-43
constexpr size_t kMaxAliasLength = 16;    // a new alias given to an entry

constexpr uint32_t kSetRouteMask = ZRKC_OPT_BOXID_ALIAS | ZRKC_OPT_NO_DEVICE_LIST;

uint32_t ApiOption(uint32_t option) { return option & ZRKC_OPT_API_MASK; }

int NotSpecified(CommandCall &call, zrkc::Where where = zrkc::Where::current()) {
    zrkc::SetResult(call.Result(), zrkc::Msg::ParameterMissing);
    return call.Fail(where);
}

// The frame's option check without its access-path side effect: the bit
// ZRKC_OPT_NO_DEVICE_LIST shares its value with ZRKC_OPT_ACCESS_PATH.
int CheckMask(CommandCall &call, uint32_t option, uint32_t mask,
              zrkc::Where where = zrkc::Where::current()) {
    return (option & ~mask) != 0 ? call.RefuseOptions(where) : 0;
}

// The catalogue's line of message number messageNo; without one, 1200.
int CatalogueEnd(CommandCall &call, zrkc::CatalogueMsg messageNo,
                 zrkc::Where where = zrkc::Where::current()) {
    zrkc::SetCatalogueResult(call.Result(), messageNo);
    return call.Fail(where);
}

// The RVZ group's flags say whether the array has RVZ, and with it a
// remote-box list.
bool HasRvz(const VOL_INFO &info) {
    return (info.ucaSupportData[ZRK_SUPPORT_FLAGS_RVZ] & ZRK_SUPPORT_KIND) != 0;
}

// A remote-box list of an array without RVZ: its own BoxID, no entries.
void OwnBoxOnly(std::vector<unsigned char> &list, const char *boxId) {
    std::memset(list.data(), 0, list.size());
    std::memcpy(list.data(), boxId, ZRK_BOXID_LEN);
}

// Steps shared by the SCSI route commands: the device name, its volume
// information, the storage-cluster refusal (clusterMessage) and the
// remote-box list into list (ZRKC_REMOTE_AREA_LEN bytes). 0 or -1.
int ReadDeviceRoute(CommandCall &call, const char *volume, uint32_t option,
                    zrkc::CatalogueMsg clusterMessage, std::vector<unsigned char> &list) {
    ReturnInfo *ri = call.Result();
    const int kind = com_volume_kind(volume, ri);
    if (kind == -1) return call.Fail();
    if (kind != ZRKC_VOLKIND_DEVICE) {
        zrkc::SetInvalidVolume(ri, volume);
        return call.Fail();
    }
    char box[ZRK_BOXID_LEN + 1] = {};
    uint32_t olu = 0, extentHigh = 0, extentLow = 0, sizeHigh = 0, sizeLow = 0;
    VOL_INFO info{};
    VOL_INFO_EX infoEx{};
    call.TraceApiStart(Op::VolumeInfo);
    int result = ZRKLVGetVolumeInfoEx(volume, 0, ApiOption(option), box, &olu, &extentHigh,
                                      &extentLow, &sizeHigh, &sizeLow, &info, &infoEx, call.Sense());
    if (call.MapResult(0, IdOf(Op::VolumeInfo, ZRKC_TRANSPORT_SCSI), volume, result) != 0) {
        call.TraceVolumeParm(volume, ApiOption(option));
        return call.Fail();
    }
    call.TraceApiEnd(Op::VolumeInfo);
    if (ZRKstorage_cluster != 0) return CatalogueEnd(call, clusterMessage);
    if (!HasRvz(info)) {
        OwnBoxOnly(list, box);
        return 0;
    }
    std::memset(list.data(), 0, list.size());
    result = ZRKGetRemoteBoxIDList(volume, ApiOption(option), list.data(), call.Sense());
    if (call.MapResult(0, IdOf(Op::RemoteList, ZRKC_TRANSPORT_SCSI), volume, result) != 0) {
        call.TraceVolumeParm(volume, ApiOption(option));
        return call.Fail();
    }
    return 0;
}

// The service's transformation (kEncrypt or kDecrypt) of text into out
// (ZRKC_ALIAS_TEXT_LEN bytes), mapped with the volume name volume. A reply
// that does not fit out is refused (1023). 0 or -1 with the result filled.
int ServiceText(CommandCall &call, int operation, const char *text, const char *volume,
                char (&out)[ZRKC_ALIAS_TEXT_LEN]) {
    char *reply = nullptr;
    const int result = ZRKIPProc(operation, text, &reply, call.Sense());
    const size_t length = reply != nullptr ? std::strlen(reply) : 0;
    if (call.MapResult(0, IdOf(Op::ServiceRequest), volume, result) != 0) {
        zrkc::FreeServiceText(reply);
        return -1;
    }
    const bool fits = length < sizeof out;
    if (fits && length > 0) std::memcpy(out, reply, length);
    zrkc::FreeServiceText(reply);
    if (!fits) {
        zrkc::SetResult(call.Result(), zrkc::Msg::UserInfoIncorrect);
        return -1;
    }
    return 0;
}

// The user and password of one LAN account, cleared when it goes.
struct Account {
    char caUser[ZRKC_ALIAS_TEXT_LEN] = {};
    char caPassword[ZRKC_ALIAS_TEXT_LEN] = {};
    Account() = default;
    Account(const Account &) = delete;
    Account &operator=(const Account &) = delete;
    ~Account() {
        explicit_bzero(caUser, sizeof caUser);
        explicit_bzero(caPassword, sizeof caPassword);
    }
};

// The opening of login and logout: the frame's checks (option word 0) and
// the LAN-registered array of alias. 0 with its entry in record, or -1 with
// the result filled.
int OpenLanCommand(CommandCall &call, const char *alias, int option, AliasRecord &record) {
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(alias) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. alias=%s, opt=%08x", call.Name(), alias, opt);
    if (CheckMask(call, opt, 0) != 0) return -1;
    ReturnInfo *ri = call.Result();
    const int found = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, alias, &record, ri);
    if (found == -1) return call.Fail();
    if (found == 1 || record.Main.Direct != 1) {
        zrkc::SetResult(ri, zrkc::Msg::ArrayUnregistered);
        return call.Fail();
    }
    if (record.Main.Interface != ZRKC_ALIAS_IF_LAN) {
        zrkc::SetResult(ri, zrkc::Msg::DefinedOverScsi);
        return call.Fail();
    }
    record.Main.AccessPath[sizeof record.Main.AccessPath - 1] = '\0';
    return 0;
}

template <size_t N, size_t M>
void CopyField(uint8_t (&to)[N], const uint8_t (&from)[M]) {
    static_assert(N == M, "fields of one size");
    std::memcpy(to, from, N);
}
template <size_t N, size_t M>
void CopyField(char (&to)[N], const char (&from)[M]) {
    static_assert(N == M, "fields of one size");
    std::memcpy(to, from, N);
}

} // namespace

extern "C" int zrkc_set_routeinfo(const char *volume, int option, ReturnInfo *ri) {
    CommandCall call("zrkc_set_routeinfo", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.OpenVolume(volume, opt) != 0) return -1;
    if (CheckMask(call, opt, kSetRouteMask) != 0) return -1;
    std::vector<unsigned char> list(ZRKC_REMOTE_AREA_LEN);
    if (ReadDeviceRoute(call, volume, opt, zrkc::CatalogueMsg::ClusterAccessPath, list) != 0) return -1;
    if ((opt & ZRKC_OPT_NO_DEVICE_LIST) == 0) {
        const int registered = check_dovr_devicelist(reinterpret_cast<const char *>(list.data()), ri);
        if (registered == kDeviceListMissing) {
            zrkc::SetResult(ri, zrkc::Msg::ArrayUnregistered);
            return call.Fail();
        }
        if (registered != kDeviceListRegistered) return call.Fail();
    }
    unsigned char inquiry[kInquiryLen] = {};
    const int result = ZRKGetLogicalUnitInfo(volume, inquiry, call.Sense());
    if (call.MapResult(0, IdOf(Op::UnitInfo), volume, result) != 0) {
        call.TraceVolumeParm(volume, ApiOption(opt));
        return call.Fail();
    }
    if (com_set_alias(volume, inquiry + kInquiryProductAt, inquiry + kInquiryDevIdAt, list.data(),
                      option, ZRKC_ALIAS_IF_SCSI, nullptr, nullptr, ri) != 0) {
        return call.Fail();
    }
    return call.Finish();
}

extern "C" int zrkc_query_routeinfo(const char *volume, int option, ReturnInfo *ri, void *area,
                                    int length) {
    CommandCall call("zrkc_query_routeinfo", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.OpenVolume(volume, opt) != 0) return -1;
    if (area == nullptr && length != 0) return NotSpecified(call);
    if (CheckMask(call, opt, 0) != 0) return -1;
    const size_t areaLength = length > 0 ? static_cast<size_t>(length) : 0;
    if (call.CheckOutputArea(area, areaLength, sizeof(RouteInfo)) != 0) return 1;
    std::vector<unsigned char> list(ZRKC_REMOTE_AREA_LEN);
    if (ReadDeviceRoute(call, volume, opt, zrkc::CatalogueMsg::ClusterVolume, list) != 0) return -1;

    const char *ownBox = reinterpret_cast<const char *>(list.data());
    AliasRecord record{};
    const int found = com_get_alias_info(ZRKC_ALIAS_BY_BOXID, ownBox, &record, ri);
    if (found == -1) return call.Fail();
    if (found == 1) {
        zrkc::SetResult(ri, zrkc::Msg::AliasUndefined);
        return call.Fail();
    }
    RouteInfo *route = static_cast<RouteInfo *>(area);
    // The count byte never names more entries than the RouteInfo holds.
    const uint8_t count = list[ZRKC_REMOTE_COUNT_AT];
    route->TargetCount = count;
    CopyField(route->ProductID, record.Main.ProductID);
    CopyField(route->DevIDNo, record.Main.DevIDNo);
    CopyField(route->Alias, record.Main.Alias);
    std::memcpy(route->BoxID, ownBox, ZRK_BOXID_LEN);
    CopyField(route->AccessPath, record.Main.AccessPath);
    route->AccessPath[sizeof route->AccessPath - 1] = '\0';
    for (uint8_t i = 0; i < count; ++i) {
        const unsigned char *entry = list.data() + ZRKC_REMOTE_ENTRY_AT + size_t{i} * ZRKC_REMOTE_ENTRY_LEN;
        const char *box = reinterpret_cast<const char *>(entry);
        AliasRecord remote{};
        const int known = com_get_alias_info(ZRKC_ALIAS_BY_BOXID, box, &remote, ri);
        if (known == -1) return call.Fail();
        RouteTarget &target = route->Target[i];
        target.No = entry[ZRKC_REMOTE_NO_AT];
        std::memcpy(target.BoxID, box, ZRK_BOXID_LEN);
        if (known == 0) {
            CopyField(target.ProductID, remote.Main.ProductID);
            CopyField(target.DevIDNo, remote.Main.DevIDNo);
            CopyField(target.Alias, remote.Main.Alias);
        }
    }
    return call.Finish();
}

extern "C" int zrkc_query_aliaslist(int option, ReturnInfo *ri, void *area, int length) {
    CommandCall call("zrkc_query_aliaslist", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(ri) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. opt=%08x", call.Name(), opt);
    if (area == nullptr && length != 0) return NotSpecified(call);
    if (CheckMask(call, opt, 0) != 0) return -1;
    const size_t areaLength = length > 0 ? static_cast<size_t>(length) : 0;
    if (call.CheckOutputArea(area, areaLength, sizeof(AliasList)) != 0) return 1;
    if (com_get_aliaslist(static_cast<AliasList *>(area), ri) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_add_alias(const char *boxId, int option, ReturnInfo *ri) {
    CommandCall call("zrkc_add_alias", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(boxId) != 0) return -1;
    // The store reads the BoxID as 40 bytes: a shorter text is taken with
    // zeros after it, never with what follows it in memory.
    char box[ZRK_BOXID_LEN + 1] = {};
    std::memcpy(box, boxId, strnlen(boxId, ZRK_BOXID_LEN));
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. BoxID=%s, opt=%08x", call.Name(), box, opt);
    if (CheckMask(call, opt, ZRKC_OPT_BOXID_ALIAS) != 0) return -1;
    if (com_add_alias(box, option, ri) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_change_alias(unsigned int id, const char *alias, int option, ReturnInfo *ri) {
    CommandCall call("zrkc_change_alias", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(alias) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. ID=%d, alias=%s, opt=%08x", call.Name(),
                    static_cast<int>(id), alias, opt);
    if (CheckMask(call, opt, 0) != 0) return -1;
    if (strnlen(alias, kMaxAliasLength + 1) > kMaxAliasLength || com_alias_check(alias) != 0) {
        zrkc::SetResult(ri, zrkc::Msg::InvalidParameter, alias);
        return call.Fail();
    }
    if (com_change_alias(id, alias, ri) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_delete_alias(unsigned int id, const char *user, const char *password,
                                 int option, ReturnInfo *ri) {
    CommandCall call("zrkc_delete_alias", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(ri) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. ID=%d, opt=%08x", call.Name(),
                    static_cast<int>(id), opt);
    if (CheckMask(call, opt, 0) != 0) return -1;
    if (com_delete_alias(id, user, password, ri) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_set_iprouteinfo(const char *ip, const char *user, const char *password,
                                    int option, ReturnInfo *ri) {
    CommandCall call("zrkc_set_iprouteinfo", ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (call.Open(ip) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. ip=%s, opt=%08x", call.Name(), ip, opt);
    if (user == nullptr || password == nullptr) return NotSpecified(call);
    if (CheckMask(call, opt, ZRKC_OPT_BOXID_ALIAS) != 0) return -1;
    const uint32_t apiOption = ApiOption(opt);

    call.TraceApiStart(Op::LogIn);
    int result = ZRKIPLogIn(ip, user, password, static_cast<int>(apiOption), call.Sense());
    if (call.MapResult(0, IdOf(Op::LogIn), ip, result) != 0) return call.Fail();

    result = ZRKIPCheckUsers(ip, user, password, apiOption, call.Sense());
    const int checkErrno = ZRKerrno;
    if (call.MapResult(0, IdOf(Op::CheckUsers), ip, result) != 0) {
        // An account that could not be checked leaves no session behind.
        if (checkErrno == ZRK_ERR_ACCOUNT_UNCHECKED) {
            unsigned char sense[ZRK_SENSE_LEN] = {};
            ZRKIPLogOut(ip, nullptr, static_cast<int>(ZRK_OPT_FORCE), sense);
        }
        return call.Fail();
    }

    char box[ZRK_BOXID_LEN + 1] = {};
    uint32_t olu = 0, extentHigh = 0, extentLow = 0, sizeHigh = 0, sizeLow = 0;
    VOL_INFO info{};
    result = ZRKIPGetVolumeInfo(ip, nullptr, 0, kIpVolumeInfoWhat, box, &olu, &extentHigh,
                                &extentLow, &sizeHigh, &sizeLow, &info, call.Sense());
    if (call.MapResult(0, IdOf(Op::VolumeInfo, ZRKC_TRANSPORT_LAN), ip, result) != 0) return call.Fail();
    std::vector<unsigned char> list(ZRKC_REMOTE_AREA_LEN);
    if (HasRvz(info)) {
        result = ZRKIPGetRemoteBoxIDList(ip, nullptr, apiOption, list.data(), call.Sense());
        if (call.MapResult(0, IdOf(Op::RemoteList, ZRKC_TRANSPORT_LAN), ip, result) != 0) return call.Fail();
    } else {
        OwnBoxOnly(list, box);
    }
    result = ZRKIPLogOut(ip, nullptr, static_cast<int>(apiOption), call.Sense());
    if (call.MapResult(0, IdOf(Op::LogOut), ip, result) != 0) return call.Fail();
    call.TraceApiEnd(Op::LogOut);

    Account account;
    if (ServiceText(call, kEncrypt, user, ip, account.caUser) != 0 ||
        ServiceText(call, kEncrypt, password, ip, account.caPassword) != 0) {
        return call.Fail();
    }
    static const unsigned char kNoIdentification[16] = {};
    if (com_set_alias(ip, kNoIdentification, kNoIdentification, list.data(), option,
                      ZRKC_ALIAS_IF_LAN, account.caUser, account.caPassword, ri) != 0) {
        return call.Fail();
    }
    return call.Finish();
}

extern "C" int zrkc_iplogin(const char *alias, int option, ReturnInfo *ri) {
    CommandCall call("zrkc_iplogin", ri);
    AliasRecord record{};
    if (OpenLanCommand(call, alias, option, record) != 0) return -1;
    Account account;
    if (ServiceText(call, kDecrypt, record.User, kServiceVolume, account.caUser) != 0 ||
        ServiceText(call, kDecrypt, record.Password, kServiceVolume, account.caPassword) != 0) {
        return call.Fail();
    }
    explicit_bzero(record.User, sizeof record.User);
    explicit_bzero(record.Password, sizeof record.Password);
    const char *address = record.Main.AccessPath;
    const int result = ZRKIPLogIn(address, account.caUser, account.caPassword,
                                  static_cast<int>(ApiOption(static_cast<uint32_t>(option))),
                                  call.Sense());
    if (call.MapResult(0, IdOf(Op::LogIn), address, result) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_iplogout(const char *alias, int option, ReturnInfo *ri) {
    CommandCall call("zrkc_iplogout", ri);
    AliasRecord record{};
    if (OpenLanCommand(call, alias, option, record) != 0) return -1;
    const char *address = record.Main.AccessPath;
    const int result = ZRKIPLogOut(address, nullptr,
                                   static_cast<int>(ApiOption(static_cast<uint32_t>(option))),
                                   call.Sense());
    if (call.MapResult(0, IdOf(Op::LogOut), address, result) != 0) return call.Fail();
    return call.Finish();
}
