#pragma once

#include <system_error>
#include <thread>
#include <utility>

namespace velmora {

// A thread running `work`, or, when the system refuses one (a process or thread limit), an
// empty std::thread (not joinable): the caller does the work with the threads it has.
template <typename Work>
[[nodiscard]] std::thread threadIfGiven(Work&& work) {
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}

} // namespace velmora
