/*
 * zrkhost.h - the host platform layer.
 *
 * This module is the only code of the library that touches what a real array
 * host has: SCSI generic pass-through and the other device ioctls, device
 * nodes, the sysfs block files, the /dev/disk links, and the device-mapper and
 * volume-manager commands. Everything above it calls these functions and
 * nothing else of the kind.
 *
 * Two implementations exist and are linked into two builds of the library
 * from the same object code otherwise:
 *   host_linux.cpp  the system calls themselves (the product);
 *   host_sim.cpp    every call forwarded to the array simulator over a Unix
 *                   socket (tests and the demo only).
 *
 * Contract, the same for both:
 * - Every function returns as the system call it stands for: -1 with errno
 *   set on failure. EINTR is retried inside; descriptors are close-on-exec.
 * - zrk_host_ioctl knows the requests the library issues: SG_IO (argument a
 *   struct sg_io_hdr), the volume manager's pass-through 0x737800 (argument
 *   the 24-byte record holding a device number and a pointer to an sg_io_hdr),
 *   HDIO_GETGEO, BLKGETSIZE, BLKRRPART. Any other request fails with ENOTTY
 *   in the simulated build.
 * - zrk_host_run runs a program given as an argument vector (never through a
 *   shell), standard input and standard error on /dev/null, and collects up to
 *   `max` bytes of its standard output.
 */
#ifndef ZRK_HOST_H
#define ZRK_HOST_H

#include <stddef.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The volume manager's pass-through ioctl and its record. */
#define ZRK_BRDLX_DIAG_IOCTL 0x737800UL
#define ZRK_BRDLX_DIAG_NODE  "/dev/brdlx/_diag"

typedef struct ZrkBrdlxPassThrough {
    unsigned long long ullDevice; /* device number of the volume's node */
    unsigned int       uiRequest; /* inner request: SG_IO */
    unsigned int       uiReserved;/* zero */
    void              *pArg;      /* the SG_IO request header */
} ZrkBrdlxPassThrough;

int zrk_host_open(const char *path, int flags);
int zrk_host_close(int fd);
int zrk_host_ioctl(int fd, unsigned long request, void *arg);
int zrk_host_stat(const char *path, struct stat *st);
int zrk_host_access(const char *path, int mode);
ssize_t zrk_host_readlink(const char *path, char *buf, size_t size);
/* Reads a small file (sysfs) whole: the byte count read, or -1. */
ssize_t zrk_host_read_file(const char *path, char *buf, size_t size);
/* Runs argv[0] with argv; *status receives the wait status. The byte count of
 * standard output kept in out (at most max, the rest drained), or -1 when the
 * program cannot be started. */
ssize_t zrk_host_run(const char *const argv[], char *out, size_t max, int *status);

#ifdef __cplusplus
} /* extern "C" */
static_assert(sizeof(ZrkBrdlxPassThrough) == 24, "pass-through record layout");
#endif

#endif /* ZRK_HOST_H */
