#include "web/server_log.h"

#include "platform/log_output.h"

#include <cstdio>
#include <mutex>

namespace velmora::web {

void logLine(const std::string& text) {
    static std::mutex mutex;
    const std::string line = escapeForLog(text) + "\n";
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace velmora::web
