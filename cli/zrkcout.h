// zrkcout.h - the output half of the programs' shared module: the layout
// choice, the code-to-word tables, the text and CSV rules, the number
// formats, the rows of failed group-file lines, and the session layouts
// (sdvinfo, estimate, sdpinfo, suspendstatus).
//
// Contract: list_out never calls the library. Each layout reads the result
// record of its command; a program registers the printer of every layout it
// uses with RegisterLayout (the session layouts here print from row views
// that the printer fills from its record). Everything goes to the Out's
// standard output, except the ZRKC1804 line of a failed group-file entry in
// text mode, which goes to its standard error.
#pragma once

#include "zrkcargs.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zrkcli {

// Where a layout writes.
struct Out {
    FILE *pOut;   // rows
    FILE *pErr;   // ZRKC1804 lines of text mode
};

// The layouts (the module's own selector).
enum : int {
    kLayoutQuery = 1, kLayoutQueryDetail = 2, kLayoutGenerations = 3, kLayoutSdvInfo = 4,
    kLayoutEstimate = 5, kLayoutVol = 6, kLayoutSdpInfo = 7, kLayoutDest = 8, kLayoutAlias = 9,
    kLayoutLunStatus = 10, kLayoutSuspendStatus = 11, kLayoutRvzBuff = 12,
    kLayoutRvzBuffDetail = 13, kLayoutDevice = 14, kLayoutCopyPriority = 15,
    kLayoutQueryTfop = 16, kLayoutQueryVvol = 17,
};
int ChooseLayout(const CommandParam &param);

// The printer of one layout: the result buffer as the command filled it.
using LayoutPrinter = int (*)(int resultSize, const void *result, const CommandParam &param,
                              const ReturnInfo &ri, const Out &out);
void RegisterLayout(int layout, LayoutPrinter printer);

// Prints the result of a query command: 0, or 2 after an error line (an
// unknown RVZ buffer identifier, or a layout that no printer serves).
int list_out(int resultSize, const void *result, CommandParam param, ReturnInfo ri);
int ListOut(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &ri,
            const Out &out);

// Code-to-word tables 1 to 9: copies the word of code into word (32 bytes)
// or leaves it as it was when the table lacks the code.
enum : unsigned {
    kTableKind = 1, kTableStatus = 2, kTablePhase = 3, kTableSdvStatus = 4, kTableCmdStatus = 5,
    kTableRwProtect = 6, kTableLicense = 7, kTableCtlType = 8, kTableCopyRate = 9,
};
void make_str(unsigned table, int code, char *word);
// The word, or an empty text for an unknown code.
std::string Word(unsigned table, int code);

// A CSV value with every double quote doubled.
std::string check_str(std::string_view text);
// A text without its leading and trailing blanks (spaces only).
std::string clear_space(std::string_view text);
// A volume name in one of the alias forms rewritten with the session's
// current logical unit, extent and alias; other names come back unchanged.
std::string conv_volume(std::string_view name, uint32_t olu, uint64_t start,
                        std::string_view size, std::string_view alias);

// 512-byte blocks as kilobytes with one decimal ("1.5").
std::string KbText(uint64_t blocks);
// 512-byte blocks as megabytes, rounded up.
uint64_t MbCount(uint64_t blocks);

// One CSV field: how its value is written.
enum class CsvKind { Plain, Name, Raw };
struct CsvField {
    std::string sText;
    CsvKind eKind = CsvKind::Plain;
};
// A CSV line of the fields: trimmed (names also quote-doubled), quoted,
// separated by commas, ended by a newline.
std::string CsvLine(const std::vector<CsvField> &fields);

// What a group-file run makes of result item i.
enum class EntryRow { Data, Placeholder, Error };
// Without -gf every item is data; with it, entry i's class decides
// (class 1 / 1100 is a placeholder where the layout has one).
EntryRow ClassifyEntry(const CommandParam &param, const ReturnInfo &ri, uint32_t i,
                       bool hasPlaceholder);
// Prints the failed entry i: text mode the ZRKC1804 line to standard error,
// CSV a row of that line and fieldCount - 1 empty fields. byPair names the
// entry by its source and target, else by its source as a volume.
void PrintEntryError(const CommandParam &param, const ReturnInfo &ri, uint32_t i, bool byPair,
                     size_t fieldCount, const Out &out);

// Row views of the session layouts, filled by the printer of each record.
struct SdvInfoRow {
    std::string sVolume;
    uint32_t uiFlag;                  // the volume's flag word
    uint64_t ulLogical, ulPhysical;   // block counts
    uint64_t ulSnapHost, ulSnapCopy, ulPoolHost, ulPoolCopy;
};
struct EstimateRow {
    std::string sVolume;
    uint64_t ulBlocks;                // measured block count
};
struct SdpInfoRow {
    uint64_t ulBlk, ulHostUse, ulCopyUse, ulEnc, ulEncHostUse, ulEncCopyUse;
};
struct SuspendStatusRow {
    uint8_t ucKind;                   // copy kind (table 1)
    uint8_t ucStatus;                 // session status (table 2)
    uint8_t ucCmdStatus;              // command status (table 5)
    uint32_t uiRemaining;             // seconds; 0xFFFFFFFF not known
    std::string sSource, sTarget;
};

void PrintSdvInfo(const std::vector<SdvInfoRow> &rows, const CommandParam &param,
                  const ReturnInfo &ri, const Out &out);
void PrintEstimate(const std::vector<EstimateRow> &rows, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out);
void PrintSdpInfo(const SdpInfoRow &row, const CommandParam &param, const Out &out);
void PrintSuspendStatus(const std::vector<SuspendStatusRow> &rows, const CommandParam &param,
                        const ReturnInfo &ri, const Out &out);

// ---- Helpers the layout files share ----
// printf into a string.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// One number in a printf form of one conversion of a long long.
std::string FormatNumber(const char *format, unsigned long long value);
// Writes text to stream as it is.
void Put(FILE *stream, const std::string &text);
// Whether -csv was given.
bool Csv(const CommandParam &param);
// A text field of a result record, size bytes, terminated or not. Every
// text a layout prints from the array's data comes through here: a byte
// below 0x20 or 0x7F is shown as "?".
std::string FieldText(const char *field, size_t size);
// The names of a per-pair entry.
std::string EntrySource(const PairResult &e);
std::string EntryTarget(const PairResult &e);
// ---- end of the shared helpers ----
// ---- Routes and aliases (zrkcroute_out.cpp) -------------------------------
// Layout 8 (dest: a RouteInfo) and layout 9 (alias -l: an AliasList). Counts
// in the record are never followed past the entries the record holds or
// past resultSize bytes.
int PrintDest(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &ri,
              const Out &out);
int PrintAliasList(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out);
// Registers both printers with RegisterLayout.
void RegisterRouteLayouts();
// ---- Failed entries and the suspend-status record (zrkcvz) -----------------

// "Source=(s). Target=(t)." of a failed group-file entry.
std::string PairNaming(const PairResult &entry);
// "Session ID=(id)" of a failed session-list entry (its source field).
std::string SessionNaming(const PairResult &entry);
// The printer of layout 11: the rows of a SuspendStatusList of resultSize
// bytes (entries beyond the size are not read).
int PrintSuspendStatusList(int resultSize, const void *result, const CommandParam &param,
                           const ReturnInfo &ri, const Out &out);

// ---- Snap data volume records (zrkcskzp) -----------------------------------
// The printers of layouts 4 (an SdvStatusList), 5 (an EstimateList) and 7 (an
// SdpInfo) of resultSize bytes; entries beyond the size are not read.
int PrintSdvStatusList(int resultSize, const void *result, const CommandParam &param,
                       const ReturnInfo &ri, const Out &out);
int PrintEstimateList(int resultSize, const void *result, const CommandParam &param,
                      const ReturnInfo &ri, const Out &out);
int PrintSdpInfoRecord(int resultSize, const void *result, const CommandParam &param,
                       const ReturnInfo &ri, const Out &out);
// Registers the three printers with RegisterLayout.
void RegisterSnapLayouts();

}  // namespace zrkcli
