#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::web {

// One Server-Sent Event: its number (in the order published), its type and its JSON data.
struct ServerEvent {
    std::uint64_t id = 0;
    std::string type;
    std::string data;
};

// The events every open page receives, in one order. The hub keeps the latest ones; a reader
// asks for those after the last it saw, so a slow reader never holds up the publishers, and
// one that fell too far behind is told to reload instead ("resync").
class EventHub {
  public:
    explicit EventHub(std::size_t kept = 4096) : kept_(kept) {}

    void publish(std::string type, std::string data);
    // The events after `after`, waiting up to `wait` for one; empty after the wait, or once
    // the hub is closed.
    [[nodiscard]] std::vector<ServerEvent> after(std::uint64_t after, std::chrono::milliseconds wait);
    // The number of the latest event: where a new reader starts.
    [[nodiscard]] std::uint64_t latest();
    // Wakes every reader for good (the server stops).
    void close();
    [[nodiscard]] bool closed();

  private:
    const std::size_t kept_;
    std::mutex mutex_;
    std::condition_variable published_;
    std::deque<ServerEvent> events_;
    std::uint64_t next_ = 1;
    bool closed_ = false;
};

// The text of an event on the wire: "id:", "event:" and "data:" lines and a blank line.
[[nodiscard]] std::string wireFormat(const ServerEvent& event);

} // namespace velmora::web
