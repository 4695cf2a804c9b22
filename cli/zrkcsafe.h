// zrkcsafe.h - the programs' guards for a process run as root on a shared
// host: the standard descriptors, and the trust of a file or folder that a
// setting or an option names.
//
// Every program calls OpenStandardDescriptors first thing in main. The two
// programs that read the installation's own files (zrkcipservice, and
// zrkcsetpath for the old trace definition) open them with the platform's
// zrkplatform::OpenNoLink (fileread.h), and zrkcipservice trusts what it
// opened only when Untrusted finds nothing.
#pragma once

namespace zrkcli {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens later becomes its standard input, output or
// error (its messages would land in that file). A program that cannot open
// /dev/null ends at once with exit code 127: it could not keep its messages
// out of its files.
void OpenStandardDescriptors();

// Why an open file or folder may not be trusted by a program run as root,
// or null when it may: it must be owned by root or the caller and be
// writable by nobody else, or anyone could put their own text (or program)
// in its place.
const char *Untrusted(int fd);

}  // namespace zrkcli
