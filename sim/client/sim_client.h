// Test helper for the array simulator: start a zrksim daemon on a scenario
// text, drive it through its control socket, and stop it again.
//
//   zrksim::Simulator sim(R"(
//   array A1 boxid="BOX-A1"
//   volume A1 5 2097152 name=vol5
//   disk /dev/sdb 8:16 A1 5
//   )");
//   // ZRK_SIM_SOCKET now names the daemon: the simulated library of this
//   // process and of its children talks to it.
//   sim.injectSense(1, 0x6, 0x29, 0x00);
//   ... call the library ...
//   auto log = sim.cdbLog();
//
// Every method that gets an error reply, or cannot reach the daemon, throws
// std::runtime_error with the daemon's text.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zrksim {

// One SCSI command as the simulator received it.
struct CdbRecord {
    std::string path;                    // node that answered (/dev/sdb)
    std::string via;                     // "" direct, else the node it came through (/dev/brdlx/_diag)
    std::vector<unsigned char> cdb;      // the CDB bytes
    std::vector<unsigned char> dataOut;  // bytes sent to the device (empty when none)
};

// A control reply: ok with its lines, or the error text.
struct Reply {
    bool ok = false;
    std::vector<std::string> lines;
    std::string error;
};

class Simulator {
public:
    // Writes the scenario to <tempdir>/scenario.scn, starts the daemon on
    // <tempdir>/host.sock and <tempdir>/control.sock and waits until it
    // answers ping; then sets ZRK_SIM_SOCKET and ZRK_SIM_CONTROL (the old
    // values come back in the destructor). Throws with the daemon's message
    // when it does not come up (for example a scenario error).
    explicit Simulator(const std::string &scenario);
    // The same, with the LAN front listening on 127.0.0.1 at a port the
    // system chooses when `withLan` is true (lanPort() tells it).
    Simulator(const std::string &scenario, bool withLan);
    // Sends shutdown, waits for the daemon and removes the folder.
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    const std::string &dir() const { return dir_; }
    const std::string &socketPath() const { return socket_; }
    const std::string &controlPath() const { return control_; }
    const std::string &scenarioPath() const { return scenarioFile_; }
    pid_t pid() const { return pid_; }
    // The LAN front's port (control command lanport); throws without one.
    int lanPort() const;

    // A raw control command (one line, without the newline). An error reply
    // is returned, not thrown; an unreachable daemon throws.
    Reply command(const std::string &line) const;
    // The same, throwing on an error reply; the reply lines.
    std::vector<std::string> commandOk(const std::string &line) const;

    void ping() const;
    unsigned long long clock() const;
    // Advances the virtual clock, and every session with it; returns the new
    // value.
    unsigned long long advanceClock(unsigned long long seconds) const;

    // The next `count` SCSI commands (to `path` only, when given; after
    // letting `skip` matching ones pass) end in CHECK CONDITION with this
    // fixed-format sense.
    void injectSense(int count, int key, int asc, int ascq, const std::string &path = "",
                     int skip = 0) const;
    // The same, only for TRAVO OUT commands whose parameter list is page
    // `page` (0x44 start, 0x45 stop, 0x46 change, 0x48 suspend, 0x49 resume,
    // 0x50 concurrent suspend, ...): refuses a start and lets the reserve
    // before it and the roll-back after it through.
    void injectSenseOnList(int page, int count, int key, int asc, int ascq, const std::string &path = "",
                           int skip = 0) const;
    // The same, only for TRAVO IN commands of page `page` (CDB byte 2).
    void injectSenseOnPage(int page, int count, int key, int asc, int ascq, const std::string &path = "",
                           int skip = 0) const;
    // ... end with this SCSI status byte (0x08, 0x18, 0x28, 0x04) and no sense.
    void injectStatus(int count, int status, const std::string &path = "", int skip = 0) const;
    // ... end GOOD with this host_status and driver_status.
    void injectTransport(int count, int hostStatus, int driverStatus, const std::string &path = "",
                         int skip = 0) const;
    // The next `count` host calls `op` (open, stat, access, readlink,
    // read_file, run, ioctl) fail with `err`. For ioctl, `request` (0: any)
    // narrows it to one request code.
    void injectErrno(const std::string &op, int count, int err, const std::string &path = "",
                     int skip = 0, unsigned long request = 0) const;
    void clearFaults() const;
    std::vector<std::string> faults() const;

    // The SCSI commands received since the last clearLog, in order.
    std::vector<CdbRecord> cdbLog() const;
    void clearLog() const;
    // The host calls since the last clearCalls ("ioctl /dev/sdb BLKRRPART").
    std::vector<std::string> calls() const;
    void clearCalls() const;

    // The copy sessions, one `session ...` scenario line each (of one array
    // when given).
    std::vector<std::string> sessions(const std::string &array = "") const;
    // Adds sessions: the words of a `session` directive after its name
    // ("1 vz A1 5 A1 6 status=suspend").
    void addSession(const std::string &words) const;
    // Ends the session that has identifier `id` on `array`.
    void endSession(const std::string &array, unsigned id) const;
    // Changes a session: `options` are KEY=VALUE words ("status=4 copied=100").
    void setSession(const std::string &array, unsigned id, const std::string &options) const;
    // Changes an array: `options` are KEY=VALUE words ("rate=1000 writerate=10").
    void setArray(const std::string &array, const std::string &options) const;
    // Sets the storage-cluster role (page 0xF2 byte 88) of an array, or of one
    // of its volumes when `olu` is not negative; `group` when not negative.
    void setRole(const std::string &array, int role, int group = -1, int olu = -1) const;
    // The next `count` TRAVO IN replies of `page` (of `array` when given, after
    // `skip` matching ones) get the bytes `hex` laid at `offset`.
    void corrupt(int page, std::size_t offset, const std::string &hex, int count = 1, int skip = 0,
                 const std::string &array = "") const;

    // Replaces the model by another scenario text (faults and logs dropped).
    void load(const std::string &scenario) const;
    std::string dump() const;
    // Stops the daemon now (the destructor then only cleans up) and returns
    // its exit code: 0 for a clean end, -1 when it was killed or already
    // stopped.
    int shutdown();

private:
    std::string dir_;
    std::string socket_;
    std::string control_;
    std::string scenarioFile_;
    std::string stderrFile_;
    pid_t pid_ = -1;
    std::string oldSocketEnv_;
    std::string oldControlEnv_;
    bool hadSocketEnv_ = false;
    bool hadControlEnv_ = false;
};

// Sends one control command to the control socket at `controlPath` and reads
// the reply; throws std::runtime_error when the socket cannot be reached or
// the reply is cut short.
Reply controlCommand(const std::string &controlPath, const std::string &line);

// Where the build put the daemon and the control tool zrksimctl.
const char *daemonProgram();
const char *controlProgram();

// Runs the daemon's parser on a scenario text (zrksim --check): empty when it
// is valid, else the daemon's message ("zrksim: FILE:LINE: ...").
std::string checkScenario(const std::string &scenario);

// Bytes as lower-case hex without separators, and back (throws on bad text).
std::string toHex(const std::vector<unsigned char> &bytes);
std::vector<unsigned char> fromHex(const std::string &text);

}  // namespace zrksim
