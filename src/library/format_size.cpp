#include "library/format_size.h"

#include <array>
#include <charconv>

namespace velmora {

std::string formatSize(std::int64_t bytes) {
    const double gigabytes = static_cast<double>(bytes) / 1073741824.0;
    // std::to_chars never consults the locale, so "." is always the separator.
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), gigabytes,
                                   std::chars_format::fixed, 2);
    std::string text(buffer.data(), ec == std::errc{} ? end : buffer.data());
    text += " GB";
    return text;
}

} // namespace velmora
