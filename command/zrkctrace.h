// zrkctrace.h - the lines of the command trace (velk_trace).
//
// Every line ends in " [line]", the source line of the call that writes it;
// the helpers take it from their call site by a default argument, so a call
// never spells it. The step lines that every function shares have a helper
// each; any other line goes through TraceLine, which keeps the printf check
// of its format:
//
//   zrkc::TraceStart(kName);                        // "com_x start. [12]"
//   zrkc::TraceLine(6, {}, "%s ListCnt=%u", kName, n); // "com_x ListCnt=3 [13]"
//   return zrkc::ErrorEnd(kName, "malloc");         // "com_x error end.(malloc) [14]", -1
#pragma once

#include <cstdint>
#include <source_location>

namespace zrkc {

// Where a trace line is written from: std::source_location, or, with a
// standard library that has none for this compiler (clang before 15 with
// libstdc++), the same call-site line from the builtin it stands on.
#if defined(__cpp_lib_source_location)
using Where = std::source_location;
#else
class Where {
public:
    static constexpr Where current(unsigned line = __builtin_LINE()) { return Where(line); }
    constexpr unsigned line() const { return uiLine; }

private:
    constexpr explicit Where(unsigned line) : uiLine(line) {}
    unsigned uiLine;
};
#endif

// The levels of the command trace.
inline constexpr int kTraceStep = 1;    // start, end and failure lines of the commands
inline constexpr int kTraceParm = 2;    // parameter lines of a failed API call
inline constexpr int kTraceData = 3;    // the records a query hands back
inline constexpr int kTraceSupport = 6; // start and end lines of the support functions

// The call site of a TraceLine, taken where its `{}` stands.
struct Here {
    Where w = Where::current();
};

// One printf-formatted line, " [line]" after it.
void TraceLine(int level, Here here, const char *format, ...) __attribute__((format(printf, 3, 4)));

// "NAME start."
void TraceStart(const char *name, int level = kTraceSupport, Where where = Where::current());
// "NAME normal end." at the support level; 0.
int NormalEnd(const char *name, Where where = Where::current());
// "NAME error end." and "NAME error end.(CAUSE)"; -1.
int ErrorEnd(const char *name, Where where = Where::current());
int ErrorEnd(const char *name, const char *cause, Where where = Where::current());
// "NAME WX-API Call started.[APIS]" and "NAME WX-API Call end.[APIS]".
void TraceCallStart(const char *name, const char *apis, int level, Where where = Where::current());
void TraceCallEnd(const char *name, const char *apis, int level, Where where = Where::current());

// "NAME WX-API Parm LogicalVol=VOLUME, opt=OPTION": the volume and option
// word of a failed call.
void TraceVolumeParm(const char *name, const char *volume, uint32_t option, int level,
                     Where where = Where::current());

// The ways a command (or a step that reports as one) starts and ends, at
// the step level:
// "NAME started. parameter null pointer"
void TraceNullOperand(const char *name, Where where = Where::current());
// "NAME abnormal_end. msg=MESSAGE"; -1.
int AbnormalEnd(const char *name, const char *message, Where where = Where::current());
// "NAME warning_end. msg=MESSAGE"; 1.
int WarningEnd(const char *name, const char *message, Where where = Where::current());
// "NAME warning end.", an output area too small; 1.
int AreaWarningEnd(const char *name, Where where = Where::current());
// "NAME normal_end."
void CommandEnd(const char *name, Where where = Where::current());

} // namespace zrkc
