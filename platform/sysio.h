/*
 * sysio.h - the system calls of the library's own layers, each retried on
 * EINTR in one place. Everything outside the host platform layer (which keeps
 * its own wrappers for the calls it stands for) goes through these, so that a
 * fault test can fail any of them.
 *
 * Each behaves as the call it wraps: -1 and errno on failure,
 * with EINTR never returned.
 *
 * Also the turn of a thread at a process-wide read-write lock (ThreadTurn),
 * for the stores whose file locks belong to the whole process.
 *
 * Standalone: the programs link it as well as the library.
 */
#ifndef ZRK_SYSIO_H
#define ZRK_SYSIO_H

#include <pthread.h>
#include <stddef.h>
#include <sys/types.h>

struct sockaddr;
struct pollfd;
struct flock;

namespace zrkplatform::sys {

/* open(2), and openat(2) relative to an open directory. */
int Open(const char *path, int flags, mode_t mode = 0);
int OpenAt(int dirFd, const char *path, int flags, mode_t mode = 0);
/* Opens a file without following a symbolic link in its last component
 * (O_NOFOLLOW). With O_CREAT, a file that this call creates gets exactly
 * mode, whatever the umask (it is never more open than mode on the way); an
 * existing file is opened as it is, unless O_EXCL asks for a new one. The
 * At form names the file relative to an open directory. */
int OpenNoFollow(const char *path, int flags, mode_t mode);
int OpenNoFollowAt(int dirFd, const char *path, int flags, mode_t mode);
/* read(2) and write(2), one call each (short counts are the caller's). */
ssize_t Read(int fd, void *data, size_t length);
ssize_t Write(int fd, const void *data, size_t length);
/* Writes every byte (pwrite at offset, or write when offset is -1): 0, or
 * the errno of the failure (EIO for a write that makes no progress). */
int WriteAll(int fd, const void *data, size_t length, off_t offset = -1);
/* fcntl(2) with a struct flock (F_SETLK, F_SETLKW, F_GETLK). */
int Lock(int fd, int command, struct flock *lock);
/* ftruncate(2). */
int Truncate(int fd, off_t length);
/* fsync(2), fchmod(2), mkdir(2), rename(2) and unlink(2). */
int Fsync(int fd);
int Fchmod(int fd, mode_t mode);
int Mkdir(const char *path, mode_t mode);
int Rename(const char *from, const char *to);
int Unlink(const char *path);
/* connect(2): an interrupted connect goes on in the background, so it is
 * waited for with poll instead of being started again. */
int Connect(int fd, const struct sockaddr *address, unsigned length);
/* getsockname(2); *length is the room at address, then the length used. */
int GetSockName(int fd, struct sockaddr *address, unsigned *length);
/* send(2) and recv(2). */
ssize_t Send(int fd, const void *data, size_t length, int flags);
ssize_t Recv(int fd, void *data, size_t length, int flags);
/* poll(2), an interrupted wait started again with the same time-out. */
int Poll(struct pollfd *fds, unsigned count, int timeoutMs);
/* close(2), not retried (the descriptor is gone after EINTR on Linux). */
int Close(int fd);
/* waitpid(2). */
pid_t WaitPid(pid_t pid, int *status, int options);

} // namespace zrkplatform::sys

namespace zrkplatform {

/* One thread's turn at a process-wide read-write lock, held for the life of
 * the object: a writer's turn alone, a reader's shared with other readers. */
class ThreadTurn {
public:
    ThreadTurn(pthread_rwlock_t &lock, bool writer) : lock_(lock) {
        if (writer) {
            pthread_rwlock_wrlock(&lock_);
        } else {
            pthread_rwlock_rdlock(&lock_);
        }
    }
    ~ThreadTurn() { pthread_rwlock_unlock(&lock_); }
    ThreadTurn(const ThreadTurn &) = delete;
    ThreadTurn &operator=(const ThreadTurn &) = delete;

private:
    pthread_rwlock_t &lock_;
};

} // namespace zrkplatform

#endif /* ZRK_SYSIO_H */
