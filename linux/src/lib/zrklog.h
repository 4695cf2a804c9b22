// Debug log internals: the reading of the log environment.
#ifndef ZRK_ZRKLOG_H
#define ZRK_ZRKLOG_H

#ifdef __cplusplus
extern "C" {
#endif

/* Reads WXAPI_LOG_FLAG, WXAPI_LOG_PATH and WXAPI_DUMP_SIZE into the process's
 * log settings, printing one warning line to standard error for each bad
 * variable. 0 when all are good, -1 when any was bad. WriteLog runs it once,
 * on its first call. */
int ReadLogEnvironment(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZRK_ZRKLOG_H */
