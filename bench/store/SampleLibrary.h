// Sample libraries for the benchmarks: the same records for the same count
// and seed on every machine, so every benchmark measures the same files.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Writes a library of count records to path (which must not exist yet).
// Returns false with a reason in error.
bool makeSampleLibrary(const std::string &path, int count, std::uint64_t seed, std::string &error);

} // namespace bench
