// The properties file zrkc.ini: loaded on first use into a process-wide list,
// every line checked against the table of known keys, looked up by key as
// text or as integer. Each command reads the file afresh: its readers call
// release_properties when they have what they need.
//
// A load is all or nothing: any refused line (too long, malformed, unknown
// key, bad value, duplicate key), a read error or a memory failure leaves the
// list empty, so the next lookup reads the file again instead of serving
// part of a file that was refused.
#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

using namespace zrkplatform;

namespace {

constexpr const char *kPropertiesFile = "zrkc.ini";
constexpr size_t kLineMax = 1024;      // characters before the line end
constexpr size_t kReadMax = 2047;      // characters read for one line
constexpr const char *kTooLong = "The number of limitation characters is exceeded. ";

enum class Rule { None, List, Range };

struct PropertyRule {
    const char *pKey;           // property name
    Rule eRule;                 // how its value is checked
    const char *const *ppTexts; // List: the accepted texts, ending in nullptr
    long lLow;                  // Range: lowest value
    long lHigh;                 // Range: highest value
    const char *pFallback;      // value used by the integer lookup when empty
};

constexpr const char *kModeTexts[] = {"stack", "consistency", "sync", "", nullptr};
constexpr const char *kSplitTexts[] = {"manual", "automatic", "", nullptr};
constexpr const char *kRecoveryTexts[] = {"automatic", "manual", "", nullptr};

// The keys the file may hold, in the order the file documents them.
constexpr PropertyRule kRules[] = {
    {"mode", Rule::List, kModeTexts, 0, 0, nullptr},
    {"split", Rule::List, kSplitTexts, 0, 0, nullptr},
    {"recovery", Rule::List, kRecoveryTexts, 0, 0, nullptr},
    {"interval", Rule::Range, nullptr, 0, 600, "0"},
    {"count", Rule::Range, nullptr, 0, 86400, "0"},
    {"path", Rule::None, nullptr, 0, 0, nullptr},
    {"max_grouping_ses", Rule::Range, nullptr, 1, 65535, "65535"},
    {"CompatibleVersion", Rule::None, nullptr, 0, 0, "2.0.0"},
    {"ssh_port_number", Rule::None, nullptr, 0, 0, "32002"},
    {"ssh_timeout", Rule::None, nullptr, 0, 0, "30"},
    {"ssh_logout_timer", Rule::None, nullptr, 0, 0, "870"},
    {"ssh_loop", Rule::None, nullptr, 0, 0, "15"},
    {"RVZ_stacktimer", Rule::None, nullptr, 0, 0, "5"},
};

const PropertyRule *FindRule(std::string_view key) {
    for (const PropertyRule &row : kRules) {
        if (key == row.pKey) return &row;
    }
    return nullptr;
}

// One loaded property: "key\0value\0" in one buffer; new entries go first.
struct Entry {
    std::unique_ptr<Entry> pNext; // the entry loaded before this one
    std::string sText;            // key, terminator, value
    size_t uiValueOffset;         // where the value starts in sText

    std::string_view Key() const { return std::string_view(sText.data(), uiValueOffset - 1); }
    char *Value() { return sText.data() + uiValueOffset; }
};

// The process-wide list of loaded properties.
std::unique_ptr<Entry> gProperties;

Entry *FindEntry(std::string_view key) {
    for (Entry *entry = gProperties.get(); entry != nullptr; entry = entry->pNext.get()) {
        if (entry->Key() == key) return entry;
    }
    return nullptr;
}

char gEmptyValue[1] = "";

// A message whose parameter is a line of the file: the parameter is shortened
// when needed so that the message keeps its end within the record.
void SetLineResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *head,
                   std::string_view parameter, const char *tail) {
    size_t room = ZRK_MESSAGE_LEN - 1;
    size_t fixed = std::strlen(head) + std::strlen(tail);
    size_t keep = fixed < room ? room - fixed : 0;
    if (parameter.size() > keep) parameter = parameter.substr(0, keep);
    SetResult(ri, returnClass, messageNo, "%s%.*s%s", head, static_cast<int>(parameter.size()),
              parameter.data(), tail);
}

void RefuseValue(ReturnInfo *ri, std::string_view parameter) {
    SetLineResult(ri, 8, 1403, "ZRKC1403 ERROR VELK parameter value is not allowed. Parameter=(",
                  parameter, ").\n");
}

void RefuseKey(ReturnInfo *ri, std::string_view parameter) {
    SetLineResult(ri, 8, 1402, "ZRKC1402 ERROR VELK parameter name is not defined. Parameter=(",
                  parameter, ").\n");
}

void RefuseRange(ReturnInfo *ri, std::string_view parameter) {
    SetLineResult(ri, 8, 1404, "ZRKC1404 ERROR VELK parameter value is out of range. Parameter=(",
                  parameter, ").\n");
}

// Reads the properties file line by line.
class LineReader {
public:
    explicit LineReader(int fd) : stFd(fd), stFile(fd) {}

    enum class Result { Line, End, Error };

    // Reads up to limit characters or through the next newline into line.
    // complete tells whether the line ended (newline or end of file) within
    // the limit.
    Result Next(std::string &line, size_t limit, bool &complete) {
        line.clear();
        complete = false;
        while (line.size() < limit) {
            const int c = stFile.Get();
            if (c == BufferedFile::kError) return Result::Error;
            if (c == BufferedFile::kEnd) {
                complete = true;
                return line.empty() ? Result::End : Result::Line;
            }
            line.push_back(static_cast<char>(c));
            if (c == '\n') {
                complete = true;
                return Result::Line;
            }
        }
        // The limit is reached: the line is complete only when what follows
        // is its newline or the end of the file.
        const int c = stFile.Peek();
        if (c == BufferedFile::kError) return Result::Error;
        complete = c == BufferedFile::kEnd || c == '\n';
        return Result::Line;
    }

    int Error() const { return stFile.Error(); }

private:
    FileDescriptor stFd;  // the properties file, closed with the reader
    BufferedFile stFile;  // its bytes
};

// The file could not be opened or read: cause is the system error number.
void RefuseFile(ReturnInfo *ri, int cause) {
    SetResult(ri, 8, 1400, "ZRKC1400 ERROR File open error. File name=(%s). Cause=(%d).\n",
              kPropertiesFile, cause);
}

} // namespace

extern "C" int check_properties(const char *key, const char *value) {
    if (key == nullptr || value == nullptr) return -1;
    const PropertyRule *row = FindRule(key);
    if (row == nullptr) return -1;
    switch (row->eRule) {
    case Rule::None:
        return 0;
    case Rule::List:
        for (const char *const *text = row->ppTexts; *text != nullptr; ++text) {
            if (std::strcmp(value, *text) == 0) return 0;
        }
        return -2;
    case Rule::Range: {
        char *end = nullptr;
        errno = 0;
        long number = std::strtol(value, &end, 10);
        if (errno == ERANGE) return -3;
        if (*end != '\0') return -2;
        if (number < row->lLow || number > row->lHigh) return -3;
        return 0;
    }
    }
    return -1;
}

extern "C" int parse_line(const char *line, ReturnInfo *ri) {
    if (line == nullptr) line = "";
    std::string_view text(line);
    // The parameter of the messages is the line without its newline.
    std::string_view parameter = text;
    if (!parameter.empty() && parameter.back() == '\n') parameter.remove_suffix(1);

    size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) {
        RefuseValue(ri, parameter);
        VelkErrEnd("parse_line", "no [=]", __LINE__);
        return -1;
    }
    if (equals == 0) {
        RefuseKey(ri, parameter);
        VelkErrEnd("parse_line", "no key", __LINE__);
        return -1;
    }

    try {
        std::string key(parameter.substr(0, equals));
        std::string value(parameter.substr(equals + 1));
        switch (check_properties(key.c_str(), value.c_str())) {
        case 0:
            break;
        case -1:
            RefuseKey(ri, parameter);
            VelkErrEnd("parse_line", "no [KeyPrm]", __LINE__);
            return -1;
        case -2:
            RefuseValue(ri, parameter);
            VelkErrEnd("parse_line", "RANGE(allow)", __LINE__);
            return -1;
        default:
            RefuseRange(ri, parameter);
            VelkErrEnd("parse_line", "int max", __LINE__);
            return -1;
        }
        if (FindEntry(key) != nullptr) {
            SetLineResult(ri, 8, 1409, "ZRKC1409 ERROR VELK (", key, ") parameter is already defined.\n");
            VelkErrEnd("parse_line", "defined", __LINE__);
            return -1;
        }

        auto entry = std::make_unique<Entry>();
        entry->sText.reserve(key.size() + value.size() + 1);
        entry->sText.append(key).push_back('\0');
        entry->uiValueOffset = entry->sText.size();
        entry->sText.append(value);
        entry->pNext = std::move(gProperties);
        gProperties = std::move(entry);
    } catch (const std::bad_alloc &) {
        SetNoMemoryResult(ri);
        VelkErrEnd("parse_line", "no memory", __LINE__);
        return -1;
    }
    return 0;
}

extern "C" void release_properties(void) {
    // Unlink one entry at a time so that a long list is not freed recursively.
    while (gProperties) gProperties = std::move(gProperties->pNext);
}

extern "C" int expand_properties(ReturnInfo *ri) {
    char path[ZRK_PATH_LEN];
    int rc = buildpathname(kPropertiesFile, path);
    if (rc != 0) {
        SetResult(ri, 8, 1401, "ZRKC1401 ERROR The file name of VELK can not be acquired. Cause=(%d).\n",
                  rc);
        VelkErrEnd("expand_properties", "get filepath", __LINE__);
        return -1;
    }

    const int fd = sys::Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        RefuseFile(ri, errno);
        VelkErrEnd("expand_properties", "open", __LINE__);
        return -1;
    }
    LineReader reader(fd);

    try {
        std::string line;
        line.reserve(kReadMax + 1);
        for (;;) {
            bool complete = false;
            LineReader::Result result = reader.Next(line, kReadMax, complete);
            if (result == LineReader::Result::End) return 0;
            if (result == LineReader::Result::Error) {
                release_properties();
                RefuseFile(ri, reader.Error());
                VelkErrEnd("expand_properties", "read", __LINE__);
                return -1;
            }
            // A line holds at most kLineMax characters before its line end;
            // one that does not end within the read limit is too long as well.
            bool tooLong = line.size() > kLineMax && line[kLineMax] != '\r' && line[kLineMax] != '\n';
            if (tooLong || !complete) {
                release_properties();
                RefuseValue(ri, kTooLong);
                VelkErrEnd("expand_properties", "line length", __LINE__);
                return -1;
            }
            if (line.back() != '\n') line.push_back('\n');
            if (line[0] == '#' || line[0] == '\r' || line[0] == '\n') continue;
            // A NUL byte ends the line's text, as for any text line.
            if (parse_line(line.c_str(), ri) != 0) {
                release_properties();
                return -1;
            }
        }
    } catch (const std::bad_alloc &) {
        release_properties();
        SetNoMemoryResult(ri);
        VelkErrEnd("expand_properties", "no memory", __LINE__);
        return -1;
    }
}

extern "C" char *get_properties(const char *key, ReturnInfo *ri) {
    if (!gProperties && expand_properties(ri) != 0) {
        VelkErrEnd("get_properties", __LINE__);
        return nullptr;
    }
    if (key == nullptr) return gEmptyValue;
    Entry *entry = FindEntry(key);
    return entry != nullptr ? entry->Value() : gEmptyValue;
}

extern "C" int get_properties_int(const char *key, ReturnInfo *ri) {
    const char *value = get_properties(key, ri);
    if (value == nullptr) return 0;
    if (value[0] == '\0') {
        const PropertyRule *row = key != nullptr ? FindRule(key) : nullptr;
        if (row == nullptr) return 0;
        if (row->pFallback == nullptr) {
            SetResult(ri, 8, 1407, "ZRKC1407 ERROR VELK parameter is not defined. Parameter=(%.*s).\n",
                      400, key);
            VelkErrEnd("get_properties_int", "no default", __LINE__);
            return 0;
        }
        value = row->pFallback;
    }
    // Keys without a rule may hold any text; keep the conversion within int.
    long long number = std::strtoll(value, nullptr, 10);
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}
