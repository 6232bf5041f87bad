#include "web/event_hub.h"

namespace velmora::web {

void EventHub::publish(std::string type, std::string data) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back({next_++, std::move(type), std::move(data)});
        while (events_.size() > kept_)
            events_.pop_front();
    }
    published_.notify_all();
}

std::vector<ServerEvent> EventHub::after(std::uint64_t after, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    published_.wait_for(lock, wait, [&] { return closed_ || next_ - 1 > after; });
    std::vector<ServerEvent> out;
    if (closed_) return out;
    if (!events_.empty() && events_.front().id > after + 1) {
        // Events this reader never saw are gone: it reloads what it shows.
        out.push_back({next_ - 1, "resync", "{}"});
        return out;
    }
    for (const ServerEvent& event : events_)
        if (event.id > after) out.push_back(event);
    return out;
}

std::uint64_t EventHub::latest() {
    std::lock_guard lock(mutex_);
    return next_ - 1;
}

void EventHub::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    published_.notify_all();
}

bool EventHub::closed() {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::string wireFormat(const ServerEvent& event) {
    // The data is one line of JSON: a line feed inside it would end the field.
    return "id: " + std::to_string(event.id) + "\nevent: " + event.type + "\ndata: " + event.data + "\n\n";
}

} // namespace velmora::web
