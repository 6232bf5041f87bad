#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace velmora::web {

// What may be done with a token: see sizes, or also clean.
enum class Role { viewer, cleaner };
[[nodiscard]] const char* roleName(Role role);
[[nodiscard]] std::optional<Role> roleFromName(const std::string& name);

// Times are kept as whole seconds since the epoch.
[[nodiscard]] std::int64_t secondsNow();

struct StoredToken {
    std::string name;
    Role role = Role::viewer;
    std::string salt, hash; // raw bytes; the token itself is never stored
    std::int64_t created = 0;
};

// A root's last finished scan, as the page shows it on opening.
struct StoredScan {
    std::string root;
    std::int64_t finished = 0; // seconds since the epoch
    std::string records;       // as storedRecords wrote them
    // A cleaning of the root ended at or after it (the server stopped before the rescan that
    // follows each cleaning): its figures may be out of date.
    bool cleanedSince = false;
};

// One cleaning, for the history.
struct StoredCleaning {
    std::string run;
    std::int64_t started = 0, finished = 0;
    std::string token, client, root;
    std::string libraries, categories; // JSON arrays
    std::uint64_t removed = 0, failed = 0;
    std::int64_t bytes = 0, bytesFreed = 0;
    bool stopped = false;
    std::string firstFailedPath, firstFailure;
};

// The state a server keeps between starts, in one SQLite database in the state folder: the
// tokens (hashes only), each root's last scan and the history of cleanings. Each write is one
// transaction; the journal is a write-ahead log, so the token commands may write while a
// server runs. Any failure to open, read or write throws StateError with SQLite's reason:
// the state is never lost silently.
class StateError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class StateStore {
  public:
    // Opens (creating the folder, mode 0700, and the database when missing) and checks that it
    // can be written.
    explicit StateStore(const std::string& stateDir);
    ~StateStore();
    StateStore(const StateStore&) = delete;
    StateStore& operator=(const StateStore&) = delete;

    void addToken(const StoredToken& token); // throws StateError when the name is taken
    [[nodiscard]] bool removeToken(const std::string& name);
    [[nodiscard]] std::vector<StoredToken> tokens();

    void saveScan(const StoredScan& scan);
    [[nodiscard]] std::optional<StoredScan> lastScan(const std::string& root);

    void addCleaning(const StoredCleaning& cleaning);
    // Newest first, at most `limit`.
    [[nodiscard]] std::vector<StoredCleaning> cleanings(std::size_t limit);

  private:
    void exec(const char* sql);
    [[noreturn]] void fail(const std::string& what);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::string file_; // named in every error, so a log says which database failed
};

} // namespace velmora::web
