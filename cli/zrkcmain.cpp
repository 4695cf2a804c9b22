// zrkcmain.cpp - the main of every program on the frame: the build names
// the program's tables in ZRKC_PROGRAM (cli/CMakeLists.txt).
#include "zrkcprogram.h"

int main(int argc, char **argv) { return zrkcli::RunCommandProgram(argc, argv, zrkcli::ZRKC_PROGRAM); }
