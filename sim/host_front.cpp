#include "host_front.h"

#include "scsi.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

namespace zrksim {

namespace {

using proto::Fields;

constexpr int kDxferFromDev = -3;
constexpr int kDxferToFromDev = -4;

Fields failure(int err) { return {std::to_string(err)}; }

bool number(const std::string &text, long long &value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

std::vector<std::uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

class HostFront {
public:
    HostFront(SimState &state, const Fields &request) : st_(state), rq_(request) {}

    Fields answer() {
        if (rq_.size() < 2) return failure(EINVAL);
        const std::string &op = rq_[0];
        if (op == "run") return run();
        const std::string &path = rq_[1];
        if (op == "open") return open(path);
        if (op == "stat") return stat(path);
        if (op == "access") return access(path);
        if (op == "readlink") return readlink(path);
        if (op == "read_file") return readFile(path);
        if (op == "getgeo") return getgeo(path);
        if (op == "getsize") return getsize(path);
        if (op == "ioctl") return ioctl(path);
        if (op == "sg_io") return sgIo(path);
        return failure(ENOSYS);
    }

private:
    SimState &st_;
    const Fields &rq_;

    void logCall(const std::string &text) { st_.calls.push_back(text); }

    // Logs the call and applies an errno fault; the errno, or 0.
    int enter(const std::string &op, const std::string &path, const std::string &detail = "",
              unsigned long request = 0) {
        logCall(op + " " + path + (detail.empty() ? "" : " " + detail));
        return st_.faults.hostCall(op, path, request);
    }

    Fields open(const std::string &path) {
        if (int err = enter("open", path)) return failure(err);
        Model::Lookup found = st_.model.resolve(path);
        return failure(found.kind == Model::Kind::None ? found.err : 0);
    }

    Fields stat(const std::string &path) {
        if (int err = enter("stat", path)) return failure(err);
        Model::Lookup found = st_.model.resolve(path);
        switch (found.kind) {
        case Model::Kind::None: return failure(found.err);
        case Model::Kind::Dir: return {"0", "dir", "0755", "0", "0", "0"};
        case Model::Kind::File: {
            const File &file = st_.model.files.at(found.path);
            return {"0", "reg", file.bProgram ? "0755" : "0644", "0", "0",
                    std::to_string(file.content.size())};
        }
        case Model::Kind::Node: {
            const Node &node = *st_.model.node(found.path);
            bool diag = node.kind == NodeKind::Diag;
            return {"0", diag ? "chr" : "blk", diag ? "0600" : "0660", std::to_string(node.uiMajor),
                    std::to_string(node.uiMinor), "0"};
        }
        }
        return failure(EIO);
    }

    Fields access(const std::string &path) {
        long long mode = 0;
        if (rq_.size() < 3 || !number(rq_[2], mode)) return failure(EINVAL);
        if (int err = enter("access", path)) return failure(err);
        Model::Lookup found = st_.model.resolve(path);
        if (found.kind == Model::Kind::None) return failure(found.err);
        if ((mode & X_OK) != 0) {
            bool runnable = found.kind == Model::Kind::Dir ||
                            (found.kind == Model::Kind::File && st_.model.files.at(found.path).bProgram);
            if (!runnable) return failure(EACCES);
        }
        return failure(0);
    }

    Fields readlink(const std::string &path) {
        if (int err = enter("readlink", path)) return failure(err);
        auto link = st_.model.links.find(normalizePath(path));
        if (link != st_.model.links.end()) return {"0", link->second};
        Model::Lookup found = st_.model.resolve(path);
        return failure(found.kind == Model::Kind::None ? found.err : EINVAL);
    }

    Fields readFile(const std::string &path) {
        if (int err = enter("read_file", path)) return failure(err);
        Model::Lookup found = st_.model.resolve(path);
        switch (found.kind) {
        case Model::Kind::None: return failure(found.err);
        case Model::Kind::Dir: return failure(EISDIR);
        case Model::Kind::Node: return failure(EINVAL);
        case Model::Kind::File: return {"0", st_.model.files.at(found.path).content};
        }
        return failure(EIO);
    }

    Fields run() {
        std::vector<std::string> argv(rq_.begin() + 1, rq_.end());
        std::string words;
        for (std::size_t i = 1; i < argv.size(); ++i) words += (i > 1 ? " " : "") + argv[i];
        if (int err = enter("run", argv[0], words)) return failure(err);
        Model::Lookup found = st_.model.resolve(argv[0]);
        if (found.kind == Model::Kind::None) return failure(found.err);
        if (found.kind != Model::Kind::File || !st_.model.files.at(found.path).bProgram)
            return failure(EACCES);
        argv[0] = normalizePath(argv[0]);
        auto command = st_.model.commands.find(argv);
        if (command == st_.model.commands.end()) return {"0", std::to_string(1 << 8), ""};
        std::string out;
        for (const std::string &line : command->second.lines) out += line + "\n";
        return {"0", std::to_string(command->second.iExit << 8), out};
    }

    // The node an ioctl addresses, or the errno.
    const Node *ioctlNode(const std::string &path, int &err) {
        Model::Lookup found = st_.model.resolve(path);
        if (found.kind == Model::Kind::None) {
            err = found.err;
            return nullptr;
        }
        if (found.kind != Model::Kind::Node) {
            err = ENOTTY;
            return nullptr;
        }
        return st_.model.node(found.path);
    }

    static bool blockNode(const Node &node) {
        return node.kind == NodeKind::Disk || node.kind == NodeKind::Partition ||
               node.kind == NodeKind::DeviceMapper;
    }

    Fields getgeo(const std::string &path) {
        if (int err = enter("ioctl", path, "HDIO_GETGEO", kHdioGetgeo)) return failure(err);
        int err = 0;
        const Node *node = ioctlNode(path, err);
        if (node == nullptr) return failure(err);
        if (!blockNode(*node)) return failure(ENOTTY);
        return {"0", std::to_string(node->geo.uiHeads), std::to_string(node->geo.uiSectors),
                std::to_string(node->geo.uiCylinders), std::to_string(node->ullStart)};
    }

    Fields getsize(const std::string &path) {
        if (int err = enter("ioctl", path, "BLKGETSIZE", kBlkGetSize)) return failure(err);
        int err = 0;
        const Node *node = ioctlNode(path, err);
        if (node == nullptr) return failure(err);
        if (!blockNode(*node)) return failure(ENOTTY);
        return {"0", std::to_string(node->ullSize)};
    }

    Fields ioctl(const std::string &path) {
        long long request = 0;
        if (rq_.size() < 3 || !number(rq_[2], request)) return failure(EINVAL);
        auto req = static_cast<unsigned long>(request);
        if (int err = enter("ioctl", path, requestName(req), req)) return failure(err);
        int err = 0;
        const Node *node = ioctlNode(path, err);
        if (node == nullptr) return failure(err);
        if (req == kBlkRrPart) {
            if (node->kind == NodeKind::Disk) return failure(0);
            return failure(node->kind == NodeKind::Partition || node->kind == NodeKind::DeviceMapper
                               ? EINVAL
                               : ENOTTY);
        }
        return failure(ENOTTY);
    }

    Fields sgIo(const std::string &path) {
        long long direction = 0, dxferLen = 0;
        if (rq_.size() < 8 || !number(rq_[3], direction) || !number(rq_[4], dxferLen) || dxferLen < 0)
            return failure(EINVAL);
        const std::string &device = rq_[2];
        bool passThrough = device != "-";
        unsigned long request = passThrough ? kBrdlxDiag : kSgIo;
        std::string detail = requestName(request) + (passThrough ? " dev=" + device : "");
        if (int err = enter("ioctl", path, detail, request)) return failure(err);

        int err = 0;
        const Node *node = ioctlNode(path, err);
        if (node == nullptr) return failure(err);
        std::string via;
        if (passThrough) {
            if (node->kind != NodeKind::Diag) return failure(ENOTTY);
            long long major = 0, minor = 0;
            std::size_t colon = device.find(':');
            if (colon == std::string::npos || !number(device.substr(0, colon), major) ||
                !number(device.substr(colon + 1), minor))
                return failure(EINVAL);
            via = node->path;
            node = st_.model.volumeNodeByDevice(static_cast<unsigned>(major), static_cast<unsigned>(minor));
            if (node == nullptr) return failure(ENXIO);
        }
        const Array *array = nullptr;
        const Volume *volume = nullptr;
        if (!st_.model.volumeOf(*node, &array, &volume)) return failure(ENOTTY);

        std::vector<std::uint8_t> cdb = bytesOf(rq_[6]);
        std::vector<std::uint8_t> dataOut = bytesOf(rq_[7]);
        st_.cdbLog.push_back(CdbRecord{node->path, via, cdb, dataOut});

        ScsiAnswer answer;
        std::uint8_t host = 0, driver = 0;
        if (std::optional<Fault> fault = st_.faults.scsiCommand(node->path, via, cdb, dataOut)) {
            switch (fault->kind) {
            case FaultKind::Sense: answer = checkCondition(fault->ucKey, fault->ucAsc, fault->ucAscq); break;
            case FaultKind::Status: answer.ucStatus = fault->ucStatus; break;
            case FaultKind::Transport:
                host = fault->ucHost;
                driver = fault->ucDriver;
                break;
            case FaultKind::Errno: break;
            }
        } else {
            answer = answerCommand(st_, *array, *volume, cdb, dataOut);
        }
        std::string dataIn;
        if (direction == kDxferFromDev || direction == kDxferToFromDev) {
            std::size_t n = std::min(answer.data.size(), static_cast<std::size_t>(dxferLen));
            dataIn.assign(answer.data.begin(), answer.data.begin() + static_cast<std::ptrdiff_t>(n));
        }
        return {"0",
                std::to_string(answer.ucStatus),
                std::to_string(host),
                std::to_string(driver),
                std::string(answer.sense.begin(), answer.sense.end()),
                dataIn};
    }
};

}  // namespace

proto::Fields answerHost(SimState &state, const proto::Fields &request) {
    return HostFront(state, request).answer();
}

}  // namespace zrksim
