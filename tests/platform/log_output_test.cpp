#include "platform/log_output.h"
#include "support/tree_listing.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace velmora {
namespace {

TEST(EscapeForLog, ControlCharactersBackslashesAndBrokenUtf8AreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"/Volumes/Work/My Library.fcpbundle/Render Files",
         "/Volumes/Work/My Library.fcpbundle/Render Files"},
        {"line\nbreak\ttab\rcr\\", "line\\nbreak\\ttab\\rcr\\\\"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"\x1b[31mred\x7f", "\\x1B[31mred\\x7F"},
        {"素材库 ñ é 🎬 \xc2\xa0", "素材库 ñ é 🎬 \xc2\xa0"}, // well-formed UTF-8 stays, whatever the script
        // Not UTF-8: a stray byte, a cut sequence, an overlong "/", a surrogate, beyond U+10FFFF.
        {"a\xff!", "a\\xFF!"},
        {"\xe7\xb4", "\\xE7\\xB4"},
        {"\xc0\xaf", "\\xC0\\xAF"},
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"x\xc2\x85y", "x\\xC2\\x85y"}, // a C1 control (NEL ends a line for some readers)
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(escapeForLog(input), expected) << input;
}

TEST(WriteLogLine, ParallelWritersNeverMixInsideALine) {
    constexpr int kThreads = 8, kLines = 500;
    // Long lines, so that a write split in two would show.
    auto line = [](int t) { return "Deleted: " + std::to_string(t) + " " + std::string(3000 + t, 'a' + t); };
    ::testing::internal::CaptureStdout(); // fd 1 itself goes to a file, so write(2) calls land too
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                EXPECT_TRUE(writeLogLine(line(t)));
        });
    for (auto& thread : threads)
        thread.join();
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::multiset<std::string> expected;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i)
            expected.insert(line(t));
    EXPECT_TRUE(testing::lineSet(out) == expected) << "the lines written are mixed or missing";
}

} // namespace
} // namespace velmora
