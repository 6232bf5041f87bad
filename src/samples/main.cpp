// velmora-samples: writes a location full of realistic sample Final Cut Pro libraries.
#include "samples/sample_tree.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

const char kUsage[] =
    "Usage: velmora-samples [--seed N] [--entries N] [--libraries N] [--unrelated SHARE] [--large] OUTDIR\n"
    "\n"
    "Writes a location of sample Final Cut Pro libraries into OUTDIR (created if missing;\n"
    "it must be empty). Every file is sparse, so even --large trees use little disk.\n"
    "\n"
    "  --seed N          seed of the generator (default 1); same seed, same tree\n"
    "  --entries N       entries to create below OUTDIR, approximately (default 50000)\n"
    "  --libraries N     number of libraries (default 4)\n"
    "  --unrelated SHARE share of the entries in folders without libraries (default 0.35)\n"
    "  --large           media sizes of real footage (gigabytes per clip)\n"
    "  -h, --help        this text\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "velmora-samples: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

bool parseCount(const char* text, unsigned long long& out) {
    if (text == nullptr || *text == '\0' || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoull(text, &end, 10);
    return errno == 0 && *end == '\0';
}

} // namespace

int main(int argc, char** argv) {
    velmora::samples::SampleOptions options;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        unsigned long long value = 0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--large") {
            options.large = true;
        } else if (arg == "--seed" || arg == "--entries" || arg == "--libraries") {
            if (i + 1 >= argc || !parseCount(argv[i + 1], value))
                return usageError(std::string(arg) + " needs a non-negative whole number");
            ++i;
            if (arg == "--seed") options.seed = value;
            if (arg == "--entries") options.entries = value;
            if (arg == "--libraries") options.libraries = value;
        } else if (arg == "--unrelated") {
            char* end = nullptr;
            double share = i + 1 < argc ? std::strtod(argv[i + 1], &end) : -1;
            if (i + 1 >= argc || *end != '\0' || !(share >= 0 && share <= 1))
                return usageError("--unrelated needs a number from 0 to 1");
            options.unrelatedShare = share;
            ++i;
        } else if (arg.starts_with("-") && arg != "-") {
            return usageError("unknown option " + std::string(arg));
        } else if (outDir.empty()) {
            outDir = arg;
        } else {
            return usageError("only one OUTDIR");
        }
    }
    if (outDir.empty()) return usageError("OUTDIR is missing");

    std::error_code error;
    if (std::filesystem::exists(outDir, error) && !std::filesystem::is_empty(outDir, error)) {
        std::fprintf(stderr, "velmora-samples: %s is not empty\n", outDir.c_str());
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    try {
        auto location = velmora::samples::generateSampleLocation(outDir, options);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%zu entries, %zu libraries, %lld bytes in %s (%.1f s)\n", location.entries,
                    location.libraries.size(), static_cast<long long>(location.bytes), outDir.c_str(),
                    seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
