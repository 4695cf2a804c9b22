// zrkcgroupfile.h - the reader of a group file: one volume or one pair of
// volumes a line, as com_file_prepare reads it.
//
// The grammar: a line holds at most 1024 characters before its line end (LF
// or CR LF). A line whose first character is CR or "#", or that holds only
// blanks, names nothing. Otherwise the line (cut at its first CR) holds one
// or two fields separated by blanks (spaces only; leading blanks skipped); a
// field that opens with a double quote runs to the next double quote, which
// must be followed by a blank or the end of the line, and loses its quotes.
// The first line with fields fixes the form of the file (two fields: pairs,
// one: volumes). A field must fit a name (at most 1023 characters). Line
// numbers count every line read, from 1; the last line may lack its LF.
#pragma once

#include "zrkc.h"

#include <cstdint>

namespace zrkc {

constexpr size_t kGroupLineMax = 1024; // characters of a line before its end

struct GroupFileError {
    enum class Kind { None, Syntax, TooMany, Empty, Read, NoMemory };
    Kind kind = Kind::None;
    uint32_t uiLine = 0; // the line of a syntax error or of the name past the limit
    int iErrno = 0;      // a failed read's errno
};

// Reads the group file open on fd (which it does not close) into a new
// names array of at most limit names (*names, freed by the caller with
// free); 0, or -1 with the reason in error and *names untouched.
int ReadGroupFile(int fd, uint32_t limit, CopyPairNames **names, GroupFileError &error);

} // namespace zrkc
