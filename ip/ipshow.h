/*
 * ipshow.h - the array's show commands: one reply scanner shared by every
 * show parser (ipshow_scan.cpp) and the copy-session query
 * (ipshow_sessions.cpp).
 *
 * A show reply is the array's reply format (iplink.h): line 1 the hex status,
 * line 2 the hex record count, then one record a line, its columns separated
 * by TAB. A column is converted by its kind:
 *
 *   hex       strtoul(base 16) semantics: blanks, a sign and "0x" accepted,
 *             stops at the first non-digit, no digits is 0; only a value
 *             beyond 64 bits is refused (ZRK_ERR_REPLY_NUMBER). Cut to the
 *             field's width.
 *   hex64     two 32-bit fields, high half first: empty is 0/0; 1 to 8
 *             characters go to the low half; 9 to 16 characters split into
 *             the first (length - 8) and the last 8; longer is
 *             ZRK_ERR_REPLY_NUMBER.
 *   text      strncpy into a fixed field: zero padded, not terminated when
 *             the text fills it.
 *   datetime  16 decimal digits packed two a byte into 8 bytes; a non-digit
 *             counts as 0, and so does every character missing from a column
 *             shorter than 16.
 *
 * Every parser takes the room of its output (in records) and refuses a
 * reply that announces more records than the room or than the lines present
 * with 902 before it writes a record. A status or count line that needs more
 * than 32 bits is ZRK_ERR_REPLY_NUMBER.
 *
 * Return convention: 0, or -1 with ZRKerrno; the reply and its lines are
 * released on every way out.
 */
#ifndef ZRK_IPSHOW_H
#define ZRK_IPSHOW_H

#include "iplink.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include "platform.h"

#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- copy sessions ------------------------------------------------------------- */

#define IP_SESSIONS_ALL       0     /* every session of the array */
#define IP_SESSIONS_VOLUMES   1     /* the sessions of the listed volumes */
#define IP_SESSIONS_IDS       2     /* the listed sessions, in the list's order */

#define IP_SHOW_FLAG_MODE     0x80  /* show flag: "-mode" value + 128 */

#define IP_SESSION_TYPE_KZP     1   /* KZP family */
#define IP_SESSION_TYPE_VZ      2   /* VZ family */
#define IP_SESSION_TYPE_MONITOR 3   /* copy monitor */

#define IP_SESSION_MIN_COLUMNS  35  /* columns 35 to 39 are optional */

#define IP_SESSION_ATTR2_SECOND_ID 0x10 /* ucAttr2: a remote session known here by
                                           uiSessionID2 */

/* One copy session as "show copy-sessions" reports it (columns 0 to 39),
 * host order. */
typedef struct CliCopySession {
    uint32_t uiSessionID;             /* col 0: identifier on the array */
    uint32_t uiSessionID2;            /* col 1: second identifier (remote, ucAttr2 0x10) */
    uint8_t  ucSessionType;           /* col 2: 1 KZP, 2 VZ, 3 copy monitor */
    uint8_t  ucAttr;                  /* col 3: 0x80 whole, 0x40 SnapKZP+, 0x20 remote,
                                         0x10 SnapKZP, 0x08 QuickKZP, 0x01 (reply 0x01|0x02) */
    uint8_t  ucAttr2;                 /* col 4: reply bits 0x10, 0x04, 0x02, 0x01 */
    uint8_t  ucColumn5;               /* col 5: state byte */
    uint8_t  ucPhase;                 /* col 6: phase */
    uint8_t  ucSessionStatus;         /* col 7: state; 0 identifier not in use */
    uint8_t  ucColumn8;               /* col 8: state byte */
    uint8_t  ucColumn9;               /* col 9: state byte */
    uint32_t uiLapseTime;             /* col 10: elapsed time */
    uint8_t  ucaSpare1[4];            /* never filled, 0 */
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* col 11: source BoxID, not terminated */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* col 12: destination BoxID; monitor: all 0xFF */
    uint32_t uiSrcOLU;                /* col 13: source volume */
    uint32_t uiDstOLU;                /* col 14: destination volume; monitor: 0xFFFFFFFF */
    uint32_t uiExtentCnt;             /* col 15: extent count */
    uint8_t  ucErrorCode;             /* col 16: the session's error code */
    uint8_t  ucColumn17;              /* col 17 */
    uint8_t  ucaPad1[2];              /* alignment, 0 */
    uint32_t uiCopiedBlock_high;      /* col 18: blocks copied, high half */
    uint32_t uiCopiedBlock_low;       /* col 18: low half */
    uint32_t uiSrcExtAddr_high;       /* col 19: source start, high half */
    uint32_t uiSrcExtAddr_low;        /* col 19: low half */
    uint32_t uiDstExtAddr_high;       /* col 20: destination start, high half;
                                         monitor: 0 whole volume, else all ones */
    uint32_t uiDstExtAddr_low;        /* col 20: low half */
    uint32_t uiSize_high;             /* col 21: extent size, high half */
    uint32_t uiSize_low;              /* col 21: low half */
    uint8_t  ucColumn22;              /* col 22 */
    uint8_t  ucColumn23;              /* col 23 */
    uint8_t  ucaPad2[2];              /* alignment, 0 */
    uint32_t uiColumn24;              /* col 24 */
    uint8_t  ucaStartTime[8];         /* col 25: start time, packed decimal */
    uint8_t  ucUsable;                /* col 26: 1 a record the lookups may return */
    uint8_t  ucColumn27;              /* col 27 */
    uint8_t  ucaPad3[2];              /* alignment, 0 */
    uint32_t uiColumn28;              /* col 28 */
    uint32_t uiColumn29;              /* col 29 */
    uint32_t uiColumn30_high;         /* col 30: high half */
    uint32_t uiColumn30_low;          /* col 30: low half */
    uint32_t uiColumn31_high;         /* col 31: high half */
    uint32_t uiColumn31_low;          /* col 31: low half */
    uint32_t uiColumn32_high;         /* col 32: high half */
    uint32_t uiColumn32_low;          /* col 32: low half */
    uint32_t uiColumn33;              /* col 33 */
    uint32_t uiColumn34;              /* col 34 */
    uint32_t uiCopyProgress;          /* col 35: copy progress (optional column) */
    uint8_t  ucColumn36;              /* col 36 (optional) */
    uint8_t  ucSupportInfo;           /* col 37: 0x01 progress valid (optional) */
    uint8_t  ucColumn38;              /* col 38 (optional) */
    uint8_t  ucColumn39;              /* col 39 (optional) */
    uint8_t  ucaSpare2[64];           /* never filled, 0 */
    uint8_t  ucaPad4[4];              /* alignment to the record size, 0 */
} CliCopySession;

/* Reads the copy sessions of one array with "show copy-sessions".
 *   option 0: all sessions; record i goes to rows[i].
 *   option 1: the sessions of the volumes in list[0..listCount-1]; as 0.
 *   option 2: the sessions in list[0..listCount-1]; rows[k] receives the
 *             session of list[k] (key uiSessionID2 when ucAttr has 0x20 and
 *             ucAttr2 0x10, else uiSessionID). *count is the number of
 *             distinct positions filled; any position left unfilled is
 *             ZRK_ERR_REPLY_INCOMPLETE.
 * showFlags bit IP_SHOW_FLAG_MODE adds 128 to the "-mode" value,
 * ZRKOptionFlag bit ZRK_OPT_LIST_SEL_01 adds 1; the caller clears both when
 * the array's model does not list in that mode. rows holds room records; a
 * reply announcing more (options 0 and 1), or listCount above room (option
 * 2), is refused before a record is written. *count may hold the reply's record count on failure. */
int ShowCopySessions(const char *cpIPaddress, const char *user, int listCount,
                     const int *list, int option, int showFlags, int *count,
                     CliCopySession *rows, size_t room);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliCopySession) == 288, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiLapseTime) == 16, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucaSrcBoxID) == 24, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucaDstBoxID) == 64, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiSrcOLU) == 104, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucErrorCode) == 116, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiCopiedBlock_high) == 120, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiSize_low) == 148, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucColumn22) == 152, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiColumn24) == 156, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucaStartTime) == 160, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucUsable) == 168, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiColumn28) == 172, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiColumn34) == 208, "CliCopySession layout");
static_assert(offsetof(CliCopySession, uiCopyProgress) == 212, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucColumn39) == 219, "CliCopySession layout");
static_assert(offsetof(CliCopySession, ucaSpare2) == 220, "CliCopySession layout");

// The reply scanner that every show parser is built on.
namespace zrkip {

// The request or the row of a copy between two arrays.
inline bool Remote(const IPCopyReq &req) { return (req.CopyAttr & ZRK_IPATTR_REMOTE) != 0; }
inline bool RemoteRow(const CliCopySession &row) { return (row.ucAttr & ZRK_IPATTR_REMOTE) != 0; }

// ---- column kinds ------------------------------------------------------------

enum class Kind {
    Skip,       // the column counts and is traced, but is not read
    Silent,     // the column counts, neither read nor traced
    Word,       // the column counts, traced with the column's word for its text
    Hex8,       // hex number into a uint8_t
    Hex16,      // hex number into a uint16_t
    Hex32,      // hex number into a uint32_t
    Count32,    // hex number into a uint32_t; beyond 32 bits ZRK_ERR_REPLY_NUMBER
    Hex64,      // hex number into two uint32_t, high half at offset, low at offset2
    Blocks64,   // as Hex64, the value times 2048 (bits beyond 64 dropped)
    Text,       // text into width bytes
    DateTime,   // 16 decimal digits into 8 packed bytes
};

// How one column index fills a record.
struct Column {
    Kind eKind;
    size_t uiOffset;          // field offset in the record
    size_t uiOffset2;         // Hex64, Blocks64: offset of the low half; else unused
    size_t uiWidth;           // Text: field width; else unused
    const char *pWord = nullptr;  // Word: the trace word
};

// Table helpers: ZRK_SHOW_HEX32(Record, field) and the like.
#define ZRK_SHOW_SKIP() (::zrkip::Column{::zrkip::Kind::Skip, 0, 0, 0})
#define ZRK_SHOW_SILENT() (::zrkip::Column{::zrkip::Kind::Silent, 0, 0, 0})
#define ZRK_SHOW_WORD(w) (::zrkip::Column{::zrkip::Kind::Word, 0, 0, 0, w})
#define ZRK_SHOW_HEX8(T, f) (::zrkip::Column{::zrkip::Kind::Hex8, offsetof(T, f), 0, 1})
#define ZRK_SHOW_HEX16(T, f) (::zrkip::Column{::zrkip::Kind::Hex16, offsetof(T, f), 0, 2})
#define ZRK_SHOW_HEX32(T, f) (::zrkip::Column{::zrkip::Kind::Hex32, offsetof(T, f), 0, 4})
#define ZRK_SHOW_COUNT32(T, f) (::zrkip::Column{::zrkip::Kind::Count32, offsetof(T, f), 0, 4})
#define ZRK_SHOW_HEX64(T, hi, lo) \
    (::zrkip::Column{::zrkip::Kind::Hex64, offsetof(T, hi), offsetof(T, lo), 8})
#define ZRK_SHOW_BLOCKS(T, hi, lo) \
    (::zrkip::Column{::zrkip::Kind::Blocks64, offsetof(T, hi), offsetof(T, lo), 8})
#define ZRK_SHOW_TEXT(T, f) \
    (::zrkip::Column{::zrkip::Kind::Text, offsetof(T, f), 0, sizeof(T::f)})
#define ZRK_SHOW_TEXT_AT(offset, width) (::zrkip::Column{::zrkip::Kind::Text, offset, 0, width})
#define ZRK_SHOW_DATETIME(T, f) (::zrkip::Column{::zrkip::Kind::DateTime, offsetof(T, f), 0, 8})

// ---- single conversions (no trace, no global but ZRKerrno) --------------------
//
// The hex columns are read by ReadHex and ReadHex64 (iplink.h).

// strncpy of the column into width bytes.
void CopyText(std::string_view text, uint8_t *field, size_t width);
// Packed date-time; characters past the column's end count as 0.
void PackDateTime(std::string_view text, uint8_t field[8]);

// ---- line scanning -------------------------------------------------------------

// The columns of one record line, left to right. A TAB at the very end opens
// no further column; an empty line has none.
class ColumnScanner {
public:
    explicit ColumnScanner(const char *line)
        : svRest(line != nullptr ? std::string_view(line) : std::string_view()) {}
    // The next column into *column; false when the line is done.
    bool Next(std::string_view *column);
    // Columns handed out so far.
    size_t Count() const { return uiCount; }

private:
    std::string_view svRest;
    bool bDone = false;
    size_t uiCount = 0;
};

// The columns of a line without converting them.
size_t CountColumns(const char *line);

// ---- a member's record table ------------------------------------------------------

// A column the member sets to a constant instead of reading it: return the
// trace word (for example "Monitor") after writing the constant, or NULL to
// convert the column by the table. record holds the columns before index.
using FixedHook = const char *(*)(size_t index, void *record, void *context);

struct Table {
    const char *pName;        // trace name of the member
    const Column *pColumns;   // by column index; beyond uiColumnCount: "default"
    size_t uiColumnCount;
    size_t uiRecordSize;      // bytes cleared before the scan; 0: the record is kept
    size_t uiMinColumns;      // fewer columns: ZRK_ERR_REPLY_INCOMPLETE
    FixedHook pFixed;         // NULL: every column by the table
    void *pContext;           // passed to pFixed
    bool bCutText = false;    // trace lines: the column text cut to 511 characters
                              // (else the whole line)
};

// Fills record from one line by the table (after clearing uiRecordSize
// bytes), with a level-3 trace line per column. 0, or -1 with ZRKerrno
// ZRK_ERR_REPLY_NUMBER (a column that does not convert) or
// ZRK_ERR_REPLY_INCOMPLETE (fewer columns than the minimum, no line).
// *columns (when not NULL) receives the columns of a line read whole.
int ScanRecord(const Table &table, const char *line, void *record, size_t *columns = nullptr);

// "%zu - %s" of one column at level 3 under "INFO" ("NULL" for an empty
// column): the text cut to 511 characters (cutText) or so that the whole
// line holds at most 511.
void TraceColumn(const char *name, size_t index, std::string_view text, bool cutText);

// ---- one show command ----------------------------------------------------------------

// Runs command (at most IP_CMD_MAX characters, else ZRK_ERR_TOO_LONG) and
// hands its reply to parse(const Reply &); std::bad_alloc is
// ZRK_ERR_NO_MEMORY. parse's result, or -1 with ZRKerrno.
template <typename Parse>
int RunAndParse(const char *ip, const char *user, const std::string &command, Parse parse) {
    try {
        if (command.size() > IP_CMD_MAX) return zrkplatform::FailWith(ZRK_ERR_TOO_LONG);
        Reply reply;
        if (reply.Run(ip, user, command) != 0) return -1;
        return parse(static_cast<const Reply &>(reply));
    } catch (const std::bad_alloc &) {
        return zrkplatform::FailWith(ZRK_ERR_NO_MEMORY);
    }
}

// The same for a reply text as the link hands it over.
template <typename Parse>
int SplitAndParse(const char *text, Parse parse) {
    try {
        Reply reply;
        if (reply.Split(text) != 0) return -1;
        return parse(static_cast<const Reply &>(reply));
    } catch (const std::bad_alloc &) {
        return zrkplatform::FailWith(ZRK_ERR_NO_MEMORY);
    }
}

// The end of a query, with its END trace line under name: build(&command)
// (0, or -1 with ZRKerrno), then RunAndParse. std::bad_alloc anywhere is
// ZRK_ERR_NO_MEMORY.
template <typename Build, typename Parse>
int RunQuery(const char *name, const char *ip, const char *user, Build build, Parse parse) {
    try {
        std::string command;
        if (build(&command) != 0) return zrkplatform::TraceEnd(1, name, -1);
        return zrkplatform::TraceEnd(1, name, RunAndParse(ip, user, command, parse));
    } catch (const std::bad_alloc &) {
        return zrkplatform::TraceEnd(1, name, zrkplatform::FailWith(ZRK_ERR_NO_MEMORY));
    }
}

// The reply of command, or a reply text, read by parse(reply, &local) into
// local, which reaches *out only when the whole reply has been read. 0, or -1
// with ZRKerrno and *out untouched.
template <typename T, typename Parse>
int QueryInto(const char *ip, const char *user, const std::string &command, T *out, T local,
              Parse parse) {
    if (RunAndParse(ip, user, command, [&](const Reply &r) { return parse(r, &local); }) != 0) {
        return -1;
    }
    *out = local;
    return 0;
}
template <typename T, typename Parse>
int ParseTextInto(const char *text, T *out, T local, Parse parse) {
    if (SplitAndParse(text, [&](const Reply &r) { return parse(r, &local); }) != 0) return -1;
    *out = local;
    return 0;
}

// ---- command text ------------------------------------------------------------------

// Numbers in decimal joined by ",": false (ZRKerrno ZRK_ERR_TOO_LONG) when the
// list would not fit in IP_CMD_MAX characters.
bool JoinNumbers(const int *numbers, size_t count, std::string *list);

// ---- the copy sessions ----------------------------------------------------------------

// The command text of ShowCopySessions (no argument checks).
std::string CopySessionsCommand(int option, const std::string &list, unsigned optionFlag,
                                int showFlags);
// Parses a split "show copy-sessions" reply into rows as ShowCopySessions
// does (option 0/1 by order; option 2 by list position). Sets *count.
int ParseCopySessions(const Reply &reply, int option, const int *list, size_t listCount,
                      int *count, CliCopySession *rows, size_t room);
// The same from a reply text.
int ParseCopySessionsText(const char *text, int option, const int *list, size_t listCount,
                          int *count, CliCopySession *rows, size_t room);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_H */
