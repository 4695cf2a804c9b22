// Fuzzes the programs' command-line parser: the input is split at NUL bytes
// into an argument vector (the first word is the program name), parsed, and
// the record is checked for what the parser promises: terminated text
// fields, a known subcommand, a form that matches the operands, and values
// within their limits. The fuzz build compiles the library's layers only, so
// the parser's source is compiled in here.
#include "../cli/zrkcargs.cpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> words(1, "zrkcvz");
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (size > 0) words.push_back(current);
    if (words.size() > 64) return 0;
    std::vector<const char *> argv;
    for (const std::string &w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);

    zrkcli::CommandParam param;
    std::string refused;
    uiExOptionFlag = 0;
    const int rc = zrkcli::ParseParam(static_cast<int>(words.size()), argv.data(), &param, &refused);
    if (rc != 0) return 0;
    if (param.uiFuncCode < 1 || param.uiFuncCode > 25) std::abort();
    if (strnlen(param.caPassword, sizeof(param.caPassword)) == sizeof(param.caPassword)) std::abort();
    if (strnlen(param.caOperand1, sizeof(param.caOperand1)) == sizeof(param.caOperand1)) std::abort();
    if (strnlen(param.caOperand2, sizeof(param.caOperand2)) == sizeof(param.caOperand2)) std::abort();
    if (strnlen(param.caAccessPath, sizeof(param.caAccessPath)) == sizeof(param.caAccessPath)) std::abort();
    if (param.iForm < zrkcli::kFormPair || param.iForm > zrkcli::kFormSessionList) std::abort();
    if (param.uiLevel > 65535) std::abort();
    if ((uiExOptionFlag & ~0x1Fu) != 0) std::abort();
    return 0;
}
