#include "cli/commands.h"
#include "web/serve_options.h"
#include "web/web_service.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

namespace velmora::cli {

namespace {

struct ServeArguments {
    std::vector<std::string> roots, allowedHosts;
    std::string listen, tlsCert, tlsKey, stateDir, rescanEvery, requestTimeout, config;
};

// The options from the configuration file, then the command line over them.
web::ServeOptions serveOptions(const ServeArguments& args) {
    web::ServeOptions options;
    std::vector<std::string> roots = args.roots, hosts = args.allowedHosts;
    std::string listen = args.listen, cert = args.tlsCert, key = args.tlsKey, state = args.stateDir,
                rescan = args.rescanEvery, timeout = args.requestTimeout;
    if (!args.config.empty()) {
        const std::vector<std::string> known{"root", "listen", "tls-cert", "tls-key", "state-dir", "rescan-every", "allow-host",
                                            "request-timeout"};
        std::vector<std::string> fileRoots, fileHosts;
        for (const auto& [name, value] : web::readConfigFile(args.config)) {
            if (std::find(known.begin(), known.end(), name) == known.end())
                throw web::OptionsError(args.config + ": unknown key '" + name + "'");
            if (name == "root") fileRoots.push_back(value);
            if (name == "allow-host") fileHosts.push_back(value);
            auto take = [&](const char* key, std::string& into) {
                if (name == key && into.empty()) into = value;
            };
            take("listen", listen);
            take("tls-cert", cert);
            take("tls-key", key);
            take("state-dir", state);
            take("rescan-every", rescan);
            take("request-timeout", timeout);
        }
        if (roots.empty()) roots = fileRoots;
        if (hosts.empty()) hosts = fileHosts;
    }
    if (roots.empty()) throw web::OptionsError("no root to serve: name at least one folder");
    for (const std::string& root : roots)
        web::addRoot(root, options);
    if (!listen.empty()) web::parseListen(listen, options);
    if (cert.empty() != key.empty()) throw web::OptionsError("--tls-cert and --tls-key go together");
    options.tlsCert = cert;
    options.tlsKey = key;
    options.stateDir = state.empty() ? web::defaultStateDir() : state;
    if (!rescan.empty()) options.rescanEvery = web::parseDuration(rescan);
    if (!timeout.empty()) options.requestTimeout = web::parseDuration(timeout);
    options.allowedHosts = hosts;
    return options;
}

} // namespace

void addServeCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ServeArguments>();
    CLI::App* serve = app.add_subcommand(
        "serve", "Serve a web console for the libraries below each ROOT (a folder, or LABEL=FOLDER); nothing outside the roots is ever listed or cleaned");
    serve->add_option("ROOT", args->roots, "A folder to serve, or LABEL=FOLDER");
    serve->add_option("--listen", args->listen, "ADDR:PORT to listen on (default 127.0.0.1:8472)");
    serve->add_option("--tls-cert", args->tlsCert, "Certificate chain (PEM) for HTTPS");
    serve->add_option("--tls-key", args->tlsKey, "Private key (PEM) for HTTPS");
    serve->add_option("--state-dir", args->stateDir, "Where tokens, scans and the history are kept");
    serve->add_option("--rescan-every", args->rescanEvery, "Scan every root again this often (30m, 6h, 1d)");
    serve->add_option("--request-timeout", args->requestTimeout, "The time a client has to send a whole request (default 10s)");
    serve->add_option("--allow-host", args->allowedHosts, "A host name the server answers to besides its addresses and localhost");
    serve->add_option("--config", args->config, "A file of key = value lines with the same keys (the options win)");
    serve->callback([args, &exitCode] {
        web::ServeOptions options;
        try {
            options = serveOptions(*args);
        } catch (const web::OptionsError& error) {
            throw CLI::ValidationError(error.what());
        }
        exitCode = web::serve(options);
    });
}

} // namespace velmora::cli
