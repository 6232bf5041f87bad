#include "web/serve_options.h"

#include "platform/home_directory.h"
#include "platform/path.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace velmora::web {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Lower-case letters, digits and '-' from the label; "root" when nothing is left.
std::string idFromLabel(const std::string& label) {
    std::string id;
    for (unsigned char c : label) {
        if (std::isalnum(c) != 0 && c < 0x80)
            id += static_cast<char>(std::tolower(c));
        else if (!id.empty() && id.back() != '-')
            id += '-';
    }
    while (!id.empty() && id.back() == '-')
        id.pop_back();
    return id.empty() ? "root" : id;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) throw OptionsError("cannot read the current folder");
    cwd.resize(cwd.find('\0'));
    return joinPath(cwd, path);
}

} // namespace

void parseListen(const std::string& text, ServeOptions& options) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        throw OptionsError("--listen wants ADDR:PORT, not '" + text + "'");
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.back() != ']') throw OptionsError("--listen: an IPv6 address goes in brackets: '" + text + "'");
        host = host.substr(1, host.size() - 2);
    }
    const std::string port = text.substr(colon + 1);
    // Port 0 takes any free port; the log says which.
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 || std::stoul(port) > 65535)
        throw OptionsError("--listen: '" + port + "' is not a port number");
    options.host = host;
    options.port = static_cast<std::uint16_t>(std::stoul(port));
}

std::chrono::seconds parseDuration(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0)
        ++digits;
    const std::string unit = text.substr(digits);
    const std::map<std::string, std::int64_t> units{{"", 1}, {"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}};
    const auto found = units.find(unit);
    if (digits == 0 || digits > 9 || found == units.end())
        throw OptionsError("'" + text + "' is not a duration such as 30s, 15m, 6h or 2d");
    const std::int64_t seconds = std::stoll(text.substr(0, digits)) * found->second;
    if (seconds < 1) throw OptionsError("a duration of at least one second is needed, not '" + text + "'");
    return std::chrono::seconds(seconds);
}

void addRoot(const std::string& text, ServeOptions& options) {
    const std::size_t equals = text.find('=');
    ServedRoot root;
    root.path = absolute(equals == std::string::npos ? text : text.substr(equals + 1));
    if (equals == std::string::npos || equals == 0) {
        root.label = lastPathComponent(root.path);
        if (root.label.empty()) root.label = root.path;
    } else {
        root.label = text.substr(0, equals);
    }
    if (root.path.empty() || text.substr(equals == std::string::npos ? 0 : equals + 1).empty())
        throw OptionsError("a root needs a folder: '" + text + "'");
    const std::string base = idFromLabel(root.label);
    root.id = base;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const ServedRoot& other : options.roots)
            taken = taken || other.id == root.id;
        if (!taken) break;
        root.id = base + "-" + std::to_string(n);
    }
    options.roots.push_back(std::move(root));
}

std::multimap<std::string, std::string> readConfigFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw OptionsError("cannot read the configuration file " + path);
    std::multimap<std::string, std::string> keys;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            throw OptionsError(path + ":" + std::to_string(number) + ": expected 'key = value'");
        keys.emplace(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return keys;
}

std::string defaultStateDir() {
    if (const char* service = std::getenv("STATE_DIRECTORY"); service != nullptr && *service != '\0') {
        const std::string first(service);
        return first.substr(0, first.find(':'));
    }
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
        return joinPath(state, "velmora");
    const std::string home = userHomeDirectory();
    if (home.empty() || home == "/") return "/var/lib/velmora";
    return joinPath(home, ".local/state/velmora");
}

} // namespace velmora::web
