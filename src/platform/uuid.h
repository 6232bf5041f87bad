#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A 128-bit identifier. `random()` draws a new version-4 UUID from libuuid.
struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    [[nodiscard]] static Uuid random();
    // Parses the canonical 8-4-4-4-12 form (either letter case); nothing on malformed text.
    [[nodiscard]] static std::optional<Uuid> parse(std::string_view text);
    // Canonical lower-case 8-4-4-4-12 form.
    [[nodiscard]] std::string toString() const;

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

} // namespace velmora

template <>
struct std::hash<velmora::Uuid> {
    std::size_t operator()(const velmora::Uuid& id) const noexcept;
};
