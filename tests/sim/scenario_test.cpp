// Scenario files and the control interface of the simulator daemon.
#include "child.h"
#include "install_root.h"
#include "sg_helpers.h"
#include "sim_client.h"

#include <signal.h>

#include <gtest/gtest.h>

using namespace simtest;
using zrksim::Simulator;

TEST(SimScenario, BadScenariosAreRefusedWithTheirLine) {
    const std::string base = "array A boxid=BOX\nvolume A 1 100\n";
    struct Case {
        std::string text;
        std::string message;  // expected after "FILE:"
    } cases[] = {
        {"frobnicate x\n", "1: unknown directive \"frobnicate\""},
        {"array A\n", "1: array A needs boxid="},
        {"array A boxid=\"" + std::string(41, 'x') + "\"\n", "1: boxid is longer than 40 bytes"},
        {"array A boxid=\"open\n", "1: unterminated quote"},
        {"array A boxid=B colour=red\n", "1: unknown option colour= for array"},
        {"array A boxid=B vpd=maybe\n", "1: vpd must be yes or no"},
        {"array A boxid=B modelinfo=0102\n", "1: modelinfo= needs exactly 10 bytes"},
        {base + "rvzbuffer A 1 size=4 used=5\n", "3: used= is larger than size="},
        {base + "rvzbuffer A 1 disksize=4 diskused=5\n", "3: diskused= is larger than disksize="},
        {base + "rvzbuffer A 1 rlus=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n",
         "3: a disk buffer lists at most 16 logical units"},
        {base + "volume A 1 5\n", "3: array A has volume 1 twice"},
        {base + "volume A 70000 5\n", "3: OLU 70000 is out of range"},
        {base + "volume A 2 0\n", "3: a volume needs at least one block"},
        {base + "volume Z 2 10\n", "3: unknown array \"Z\""},
        {base + "volume A 2 10 type=thick\n", "3: type must be open, sdv, sdpv or tpv"},
        {base + "volume A 2 10 type=tpv olustatus=1\n", "3: olustatus bit 0x01 marks a snap data volume (type=sdv)"},
        {base + "volume A 2 10 sdvstatus=0x40000000\n", "3: sdvstatus= is for snap data volumes"},
        {"array A boxid=B sdvinit=-1\n", "1: bad sdvinit \"-1\""},
        {base + "disk /dev/sdb 8:16 A 9\n", "3: array A has no volume 9"},
        {base + "disk /dev/sdb 8x16 A 1\n", "3: bad device number \"8x16\" (MAJOR:MINOR)"},
        {base + "disk sdb 8:16 A 1\n", "3: path \"sdb\" is not absolute"},
        {base + "disk /dev/sdb 8:16 A 1\ndisk /dev/sdc 8:16 A 1\n",
         "4: device number of /dev/sdc is already used by /dev/sdb"},
        {base + "disk /dev/sdb 8:16 A 1\npartition /dev/sdb1 8:17 /dev/sdb 50 51\n",
         "4: partition /dev/sdb1 ends beyond its disk"},
        {base + "partition /dev/sdb1 8:17 /dev/sdb 0 10\n", "3: /dev/sdb is not a declared disk"},
        {base + "brdlx /dev/brdlx/c1/vol1 250:1\n", "3: brdlx path must read /dev/brdlx/CLASS/.../VOLUME:DISK"},
        {base + "brdlx /dev/brdlx/c1/dsk/vol1:sdx 250:1\n", "3: brdlx /dev/brdlx/c1/dsk/vol1:sdx: /dev/sdx is not a declared disk"},
        {base + "bytes A 0xF0 2 00\n", "3: the first 4 bytes of an answer are derived"},
        {base + "bytes A 0xF0 30 0g\n", "3: bad hex bytes \"0g\""},
        {base + "nofile /sys/block/sdz/size\n", "3: nofile: /sys/block/sdz/size is not a file"},
        {base + "command out=x /bin/true\n", "3: usage: command [status=] [out=LINE...] -- ARGV..."},
        {base + "link /dev/a b\nlink /dev/a c\n", "4: /dev/a is declared twice"},
    };
    for (const Case &c : cases) simtest::expectScenarioError(c.text, c.message);
    EXPECT_EQ(zrksim::checkScenario(zrktest::readFile(ZRK_SOURCE_DIR "/sim/scenarios/demo.scn")), "");
    EXPECT_THROW(Simulator("array A\n"), std::runtime_error);
}

TEST(SimScenario, FilesCanBeOverriddenRemovedAndAdded) {
    Simulator sim(R"(
array A boxid=BOX
volume A 1 100
disk /dev/sdb 8:16 A 1
file /sys/block/sdb/size "99\n"
nofile /sys/block/sdb/dev
file /etc/multipath.conf "defaults {}\n"
program /usr/local/bin/helper
dm /dev/mapper/x 253:1 A 1 table="0 100 linear 8:16 0"
nofile /sbin/dmsetup
)");
    char buf[32];
    ssize_t n = zrk_host_read_file("/sys/block/sdb/size", buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n > 0 ? n : 0)), "99\n");
    EXPECT_EQ(zrk_host_access("/sys/block/sdb/dev", F_OK), -1);
    EXPECT_EQ(zrk_host_access("/etc/multipath.conf", R_OK), 0);
    EXPECT_EQ(zrk_host_access("/usr/local/bin/helper", X_OK), 0);
    const char *argv[] = {"/usr/local/bin/helper", nullptr};
    int status = 0;
    EXPECT_EQ(zrk_host_run(argv, buf, sizeof buf, &status), 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // The device-mapper command was taken away again.
    const char *dmsetup[] = {"/sbin/dmsetup", "table", "/dev/mapper/x", nullptr};
    EXPECT_EQ(zrk_host_run(dmsetup, buf, sizeof buf, &status), -1);
    EXPECT_EQ(errno, ENOENT);
    struct stat st {};
    EXPECT_EQ(zrk_host_stat("/sbin/dmsetup", &st), -1);
}

TEST(SimControl, ClockAdvancesAndLoadReplacesTheModel) {
    Simulator sim("clock 100\narray A boxid=BOX\nvolume A 1 100\ndisk /dev/sdb 8:16 A 1\n");
    EXPECT_EQ(sim.clock(), 100u);
    EXPECT_EQ(sim.advanceClock(25), 125u);
    EXPECT_EQ(sim.clock(), 125u);
    sim.injectSense(5, 3, 0x11, 0);
    sg("/dev/sdb", kTestUnitReady, 0, SG_DXFER_NONE);
    sim.load("array B boxid=B2\nvolume B 2 200\ndisk /dev/sdc 8:32 B 2\n");
    EXPECT_EQ(sim.clock(), 0u);
    EXPECT_TRUE(sim.faults().empty());
    EXPECT_TRUE(sim.cdbLog().empty());
    struct stat st {};
    EXPECT_EQ(zrk_host_stat("/dev/sdb", &st), -1);
    EXPECT_EQ(zrk_host_stat("/dev/sdc", &st), 0);
    EXPECT_THROW(sim.load("bogus\n"), std::runtime_error);
    EXPECT_EQ(zrk_host_stat("/dev/sdc", &st), 0);  // a bad file leaves the model
    EXPECT_NE(sim.dump().find("node disk /dev/sdc 8:32 array=B olu=2"), std::string::npos);
    EXPECT_EQ(sim.shutdown(), 0);
}

TEST(SimControl, BadCommandsAreRefused) {
    Simulator sim("");
    const char *lines[] = {
        "", "frobnicate", "ping extra", "advance", "advance soon",
        "fault", "fault sense 1 6 0x29", "fault sense 0 6 0x29 0", "fault sense 1 16 0 0",
        "fault status 1 0x100", "fault transport 1 7", "fault errno mount 1 EIO",
        "fault errno stat 1 EWHAT", "fault errno stat 1 0", "fault errno stat 1 EIO request=SG_IO",
        "fault smoke 1", "load", "load /nonexistent/file.scn",
    };
    for (const char *line : lines) {
        SCOPED_TRACE(line);
        zrksim::Reply r = sim.command(line);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
    }
    EXPECT_TRUE(sim.faults().empty());
    zrksim::Reply ok = sim.command("fault errno ioctl 2 ENOTTY path=/dev/sdb skip=1 request=BLKRRPART");
    ASSERT_TRUE(ok.ok);
    ASSERT_EQ(sim.faults().size(), 1u);
    EXPECT_EQ(sim.faults()[0], "errno ioctl ENOTTY count=2 skip=1 seen=0 path=/dev/sdb request=0x125f");
}

TEST(SimControl, ControlToolAndSigterm) {
    Simulator sim("");
    auto ctl = [](std::vector<std::string> args) {
        return zrktest::runChild([&args] {
            std::vector<char *> argv{const_cast<char *>(zrksim::controlProgram())};
            for (std::string &a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            return 127;
        });
    };
    zrktest::ChildResult r = ctl({"--control", sim.controlPath(), "advance", "7"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "7\n");
    r = ctl({"frobnicate"});  // the control socket from ZRK_SIM_CONTROL
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zrksimctl: unknown command \"frobnicate\"\n");
    EXPECT_EQ(ctl({}).exitCode, 2);
    EXPECT_EQ(ctl({"--control", sim.dir() + "/none.sock", "ping"}).exitCode, 3);

    // SIGTERM ends the daemon, which removes its sockets.
    ASSERT_EQ(kill(sim.pid(), SIGTERM), 0);
    EXPECT_EQ(sim.shutdown(), 0);
    EXPECT_EQ(sim.shutdown(), -1);
    EXPECT_FALSE(zrktest::exists(sim.socketPath()));
    EXPECT_FALSE(zrktest::exists(sim.controlPath()));
}
