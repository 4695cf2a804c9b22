// Reading the platform's text files: a descriptor that closes itself, a
// buffered reader that hands out one byte at a time, the guarded opens of a
// file or folder that someone names, and the read of a whole file. Every
// read goes through zrkplatform::sys, so interrupted reads are retried and a
// read error is told apart from the end of the file.
//
// Standalone: it uses only the retrying system calls, so that the programs
// link it as well as the library.
#pragma once

#include <cstddef>
#include <string>

namespace zrkplatform {

// Closes a descriptor when it goes out of scope (-1: none). A move hands
// the descriptor over and leaves none behind; assigning closes the one
// held before.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : iFd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept : iFd(other.iFd) { other.iFd = -1; }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int Get() const { return iFd; }

private:
    int iFd = -1; // the descriptor owned
};

// Reads a descriptor (which it does not own) through a buffer. Once a read
// has reported the end of the file or an error, no further read is made.
class BufferedFile {
public:
    static constexpr int kEnd = -1;   // end of the file
    static constexpr int kError = -2; // a read failed (Error() tells the errno)
    static constexpr int kTooLong = -3; // a line went on past its room

    explicit BufferedFile(int fd) : iFd(fd) {}
    BufferedFile(const BufferedFile &) = delete;
    BufferedFile &operator=(const BufferedFile &) = delete;

    // The next byte (0 to 255), kEnd or kError; Peek leaves it to be read.
    int Get() {
        const int c = Peek();
        if (c >= 0) ++uiPos;
        return c;
    }
    int Peek() {
        if (uiPos == uiEnd && !Fill()) return bFailed ? kError : kEnd;
        return static_cast<unsigned char>(caBuffer[uiPos]);
    }
    // The next line into line (cleared first): its bytes up to the next LF,
    // which is read but not kept. '\n' when the LF ended it, kEnd when the
    // end of the file did (line then holds the last line's bytes, possibly
    // none), kError, or kTooLong as soon as a byte beyond room bytes comes:
    // the rest of that line is left unread, so an endless line costs room + 1
    // bytes.
    int ReadLine(std::string &line, size_t room);
    bool Failed() const { return bFailed; }
    int Error() const { return iErrno; }

private:
    bool Fill();

    int iFd;                 // descriptor read
    bool bDone = false;      // end of the file or a read error seen
    bool bFailed = false;    // a read failed
    int iErrno = 0;          // errno of the failed read, 0 when none
    size_t uiPos = 0;        // next byte of the buffer to hand out
    size_t uiEnd = 0;        // bytes in the buffer
    char caBuffer[4096] = {}; // the bytes of the last read
};

// Opens for reading a file that an administrator names (a group file, a
// session list): without waiting in open on a FIFO or a device, and only when
// it is a regular file; its reads block again. The descriptor, or -1 with
// errno; *notRegular tells a file that is there but not a regular file.
int OpenRegularFile(const char *path, bool *notRegular);

// What a path must name.
enum class PathKind { kFile, kFolder };

// Opens path for reading as OpenRegularFile does (a file only when it is a
// regular one; a folder when kind asks for one), relative to dirFd (AT_FDCWD:
// the current folder; an absolute path ignores it), and never through a
// symbolic link in its last component; the descriptor is closed on exec. The
// descriptor, or -1 with errno: ELOOP the path is a link, ENOTDIR a folder
// was asked for and it is not one, EISDIR or EINVAL a file was asked for and
// it is a folder or not a regular file, else open's error.
int OpenNoLink(int dirFd, const char *path, PathKind kind);

// Appends the whole file (from the descriptor's position to its end) to text;
// 0, or the errno of the failed call (std::bad_alloc is the caller's).
int ReadWholeFile(int fd, std::string &text);

} // namespace zrkplatform
