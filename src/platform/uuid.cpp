#include "platform/uuid.h"

#include <uuid/uuid.h>

#include <cstring>

namespace velmora {

Uuid Uuid::random() {
    Uuid id;
    uuid_t raw;
    uuid_generate_random(raw);
    std::memcpy(id.bytes.data(), raw, id.bytes.size());
    return id;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    char buffer[37];
    std::memcpy(buffer, text.data(), 36);
    buffer[36] = '\0';
    uuid_t raw;
    if (uuid_parse(buffer, raw) != 0) return std::nullopt;
    Uuid id;
    std::memcpy(id.bytes.data(), raw, id.bytes.size());
    return id;
}

std::string Uuid::toString() const {
    uuid_t raw;
    std::memcpy(raw, bytes.data(), bytes.size());
    char buffer[37];
    uuid_unparse_lower(raw, buffer);
    return std::string(buffer, 36);
}

} // namespace velmora

std::size_t std::hash<velmora::Uuid>::operator()(const velmora::Uuid& id) const noexcept {
    std::uint64_t a, b;
    std::memcpy(&a, id.bytes.data(), 8);
    std::memcpy(&b, id.bytes.data() + 8, 8);
    return static_cast<std::size_t>(a ^ (b * 0x9E3779B97F4A7C15ULL));
}
