#include "web/web_service.h"

#include "web/access.h"
#include "web/cleaning_runs.h"
#include "web/event_hub.h"
#include "web/http_server.h"
#include "web/served_roots.h"
#include "web/server_log.h"
#include "web/state_store.h"
#include "web/web_api.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace velmora::web {

namespace {

// On first start, a token to sign in with, shown once as a sign-in address.
void handOutFirstToken(StateStore& store, const ServeOptions& options, std::uint16_t port) {
    if (!store.tokens().empty()) return;
    const std::string token = newSecret();
    store.addToken(hashedToken("first", Role::cleaner, token));
    const bool anyAddress = options.host == "0.0.0.0" || options.host == "::" || options.host.empty();
    std::string host = anyAddress ? "127.0.0.1" : options.host;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    logLine("No token yet: made the cleaner token \"first\". Sign in once at " +
            std::string(options.tlsCert.empty() ? "http://" : "https://") + host + ":" + std::to_string(port) +
            "/?token=" + token + " (shown only now; `velmora-cli token add` makes more)");
}

// A root its cleanings cannot change is said at the start, not found out at the first
// cleaning: a sandboxed service sees every folder read-only that it was not given.
void warnAboutUnwritableRoots(const std::vector<ServedRoot>& roots) {
    for (const ServedRoot& root : roots) {
        struct statvfs fileSystem {};
        if (statvfs(root.path.c_str(), &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY) != 0)
            logLine("root " + root.id + ": " + root.path +
                    " is on a read-only file system here, so its cleanings will fail (a service needs it "
                    "in ReadWritePaths=)");
        else if (access(root.path.c_str(), W_OK) != 0 && errno == EACCES)
            logLine("root " + root.id + ": this user may not write to " + root.path +
                    ", so its cleanings will fail");
    }
}

} // namespace

int serve(const ServeOptions& options) {
    // Every thread started from here on leaves the stop signals to the one that waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        StateStore store(options.stateDir);
        EventHub events;
        Sessions sessions;
        SignInThrottle throttle;
        ServedRoots roots(options.roots, store, events, options.rescanEvery);
        CleaningRuns runs(store, events);
        const ConsoleTexts texts;
        WebApi api({options, store, sessions, throttle, roots, runs, events, texts});
        HttpServerConfig config;
        config.host = options.host;
        config.port = options.port;
        config.tlsCert = options.tlsCert;
        config.tlsKey = options.tlsKey;
        config.requestTimeout = options.requestTimeout;
        HttpServer server(config, [&api](const HttpRequest& request) { return api.handle(request); }, events);
        handOutFirstToken(store, options, server.port());
        warnAboutUnwritableRoots(options.roots);
        logLine("serving " + std::to_string(options.roots.size()) + " roots on " + options.host + ":" +
                std::to_string(server.port()) + ", state in " + options.stateDir);
        std::thread waiter([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            logLine(std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
            runs.stopAll(); // each stops at its next removal and is recorded
            roots.stop();
            events.close();
            server.stop();
        });
        server.run();
        waiter.join();
        logLine("stopped");
        return 0;
    } catch (const std::exception& error) {
        logLine(std::string("velmora-cli serve: ") + error.what());
        return 1;
    }
}

} // namespace velmora::web
