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

/* Reads WXAPI_LOG_FLAG, WXAPI_LOG_PATH and WXAPI_DUMP_SIZE into the process's
 * log settings, printing one warning line to standard error for each bad
 * variable. 0 when all are good, -1 when any was bad. WriteLog runs it once,
 * on its first call. */
int ReadLogEnvironment(void);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkplatform {

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
