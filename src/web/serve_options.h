#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::web {

// A folder the server shows and cleans, with the name the page gives it. Nothing outside the
// roots is ever listed or cleaned.
struct ServedRoot {
    std::string id;    // short and stable: the label made safe for a URL
    std::string label; // what the page shows
    std::string path;  // as given, absolute
};

struct ServeOptions {
    std::vector<ServedRoot> roots;
    std::string host = "127.0.0.1";
    std::uint16_t port = 8472;
    std::string tlsCert, tlsKey; // both, or neither
    std::string stateDir;
    std::optional<std::chrono::seconds> rescanEvery;
    // The time a client has to send a whole request; one that trickles is dropped.
    std::chrono::seconds requestTimeout{10};
    // Host names the server answers to besides its addresses and "localhost" (a reverse
    // proxy's name, the machine's name on the network).
    std::vector<std::string> allowedHosts;
};

// A mistake in the options or the configuration file, told as it stands.
class OptionsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "ADDR:PORT", the address an IPv4 one, a name, or an IPv6 one in brackets ("[::1]:8472").
void parseListen(const std::string& text, ServeOptions& options);
// "30s", "15m", "6h", "2d" (a bare number counts seconds); at least one second.
[[nodiscard]] std::chrono::seconds parseDuration(const std::string& text);
// "FOLDER" or "LABEL=FOLDER": the folder made absolute, its label its last component by default.
// Ids are unique: a label that repeats another's id gets a number.
void addRoot(const std::string& text, ServeOptions& options);

// The keys of a configuration file: "key = value" lines, "#" comments, blank lines; "root"
// may repeat. Throws OptionsError naming the file and line of a bad one.
[[nodiscard]] std::multimap<std::string, std::string> readConfigFile(const std::string& path);

// Where the state lives by default: /var/lib/velmora for a system service (run by a user
// without a home, or with STATE_DIRECTORY from systemd), $XDG_STATE_HOME/velmora otherwise.
[[nodiscard]] std::string defaultStateDir();

} // namespace velmora::web
