// The in-band fuzz targets: one input is a selector (which function, on which
// device path, with which options) followed by the records that the fuzz host
// layer answers the library's host calls with (fuzz_host.h).
//
// The drivers call the library's C functions as an application or the
// library's own layers call them, and check what every caller may rely on:
// the return convention, the output areas (allocated at exactly the size the
// interface documents, so that AddressSanitizer sees a write past them) and,
// after every public call, that no descriptor is left open. The seed
// recorder (record_inband.cpp) runs the same drivers against the array
// simulator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zrkfuzz::inband {

struct Selector {
    uint8_t ucFunction; /* which function of the driver */
    uint8_t ucPath;     /* device path: index into the path table */
    uint8_t ucVariant;  /* options and argument forms, by bit */
    uint8_t ucArg;      /* a session identifier, OLU, count or length */
};
inline constexpr size_t kSelectorLen = 4;

using Driver = void (*)(const Selector &);

// The five drivers: session queries and SnapKZP+ pages through the public
// functions; session lists, details, identification, count, OLU-status and
// failover pages through the engine's C functions; volume information; the
// host's device paths, sysfs files, links, dmsetup and brxinfo outputs and
// the transport itself; the classic public functions that read the array.
void DriveQuery(const Selector &s);
void DriveLists(const Selector &s);
void DriveVolumeInfo(const Selector &s);
void DriveHostPaths(const Selector &s);
void DriveClassic(const Selector &s);
void DriveExtended(const Selector &s);

// Device paths of the selectors, and the array (BoxID, 40 bytes, blank
// padded) each reaches in the recorder's scenario.
inline constexpr size_t kPathCount = 12;
const char *PathOf(uint8_t index);
const char *BoxOf(uint8_t index);

// Sets the library's process-wide state back to a fresh process's: the
// sense store, the stores of the identification, the common data, the
// failover role, the call's device (forgotten, not closed) and ZRKerrno.
void ResetLibrary();

// One input: the library reset, the host layer fed with the records after
// the selector, the driver run, and the call's device released.
int Run(const uint8_t *data, size_t size, Driver driver);

// Makes a private installation root (error catalogues, no trace definition)
// and points QRVNZRKC_PATH at it; once per process.
void PrepareInstallRoot();

}  // namespace zrkfuzz::inband
