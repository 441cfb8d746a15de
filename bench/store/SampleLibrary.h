// Sample libraries for the benchmarks: the same records for the same count
// and seed on every machine, so every benchmark measures the same files; and
// the memory figures every benchmark reads.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Writes a library of count records to path (which must not exist yet).
// Returns false with a reason in error.
bool makeSampleLibrary(const std::string &path, int count, std::uint64_t seed, std::string &error);

// A memory figure of a process ("VmRSS" resident, "VmHWM" peak resident) in
// MiB from /proc/<pid>/status, pid 0 for this process; 0 where the system
// does not report it.
double memoryMb(const char *field, long long pid = 0);

// SQLite's own step through every record of a library, each text touched,
// without building anything: the engine's share of a whole read. In file
// order, or (ordered) in the list's order.
void sqliteScan(const std::string &path, bool ordered = false);

} // namespace bench
