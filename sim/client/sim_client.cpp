#include "sim_client.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace zrksim {

namespace {

namespace fs = std::filesystem;

std::string makeDir() {
    std::string base = fs::temp_directory_path().string() + "/zrksim.XXXXXX";
    if (mkdtemp(base.data()) == nullptr) throw std::runtime_error("zrksim: mkdtemp failed");
    return base;
}

void writeText(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("zrksim: cannot write " + path);
}

std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// The daemon's messages without its ready line.
std::string daemonMessages(const std::string &file) {
    std::string text = readText(file);
    std::string kept;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line != "zrksim: ready") kept += (kept.empty() ? "" : "\n") + line;
    return trimmed(kept);
}

// Starts the daemon with `args`, standard error into `errFile`.
pid_t spawnDaemon(const std::vector<std::string> &args, const std::string &errFile) {
    std::vector<std::string> words{ZRKSIM_DAEMON};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error(std::string("zrksim: cannot start " ZRKSIM_DAEMON ": ") + std::strerror(rc));
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

void saveEnv(const char *name, bool &had, std::string &value) {
    const char *old = std::getenv(name);
    had = old != nullptr;
    if (had) value = old;
}

void restoreEnv(const char *name, bool had, const std::string &value) {
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

std::string formatFault(const std::string &head, const std::string &path, int skip) {
    std::string line = head;
    if (!path.empty()) line += " path=" + path;
    if (skip != 0) line += " skip=" + std::to_string(skip);
    return line;
}

}  // namespace

Simulator::Simulator(const std::string &scenario) : Simulator(scenario, false) {}

int Simulator::lanPort() const {
    std::vector<std::string> lines = commandOk("lanport");
    if (lines.size() != 1) throw std::runtime_error("zrksim: lanport answered no port");
    return std::stoi(lines[0]);
}

Simulator::Simulator(const std::string &scenario, bool withLan) : dir_(makeDir()) {
    socket_ = dir_ + "/host.sock";
    control_ = dir_ + "/control.sock";
    scenarioFile_ = dir_ + "/scenario.scn";
    stderrFile_ = dir_ + "/zrksim.err";
    try {
        writeText(scenarioFile_, scenario);
        std::vector<std::string> args{"--scenario", scenarioFile_, "--socket", socket_, "--control", control_};
        if (withLan) {
            args.push_back("--lan-port");
            args.push_back("0");
        }
        pid_ = spawnDaemon(args, stderrFile_);
        // Wait until the daemon answers, or until it has ended.
        for (int attempt = 0;; ++attempt) {
            try {
                Reply r = controlCommand(control_, "ping");
                if (r.ok) break;
            } catch (const std::runtime_error &) {
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                std::string text = daemonMessages(stderrFile_);
                throw std::runtime_error(text.empty() ? "zrksim: the daemon ended at start" : text);
            }
            if (attempt > 20000) throw std::runtime_error("zrksim: the daemon does not answer");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } catch (...) {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitFor(pid_);
        }
        fs::remove_all(dir_);
        throw;
    }
    saveEnv("ZRK_SIM_SOCKET", hadSocketEnv_, oldSocketEnv_);
    saveEnv("ZRK_SIM_CONTROL", hadControlEnv_, oldControlEnv_);
    setenv("ZRK_SIM_SOCKET", socket_.c_str(), 1);
    setenv("ZRK_SIM_CONTROL", control_.c_str(), 1);
}

Simulator::~Simulator() {
    shutdown();
    restoreEnv("ZRK_SIM_SOCKET", hadSocketEnv_, oldSocketEnv_);
    restoreEnv("ZRK_SIM_CONTROL", hadControlEnv_, oldControlEnv_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

int Simulator::shutdown() {
    if (pid_ <= 0) return -1;
    bool asked = false;
    try {
        asked = controlCommand(control_, "shutdown").ok;
    } catch (const std::runtime_error &) {
    }
    if (!asked) kill(pid_, SIGTERM);
    int status = waitFor(pid_);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Reply Simulator::command(const std::string &line) const { return controlCommand(control_, line); }

std::vector<std::string> Simulator::commandOk(const std::string &line) const {
    Reply r = command(line);
    if (!r.ok) throw std::runtime_error("zrksim: " + line + ": " + r.error);
    return r.lines;
}

void Simulator::ping() const { commandOk("ping"); }

unsigned long long Simulator::clock() const { return std::stoull(commandOk("clock").at(0)); }

unsigned long long Simulator::advanceClock(unsigned long long seconds) const {
    return std::stoull(commandOk("advance " + std::to_string(seconds)).at(0));
}

void Simulator::injectSense(int count, int key, int asc, int ascq, const std::string &path, int skip) const {
    commandOk(formatFault("fault sense " + std::to_string(count) + " " + std::to_string(key) + " " +
                              std::to_string(asc) + " " + std::to_string(ascq),
                          path, skip));
}

void Simulator::injectSenseOnList(int page, int count, int key, int asc, int ascq, const std::string &path,
                                  int skip) const {
    commandOk(formatFault("fault sense " + std::to_string(count) + " " + std::to_string(key) + " " +
                              std::to_string(asc) + " " + std::to_string(ascq) + " page=" + std::to_string(page),
                          path, skip));
}

void Simulator::injectSenseOnPage(int page, int count, int key, int asc, int ascq, const std::string &path,
                                  int skip) const {
    commandOk(formatFault("fault sense " + std::to_string(count) + " " + std::to_string(key) + " " +
                              std::to_string(asc) + " " + std::to_string(ascq) + " inpage=" + std::to_string(page),
                          path, skip));
}

void Simulator::injectStatus(int count, int status, const std::string &path, int skip) const {
    commandOk(formatFault("fault status " + std::to_string(count) + " " + std::to_string(status), path, skip));
}

void Simulator::injectTransport(int count, int hostStatus, int driverStatus, const std::string &path,
                                int skip) const {
    commandOk(formatFault("fault transport " + std::to_string(count) + " " + std::to_string(hostStatus) + " " +
                              std::to_string(driverStatus),
                          path, skip));
}

void Simulator::injectErrno(const std::string &op, int count, int err, const std::string &path, int skip,
                            unsigned long request) const {
    std::string line = formatFault("fault errno " + op + " " + std::to_string(count) + " " + std::to_string(err),
                                   path, skip);
    if (request != 0) line += " request=" + std::to_string(request);
    commandOk(line);
}

void Simulator::clearFaults() const { commandOk("clearfaults"); }

std::vector<std::string> Simulator::faults() const { return commandOk("faults"); }

std::vector<CdbRecord> Simulator::cdbLog() const {
    std::vector<CdbRecord> records;
    for (const std::string &line : commandOk("cdblog")) {
        std::istringstream in(line);
        std::string path, via, cdb, data;
        if (!(in >> path >> via >> cdb >> data)) throw std::runtime_error("zrksim: bad cdblog line " + line);
        records.push_back(CdbRecord{path, via == "-" ? "" : via, fromHex(cdb),
                                    data == "-" ? std::vector<unsigned char>{} : fromHex(data)});
    }
    return records;
}

void Simulator::clearLog() const { commandOk("clearlog"); }

std::vector<std::string> Simulator::calls() const { return commandOk("calls"); }

void Simulator::clearCalls() const { commandOk("clearcalls"); }

std::vector<std::string> Simulator::sessions(const std::string &array) const {
    return commandOk(array.empty() ? "sessions" : "sessions " + array);
}

void Simulator::addSession(const std::string &words) const { commandOk("session " + words); }

void Simulator::endSession(const std::string &array, unsigned id) const {
    commandOk("endsession " + array + " " + std::to_string(id));
}

void Simulator::setSession(const std::string &array, unsigned id, const std::string &options) const {
    commandOk("setsession " + array + " " + std::to_string(id) + " " + options);
}

void Simulator::setArray(const std::string &array, const std::string &options) const {
    commandOk("setarray " + array + " " + options);
}

void Simulator::setRole(const std::string &array, int role, int group, int olu) const {
    std::string line = "role " + array + " " + std::to_string(role);
    if (group >= 0) line += " group=" + std::to_string(group);
    if (olu >= 0) line += " olu=" + std::to_string(olu);
    commandOk(line);
}

void Simulator::corrupt(int page, std::size_t offset, const std::string &hex, int count, int skip,
                        const std::string &array) const {
    std::string line = "corrupt " + std::to_string(page) + " " + std::to_string(offset) + " " + hex +
                       " count=" + std::to_string(count);
    if (skip != 0) line += " skip=" + std::to_string(skip);
    if (!array.empty()) line += " array=" + array;
    commandOk(line);
}

void Simulator::load(const std::string &scenario) const {
    // A fresh name each time, so that a reader of the old file is not fooled.
    static int generation = 0;
    std::string file = dir_ + "/scenario." + std::to_string(++generation) + ".scn";
    writeText(file, scenario);
    commandOk("load " + file);
}

std::string Simulator::dump() const {
    std::string text;
    for (const std::string &line : commandOk("dump")) text += line + "\n";
    return text;
}

const char *daemonProgram() { return ZRKSIM_DAEMON; }

const char *controlProgram() { return ZRKSIM_CONTROL_TOOL; }

std::string checkScenario(const std::string &scenario) {
    std::string dir = makeDir();
    std::string file = dir + "/scenario.scn";
    std::string errFile = dir + "/zrksim.err";
    std::string result;
    try {
        writeText(file, scenario);
        int status = waitFor(spawnDaemon({"--check", file}, errFile));
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            result = daemonMessages(errFile);
            if (result.empty()) result = "zrksim: check failed";
        }
    } catch (...) {
        fs::remove_all(dir);
        throw;
    }
    fs::remove_all(dir);
    return result;
}

std::string toHex(const std::vector<unsigned char> &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::vector<unsigned char> fromHex(const std::string &text) {
    if (text.size() % 2 != 0) throw std::runtime_error("zrksim: odd hex text " + text);
    auto nibble = [&](char c) -> unsigned {
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
        throw std::runtime_error("zrksim: bad hex text " + text);
    };
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return bytes;
}

}  // namespace zrksim
