#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>

namespace velmora::cli {

namespace {

// A signal handler reaches nothing but these: lock-free atomics, set before it is installed.
std::atomic<CancellationToken*> stopToken{nullptr};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<CancellationToken*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

struct sigaction previousInt {};
struct sigaction previousTerm {};

extern "C" void requestStop(int signal) {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
    if (CancellationToken* token = stopToken.load()) token->request();
}

} // namespace

StopSignals::StopSignals(CancellationToken& token) {
    stopSignal.store(0);
    stopToken.store(&token);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, &previousInt);
    ::sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals() {
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    stopToken.store(nullptr);
}

int StopSignals::received() const {
    return stopSignal.load();
}

} // namespace velmora::cli
