// zrkcframe.h - the frame that every command function (zrkc_...) shares.
//
// A command function opens its frame with a zrkc::CommandCall object, which
// opens the command trace; whatever way the function leaves, the object's
// destructor releases the copy-pair list and closes the trace, so no way out
// leaves the list or the trace behind. The steps, in the order a command
// takes them:
//
//   zrkc::CommandCall call("zrkc_start_vz", ri);
//   if (call.OpenPair(src, dest, option, __LINE__) != 0) return -1;   // 1008, start line
//   if (call.CheckOptions(option, kMask, __LINE__) != 0) return -1;   // 1010
//   if (int r = call.BuildList(src, dest, option, __LINE__)) return r; // list, 1015 warning
//   if (call.RequirePairs(__LINE__) != 0) return -1;                  // 1016
//   ... com_conv_volinf, the command's own checks ...
//   call.TraceApiStart("ZRKLVStartVZ / ZRKIPStartVZ", __LINE__);
//   for each pair i: result = API call; if (call.MapResult(i, id, vol, result) != 0) {
//       call.TracePairParm(...); if (!call.GroupMode()) return call.Fail(__LINE__); }
//   call.TraceApiEnd("ZRKLVStartVZ / ZRKIPStartVZ", __LINE__);
//   return call.Finish(__LINE__);                                     // 0, or -1 (1804)
//
// While the object lives, the alias lookups of the call share one reading of
// the alias store (zrkc::AliasCallView).
//
// Results: 0 success, 1 warning, -1 error, with the return class, the message
// number and the message line in the caller's ReturnInfo. In group-file mode
// (ZRKC_OPT_GROUP_FILE) each pair's own result goes to its PairResult entry,
// a failed pair does not stop the run, and the call reports class 13, 1804.
#pragma once

#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcmessage.h"

#include <cstddef>
#include <cstdint>

namespace zrkc {

class CommandCall {
public:
    // Step 1: the command trace is opened under the function's name.
    CommandCall(const char *name, ReturnInfo *ri);
    ~CommandCall();
    CommandCall(const CommandCall &) = delete;
    CommandCall &operator=(const CommandCall &) = delete;

    // Step 2 to 4: a NULL first operand or result record is refused (1008;
    // "%s started. parameter null pointer"); then the start line, and the
    // result's class, number and message are cleared (its area fields stay).
    // OpenPair: "src=%s, dest=%s, opt=%08x" (dest NULL: "NULL"); OpenVolume:
    // "vol=%s, opt=%08x". Open leaves the start line to the caller.
    int Open(const void *operand1, int line);
    int OpenPair(const char *source, const char *target, uint32_t option, int line);
    int OpenVolume(const char *volume, uint32_t option, int line);

    // Step 5 and 6: a bit outside the mask (or, with an extended mask, a bit
    // of uiExOptionFlag outside it) is refused with 1010; ZRKC_OPT_ACCESS_PATH
    // sets ZrkcAccessPath_Flag. Mask 0 takes only the option word 0.
    int CheckOptions(uint32_t option, uint32_t mask, int line);
    int CheckOptions(uint32_t option, uint32_t mask, uint32_t exMask, int line);
    // A combination of bits the command refuses: 1010, -1.
    int RefuseOptions(int line);

    // Step 7: the copy-pair list from the operands or the group file; -1
    // error, 1 the per-pair area is too small (1015, warning end), 0 ready.
    int BuildList(const char *operand1, const char *operand2, uint32_t option, int line);
    // Step 8: the form of the list (1016 otherwise).
    int RequirePairs(int line);
    int RequireVolumes(int line);

    // The output area of a query: shorter than needed, 1001 with the size
    // needed in the result, "%s warning end.", 1, the area untouched;
    // otherwise the whole area is cleared, 0.
    int CheckOutputArea(void *area, size_t length, size_t needed, int line);

    // Step 11: "%s WX-API Call started.[%s]" and "%s WX-API Call end.[%s]".
    void TraceApiStart(const char *apis, int line);
    void TraceApiEnd(const char *apis, int line);
    // The parameter line of a failed pair or volume call.
    void TracePairParm(const CopyPair &pair, uint32_t apiOption, int line);
    void TraceVolumeParm(const char *volume, uint32_t apiOption, int line);

    // Maps the result of the API call for list entry index with
    // com_set_return_inf into the result (single mode) or the entry's own
    // PairResult (group mode); 0 when it succeeded, -1 when it failed. In
    // group mode the first failure puts class 13, 1804 into the result and
    // each failure is traced with its entry's message; a failed entry that
    // the area lacks counts all the same (its message goes nowhere).
    int MapResult(uint32_t index, uint8_t identifier, const char *volume, int apiResult);
    // A pair that the command refuses before any API call: single mode,
    // the result; group mode, the entry, as MapResult does for a failure.
    // The message with its arguments (RefuseEntryAs: under a class of the
    // caller's), or a result made elsewhere (RefuseEntryWith); -1.
    template <typename... A> int RefuseEntry(uint32_t index, MsgOf<A...> message, A... args) {
        return RefuseEntryAs(index, ClassOf(message.eName), message, args...);
    }
    template <typename... A>
    int RefuseEntryAs(uint32_t index, int returnClass, MsgOf<A...> message, A... args) {
        int32_t refusedClass = 0;
        uint32_t number = 0;
        char line[ZRK_MESSAGE_LEN];
        SetResultAs(ResultSlot{&refusedClass, &number, line}, returnClass, message, args...);
        return RefuseEntryWith(index, refusedClass, number, line);
    }
    int RefuseEntryWith(uint32_t index, int returnClass, uint32_t messageNo, const char *line);

    // Ways out. Fail: "%s abnormal_end. msg=%s" with the result's message,
    // -1. NoMemory: 1106, then Fail. Warn: "%s warning_end. msg=%s", 1.
    // Finish: "%s normal_end.", 0, or -1 when a group run had a failed entry.
    int Fail(int line);
    int NoMemory(int line);
    int Warn(int line);
    int Finish(int line);

    bool GroupMode() const { return (uiOption & ZRKC_OPT_GROUP_FILE) != 0; }
    bool GroupFailed() const { return bGroupFailed; }
    CopyPairList &List() { return tList; }
    unsigned char *Sense() { return ucaSense; }
    ReturnInfo *Result() { return pResult; }
    const char *Name() const { return pName; }
    // The PairResult entry of list entry index (group mode), or null.
    PairResult *Entry(uint32_t index);

private:
    // A failed entry of a group run: traced with its message; the first
    // puts class 13, 1804 into the result.
    void RecordGroupFailure(const PairResult &entry);

    AliasCallView tAliasView;            // the store as the call's lookups see it
    const char *pName;                   // the command function's name
    ReturnInfo *pResult;                 // the caller's result record
    uint32_t uiOption = 0;               // the option word as checked
    bool bGroupFailed = false;           // a group run had a failed entry
    CopyPairList tList{};                // the call's copy-pair list
    unsigned char ucaSense[ZRK_SENSE_LEN] = {}; // sense data of the API calls
};

} // namespace zrkc
