/*
 * zrklog.h - the debug log inside the library: the reading of the log
 * environment, and the lines every layer writes with WriteLog (zrkapi.h)
 * when a step begins and ends.
 */
#ifndef ZRK_ZRKLOG_H
#define ZRK_ZRKLOG_H

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* Reads WXAPI_LOG_FLAG, WXAPI_LOG_PATH, WXAPI_DUMP_SIZE and WXAPI_LOG_MAX into
 * the process's log settings, printing one warning line to standard error for
 * each bad variable (a log folder that is not the caller's own is bad; the
 * default folder is created when absent). 0 when all are good, -1 when any
 * was bad. WriteLog runs it once, on its first call. */
int ReadLogEnvironment(void);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkplatform {

/* For tests only: the folder that stands for "/tmp/zrkapi" when WXAPI_LOG_PATH
 * is unset or empty, so that the default folder's creation and checks can be
 * shown without touching the real one. Call it before the first WriteLog. */
void SetDefaultLogDirForTests(const char *dir);

/* A text for the log: never a null pointer. */
inline const char *LogText(const char *text) { return text != nullptr ? text : ""; }

/* The step lines, at the given level, with the volume (may be null):
 * "NAME in [volume] [line]", "NAME OK end [volume] [line]" (returns 0) and
 * "NAME Err end [volume] [line]" (returns -1). */
void LogIn(int level, const char *name, const char *volume, int line);
int LogOk(int level, const char *name, const char *volume, int line);
int LogErr(int level, const char *name, const char *volume, int line);

/* The same lines of the steps without a volume: "NAME in [line]",
 * "NAME OK end [line]" (0), "NAME Err end [line]" (-1). */
void LogIn(int level, const char *name, int line);
int LogOk(int level, const char *name, int line);
int LogErr(int level, const char *name, int line);

/* The OK end lines followed by a dump of dumpLength bytes of dump (none when
 * dump is null), as the outputs of a call are shown. */
int LogOk(int level, const char *name, const char *volume, int line, const void *dump,
          int dumpLength);
int LogOk(int level, const char *name, int line, const void *dump, int dumpLength);

} // namespace zrkplatform
#endif

#endif /* ZRK_ZRKLOG_H */
