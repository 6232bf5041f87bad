#include "web/state_store.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace velmora::web {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tokens (
  name TEXT PRIMARY KEY, role TEXT NOT NULL, salt BLOB NOT NULL, hash BLOB NOT NULL, created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS scans (
  root TEXT PRIMARY KEY, finished INTEGER NOT NULL, records TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS cleanings (
  id INTEGER PRIMARY KEY AUTOINCREMENT, run TEXT NOT NULL, started INTEGER NOT NULL,
  finished INTEGER NOT NULL, token TEXT NOT NULL, client TEXT NOT NULL, root TEXT NOT NULL,
  libraries TEXT NOT NULL, categories TEXT NOT NULL, removed INTEGER NOT NULL, failed INTEGER NOT NULL,
  bytes INTEGER NOT NULL, bytes_freed INTEGER NOT NULL, stopped INTEGER NOT NULL,
  first_failed_path TEXT NOT NULL, first_failure TEXT NOT NULL);
)sql";

// A prepared statement, finalized on every way out.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    [[nodiscard]] bool ok() const { return stmt_ != nullptr; }
    Statement& text(int at, const std::string& value) {
        sqlite3_bind_text(stmt_, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& blob(int at, const std::string& value) {
        sqlite3_bind_blob(stmt_, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& integer(int at, std::int64_t value) {
        sqlite3_bind_int64(stmt_, at, value);
        return *this;
    }
    int step() { return sqlite3_step(stmt_); }
    [[nodiscard]] std::string column(int at) const {
        const void* data = sqlite3_column_blob(stmt_, at);
        return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, at));
    }
    [[nodiscard]] std::int64_t number(int at) const { return sqlite3_column_int64(stmt_, at); }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* roleName(Role role) {
    return role == Role::cleaner ? "cleaner" : "viewer";
}

std::optional<Role> roleFromName(const std::string& name) {
    if (name == "cleaner") return Role::cleaner;
    if (name == "viewer") return Role::viewer;
    return std::nullopt;
}

StateStore::StateStore(const std::string& stateDir) {
    if (::mkdir(stateDir.c_str(), 0700) != 0 && errno != EEXIST)
        throw StateError("cannot create the state folder " + stateDir + ": " + std::strerror(errno));
    file_ = stateDir + "/velmora.sqlite3";
    try {
        if (sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                            nullptr) != SQLITE_OK)
            fail("cannot open " + file_);
        sqlite3_busy_timeout(db_, 5000);
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        exec(kSchema);
        // A read-only or full state folder shows here, at start, not at the first cleaning.
        exec("BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS write_check (x INTEGER); DROP TABLE write_check; COMMIT");
    } catch (...) {
        sqlite3_close(db_); // a failed open still holds a handle
        throw;
    }
}

StateStore::~StateStore() {
    sqlite3_close(db_);
}

void StateStore::fail(const std::string& what) {
    std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    if (db_ != nullptr) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw StateError(what + ": " + reason);
}

void StateStore::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message != nullptr ? message : "unknown error";
        sqlite3_free(message);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw StateError("the state database " + file_ + ": " + text);
    }
}

void StateStore::addToken(const StoredToken& token) {
    std::lock_guard lock(mutex_);
    Statement insert(db_, "INSERT INTO tokens (name, role, salt, hash, created) VALUES (?, ?, ?, ?, ?)");
    if (!insert.ok()) fail("cannot store the token");
    insert.text(1, token.name).text(2, roleName(token.role)).blob(3, token.salt).blob(4, token.hash);
    if (insert.integer(5, token.created).step() != SQLITE_DONE) fail("cannot store the token " + token.name);
}

bool StateStore::removeToken(const std::string& name) {
    std::lock_guard lock(mutex_);
    Statement remove(db_, "DELETE FROM tokens WHERE name = ?");
    if (!remove.ok() || remove.text(1, name).step() != SQLITE_DONE) fail("cannot remove the token " + name);
    return sqlite3_changes(db_) > 0;
}

std::vector<StoredToken> StateStore::tokens() {
    std::lock_guard lock(mutex_);
    Statement select(db_, "SELECT name, role, salt, hash, created FROM tokens ORDER BY name");
    if (!select.ok()) fail("cannot read the tokens");
    std::vector<StoredToken> out;
    int step;
    while ((step = select.step()) == SQLITE_ROW)
        out.push_back({select.column(0), roleFromName(select.column(1)).value_or(Role::viewer), select.column(2),
                       select.column(3), select.number(4)});
    if (step != SQLITE_DONE) fail("cannot read the tokens");
    return out;
}

void StateStore::saveScan(const StoredScan& scan) {
    std::lock_guard lock(mutex_);
    Statement upsert(db_, "INSERT OR REPLACE INTO scans (root, finished, records) VALUES (?, ?, ?)");
    if (!upsert.ok() || upsert.text(1, scan.root).integer(2, scan.finished).blob(3, scan.records).step() != SQLITE_DONE)
        fail("cannot store the scan of " + scan.root);
}

std::optional<StoredScan> StateStore::lastScan(const std::string& root) {
    std::lock_guard lock(mutex_);
    Statement select(db_, "SELECT finished, records, EXISTS (SELECT 1 FROM cleanings WHERE cleanings.root = "
                          "scans.root AND cleanings.finished >= scans.finished) FROM scans WHERE root = ?");
    if (!select.ok()) fail("cannot read the scan of " + root);
    const int step = select.text(1, root).step();
    if (step == SQLITE_DONE) return std::nullopt;
    if (step != SQLITE_ROW) fail("cannot read the scan of " + root);
    return StoredScan{root, select.number(0), select.column(1), select.number(2) != 0};
}

void StateStore::addCleaning(const StoredCleaning& c) {
    std::lock_guard lock(mutex_);
    Statement insert(db_, "INSERT INTO cleanings (run, started, finished, token, client, root, libraries, "
                          "categories, removed, failed, bytes, bytes_freed, stopped, first_failed_path, "
                          "first_failure) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!insert.ok()) fail("cannot record the cleaning " + c.run);
    insert.text(1, c.run).integer(2, c.started).integer(3, c.finished).text(4, c.token).text(5, c.client);
    insert.text(6, c.root).text(7, c.libraries).text(8, c.categories);
    insert.integer(9, static_cast<std::int64_t>(c.removed)).integer(10, static_cast<std::int64_t>(c.failed));
    insert.integer(11, c.bytes).integer(12, c.bytesFreed).integer(13, c.stopped ? 1 : 0);
    if (insert.text(14, c.firstFailedPath).text(15, c.firstFailure).step() != SQLITE_DONE)
        fail("cannot record the cleaning " + c.run);
}

std::vector<StoredCleaning> StateStore::cleanings(std::size_t limit) {
    std::lock_guard lock(mutex_);
    Statement select(db_, "SELECT run, started, finished, token, client, root, libraries, categories, removed, "
                          "failed, bytes, bytes_freed, stopped, first_failed_path, first_failure FROM cleanings "
                          "ORDER BY id DESC LIMIT ?");
    if (!select.ok()) fail("cannot read the history");
    select.integer(1, static_cast<std::int64_t>(limit));
    std::vector<StoredCleaning> out;
    int step;
    while ((step = select.step()) == SQLITE_ROW) {
        StoredCleaning c;
        c.run = select.column(0);
        c.started = select.number(1);
        c.finished = select.number(2);
        c.token = select.column(3);
        c.client = select.column(4);
        c.root = select.column(5);
        c.libraries = select.column(6);
        c.categories = select.column(7);
        c.removed = static_cast<std::uint64_t>(select.number(8));
        c.failed = static_cast<std::uint64_t>(select.number(9));
        c.bytes = select.number(10);
        c.bytesFreed = select.number(11);
        c.stopped = select.number(12) != 0;
        c.firstFailedPath = select.column(13);
        c.firstFailure = select.column(14);
        out.push_back(std::move(c));
    }
    if (step != SQLITE_DONE) fail("cannot read the history");
    return out;
}

} // namespace velmora::web
