// vemo_make_sample_library <path> <count> [seed]: writes a sample library of
// count records, the same for the same count and seed (default 1).
#include "SampleLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s <path> <count> [seed]\n", argv[0]);
        return 2;
    }
    char *end = nullptr;
    const long count = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || count < 0 || count > 10000000) {
        std::fprintf(stderr, "%s: the count must be a number from 0 to 10000000\n", argv[2]);
        return 2;
    }
    const unsigned long long seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    std::string error;
    if (!bench::makeSampleLibrary(argv[1], int(count), seed, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
