#pragma once

#include "library/format_size.h"

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

// A size as formatSize writes it, its whole gigabytes grouped: "50,916.70 GB", so that large
// figures read at a glance.
[[nodiscard]] inline QString groupedSize(std::int64_t bytes) {
    QString text = QString::fromStdString(formatSize(bytes));
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const qsizetype digitsStart = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (qsizetype at = point - 3; at > digitsStart; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

} // namespace velmora
