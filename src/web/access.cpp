#include "web/access.h"

#include <algorithm>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <stdexcept>
#include <sys/random.h>

namespace velmora::web {

namespace {

std::string randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t got = 0; got < count;) {
        const ssize_t n = ::getrandom(bytes.data() + got, count - got, 0);
        if (n < 0) throw std::runtime_error("no random bytes from the kernel");
        got += static_cast<std::size_t>(n);
    }
    return bytes;
}

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string sha256(const std::string& salt, const std::string& token) {
    const std::string data = salt + token;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    return std::string(reinterpret_cast<const char*>(digest), length);
}

constexpr int kFreeFailures = 5;
constexpr std::chrono::seconds kLongestWait{60};

} // namespace

std::string newSecret() {
    return hex(randomBytes(32));
}

StoredToken hashedToken(const std::string& name, Role role, const std::string& token) {
    StoredToken stored;
    stored.name = name;
    stored.role = role;
    stored.salt = randomBytes(16);
    stored.hash = sha256(stored.salt, token);
    stored.created = secondsNow();
    return stored;
}

std::optional<StoredToken> matchToken(const std::vector<StoredToken>& tokens, const std::string& presented) {
    if (presented.empty() || presented.size() > 256) return std::nullopt;
    std::optional<StoredToken> found;
    for (const StoredToken& token : tokens) {
        const std::string hash = sha256(token.salt, presented);
        if (hash.size() == token.hash.size() && CRYPTO_memcmp(hash.data(), token.hash.data(), hash.size()) == 0)
            found = token;
    }
    return found;
}

std::string Sessions::open(const StoredToken& token) {
    std::string id = newSecret();
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(sessions_, [now](const auto& entry) { return entry.second.expires <= now; });
    sessions_[id] = {token.name, token.hash, token.role, now + lifetime_};
    return id;
}

std::optional<Principal> Sessions::find(const std::string& id, const std::vector<StoredToken>& tokens) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) return std::nullopt;
    const Session& session = found->second;
    const bool tokenLives = std::any_of(tokens.begin(), tokens.end(), [&](const StoredToken& token) {
        return token.name == session.tokenName && token.hash == session.tokenHash;
    });
    if (!tokenLives || session.expires <= std::chrono::steady_clock::now()) {
        sessions_.erase(found);
        return std::nullopt;
    }
    return Principal{session.tokenName, session.role};
}

void Sessions::close(const std::string& id) {
    std::lock_guard lock(mutex_);
    sessions_.erase(id);
}

std::chrono::seconds SignInThrottle::waitFor(const std::string& client) {
    std::lock_guard lock(mutex_);
    const auto found = clients_.find(client);
    if (found == clients_.end()) return std::chrono::seconds(0);
    const auto left = found->second.next - std::chrono::steady_clock::now();
    return left > std::chrono::seconds(0) ? std::chrono::ceil<std::chrono::seconds>(left) : std::chrono::seconds(0);
}

void SignInThrottle::failed(const std::string& client) {
    std::lock_guard lock(mutex_);
    if (clients_.size() > 10000) clients_.clear(); // a flood of addresses forgets, never grows without end
    Record& record = clients_[client];
    ++record.failures;
    if (record.failures <= kFreeFailures) return;
    const int doublings = std::min(record.failures - kFreeFailures - 1, 6);
    record.next = std::chrono::steady_clock::now() + std::min(kLongestWait, std::chrono::seconds(1 << doublings));
}

void SignInThrottle::succeeded(const std::string& client) {
    std::lock_guard lock(mutex_);
    clients_.erase(client);
}

} // namespace velmora::web
