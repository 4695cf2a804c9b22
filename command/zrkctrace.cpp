// The lines of the command trace, each with the line of its call site.
#include "zrkctrace.h"

#include "platform.h"

#include <cstdarg>
#include <cstdio>

namespace zrkc {

namespace {

int LineOf(const Where &where) { return static_cast<int>(where.line()); }

} // namespace

void TraceLine(int level, Here here, const char *format, ...) {
    // A velk_trace line holds at most 1023 characters: the text is cut to
    // them first, so that the line number follows only a text that fits.
    char text[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    velk_trace(level, "%s [%d]", text, LineOf(here.w));
}

void TraceStart(const char *name, int level, Where where) {
    velk_trace(level, "%s start. [%d]", name, LineOf(where));
}

int NormalEnd(const char *name, Where where) {
    velk_trace(kTraceSupport, "%s normal end. [%d]", name, LineOf(where));
    return 0;
}

int ErrorEnd(const char *name, Where where) {
    zrkplatform::VelkErrEnd(name, LineOf(where));
    return -1;
}

int ErrorEnd(const char *name, const char *cause, Where where) {
    zrkplatform::VelkErrEnd(name, cause, LineOf(where));
    return -1;
}

void TraceCallStart(const char *name, const char *apis, int level, Where where) {
    velk_trace(level, "%s WX-API Call started.[%s] [%d]", name, apis, LineOf(where));
}

void TraceCallEnd(const char *name, const char *apis, int level, Where where) {
    velk_trace(level, "%s WX-API Call end.[%s] [%d]", name, apis, LineOf(where));
}

void TraceVolumeParm(const char *name, const char *volume, uint32_t option, int level, Where where) {
    velk_trace(level, "%s WX-API Parm LogicalVol=%s, opt=%08x [%d]", name, volume, option,
               LineOf(where));
}

void TraceNullOperand(const char *name, Where where) {
    velk_trace(kTraceStep, "%s started. parameter null pointer [%d]", name, LineOf(where));
}

int AbnormalEnd(const char *name, const char *message, Where where) {
    velk_trace(kTraceStep, "%s abnormal_end. msg=%s [%d]", name, message, LineOf(where));
    return -1;
}

int WarningEnd(const char *name, const char *message, Where where) {
    velk_trace(kTraceStep, "%s warning_end. msg=%s [%d]", name, message, LineOf(where));
    return 1;
}

int AreaWarningEnd(const char *name, Where where) {
    velk_trace(kTraceStep, "%s warning end. [%d]", name, LineOf(where));
    return 1;
}

void CommandEnd(const char *name, Where where) {
    velk_trace(kTraceStep, "%s normal_end. [%d]", name, LineOf(where));
}

} // namespace zrkc
