// The installation file, <install folder>/bin/.zrkc_install.sys: where the
// etc folder, the install folder and the Java runtime are, one key=value a
// line. zrkcsetpath writes it; the library (for the etc folder) and
// zrkcipservice (for all three) read it through ReadInstallFile, each
// opening it and checking the values in its own way.
//
// Standalone: it uses only the retrying system calls, so that the programs
// link it as well as the library.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace zrkplatform {

// The file's name in the bin folder of an installation.
inline constexpr char kInstallFileName[] = ".zrkc_install.sys";

// The path of the installation file of the install folder root.
std::string InstallFileUnder(const std::string &root);

// The keys of the file.
enum class InstallKey { kEtcDir, kOptDir, kJreDir };
inline constexpr size_t kInstallKeys = 3;

// The start of a key's line: "zrkc_etcdir=", "zrkc_optdir=", "zrkc_jredir=".
const char *InstallKeyText(InstallKey key);

// What the file says: the value of each key's last line, none when the key
// has no line.
struct InstallValues {
    std::optional<std::string> oaValue[kInstallKeys]; // by InstallKey
    const std::optional<std::string> &Get(InstallKey key) const {
        return oaValue[static_cast<size_t>(key)];
    }
};

// Called for each key line in the file's order, with its value.
using InstallLineSeen = std::function<void(InstallKey key, const std::string &value)>;

// Reads the installation file open at fd, from its position to its end, into
// values. A line counts when it starts with a key; the last line of a key
// counts. A line longer than 8192 bytes counts with its first 8192 bytes
// (a value longer than any folder name its readers take) and the rest of
// it is passed over. seen, when given, is told each key line. 0, or the
// errno of a failed read (the lines before it are in values).
int ReadInstallFile(int fd, InstallValues &values, const InstallLineSeen &seen = {});

} // namespace zrkplatform
