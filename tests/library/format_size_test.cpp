#include "library/format_size.h"
#include "support/temp_tree.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

namespace velmora {
namespace {

TEST(FormatSize, GigabytesOfTwoToTheThirtyWithTwoDecimals) {
    EXPECT_EQ(formatSize(1000000000), "0.93 GB");                 // never decimal gigabytes
    EXPECT_EQ(formatSize(1073741824LL * 1024 * 3), "3072.00 GB"); // no thousands separator
    EXPECT_EQ(formatSize(-1073741824), "-1.00 GB");
    EXPECT_EQ(formatSize(std::numeric_limits<std::int64_t>::max()), "8589934592.00 GB");
    // Halves round as printf rounds the exact binary value: 0.125 -> 0.12, 0.375 -> 0.38.
    EXPECT_EQ(formatSize(134217728), "0.12 GB");
    EXPECT_EQ(formatSize(402653184), "0.38 GB");
    EXPECT_EQ(formatSize(5368709), "0.00 GB"); // just under 0.005
    EXPECT_EQ(formatSize(5368710), "0.01 GB");
}

TEST(FormatSize, DecimalPointWhateverTheLocale) {
    testing::TempDir tmp;
    const std::string command = "localedef -i de_DE -f UTF-8 '" + (tmp / "de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !std::filesystem::exists(tmp / "de_DE.UTF-8/LC_NUMERIC"))
        GTEST_SKIP() << "localedef cannot build a German locale here";
    const std::string out = testing::runInChild([&] {
        ::setenv("LOCPATH", tmp.path().c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) return std::string("no locale");
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.2f", 1.5);
        return std::string(buffer) + " | " + formatSize(1610612736);
    });
    EXPECT_EQ(out, "1,50 | 1.50 GB"); // the locale is active, the size text ignores it
}

} // namespace
} // namespace velmora
