// velmora-reference-scan LOCATION: the literal scan (walk the location, then walk every
// library again for its size and every category path again for each category), printing
// one line per library. For benchmarks: the one-pass scanner is timed against it.
#include "support/reference_scanner.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: velmora-reference-scan LOCATION\n", stderr);
        return 2;
    }
    std::string out = velmora::testing::describeBundles(velmora::testing::referenceScanBundles(argv[1]));
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
