#include "cli/commands.h"
#include "web/access.h"
#include "web/serve_options.h"
#include "web/state_store.h"

#include <CLI/CLI.hpp>
#include <ctime>
#include <iostream>
#include <memory>

namespace velmora::cli {

namespace {

struct TokenArguments {
    std::string name, role = "viewer", stateDir;
};

std::string stateDirOf(const TokenArguments& args) {
    return args.stateDir.empty() ? web::defaultStateDir() : args.stateDir;
}

int addToken(const TokenArguments& args) {
    web::StateStore store(stateDirOf(args));
    for (const web::StoredToken& token : store.tokens())
        if (token.name == args.name) {
            std::cerr << "velmora-cli token: a token named " << args.name << " exists; remove it first\n";
            return kExitIncomplete;
        }
    const std::string secret = web::newSecret();
    store.addToken(web::hashedToken(args.name, *web::roleFromName(args.role), secret));
    // The token is shown this once; only its hash is kept.
    std::cout << secret << "\n";
    return kExitOk;
}

int listTokens(const TokenArguments& args) {
    web::StateStore store(stateDirOf(args));
    for (const web::StoredToken& token : store.tokens()) {
        const std::time_t created = token.created;
        std::tm utc{};
        char when[32] = "?";
        if (::gmtime_r(&created, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::cout << token.name << "\t" << web::roleName(token.role) << "\t" << when << "\n";
    }
    return kExitOk;
}

int removeToken(const TokenArguments& args) {
    web::StateStore store(stateDirOf(args));
    if (store.removeToken(args.name)) return kExitOk;
    std::cerr << "velmora-cli token: no token named " << args.name << "\n";
    return kExitIncomplete;
}

// Runs `command`, a state folder that cannot be used told as the reason of a failure.
void runGuarded(int (*command)(const TokenArguments&), const TokenArguments& args, int& exitCode) {
    try {
        exitCode = command(args);
    } catch (const web::StateError& error) {
        std::cerr << "velmora-cli token: " << error.what() << "\n";
        exitCode = kExitIncomplete;
    }
}

} // namespace

void addTokenCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<TokenArguments>();
    CLI::App* token = app.add_subcommand("token", "Manage who may use the web console: tokens with a role");
    token->require_subcommand(1);
    token->add_option("--state-dir", args->stateDir, "The server's state folder");
    CLI::App* add = token->add_subcommand("add", "Make a token and print it once (only its hash is kept)");
    add->add_option("NAME", args->name, "A name for the token")->required();
    add->add_option("--role", args->role, "viewer (sees sizes) or cleaner (also cleans)")
        ->check(CLI::IsMember({"viewer", "cleaner"}));
    add->add_option("--state-dir", args->stateDir, "The server's state folder");
    add->callback([args, &exitCode] { runGuarded(addToken, *args, exitCode); });
    CLI::App* list = token->add_subcommand("list", "List the tokens: name, role, when made");
    list->add_option("--state-dir", args->stateDir, "The server's state folder");
    list->callback([args, &exitCode] { runGuarded(listTokens, *args, exitCode); });
    CLI::App* remove = token->add_subcommand("remove", "Remove a token; its sessions are signed out");
    remove->add_option("NAME", args->name, "The token's name")->required();
    remove->add_option("--state-dir", args->stateDir, "The server's state folder");
    remove->callback([args, &exitCode] { runGuarded(removeToken, *args, exitCode); });
}

} // namespace velmora::cli
