// The copy-pair list of one command call: its names from the operands or
// from a group file, the check of the caller's per-pair result area, the
// rewrites of a pair list into a volume list, the subgroup index over the
// resolved pairs, the size check of the starts, and the release of it all.
#include "zrkcframe.h"
#include "zrkcgroupfile.h"
#include "zrkcmessage.h"
#include "zrkctrace.h"

#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

using namespace zrkplatform;

namespace {

// Room for count names in one allocation (the header and the entries).
size_t NamesBytes(size_t count) { return sizeof(CopyPairNames) + count * sizeof(CopyPairName); }

CopyPairNames *AllocateNames(size_t count) {
    return static_cast<CopyPairNames *>(std::calloc(1, NamesBytes(count)));
}

void FillNoTarget(char *target) { std::memset(target, 0xFF, ZRK_VOLNAME_LEN); }

// A name fits its field with its terminator: at most 1023 characters.
bool NameFits(const char *name) { return strnlen(name, ZRK_VOLNAME_LEN) < ZRK_VOLNAME_LEN; }

int RefuseName(const char *name, ReturnInfo *ri) {
    zrkc::SetInvalidVolume(ri, name);
    return -1;
}

bool SameBox(const char *a, const char *b) { return std::memcmp(a, b, ZRK_BOXID_LEN) == 0; }

bool SizeIsZero(uint32_t high, uint32_t low) { return high == 0 && low == 0; }

} // namespace

// ---- the group file --------------------------------------------------------

namespace zrkc {

namespace {

constexpr size_t kFirstRoom = 64; // names allocated before the first growth

// The names read so far; grows as lines come, never beyond the limit.
class NameStore {
public:
    explicit NameStore(uint32_t limit) : uiLimit(limit) {}
    ~NameStore() { std::free(pNames); }
    NameStore(const NameStore &) = delete;
    NameStore &operator=(const NameStore &) = delete;

    uint32_t Count() const { return pNames != nullptr ? pNames->uiCount : 0; }
    // Room for one more name; false when memory runs out.
    bool Reserve() {
        if (pNames != nullptr && pNames->uiCount < uiRoom) return true;
        size_t room = uiRoom == 0 ? kFirstRoom : uiRoom * 2;
        if (room > uiLimit) room = uiLimit;
        auto *grown = static_cast<CopyPairNames *>(std::realloc(pNames, NamesBytes(room)));
        if (grown == nullptr) return false;
        if (pNames == nullptr) std::memset(grown, 0, sizeof(CopyPairNames));
        std::memset(&grown->taEntry[uiRoom], 0, (room - uiRoom) * sizeof(CopyPairName));
        pNames = grown;
        uiRoom = room;
        return true;
    }
    CopyPairName &Next() { return pNames->taEntry[pNames->uiCount++]; }
    CopyPairNames *Release() {
        CopyPairNames *names = pNames;
        pNames = nullptr;
        return names;
    }

private:
    uint32_t uiLimit;                 // max_grouping_ses
    size_t uiRoom = 0;                // entries allocated
    CopyPairNames *pNames = nullptr;  // the names array being built
};

// One line of the file split into its fields (views into the line).
struct Fields {
    int iCount = 0;
    std::string_view svField[2];
};

enum class Split { Empty, Fields, Syntax };

// Splits the text of a line (cut at its end) into its fields by the rules
// of the group file.
Split SplitLine(std::string_view text, Fields &fields) {
    size_t p = 0;
    while (p < text.size() && text[p] == ' ') ++p;
    if (p == text.size()) return Split::Empty;
    while (p < text.size()) {
        std::string_view field;
        if (text[p] == '"') {
            const size_t close = text.find('"', p + 1);
            if (close == std::string_view::npos) return Split::Syntax;
            if (close + 1 < text.size() && text[close + 1] != ' ') return Split::Syntax;
            field = text.substr(p + 1, close - p - 1);
            p = close + 1;
        } else {
            size_t end = text.find(' ', p);
            if (end == std::string_view::npos) end = text.size();
            field = text.substr(p, end - p);
            p = end;
        }
        if (fields.iCount == 2) return Split::Syntax;
        fields.svField[fields.iCount++] = field;
        while (p < text.size() && text[p] == ' ') ++p;
    }
    return Split::Fields;
}

void CopyName(char *out, std::string_view name) {
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
}

} // namespace

int ReadGroupFile(int fd, uint32_t limit, CopyPairNames **names, GroupFileError &error) {
    error = {};
    BufferedFile file(fd);
    NameStore store(limit);
    uint32_t form = 0;
    std::string line;
    line.reserve(kGroupLineMax + 1);
    for (uint32_t lineNo = 1;; ++lineNo) {
        // One line: its bytes up to the LF, which is not kept; a CR may
        // stand after the longest line.
        const int c = file.ReadLine(line, kGroupLineMax + 1);
        const bool tooLong = c == BufferedFile::kTooLong;
        if (c == BufferedFile::kError) {
            error = {GroupFileError::Kind::Read, lineNo, file.Error()};
            return -1;
        }
        const bool atEnd = c == BufferedFile::kEnd;
        if (atEnd && line.empty()) break;
        if (!line.empty() && line.back() == '\r' && !tooLong) line.pop_back();
        if (tooLong || line.size() > kGroupLineMax) {
            error = {GroupFileError::Kind::Syntax, lineNo, 0};
            return -1;
        }

        std::string_view text(line);
        if (!text.empty() && text.front() != '\r' && text.front() != '#') {
            // The line ends at its first CR (or a NUL, as a C string would).
            const size_t cut = text.find_first_of(std::string_view("\r\0", 2));
            if (cut != std::string_view::npos) text = text.substr(0, cut);
            Fields fields;
            const Split split = SplitLine(text, fields);
            if (split == Split::Syntax) {
                error = {GroupFileError::Kind::Syntax, lineNo, 0};
                return -1;
            }
            if (split == Split::Fields) {
                const uint32_t lineForm = fields.iCount == 2 ? ZRKC_FORM_PAIRS : ZRKC_FORM_VOLUMES;
                bool fits = true;
                for (int i = 0; i < fields.iCount; ++i) {
                    if (fields.svField[i].size() >= ZRK_VOLNAME_LEN) fits = false;
                }
                if ((form != 0 && lineForm != form) || !fits) {
                    error = {GroupFileError::Kind::Syntax, lineNo, 0};
                    return -1;
                }
                form = lineForm;
                if (store.Count() >= limit) {
                    error = {GroupFileError::Kind::TooMany, lineNo, 0};
                    return -1;
                }
                if (!store.Reserve()) {
                    error = {GroupFileError::Kind::NoMemory, lineNo, 0};
                    return -1;
                }
                CopyPairName &entry = store.Next();
                CopyName(entry.caSource, fields.svField[0]);
                if (fields.iCount == 2) {
                    CopyName(entry.caTarget, fields.svField[1]);
                } else {
                    FillNoTarget(entry.caTarget);
                }
            }
        }
        if (atEnd) break;
    }
    if (store.Count() == 0) {
        error = {GroupFileError::Kind::Empty, 0, 0};
        return -1;
    }
    CopyPairNames *result = store.Release();
    result->uiForm = form;
    *names = result;
    return 0;
}

} // namespace zrkc

extern "C" int com_file_prepare(const char *path, CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "com_file_prepare";
    zrkc::TraceStart(kName);
    if (zrkc_CheckDir(path, ri) != 0) return zrkc::ErrorEnd(kName);
    bool notRegular = false;
    FileDescriptor file(OpenRegularFile(path, &notRegular));
    if (file.Get() < 0) {
        if (notRegular || errno == ENOENT) {
            zrkc::SetResult(ri, zrkc::Msg::GroupFileMissing);
        } else {
            zrkc::SetResult(ri, zrkc::Msg::FileOpen, path, errno);
        }
        return zrkc::ErrorEnd(kName);
    }

    ReturnInfo properties{};
    const int limit = get_properties_int("max_grouping_ses", &properties);
    release_properties();
    if (properties.iReturnClass != 0) {
        zrkc::CopyResult(ri, properties.iReturnClass, properties.uiMessageNo, properties.caMessage);
        return zrkc::ErrorEnd(kName);
    }

    CopyPairNames *names = nullptr;
    zrkc::GroupFileError error;
    if (zrkc::ReadGroupFile(file.Get(), limit > 0 ? static_cast<uint32_t>(limit) : 0, &names, error) != 0) {
        switch (error.kind) {
        case zrkc::GroupFileError::Kind::Syntax:
            zrkc::SetResult(ri, zrkc::Msg::GroupFileSyntax, error.uiLine);
            break;
        case zrkc::GroupFileError::Kind::TooMany:
            zrkc::SetResult(ri, zrkc::Msg::GroupFileTooMany);
            break;
        case zrkc::GroupFileError::Kind::Empty:
            zrkc::SetResult(ri, zrkc::Msg::GroupFileEmpty);
            break;
        case zrkc::GroupFileError::Kind::Read:
            zrkc::SetResult(ri, zrkc::Msg::FileOpen, path, error.iErrno);
            break;
        case zrkc::GroupFileError::Kind::NoMemory:
        case zrkc::GroupFileError::Kind::None:
            zrkc::SetNoMemory(ri);
            break;
        }
        return zrkc::ErrorEnd(kName);
    }
    std::free(list->pNames);
    list->pNames = names;
    list->iFromGroupFile = 1;
    return zrkc::NormalEnd(kName);
}

// ---- the list --------------------------------------------------------------

extern "C" int com_set_copypair(const char *operand1, const char *operand2, uint32_t optionFlag,
                                CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "com_set_copypair";
    zrkc::TraceStart(kName);
    if (operand1 == nullptr) {
        zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return zrkc::ErrorEnd(kName);
    }

    if ((optionFlag & ZRKC_OPT_GROUP_FILE) == 0) {
        // A name of 1024 characters or more has no room for its terminator.
        if (!NameFits(operand1) || (operand2 != nullptr && !NameFits(operand2))) {
            RefuseName(NameFits(operand1) ? operand2 : operand1, ri);
            return zrkc::ErrorEnd(kName);
        }
        CopyPairNames *names = AllocateNames(1);
        if (names == nullptr) {
            zrkc::SetNoMemory(ri);
            return zrkc::ErrorEnd(kName);
        }
        names->uiCount = 1;
        std::strcpy(names->taEntry[0].caSource, operand1);
        if (operand2 != nullptr) {
            std::strcpy(names->taEntry[0].caTarget, operand2);
            names->uiForm = ZRKC_FORM_PAIRS;
        } else {
            FillNoTarget(names->taEntry[0].caTarget);
            names->uiForm = ZRKC_FORM_VOLUMES;
        }
        std::free(list->pNames);
        list->pNames = names;
        return zrkc::NormalEnd(kName);
    }

    if (com_file_prepare(operand1, list, ri) != 0) return zrkc::ErrorEnd(kName);
    // The caller's per-pair area must hold an entry for every line.
    if (!zrkc::CommandCall::PairAreaHolds(ri, list->pNames->uiCount))
        return zrkc::AreaWarningEnd(kName);
    std::memset(ri->pPairArea, 0, ri->uiPairAreaLength);
    return zrkc::NormalEnd(kName);
}

extern "C" void com_pair_to_vol(CopyPairList *list) {
    CopyPairNames *names = list->pNames;
    if (names == nullptr) return;
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        CopyPairName &entry = names->taEntry[i];
        std::memcpy(entry.caSource, entry.caTarget, ZRK_VOLNAME_LEN);
        FillNoTarget(entry.caTarget);
    }
    names->uiForm = ZRKC_FORM_VOLUMES;
}

extern "C" void com_reset_copypair(int side, CopyPairList *list) {
    CopyPairNames *names = list->pNames;
    if (names == nullptr || names->uiCount == 0 ||
        static_cast<unsigned char>(names->taEntry[0].caTarget[0]) == 0xFF) {
        zrkc::NormalEnd("com_reset_copypair. no change.");
        return;
    }
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        CopyPairName &entry = names->taEntry[i];
        if (side == 1) std::memcpy(entry.caSource, entry.caTarget, ZRK_VOLNAME_LEN);
        FillNoTarget(entry.caTarget);
    }
    names->uiForm = ZRKC_FORM_VOLUMES;
    zrkc::NormalEnd(side == 1 ? "com_reset_copypair. target volume." : "com_reset_copypair. source volume.");
}

// ---- the subgroup index ---------------------------------------------------

extern "C" int com_subgroup_compare(const void *a, const void *b) {
    const CopyPair *x = static_cast<const SubgroupEntry *>(a)->pPair;
    const CopyPair *y = static_cast<const SubgroupEntry *>(b)->pPair;
    if (int d = std::memcmp(x->caSrcBoxID, y->caSrcBoxID, ZRK_BOXID_LEN)) return d;
    if (int d = std::memcmp(x->caTrgBoxID, y->caTrgBoxID, ZRK_BOXID_LEN)) return d;
    return static_cast<int>(x->ucByTarget) - static_cast<int>(y->ucByTarget);
}

extern "C" int com_org_subgroup(CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "com_org_subgroup";
    zrkc::TraceStart(kName);
    const uint32_t count = list->pPairs != nullptr ? list->pPairs->uiCount : 0;
    auto *index = static_cast<SubgroupIndex *>(
        std::calloc(1, sizeof(SubgroupIndex) + count * sizeof(SubgroupEntry)));
    if (index == nullptr) {
        zrkc::SetNoMemory(ri);
        return zrkc::ErrorEnd(kName);
    }
    std::free(list->pSubgroups);
    list->pSubgroups = index;
    index->uiPairCount = count;
    if (count == 0) return zrkc::NormalEnd(kName);
    for (uint32_t i = 0; i < count; ++i) {
        index->taEntry[i].pPair = &list->pPairs->taPair[i];
        index->taEntry[i].uiPairIndex = i;
    }
    std::qsort(index->taEntry, count, sizeof(SubgroupEntry), com_subgroup_compare);

    SubgroupEntry *entries = index->taEntry;
    uint32_t subgroup = 0; // first entry of the current subgroup
    uint32_t run = 0;      // first entry of the current box run
    auto open = [&](uint32_t i) {
        subgroup = run = i;
        entries[i].uiSubgroupSize = 1;
        entries[i].uiRunSize = 1;
        entries[i].uiSameBox = SameBox(entries[i].pPair->caSrcBoxID, entries[i].pPair->caTrgBoxID);
        ++index->uiSubgroups;
        ++index->uiBoxRuns;
    };
    open(0);
    for (uint32_t i = 1; i < count; ++i) {
        const CopyPair *pair = entries[i].pPair;
        const CopyPair *first = entries[subgroup].pPair;
        const CopyPair *current = entries[run].pPair;
        if (!SameBox(pair->caSrcBoxID, first->caSrcBoxID)) {
            open(i);
        } else if (!SameBox(pair->caTrgBoxID, current->caTrgBoxID)) {
            if (first->ucByTarget != 0) {
                open(i);
            } else {
                run = i;
                ++entries[subgroup].uiSubgroupSize;
                ++index->uiBoxRuns;
                entries[i].uiRunSize = 1;
            }
        } else {
            ++entries[subgroup].uiSubgroupSize;
            ++entries[run].uiRunSize;
        }
    }
    return zrkc::NormalEnd(kName);
}

// ---- the starts' size check ------------------------------------------------

extern "C" int start_volume_size_check(CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "start_volume_size_check";
    zrkc::TraceStart(kName);
    const CopyPairNames *names = list->pNames;
    const CopyPairArea *pairs = list->pPairs;
    const uint32_t count = names != nullptr && pairs != nullptr
                               ? (names->uiCount < pairs->uiCount ? names->uiCount : pairs->uiCount)
                               : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int kind = com_volume_kind(names->taEntry[i].caSource, ri);
        if (kind == -1) return zrkc::ErrorEnd(kName);
        if (kind == ZRKC_VOLKIND_ALIAS || kind == ZRKC_VOLKIND_EXTENT) continue;
        const CopyPair &pair = pairs->taPair[i];
        if (SizeIsZero(pair.SrcSize_h, pair.SrcSize_l) ||
            (names->uiForm == ZRKC_FORM_PAIRS && SizeIsZero(pair.TrgSize_h, pair.TrgSize_l))) {
            zrkc::SetResult(ri, zrkc::Msg::VolumeSizeIncorrect);
            return zrkc::ErrorEnd(kName);
        }
    }
    return zrkc::NormalEnd(kName);
}

// ---- release --------------------------------------------------------------

extern "C" void com_file_release(CopyPairList *list) {
    if (list == nullptr) return;
    std::free(list->pNames);
    std::free(list->pPairs);
    std::free(list->pSubgroups);
    list->pNames = nullptr;
    list->pPairs = nullptr;
    list->pSubgroups = nullptr;
}
