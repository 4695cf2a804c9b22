// A model of the volume-name store for the tests that kill and race its
// writers: the records it should hold, written out as a store file the way
// every writer lays it out, and read back from a file with every rule of the
// layout checked.
#pragma once

#include "platform.h"
#include "volname.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace volnametest {

// A record's key: the BoxID (40 bytes) and the five key words.
struct Key {
    std::string box;
    std::array<int32_t, 5> words;
    auto operator<=>(const Key &) const = default;
};

struct Entry {
    std::string name;
    int32_t refs;
    bool operator==(const Entry &) const = default;
};

using Records = std::map<Key, Entry>;

// Short forms for the test messages.
inline void PrintTo(const Key &key, std::ostream *out) {
    *out << key.box.substr(0, key.box.find('0')) << "/" << key.words[0] << "," << key.words[1]
         << "," << key.words[2] << "," << key.words[3] << "," << key.words[4];
}

inline void PrintTo(const Entry &entry, std::ostream *out) {
    *out << entry.name << " x" << entry.refs;
}

inline std::string boxId(const std::string &text) {
    std::string id = text;
    id.resize(ZRK_BOXID_LEN, '0');
    return id;
}

// The store file that holds exactly these records: capacity slots, or the
// fewest whole growths that hold them.
inline std::string storeImage(const Records &records, int32_t capacity = 0) {
    std::vector<VolInfRecord> slots;
    for (const auto &[key, entry] : records) {
        VolInfRecord r {};
        std::memcpy(r.caBoxId, key.box.data(), ZRK_BOXID_LEN);
        std::copy(key.words.begin(), key.words.end(), r.iKey);
        std::memcpy(r.caName, entry.name.data(), entry.name.size());
        r.iRefCount = entry.refs;
        slots.push_back(r);
    }
    std::sort(slots.begin(), slots.end(),
              [](const VolInfRecord &a, const VolInfRecord &b) { return sort_vols(&a, &b) < 0; });
    const auto count = static_cast<int32_t>(slots.size());
    if (capacity == 0) {
        const int32_t growths = std::max(1, (count + ZRK_VOLINF_GROWTH - 1) / ZRK_VOLINF_GROWTH);
        capacity = growths * ZRK_VOLINF_GROWTH;
    }
    VolInfHeader header {capacity, count};
    std::string image(sizeof header + sizeof(VolInfRecord) * static_cast<size_t>(capacity), '\0');
    std::memcpy(image.data(), &header, sizeof header);
    if (!slots.empty()) {
        std::memcpy(image.data() + sizeof header, slots.data(), slots.size() * sizeof slots[0]);
    }
    return image;
}

// A store file read back: its records, its capacity (0 for an empty file),
// and the first rule of the layout that it breaks (empty when none).
struct Parsed {
    Records records;
    int32_t capacity = 0;
    std::string problem;
};

inline Parsed parseStore(const std::string &bytes) {
    Parsed parsed;
    if (bytes.empty()) return parsed;
    VolInfHeader header {};
    if (bytes.size() < sizeof header) {
        parsed.problem = "shorter than the header";
        return parsed;
    }
    std::memcpy(&header, bytes.data(), sizeof header);
    parsed.capacity = header.iCapacity;
    const size_t slotCount = static_cast<size_t>(std::max(0, header.iCapacity));
    const size_t length = sizeof header + sizeof(VolInfRecord) * slotCount;
    if (header.iCapacity <= 0 || header.iCount < 0 || header.iCount > header.iCapacity ||
        bytes.size() != length) {
        parsed.problem = "header (" + std::to_string(header.iCapacity) + ", " +
                         std::to_string(header.iCount) + ") against length " +
                         std::to_string(bytes.size());
        return parsed;
    }
    std::vector<VolInfRecord> slots(static_cast<size_t>(header.iCapacity));
    std::memcpy(slots.data(), bytes.data() + sizeof header, slots.size() * sizeof slots[0]);
    for (int32_t i = 0; i < header.iCapacity; ++i) {
        const VolInfRecord &r = slots[static_cast<size_t>(i)];
        const std::string at = "slot " + std::to_string(i) + ": ";
        if (i >= header.iCount) {
            const auto *p = reinterpret_cast<const unsigned char *>(&r);
            if (std::any_of(p, p + sizeof r, [](unsigned char c) { return c != 0; })) {
                parsed.problem = at + "unused but not zero";
                return parsed;
            }
            continue;
        }
        if (i > 0 && sort_vols(&slots[static_cast<size_t>(i) - 1], &r) >= 0) {
            parsed.problem = at + "out of order";
            return parsed;
        }
        const size_t nameLength = strnlen(r.caName, sizeof r.caName);
        if (nameLength == sizeof r.caName || r.iRefCount < 1) {
            parsed.problem = at + "unterminated name or no reference";
            return parsed;
        }
        Key key {std::string(r.caBoxId, ZRK_BOXID_LEN), {}};
        std::copy(r.iKey, r.iKey + 5, key.words.begin());
        parsed.records[key] = Entry {std::string(r.caName, nameLength), r.iRefCount};
    }
    return parsed;
}

inline int setName(const Key &key, const std::string &name) {
    const auto &w = key.words;
    return set_volname(name.c_str(), key.box.data(), w[0], w[1], w[2], w[3], w[4]);
}

inline int eraseName(const Key &key) {
    const auto &w = key.words;
    return erase_volname(key.box.data(), w[0], w[1], w[2], w[3], w[4]);
}

// What get_volname says for the key: the name, or "(rc N)".
inline std::string lookup(const Key &key) {
    const auto &w = key.words;
    char out[ZRK_VOLNAME_LEN] = "";
    const int rc = get_volname(key.box.data(), w[0], w[1], w[2], w[3], w[4], out);
    return rc == 2 ? std::string(out) : "(rc " + std::to_string(rc) + ")";
}

// The model's side of set_volname and erase_volname.
inline void modelSet(Records &records, const Key &key, const std::string &name) {
    auto it = records.find(key);
    if (it == records.end()) {
        records[key] = Entry {name, 1};
    } else {
        it->second = Entry {name, it->second.refs + 1};
    }
}

inline void modelErase(Records &records, const Key &key) {
    auto it = records.find(key);
    if (it == records.end()) return;
    if (--it->second.refs == 0) records.erase(it);
}

// The first key whose lookup disagrees with the records (each found under
// its own name; each of absent not found), described; empty when none does.
inline std::string lookupMismatch(const Records &records, const std::vector<Key> &absent = {}) {
    for (const auto &[key, entry] : records) {
        const std::string got = lookup(key);
        if (got != entry.name) {
            return "key " + std::to_string(key.words[0]) + ": " + got + " for " + entry.name;
        }
    }
    for (const Key &key : absent) {
        if (records.count(key) != 0) continue;
        const std::string got = lookup(key);
        if (got != "(rc 1)") return "absent key " + std::to_string(key.words[0]) + ": " + got;
    }
    return "";
}

inline mode_t fileMode(const std::string &path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

}  // namespace volnametest
