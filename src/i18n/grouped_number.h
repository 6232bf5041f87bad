#pragma once

#include <QString>
#include <cstdint>

namespace velmora {

// 1234567 -> "1,234,567", the same whatever the user's locale.
[[nodiscard]] inline QString groupedNumber(std::uint64_t value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

} // namespace velmora
