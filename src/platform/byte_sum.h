#pragma once

#include <atomic>
#include <cstdint>
#include <limits>

namespace velmora {

// Byte counts added up without wrapping: a sum beyond the range of int64 stays at its end.
// Sparse files can claim exabytes each, and two of them would otherwise read as a negative
// size. Every sum of sizes (scan totals, listings, removals, tallies, window totals) adds
// through this one function.
[[nodiscard]] constexpr std::int64_t addBytes(std::int64_t total, std::int64_t more) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(total, more, &sum)) return sum;
    return more > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

// The same for a total that several threads add to.
inline void addBytes(std::atomic<std::int64_t>& total, std::int64_t more) {
    std::int64_t seen = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(seen, addBytes(seen, more), std::memory_order_relaxed)) {
    }
}

// The sum of a range of byte counts.
template <typename Range> [[nodiscard]] constexpr std::int64_t sumBytes(const Range& counts) {
    std::int64_t total = 0;
    for (std::int64_t count : counts)
        total = addBytes(total, count);
    return total;
}

} // namespace velmora
