#include "platform/log_output.h"
#include "support/run_program.h"
#include "support/tree_listing.h"

#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <vector>

namespace velmora {
namespace {

TEST(EscapeForLog, ControlCharactersBackslashesAndBrokenUtf8AreEscaped) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/Volumes/Work/My Library.fcpbundle/Render Files",
         "/Volumes/Work/My Library.fcpbundle/Render Files"},
        {"line\nbreak", "line\\nbreak"},
        {"tab\there\rcr", "tab\\there\\rcr"},
        {"back\\slash", "back\\\\slash"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"\x1b[31mred\x7f", "\\x1B[31mred\\x7F"},
        {"-rf", "-rf"},
        // Well-formed UTF-8 is written as it is, whatever the script.
        {"素材库 ñ é 🎬", "素材库 ñ é 🎬"},
        // Bytes that are not UTF-8: a stray byte, a cut sequence, an overlong "/", a surrogate,
        // beyond U+10FFFF.
        {"a\xff"
         "b",
         "a\\xFFb"},
        {"\xe7\xb4", "\\xE7\\xB4"},
        {"\xc0\xaf", "\\xC0\\xAF"},
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        // C1 controls (NEL ends a line for some readers).
        {"x\xc2\x85y", "x\\xC2\\x85y"},
        {"\xc2\xa0", "\xc2\xa0"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(escapeForLog(input), expected) << input;
}

TEST(WriteLogLine, ParallelWritersNeverMixInsideALine) {
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    const std::string out = testing::captureStdout([] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                // Long lines, so a split write would show.
                const std::string body(3000 + t, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i)
                    EXPECT_TRUE(writeLogLine("Deleted: " + std::to_string(t) + " " + body));
            });
        }
        for (auto& thread : threads)
            thread.join();
    });
    std::map<std::string, int> counts;
    for (const std::string& line : testing::lineSet(out))
        ++counts[line];
    ASSERT_EQ(counts.size(), static_cast<std::size_t>(kThreads));
    for (int t = 0; t < kThreads; ++t) {
        std::string expected =
            "Deleted: " + std::to_string(t) + " " + std::string(3000 + t, static_cast<char>('a' + t));
        EXPECT_EQ(counts[expected], kLines);
    }
}

} // namespace
} // namespace velmora
