// A temporary installation root for tests: bin/.zrkc_install.sys, the error
// catalogues in bin, etc/zrkc.ini and etc/velkapi_trcdef.ini, and trace and
// log folders, all under one temporary directory that is removed afterwards.
// QRVNZRKC_PATH and WXAPI_LOG_PATH point into it while it lives.
#pragma once

#include <string>

namespace zrktest {

class InstallRoot {
public:
    // Builds the tree. The trace definition enables the traces "ZRKC" and
    // "WXAPI" at level 5 with small files so that tests can fill them.
    InstallRoot();
    ~InstallRoot();
    InstallRoot(const InstallRoot &) = delete;
    InstallRoot &operator=(const InstallRoot &) = delete;

    const std::string &root() const { return sRoot; }
    std::string bin() const { return sRoot + "/bin"; }
    std::string etc() const { return sRoot + "/etc"; }
    std::string traceDir() const { return sRoot + "/trace"; }
    std::string logDir() const { return sRoot + "/log"; }
    std::string path(const std::string &relative) const { return sRoot + "/" + relative; }

    // Everything the trace folder holds, as one text to search; the same of
    // the log folder, its hidden files aside.
    std::string traceText() const;
    std::string logText() const;

    // Replace a file of the tree (relative to the root) with the given text.
    void write(const std::string &relative, const std::string &text) const;
    // Write the trace definition file with the given text.
    void writeTraceDefinition(const std::string &text) const { write("etc/velkapi_trcdef.ini", text); }
    // Write the properties file with the given text.
    void writeProperties(const std::string &text) const { write("etc/zrkc.ini", text); }

private:
    std::string sRoot;
};

// Whole contents of a file; empty when it cannot be read.
std::string readFile(const std::string &path);
// Whether a path exists.
bool exists(const std::string &path);
// A fresh temporary directory (removed by the caller).
std::string makeTempDir();
// Remove a tree.
void removeTree(const std::string &path);

}  // namespace zrktest
