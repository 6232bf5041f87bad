#pragma once

#include "web/state_store.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace velmora::web {

// A new random token: 32 bytes from the kernel, as 64 hex digits. Shown once, never stored.
[[nodiscard]] std::string newSecret();

// What the store keeps of a new token: a random salt and the SHA-256 of salt and token.
[[nodiscard]] StoredToken hashedToken(const std::string& name, Role role, const std::string& token);

// The stored token that `presented` is, compared in constant time; none when it is no token.
[[nodiscard]] std::optional<StoredToken> matchToken(const std::vector<StoredToken>& tokens,
                                                    const std::string& presented);

// Who a request comes from, once signed in.
struct Principal {
    std::string tokenName;
    Role role = Role::viewer;
};

// Sessions of signed-in browsers, in memory: a session dies with the server, when it expires,
// or when its token is removed (checked on each use against the store).
class Sessions {
  public:
    explicit Sessions(std::chrono::seconds lifetime = std::chrono::hours(12)) : lifetime_(lifetime) {}

    // A new session for the token; its id goes into the cookie.
    [[nodiscard]] std::string open(const StoredToken& token);
    // The session's principal while it lives and its token still exists with that hash.
    [[nodiscard]] std::optional<Principal> find(const std::string& id, const std::vector<StoredToken>& tokens);
    void close(const std::string& id);
    [[nodiscard]] std::chrono::seconds lifetime() const { return lifetime_; }

  private:
    struct Session {
        std::string tokenName, tokenHash;
        Role role;
        std::chrono::steady_clock::time_point expires;
    };
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
    const std::chrono::seconds lifetime_;
};

// Failed sign-ins per client address: after a few, each further attempt must wait, twice as
// long as the last, up to a minute; a success clears the count.
class SignInThrottle {
  public:
    // How long the client must still wait before its next attempt is heard (0: none).
    [[nodiscard]] std::chrono::seconds waitFor(const std::string& client);
    void failed(const std::string& client);
    void succeeded(const std::string& client);

  private:
    struct Record {
        int failures = 0;
        std::chrono::steady_clock::time_point next;
    };
    std::mutex mutex_;
    std::map<std::string, Record> clients_;
};

} // namespace velmora::web
