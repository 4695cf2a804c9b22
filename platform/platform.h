/*
 * platform.h - the platform services inside libzrkapi: installation paths,
 * store files and locks, error catalogues, the properties file, the
 * volume-name store, the device-list check and the command-layer trace.
 *
 * These functions are used by the library's own layers; they have C linkage
 * because the command layer above them and the programs' tests call them by
 * name.
 */
#ifndef ZRK_PLATFORM_H
#define ZRK_PLATFORM_H

#include "zrkapi.h"
#include "zrkerrno.h"

#include <stdarg.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define ZRK_PATH_LEN 1024 /* callers' path buffers */

/* ---- installation paths ------------------------------------------------ */

/* Full path of a file of the etc directory. 0 done; 1 the installation file
 * cannot be opened; 2 it names no etc directory; 3 the path would not fit in
 * ZRK_PATH_LEN (the output is not written on any failure). */
int buildpathname(const char *name, char *out);
/* The bin directory of the error catalogues; -1 when flag is not 0. */
int build_directory_path(int flag, char *out);
/* Path of the management server's device list. */
int get_dovr_device_file(char *out);

/* ---- store files ---------------------------------------------------------- */

typedef struct StoreFile {
    void    *pMap;        /* the file's bytes while mapped */
    int32_t  iFd;         /* descriptor */
    uint32_t uiLength;    /* length to map */
    uint32_t uiErrno;     /* system error of the last failed open or map */
} StoreFile;

int com_file_open(const char *path, int mode, StoreFile *file);
int com_file_mapping(StoreFile *file);
int com_file_unmapping(StoreFile *file);
int com_file_close(StoreFile *file);
int zrkc_lock(const char *path, StoreFile *file);
int zrkc_unlock(StoreFile *file);
int zrkc_CheckDir(const char *path, ReturnInfo *ri);
int com_volume_kind(const char *name, ReturnInfo *ri);
int com_volume_mountpoint(const char *name, ReturnInfo *ri, char *boxId,
                          uint32_t *olu, uint32_t *extentHigh,
                          uint32_t *extentLow, uint32_t *sizeHigh,
                          uint32_t *sizeLow);
unsigned long long com_strtoull(const char *text, char **end, int base);

/* ---- error catalogues ----------------------------------------------------- */

typedef struct ErrInfoWxapi {
    int32_t  iErrorCode;        /* value given to ZRKerrno */
    uint32_t uiSenseCode;       /* key << 16 | ASC << 8 | ASCQ */
    uint32_t uiArrayCode;       /* array error code */
    uint32_t uiReserved;        /* stays 0 */
    char     caMessage[ZRK_MESSAGE_LEN]; /* text and "\n", terminated */
} ErrInfoWxapi;

typedef struct ErrInfoVelk {
    int32_t iReturnClass;       /* return class */
    int32_t iMessageNo;         /* message number */
    char    caMessage[ZRK_MESSAGE_LEN]; /* complete message line, terminated */
    int32_t iZrkErrno;          /* the ZRKerrno the line answers */
} ErrInfoVelk;

#define ZRK_ERRINF_BY_ERRNO  1 /* library catalogue: column 1 */
#define ZRK_ERRINF_BY_SENSE  2 /* library catalogue: column 3 */
#define ZRK_ERRINF_BY_ARRAY  3 /* library catalogue: column 4 */
#define ZRK_ERRINF_BY_MSGNO  5 /* command catalogue: column 1 */
#define ZRK_ERRINF_BY_ZRKERR 7 /* command catalogue: column 4 */

int get_err_info_wxapi(int mode, int code, ErrInfoWxapi *entry);
int get_err_info_velk(int mode, int code, ErrInfoVelk *entry);
/* The same lookups on a catalogue file named by the caller. */
int get_err_info_wxapi_file(const char *path, int mode, int code, ErrInfoWxapi *entry);
int get_err_info_velk_file(const char *path, int mode, int code, ErrInfoVelk *entry);

/* ---- properties file ------------------------------------------------------ */

char *get_properties(const char *key, ReturnInfo *ri);
int get_properties_int(const char *key, ReturnInfo *ri);
int expand_properties(ReturnInfo *ri);
int check_properties(const char *key, const char *value);
int parse_line(const char *line, ReturnInfo *ri);
void release_properties(void);

/* ---- volume-name store and device list ------------------------------------ */

int set_volname(const char *name, const char *boxId, int32_t key1, int32_t key2,
                int32_t key3, int32_t key4, int32_t key5);
int get_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                int32_t key4, int32_t key5, char *out);
int erase_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                  int32_t key4, int32_t key5);
int sort_vols(const void *a, const void *b);
int check_dovr_devicelist(const char *boxId, ReturnInfo *ri);
/* The same check on a device list named by the caller. */
int check_dovr_devicelist_file(const char *path, const char *boxId, ReturnInfo *ri);

/* ---- library trace front ends -------------------------------------------- */

int ZRKC_Com_OpenTrace(int callerId);
int ZRKC_Com_OutputTrace(int level, int kind, const char *word, const char *name,
                         const char *text, int length, const void *data);
int ZRKC_Com_CloseTrace(void);
int velk_trace_init(void);
int velk_trace(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));
int velk_trace_dmp(int level, const char *title, const void *data, int size);
int velk_trace_term(void);

/* Shared trace line buffer of the API trace callers. */
extern char caTrcData[4096];

/* ---- waits of the command layer ------------------------------------------- */

/* Every wait of the command layer between two looks at the array sleeps
 * here: seconds whole seconds (a signal does not cut the wait short). */
void zrkc_sleep(unsigned int seconds);
/* Replaces the sleep of zrkc_sleep (tests count the seconds instead of
 * sleeping them); null restores the real sleep. Returns the previous hook. */
typedef void (*ZrkcSleepHook)(unsigned int seconds);
ZrkcSleepHook zrkc_set_sleep_hook(ZrkcSleepHook hook);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkplatform {

/* ZRKerrno = code; -1. The one way a step fails with an error number. */
inline int FailWith(int code) {
    ZRKerrno = code;
    return -1;
}

/* One printf-formatted text line into the API trace (through caTrcData),
 * under the class word ("INFO", "ERR"): ZRKC_Com_OutputTrace kind 1. */
void TraceText(int level, const char *word, const char *name, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
void TraceTextV(int level, const char *word, const char *name, const char *format,
                va_list args);
/* A dump of length bytes into the API trace under "INFO" (kind 2). */
void TraceData(int level, const char *name, const void *data, int length);
/* "END(ret=%d, ZRKerrno=%d)" under "INFO" when ret is 0, else "ERR"; ret. */
int TraceEnd(int level, const char *name, int ret);

/* The command trace's failure lines, written with velk_trace at level 1:
 * "NAME error end. [LINE]" and "NAME error end.(CAUSE) [LINE]". */
void VelkErrEnd(const char *name, int line);
void VelkErrEnd(const char *name, const char *cause, int line);

/* Fills the first three fields of a result record: class, number and the
 * formatted message line (bounded to the record's 512 characters). */
void SetResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
/* The result of a failed allocation: "ZRKC1106 ERROR Insufficient memory." */
void SetNoMemoryResult(ReturnInfo *ri);

/* Blocking fcntl lock (F_WRLCK) or unlock (F_UNLCK) of a whole file, waiting
 * as long as it takes; 0 or the system error number. */
int LockWholeFile(int fd, int type);

} // namespace zrkplatform

static_assert(sizeof(StoreFile) == 24, "StoreFile layout");
static_assert(sizeof(ErrInfoWxapi) == 528, "ErrInfoWxapi layout");
static_assert(sizeof(ErrInfoVelk) == 524, "ErrInfoVelk layout");
#endif

#endif /* ZRK_PLATFORM_H */
