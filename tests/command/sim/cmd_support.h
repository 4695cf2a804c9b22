// The command layer's view of the simulator for the volume-resolution and
// session-list tests: three arrays and their alias-store entries, one
// reached in-band through a disk (alias "sa"), one over the LAN service
// (alias "lb"), one known without a route (alias "nc"), and an array in a
// storage-cluster role reached through a disk of its own. The fixture is the
// LAN tests' (iptest::LanSimTest), logged in to A1 and B1, with the alias
// store filled.
#pragma once

#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"
#include "zrkc.h"
#include "zrkcalias.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace cmdtest {

// arrayOptions: more options of A1 and B1 (a larger maxsessions=, say).
inline std::string Scenario(const std::string &sessions = "", const std::string &arrayOptions = "") {
    const std::string support = iptest::SupportHex({{4, 0x2F}}) + arrayOptions;
    return "array A1 boxid=\"BOXA\" address=10.0.0.5 support=" + support +
           "\n"
           "array B1 boxid=\"BOXB\" address=10.0.0.6 support=" + support +
           "\n"
           "array C1 boxid=\"BOXC\" address=10.0.0.7\n"
           "array P1 boxid=\"BOXP\" address=10.0.0.8\n"
           "array F1 boxid=\"BOXF\" address=10.0.0.9 partner=P1 role=1 group=3\n"
           "user admin secret\n"
           "volume A1 1 4096\n"
           "volume A1 2 4096\n"
           "volume A1 3 4096\n"
           "volume A1 4 4096\n"
           "volume A1 5 4096\n"
           "volume A1 7 4096\n"
           "volume A1 8 4096\n"
           "volume A1 9 4096\n"
           "volume A1 0x1a 4096\n"
           "volume A1 20 2048\n"
           "volume B1 1 4096\n"
           "volume B1 2 4096\n"
           "volume C1 1 4096\n"
           "volume P1 1 4096\n"
           "volume F1 1 4096\n"
           "disk /dev/sdb 8:16 A1 1\n"
           "partition /dev/sdb1 8:17 /dev/sdb 0 1000\n"
           "partition /dev/sdb2 8:18 /dev/sdb 1000 1000\n"
           "partition /dev/sdb3 8:19 /dev/sdb 999 1000\n"
           "disk /dev/sdc 8:32 A1 2\n"
           "disk /dev/sdd 8:48 A1 20\n"
           "disk /dev/sde 8:64 B1 1\n"
           "disk /dev/sdf 8:80 F1 1\n" +
           sessions;
}

inline std::string Box(const std::string &name) { return iptest::PaddedBox(name); }

using iptest::Encrypted;

// The first volume of a run of VZ sessions.
constexpr unsigned kFirstOlu = 0x100;

// pairs VZ sessions on one array, identifiers from 100: the sources are
// volumes kFirstOlu on, the targets the pairs volumes after them.
inline std::string VzRun(const char *array, int pairs) {
    std::string text;
    char line[128];
    for (int i = 0; i < 2 * pairs; ++i) {
        std::snprintf(line, sizeof line, "volume %s 0x%x 64\n", array, kFirstOlu + i);
        text += line;
    }
    for (int i = 0; i < pairs; ++i) {
        std::snprintf(line, sizeof line, "session %d vz %s 0x%x %s 0x%x\n", 100 + i, array,
                      kFirstOlu + i, array, kFirstOlu + pairs + i);
        text += line;
    }
    return text;
}

// The group file's lines of such a run, through the array's alias.
inline std::vector<std::string> VzRunLines(const char *alias, int pairs) {
    std::vector<std::string> lines;
    char line[64];
    for (int i = 0; i < pairs; ++i) {
        std::snprintf(line, sizeof line, "0x%x@%s 0x%x@%s", kFirstOlu + i, alias, kFirstOlu + pairs + i,
                      alias);
        lines.push_back(line);
    }
    return lines;
}

// One resolution: the result, the message and the first pair.
struct Resolved {
    int iResult = 0;
    ReturnInfo tInfo{};
    CopyPair tPair{};
};

class CommandSim : public iptest::LanSimTest {
protected:
    explicit CommandSim(const std::string &sessions = "", const std::string &arrayOptions = "")
        : LanSimTest(Scenario(sessions, arrayOptions), {"10.0.0.5", "10.0.0.6"}) {}

    void SetUp() override {
        LanSimTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(AddDiskRoute("/dev/sdb", "BOXA"));
        ASSERT_NO_FATAL_FAILURE(AddLanRoute("10.0.0.6", "BOXB"));
        ReturnInfo ri{};
        ASSERT_EQ(0, com_add_alias(Box("BOXC").c_str(), 0, &ri)) << ri.caMessage;
        Rename("BOXA", "sa");
        Rename("BOXB", "lb");
        Rename("BOXC", "nc");
        ZrkcAccessPath_Flag = 0;
        ZrkcAccessPath[0] = '\0';
        uiExOptionFlag = 0;
        sim.clearLog();
        sim.commandOk("clearlanlog");
    }

    static std::vector<unsigned char> RemoteList(const std::string &box) {
        std::vector<unsigned char> list(ZRKC_REMOTE_LIST_LEN, 0);
        std::memcpy(list.data(), Box(box).data(), ZRK_BOXID_LEN);
        return list;
    }

    // The alias-store entry of the array box, reached in-band through the
    // disk, or over the LAN service at ip as admin.
    static void AddDiskRoute(const char *disk, const std::string &box) {
        const unsigned char zeros[16] = {};
        ReturnInfo ri{};
        ASSERT_EQ(0, com_set_alias(disk, zeros, zeros, RemoteList(box).data(), 0,
                                   ZRKC_ALIAS_IF_SCSI, nullptr, nullptr, &ri))
            << ri.caMessage;
    }
    static void AddLanRoute(const char *ip, const std::string &box) {
        const unsigned char zeros[16] = {};
        ReturnInfo ri{};
        const std::string user = Encrypted("admin");
        const std::string password = Encrypted("secret");
        ASSERT_EQ(0, com_set_alias(ip, zeros, zeros, RemoteList(box).data(), 0, ZRKC_ALIAS_IF_LAN,
                                   user.c_str(), password.c_str(), &ri))
            << ri.caMessage;
    }

    static void Rename(const std::string &box, const char *alias) {
        AliasRecord record{};
        ReturnInfo ri{};
        ASSERT_EQ(0, com_get_alias_info(0, Box(box).c_str(), &record, &ri)) << box;
        ASSERT_EQ(0, com_change_alias(record.Main.ID, alias, &ri)) << ri.caMessage;
    }

    // Builds the list of the given pairs (target nullptr: a volume) and
    // resolves it.
    int BuildAndResolve(const std::vector<std::pair<const char *, const char *>> &pairs,
                        int direction, ReturnInfo *ri, bool fromGroupFile = false) {
        com_file_release(&list);
        list = CopyPairList{};
        list.iFromGroupFile = fromGroupFile ? 1 : 0;
        const size_t count = pairs.size();
        list.pNames = static_cast<CopyPairNames *>(
            std::calloc(1, sizeof(CopyPairNames) + count * sizeof(CopyPairName)));
        list.pNames->uiCount = static_cast<uint32_t>(count);
        list.pNames->uiForm = pairs.empty() || pairs[0].second != nullptr ? ZRKC_FORM_PAIRS
                                                                          : ZRKC_FORM_VOLUMES;
        for (size_t i = 0; i < count; ++i) {
            std::strcpy(list.pNames->taEntry[i].caSource, pairs[i].first);
            if (pairs[i].second != nullptr)
                std::strcpy(list.pNames->taEntry[i].caTarget, pairs[i].second);
            else
                std::memset(list.pNames->taEntry[i].caTarget, 0xFF, ZRK_VOLNAME_LEN);
        }
        return com_conv_volinf(&list, direction, ri);
    }

    Resolved Resolve(const char *source, const char *target, int direction = 0) {
        Resolved r;
        r.iResult = BuildAndResolve({{source, target}}, direction, &r.tInfo);
        if (r.iResult == 0) r.tPair = list.pPairs->taPair[0];
        return r;
    }

    void TearDown() override { com_file_release(&list); }

    // The per-pair result area of a group run, with room for `entries`
    // entries; a result record that points at it; its entry i.
    void UsePairArea(size_t entries) { area.assign(ZRK_PAIR_AREA_SIZE(entries), 0); }
    void UsePairArea(ReturnInfo *ri, size_t entries) {
        UsePairArea(entries);
        ri->pPairArea = area.data();
        ri->uiPairAreaLength = static_cast<uint32_t>(area.size());
    }
    ReturnInfo Info() {
        ReturnInfo ri{};
        ri.pPairArea = area.data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
        return ri;
    }
    PairResult &Entry(size_t i) {
        return *reinterpret_cast<PairResult *>(area.data() + 4 + i * sizeof(PairResult));
    }
    const PairResult &Entry(size_t i) const {
        return *reinterpret_cast<const PairResult *>(area.data() + 4 + i * sizeof(PairResult));
    }

    // A group file of the given text, or of the given lines.
    std::string GroupFile(const std::string &text) {
        const std::string path = root.path("group.txt");
        std::ofstream(path) << text;
        return path;
    }
    std::string GroupFileLines(const std::vector<std::string> &lines) {
        std::string text;
        for (const std::string &l : lines) text += l + "\n";
        return GroupFile(text);
    }

    CopyPairList list{};
    std::vector<unsigned char> area;
};


// ---- KZP-family command tests ----------------------------------------------

// The simulator's session line of the pair "ARRAY:OLU>ARRAY:OLU" on array,
// "" if none.
inline std::string SessionOf(const zrksim::Simulator &sim, const std::string &array,
                             const std::string &pairText) {
    for (const std::string &line : sim.sessions(array)) {
        std::istringstream in(line);
        std::string word, id, kind, sa, so, da, dO;
        in >> word >> id >> kind >> sa >> so >> da >> dO;
        if (sa + ":" + so + ">" + da + ":" + dO == pairText) return line;
    }
    return {};
}

// The name the volume-name store keeps for one side of a resolved pair
// (source keys, or target keys with the source's size); "" when none.
inline std::string StoredName(const CopyPair &pair, bool target) {
    char out[ZRK_VOLNAME_LEN] = {};
    const int r = target ? get_volname(pair.caTrgBoxID, static_cast<int32_t>(pair.TrgOlu),
                                       static_cast<int32_t>(pair.TrgAddr_h),
                                       static_cast<int32_t>(pair.TrgAddr_l),
                                       static_cast<int32_t>(pair.SrcSize_h),
                                       static_cast<int32_t>(pair.SrcSize_l), out)
                         : get_volname(pair.caSrcBoxID, static_cast<int32_t>(pair.SrcOlu),
                                       static_cast<int32_t>(pair.SrcAddr_h),
                                       static_cast<int32_t>(pair.SrcAddr_l),
                                       static_cast<int32_t>(pair.SrcSize_h),
                                       static_cast<int32_t>(pair.SrcSize_l), out);
    return r == 2 ? out : "";
}

} // namespace cmdtest
