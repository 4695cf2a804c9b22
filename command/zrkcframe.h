// zrkcframe.h - the frame that every command function (zrkc_...) shares.
//
// A command function opens its frame with a zrkc::CommandCall object, which
// opens the command trace; whatever way the function leaves, the object's
// destructor releases the copy-pair list and closes the trace, so no way out
// leaves the list or the trace behind. The steps, in the order a command
// takes them (each trace line carries the line of the step's call):
//
//   zrkc::CommandCall call("zrkc_start_vz", ri);
//   if (call.OpenPair(src, dest, option) != 0) return -1;         // 1008, start line
//   if (call.CheckOptions(option, kMask) != 0) return -1;         // 1010
//   if (int r = call.BuildList(src, dest, option)) return r;      // list, 1015 warning
//   if (call.RequirePairs() != 0) return -1;                      // 1016
//   ... com_conv_volinf, the command's own checks ...
//   call.TraceApiStart(Op::StartVz);
//   for each pair i: result = API call; if (call.MapResult(i, Op::StartVz, pair, result) != 0) {
//       call.TracePairParm(...); if (!call.GroupMode()) return call.Fail(); }
//   call.TraceApiEnd(Op::StartVz);
//   return call.Finish();                                         // 0, or -1 (1804)
//
// While the object lives, the alias lookups of the call share one reading of
// the alias store (zrkc::AliasCallView).
//
// Results: 0 success, 1 warning, -1 error, with the return class, the message
// number and the message line in the caller's ReturnInfo. In group-file mode
// (ZRKC_OPT_GROUP_FILE) each pair's own result goes to its PairResult entry,
// a failed pair does not stop the run, and the run's first failed line puts
// class 13, 1804 into the ReturnInfo (GroupLineFailed, the one place of that
// rule; the support functions that run group lines without a frame use it
// too).
#pragma once

#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcmessage.h"
#include "zrkcops.h"
#include "zrkctrace.h"
#include "zrklist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

namespace zrkc {

// An area of the C allocator (T: a record, or an array T[] of them), freed
// when its owner goes.
template <typename T> using Owned = std::unique_ptr<T, zrk::FreeDeleter>;

// count cleared records (at least one); null when the memory is not there.
template <typename T> Owned<T> Cleared(size_t count) {
    using Record = std::remove_extent_t<T>;
    return Owned<T>(static_cast<Record *>(std::calloc(count != 0 ? count : 1, sizeof(Record))));
}

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
    int Open(const void *operand1, Where where = Where::current());
    int OpenPair(const char *source, const char *target, uint32_t option,
                 Where where = Where::current());
    int OpenVolume(const char *volume, uint32_t option, Where where = Where::current());

    // Step 5 and 6: a bit outside the mask (or, with an extended mask, a bit
    // of uiExOptionFlag outside it) is refused with 1010; ZRKC_OPT_ACCESS_PATH
    // sets ZrkcAccessPath_Flag. Mask 0 takes only the option word 0.
    int CheckOptions(uint32_t option, uint32_t mask, Where where = Where::current());
    int CheckOptions(uint32_t option, uint32_t mask, uint32_t exMask, Where where = Where::current());
    // A combination of bits the command refuses: 1010, -1.
    int RefuseOptions(Where where = Where::current());

    // Step 7: the copy-pair list from the operands or the group file; -1
    // error, 1 the per-pair area is too small (1015, warning end), 0 ready.
    int BuildList(const char *operand1, const char *operand2, uint32_t option,
                  Where where = Where::current());
    // Step 8: the form of the list (1016 otherwise).
    int RequirePairs(Where where = Where::current());
    int RequireVolumes(Where where = Where::current());

    // The output area of a query: shorter than needed, 1001 with the size
    // needed in the result, "%s warning end.", 1, the area untouched;
    // otherwise the whole area is cleared, 0.
    int CheckOutputArea(void *area, size_t length, size_t needed, Where where = Where::current());

    // Step 11: "%s WX-API Call started.[%s]" and "%s WX-API Call end.[%s]",
    // with the operation's names or the names given.
    void TraceApiStart(Op op, Where where = Where::current());
    void TraceApiEnd(Op op, Where where = Where::current());
    void TraceApiStart(const char *apis, Where where = Where::current());
    void TraceApiEnd(const char *apis, Where where = Where::current());
    // The parameter line of a failed pair or volume call.
    void TracePairParm(const CopyPair &pair, uint32_t apiOption, Where where = Where::current());
    void TraceVolumeParm(const char *volume, uint32_t apiOption, Where where = Where::current());

    // Calls the in-band function or its out-of-band twin by the pair's
    // transport (CallByTransport) with the pair's access volume, args and the
    // frame's sense area, cleared first; the API's result.
    template <typename InBand, typename OutOfBand, typename... Args>
    int CallByTransport(const CopyPair &pair, InBand inBand, OutOfBand outOfBand, Args... args) {
        std::memset(ucaSense, 0, sizeof ucaSense);
        return zrkc::CallByTransport(pair.ucTransport, pair.caAccessVolume, ucaSense, inBand,
                                     outOfBand, args...);
    }

    // Maps the result of the API call for list entry index with
    // com_set_return_inf into the result (single mode) or the entry's own
    // PairResult (group mode); 0 when it succeeded, -1 when it failed. In
    // group mode each failure is traced with its entry's message and counts
    // as a failed line of the run; a failed entry that the area lacks counts
    // all the same (its message goes nowhere). The operation's identifier is
    // that of the pair's road, the volume the pair's access volume.
    int MapResult(uint32_t index, uint8_t identifier, const char *volume, int apiResult);
    int MapResult(uint32_t index, Op op, const CopyPair &pair, int apiResult);
    // MapResult of a pair call made with apiOption; a failure writes the
    // pair's parameter line too (TracePairParm). 0 or -1.
    int MapPairCall(uint32_t index, Op op, const CopyPair &pair, int apiResult, uint32_t apiOption,
                    Where where = Where::current());
    // Maps an API result into the result record itself, also in a group run
    // (a failure that ends the whole call); 0 or -1.
    int MapIntoResult(Op op, const CopyPair &pair, int apiResult);
    // A pair that the command refuses before any API call: single mode,
    // the result; group mode, the entry, as MapResult does for a failure.
    // The message with its arguments, or a result made elsewhere
    // (RefuseEntryWith); -1.
    template <typename... A> int RefuseEntry(uint32_t index, MsgOf<A...> message, A... args) {
        return FillEntry(index, true, ClassOf(message.eName), message, args...);
    }
    int RefuseEntryWith(uint32_t index, int returnClass, uint32_t messageNo, const char *line) {
        return FillEntryWith(index, true, returnClass, messageNo, line);
    }
    // A line of a group run that fails without failing the call: its entry
    // (when the area holds it) and the run's 1804; single mode, the result.
    // -1.
    template <typename... A> int NoteEntry(uint32_t index, MsgOf<A...> message, A... args) {
        return FillEntry(index, false, ClassOf(message.eName), message, args...);
    }

    // Ways out. Fail: "%s abnormal_end. msg=%s" with the result's message,
    // -1. NoMemory: 1106, then Fail. Warn: "%s warning_end. msg=%s", 1.
    // Finish: "%s normal_end.", 0, or -1 when a group run had a failed entry.
    int Fail(Where where = Where::current());
    int NoMemory(Where where = Where::current());
    int Warn(Where where = Where::current());
    int Finish(Where where = Where::current());

    bool GroupMode() const { return (uiOption & ZRKC_OPT_GROUP_FILE) != 0; }
    bool GroupFailed() const { return bGroupFailed; }
    CopyPairList &List() { return tList; }
    unsigned char *Sense() { return ucaSense; }
    ReturnInfo *Result() { return pResult; }
    const char *Name() const { return pName; }
    // The PairResult entry of list entry index (group mode), or null.
    PairResult *Entry(uint32_t index) { return EntryOf(pResult, index); }

    // The frame a part of a command reports in: the frame that lends itself
    // (Lend) on this thread while it calls the part, or else (the part called
    // on its own) one of the part's own, made in own under the part's name.
    static CommandCall &FrameFor(std::optional<CommandCall> &own, const char *name, ReturnInfo *ri);
    // While a Lend lives, the parts its command calls report in its frame.
    class Lend {
    public:
        explicit Lend(CommandCall &call);
        ~Lend();
        Lend(const Lend &) = delete;
        Lend &operator=(const Lend &) = delete;

    private:
        CommandCall *pOuter; // the frame lent before, back when this one goes
    };

    // The PairResult entry of list entry index in the per-pair area of ri,
    // or null when ri has no area or the area lacks the entry.
    static PairResult *EntryOf(ReturnInfo *ri, uint32_t index);
    // The per-pair area of ri holds count entries; otherwise ri gets 1015
    // and the size needed, false.
    static bool PairAreaHolds(ReturnInfo *ri, uint32_t count);
    // The entry count at the head of ri's per-pair area (one of at least its
    // 4 bytes).
    static void SetEntryCount(ReturnInfo *ri, uint32_t count);
    // A failed line of a group run: the run's first (failed still false)
    // puts class 13, 1804 into ri; failed becomes true.
    static void GroupLineFailed(ReturnInfo *ri, bool &failed);

private:
    // The entry a result of list entry index goes to in group mode (scratch
    // when the area lacks it); null in single mode (the result record).
    PairResult *GroupSlot(uint32_t index, PairResult &scratch);
    // A failed entry of a group run (failsCall: the run ends with -1):
    // traced with its message when it fails the call, and the run's 1804.
    void RecordGroupFailure(const PairResult &entry, bool failsCall);
    // com_set_return_inf of an API result into slot, with the frame's sense
    // area; its return.
    int SetReturnInto(const ResultSlot &slot, uint8_t identifier, const char *volume, int apiResult);
    template <typename... A>
    int FillEntry(uint32_t index, bool failsCall, int returnClass, MsgOf<A...> message, A... args) {
        int32_t entryClass = 0;
        uint32_t number = 0;
        char line[ZRK_MESSAGE_LEN];
        SetResultAs(ResultSlot{&entryClass, &number, line}, returnClass, message, args...);
        return FillEntryWith(index, failsCall, entryClass, number, line);
    }
    int FillEntryWith(uint32_t index, bool failsCall, int returnClass, uint32_t messageNo,
                      const char *line);

    AliasCallView tAliasView;            // the store as the call's lookups see it
    const char *pName;                   // the command function's name
    ReturnInfo *pResult;                 // the caller's result record
    uint32_t uiOption = 0;               // the option word as checked
    bool bGroupFailed = false;           // a group run had a failed entry
    bool bGroupNoted = false;            // the run's 1804 is in the result
    CopyPairList tList{};                // the call's copy-pair list
    unsigned char ucaSense[ZRK_SENSE_LEN] = {}; // sense data of the API calls
};

} // namespace zrkc
