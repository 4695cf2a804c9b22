#include "model.h"

#include <cerrno>
#include <cstdio>

namespace zrksim {

namespace {

constexpr int kMaxLinks = 8;

const char *kindName(NodeKind kind) {
    switch (kind) {
    case NodeKind::Disk: return "disk";
    case NodeKind::Partition: return "partition";
    case NodeKind::DeviceMapper: return "dm";
    case NodeKind::Brdlx: return "brdlx";
    case NodeKind::Diag: return "diag";
    }
    return "?";
}

std::string parentOf(const std::string &path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string boxIdOf(const Model &model, const std::string &array) {
    auto it = model.arrays.find(array);
    return it == model.arrays.end() ? std::string(kBoxIdLen, ' ') : it->second.boxId;
}

std::string normalizePath(const std::string &path) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        std::string part = path.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out;
    for (const std::string &part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

bool Model::isDir(const std::string &path) const {
    std::string prefix = path == "/" ? "/" : path + "/";
    auto below = [&](const auto &table) {
        auto it = table.lower_bound(prefix);
        return it != table.end() && it->first.compare(0, prefix.size(), prefix) == 0;
    };
    return below(nodes) || below(files) || below(links);
}

Model::Lookup Model::resolve(const std::string &path) const {
    Lookup result;
    std::string current = normalizePath(path);
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        auto link = links.find(current);
        if (link == links.end()) {
            result.path = current;
            if (nodes.count(current) != 0) {
                result.kind = Kind::Node;
            } else if (files.count(current) != 0) {
                result.kind = Kind::File;
            } else if (isDir(current)) {
                result.kind = Kind::Dir;
            } else {
                result.err = ENOENT;
            }
            return result;
        }
        const std::string &target = link->second;
        current = normalizePath(target.starts_with("/") ? target : parentOf(current) + "/" + target);
    }
    result.err = ELOOP;
    return result;
}

const Node *Model::node(const std::string &resolvedPath) const {
    auto it = nodes.find(resolvedPath);
    return it == nodes.end() ? nullptr : &it->second;
}

const Node *Model::volumeNodeByDevice(unsigned major, unsigned minor) const {
    for (const auto &[path, node] : nodes) {
        if (node.uiMajor == major && node.uiMinor == minor &&
            (node.kind == NodeKind::Disk || node.kind == NodeKind::DeviceMapper))
            return &node;
    }
    return nullptr;
}

bool Model::volumeOf(const Node &node, const Array **array, const Volume **volume) const {
    if (node.kind != NodeKind::Disk && node.kind != NodeKind::DeviceMapper) return false;
    auto a = arrays.find(node.array);
    if (a == arrays.end()) return false;
    auto v = a->second.volumes.find(node.uiOlu);
    if (v == a->second.volumes.end()) return false;
    *array = &a->second;
    *volume = &v->second;
    return true;
}

std::vector<std::string> Model::describe() const {
    std::vector<std::string> out;
    char line[512];
    for (const auto &[name, array] : arrays) {
        std::snprintf(line, sizeof line,
                      "array %s boxid=\"%s\" vendor=%s product=%s revision=%s family=%s vpd=%s "
                      "zrk=%s boxinfo=%s role=%u group=%u patches=%zu",
                      name.c_str(), array.boxId.c_str(), array.vendor.c_str(),
                      array.product.c_str(), array.revision.c_str(), array.family.c_str(),
                      array.bVendorPages ? "yes" : "no", array.bCopyFunctions ? "yes" : "no",
                      array.bBoxInfo ? "yes" : "no", array.ucRole, array.ucGroup,
                      array.patches.size());
        out.emplace_back(line);
        std::string support;
        for (std::uint8_t b : array.support) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            support += hex;
        }
        std::snprintf(line, sizeof line,
                      "copy %s profile=%s support=%s partner=%s maxsessions=%u,%u,%u,%u percommand=%u "
                      "generations=%u rvzbuffers=%zu/%u rate=%llu writerate=%llu reservetime=%llu "
                      "pool=%llu poolused=%llu sdvinit=%llu",
                      name.c_str(), array.profile.c_str(), support.c_str(),
                      array.partner.empty() ? "-" : array.partner.c_str(), array.maxSessions[0],
                      array.maxSessions[1], array.maxSessions[2], array.maxSessions[3],
                      array.usPerCommand, array.usGenerations, array.rvzBuffers.size(),
                      array.usRvzBuffers, static_cast<unsigned long long>(array.ullRate),
                      static_cast<unsigned long long>(array.ullWriteRate),
                      static_cast<unsigned long long>(array.ullReserveTime),
                      static_cast<unsigned long long>(array.ullPool),
                      static_cast<unsigned long long>(array.ullPoolUsed),
                      static_cast<unsigned long long>(array.ullSdvInit));
        out.emplace_back(line);
        for (const auto &[olu, volume] : array.volumes) {
            std::snprintf(line, sizeof line,
                          "volume %s %u %llu name=\"%s\" attr=%u olustatus=%u type=%u sdvstatus=0x%x",
                          name.c_str(), olu, static_cast<unsigned long long>(volume.ullBlocks),
                          volume.name.c_str(), volume.ucAttr, volume.ucOluStatus, volume.ucType,
                          volume.uiSdvStatus);
            out.emplace_back(line);
            if (volume.bCopyProtection) out.back() += " protection=yes";
            if (volume.bTier) out.back() += " tier=yes";
        }
    }
    for (const Session &session : sessions) out.push_back(sessionLine(session));
    for (const auto &[path, node] : nodes) {
        std::snprintf(line, sizeof line,
                      "node %s %s %u:%u array=%s olu=%u start=%llu size=%llu geo=%u/%u/%u%s%s",
                      kindName(node.kind), path.c_str(), node.uiMajor, node.uiMinor,
                      node.array.empty() ? "-" : node.array.c_str(), node.uiOlu,
                      static_cast<unsigned long long>(node.ullStart),
                      static_cast<unsigned long long>(node.ullSize), node.geo.uiHeads,
                      node.geo.uiSectors, node.geo.uiCylinders, node.disk.empty() ? "" : " disk=",
                      node.disk.c_str());
        out.emplace_back(line);
    }
    for (const auto &[path, file] : files) {
        std::snprintf(line, sizeof line, "%s %s (%zu bytes)", file.bProgram ? "program" : "file",
                      path.c_str(), file.content.size());
        out.emplace_back(line);
    }
    for (const auto &[path, target] : links) {
        std::snprintf(line, sizeof line, "link %s -> %s", path.c_str(), target.c_str());
        out.emplace_back(line);
    }
    for (const auto &[argv, answer] : commands) {
        std::string words;
        for (const std::string &word : argv) words += (words.empty() ? "" : " ") + word;
        std::snprintf(line, sizeof line, "command %s: exit %d, %zu lines", words.c_str(),
                      answer.iExit, answer.lines.size());
        out.emplace_back(line);
    }
    return out;
}

}  // namespace zrksim
