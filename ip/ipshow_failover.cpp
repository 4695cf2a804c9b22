// "show tfo-groups" and "show tfo-pair": the failover groups of a storage
// cluster, and the pairs and sessions inside them, read line after line into
// a block of rows and a three-level tree.
#include "ipshow_failover.h"

#include "ipshow_volumes.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace zrkip;

namespace {

constexpr char kGroupsName[] = "ShowTfoGroups";
constexpr char kPairName[] = "ShowTfoPair";
constexpr char kFreeName[] = "freeCliTfoPair";

constexpr size_t kGroupMinColumns = 9;
constexpr size_t kPairMinColumns = 2;
constexpr size_t kDetailMinColumns = 14;
// A group, a pair and a detail each take at least two lines (a number and
// a count or flag), so a count above half the lines left cannot be true.
constexpr size_t kLinesPerItem = 2;

using G = CliTfoGroup;
using D = CliTfoPairDetail;

// Columns 0 to 8 of a group line; 1, 3 and 5 to 8 only have to be there.
const Column kGroupColumns[] = {
    ZRK_SHOW_HEX32(G, uiTfoGroupNo),   // 0
    ZRK_SHOW_SILENT(),                 // 1
    ZRK_SHOW_HEX8(G, ucTfoRole),       // 2
    ZRK_SHOW_SILENT(),                 // 3
    ZRK_SHOW_HEX8(G, ucTfoActive),     // 4
    ZRK_SHOW_SILENT(),                 // 5
    ZRK_SHOW_SILENT(),                 // 6
    ZRK_SHOW_SILENT(),                 // 7
    ZRK_SHOW_SILENT(),                 // 8
};
static_assert(sizeof kGroupColumns / sizeof kGroupColumns[0] == kGroupMinColumns,
              "group columns");
const Table kGroupTable = {kGroupsName, kGroupColumns, kGroupMinColumns, sizeof(G),
                           kGroupMinColumns, nullptr, nullptr};

// A pair line is counted and traced, nothing of it is kept.
const Table kPairTable = {kPairName, nullptr, 0, 0, kPairMinColumns, nullptr, nullptr};

// Columns 0 to 13 of a detail line.
const Column kDetailColumns[] = {
    ZRK_SHOW_HEX32(D, uiPartnerOlu),                        // 0
    ZRK_SHOW_HEX32(D, uiSessionID),                         // 1
    ZRK_SHOW_HEX32(D, uiPartnerSessionID),                  // 2
    ZRK_SHOW_HEX8(D, ucFlags),                              // 3 (masked after the scan)
    ZRK_SHOW_HEX8(D, ucPhase),                              // 4
    ZRK_SHOW_HEX8(D, ucStatus),                             // 5
    ZRK_SHOW_HEX32(D, uiElapsedTime),                       // 6
    ZRK_SHOW_TEXT(D, ucaBoxID),                             // 7
    ZRK_SHOW_TEXT(D, ucaPartnerBoxID),                      // 8
    ZRK_SHOW_HEX8(D, ucErrorCode),                          // 9
    ZRK_SHOW_HEX64(D, uiBlockCount_high, uiBlockCount_low), // 10
    ZRK_SHOW_HEX64(D, uiSrcSize_high, uiSrcSize_low),       // 11
    ZRK_SHOW_DATETIME(D, ucaStartTime),                     // 12
    ZRK_SHOW_HEX32(D, uiProgress),                          // 13
};
static_assert(sizeof kDetailColumns / sizeof kDetailColumns[0] == kDetailMinColumns,
              "detail columns");
const Table kDetailTable = {kPairName, kDetailColumns, kDetailMinColumns, sizeof(D),
                            kDetailMinColumns, nullptr, nullptr};

// The rows that follow a header: the arrays are declared with one element
// and hold as many as their count says.
CliTfoGroup *GroupRows(CliTfoGroups *block) {
    return reinterpret_cast<CliTfoGroup *>(reinterpret_cast<unsigned char *>(block) +
                                           offsetof(CliTfoGroups, taTfoGroup));
}
CliTfoPairGroup *PairGroups(CliTfoPair *root) {
    return reinterpret_cast<CliTfoPairGroup *>(reinterpret_cast<unsigned char *>(root) +
                                               offsetof(CliTfoPair, taGroup));
}

// A reader's position in the reply's lines.
class Lines {
public:
    explicit Lines(const Reply &reply, size_t first) : rReply(reply), uiNext(first) {}

    // The next line, or NULL (ZRK_ERR_REPLY_INCOMPLETE) when the reply has
    // no more.
    const char *Take() {
        const char *line = rReply.Line(uiNext);
        if (line == nullptr) {
            FailWith(ZRK_ERR_REPLY_INCOMPLETE);
            return nullptr;
        }
        ++uiNext;
        return line;
    }
    // The next line as a count of items of kLinesPerItem lines or more
    // each: beyond 32 bits ZRK_ERR_REPLY_NUMBER, more than the lines left
    // hold ZRK_ERR_REPLY_INCOMPLETE (traced under name).
    int Count(const char *name, uint32_t *count) {
        const char *line = Take();
        if (line == nullptr || ReadHex32Line(line, count) != 0) return -1;
        if (*count > Left() / kLinesPerItem) {
            TraceText(1, "ERR", name, " count %u, lines left %zu ", *count, Left());
            return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
        }
        return 0;
    }
    // The next line as one 32-bit value (beyond 32 bits ZRK_ERR_REPLY_NUMBER).
    int Value32(uint32_t *value) {
        const char *line = Take();
        return line == nullptr ? -1 : ReadHex32Line(line, value);
    }
    // The next line as one value of up to 64 bits.
    int Value64(uint64_t *value) {
        const char *line = Take();
        return line == nullptr ? -1 : ReadHex(line, value);
    }
    // Passes over n lines (which must be there).
    int Skip(uint32_t n) {
        if (n > Left()) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
        uiNext += n;
        return 0;
    }
    size_t Left() const { return rReply.LinesFrom(uiNext); }

private:
    const Reply &rReply;
    size_t uiNext;  // the next line, counted from 1
};

// The head of both replies. A failure whose array code is IP_TFO_EMPTY_CODE
// is an empty answer (*empty, 0; ZRKerrno keeps the mapped code).
int ReadHead(const Reply &reply, bool *empty) {
    *empty = false;
    if (reply.Count() < 2 || reply.Line(1) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t status = 0;
    if (ReadHex32Line(reply.Line(1), &status) != 0) return -1;
    if (status == 0) return 0;
    uint32_t code = 0;
    if (ReadHex32Line(reply.Line(2), &code) != 0) return -1;
    reply.SetError(status);
    if (code == IP_TFO_EMPTY_CODE) {
        *empty = true;
        return 0;
    }
    if (ZRKerrno == 0) ZRKerrno = ZRK_ERR_REPLY;
    return -1;
}

// ---- "show tfo-groups" ----------------------------------------------------------------

int ParseGroups(const Reply &reply, CliTfoGroups **result) {
    bool empty = false;
    if (ReadHead(reply, &empty) != 0) return -1;
    if (empty) {
        void *block = std::calloc(1, TfoGroupsBytes(0));
        if (block == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
        *result = static_cast<CliTfoGroups *>(block);
        return 0;
    }
    Lines lines(reply, 2);
    uint32_t count = 0;
    if (lines.Count(kGroupsName, &count) != 0) return -1;
    Freed<CliTfoGroups> block(static_cast<CliTfoGroups *>(std::calloc(1, TfoGroupsBytes(count))));
    if (!block) return FailWith(ZRK_ERR_NO_MEMORY);
    block->uiTfoGroupCount = count;
    CliTfoGroup *rows = GroupRows(block.get());
    for (uint32_t j = 0; j < count; ++j) {
        const char *line = lines.Take();
        if (line == nullptr || ScanRecord(kGroupTable, line, &rows[j]) != 0) return -1;
        // The group's further lines are not read.
        uint32_t further = 0;
        if (lines.Value32(&further) != 0 || lines.Skip(further) != 0) return -1;
    }
    *result = block.release();
    return 0;
}

// ---- "show tfo-pair" ------------------------------------------------------------------

// Owner of a tree under construction.
struct TreeDeleter {
    void operator()(CliTfoPair *root) const { freeCliTfoPair(&root); }
};
using Tree = std::unique_ptr<CliTfoPair, TreeDeleter>;

int ReadDetail(Lines &lines, CliTfoPairDetail *detail) {
    uint32_t olu = 0;
    uint32_t flag = 0;
    if (lines.Value32(&olu) != 0 || lines.Value32(&flag) != 0) return -1;
    detail->uiOlu = olu;
    detail->uiDetailFlag = flag;
    if (flag == 0) return 0;
    CliTfoPairDetail read;
    const char *line = lines.Take();
    if (line == nullptr || ScanRecord(kDetailTable, line, &read) != 0) return -1;
    read.uiOlu = olu;
    read.uiDetailFlag = flag;
    read.ucFlags = static_cast<uint8_t>(read.ucFlags & IP_TFO_FLAG_BITS);
    *detail = read;
    return 0;
}

int ReadPair(Lines &lines, CliTfoPairEntry *pair) {
    const char *line = lines.Take();
    unsigned char unused = 0;
    if (line == nullptr || ScanRecord(kPairTable, line, &unused) != 0) return -1;
    uint32_t details = 0;
    if (lines.Count(kPairName, &details) != 0) return -1;
    pair->uiDetailCount = details;
    if (details == 0) return 0;
    pair->pDetail = static_cast<CliTfoPairDetail *>(std::calloc(details, sizeof(CliTfoPairDetail)));
    if (pair->pDetail == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (uint32_t d = 0; d < details; ++d) {
        if (ReadDetail(lines, &pair->pDetail[d]) != 0) return -1;
    }
    return 0;
}

int ReadGroup(Lines &lines, CliTfoPairGroup *group) {
    uint64_t number = 0;
    if (lines.Value64(&number) != 0) return -1;
    group->ucTfoGroupNo = static_cast<uint8_t>(number);
    uint32_t pairs = 0;
    if (lines.Count(kPairName, &pairs) != 0) return -1;
    group->uiPairCount = pairs;
    if (pairs == 0) return 0;
    group->pPair = static_cast<CliTfoPairEntry *>(std::calloc(pairs, sizeof(CliTfoPairEntry)));
    if (group->pPair == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    for (uint32_t p = 0; p < pairs; ++p) {
        if (ReadPair(lines, &group->pPair[p]) != 0) return -1;
    }
    return 0;
}

int ParsePair(const Reply &reply, CliTfoPair **result) {
    bool empty = false;
    if (ReadHead(reply, &empty) != 0) return -1;
    if (empty) {
        void *root = std::calloc(1, TfoPairRootBytes(0));
        if (root == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
        *result = static_cast<CliTfoPair *>(root);
        return 0;
    }
    Lines lines(reply, 2);
    uint32_t count = 0;
    if (lines.Count(kPairName, &count) != 0) return -1;
    // Every count is set before the array it counts is allocated, and every
    // array is cleared and linked before it is filled: the tree can be
    // released at any point.
    Tree tree(static_cast<CliTfoPair *>(std::calloc(1, TfoPairRootBytes(count))));
    if (!tree) return FailWith(ZRK_ERR_NO_MEMORY);
    tree->uiTfoGroupCount = count;
    CliTfoPairGroup *groups = PairGroups(tree.get());
    for (uint32_t g = 0; g < count; ++g) {
        if (ReadGroup(lines, &groups[g]) != 0) return -1;
    }
    *result = tree.release();
    return 0;
}

}  // namespace

namespace zrkip {

std::string TfoGroupsCommand(const unsigned char *groupNo, int flags) {
    std::string option;
    if ((flags & IP_TFO_GROUP_ONE) == IP_TFO_GROUP_ONE && groupNo != nullptr) {
        option = "-tfog-number " + std::to_string(static_cast<unsigned>(*groupNo));
    }
    return "show tfo-groups " + option;
}

size_t TfoGroupsBytes(size_t count) {
    return offsetof(CliTfoGroups, taTfoGroup) + sizeof(CliTfoGroup) * (count == 0 ? 1 : count);
}

size_t TfoPairRootBytes(size_t count) {
    return offsetof(CliTfoPair, taGroup) + sizeof(CliTfoPairGroup) * (count == 0 ? 1 : count);
}

int ParseTfoGroupsText(const char *text, CliTfoGroups **result) {
    if (result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    return SplitAndParse(text, [&](const Reply &reply) { return ParseGroups(reply, result); });
}

int ParseTfoPairText(const char *text, CliTfoPair **result) {
    if (result == nullptr) return FailWith(ZRK_ERR_PARAMETER);
    return SplitAndParse(text, [&](const Reply &reply) { return ParsePair(reply, result); });
}

}  // namespace zrkip

extern "C" int ShowTfoGroups(const char *cpIPaddress, const char *user, int /*option*/,
                             const unsigned char *groupNo, int flags, CliTfoGroups **result) {
    TraceText(1, "INFO", kGroupsName, "START");
    TraceText(3, "INFO", kGroupsName, "IPaddress=[%s]", Safe(cpIPaddress));
    if (result == nullptr) return TraceEnd(1, kGroupsName, FailWith(ZRK_ERR_PARAMETER));
    if ((flags & IP_TFO_GROUP_ONE) == IP_TFO_GROUP_ONE && groupNo == nullptr) {
        return TraceEnd(1, kGroupsName, FailWith(ZRK_ERR_PARAMETER));
    }
    return RunQuery(
        kGroupsName, cpIPaddress, user,
        [&](std::string *command) {
            *command = TfoGroupsCommand(groupNo, flags);
            return 0;
        },
        [&](const Reply &reply) { return ParseGroups(reply, result); });
}

extern "C" int ShowTfoPair(const char *cpIPaddress, const char *user, int /*option*/,
                           const void * /*selection*/, int /*flags*/, CliTfoPair **result) {
    TraceText(1, "INFO", kPairName, "START");
    TraceText(3, "INFO", kPairName, "IPaddress=[%s]", Safe(cpIPaddress));
    if (result == nullptr) return TraceEnd(1, kPairName, FailWith(ZRK_ERR_PARAMETER));
    return RunQuery(
        kPairName, cpIPaddress, user,
        [](std::string *command) {
            *command = "show tfo-pair";
            return 0;
        },
        [&](const Reply &reply) { return ParsePair(reply, result); });
}

extern "C" void freeCliTfoPair(CliTfoPair **tree) {
    TraceText(1, "INFO", kFreeName, "START");
    if (tree != nullptr && *tree != nullptr) {
        CliTfoPair *root = *tree;
        CliTfoPairGroup *groups = PairGroups(root);
        for (uint32_t g = 0; g < root->uiTfoGroupCount; ++g) {
            CliTfoPairGroup &group = groups[g];
            if (group.pPair == nullptr) continue;
            for (uint32_t p = 0; p < group.uiPairCount; ++p) std::free(group.pPair[p].pDetail);
            std::free(group.pPair);
        }
        std::free(root);
        *tree = nullptr;
    }
    TraceEnd(1, kFreeName, 0);
}
