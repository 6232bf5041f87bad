#pragma once

#include <atomic>

namespace velmora {

// A request to stop a long run early, made from any thread (a stop button, a signal handler)
// and checked by the run between its steps. Once requested it stays requested.
class CancellationToken {
  public:
    // Lock-free, so a signal handler may call it.
    void request() noexcept { requested_.store(true, std::memory_order_relaxed); }
    [[nodiscard]] bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> requested_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// Whether the optional token has been requested.
[[nodiscard]] inline bool cancelled(const CancellationToken* token) noexcept {
    return token != nullptr && token->requested();
}

} // namespace velmora
