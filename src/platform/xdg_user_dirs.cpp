#include "platform/user_dirs.h"

#include <cstddef>

namespace velmora {

namespace {

struct XdgFolder {
    std::string_view key;      // as in XDG_<key>_DIR
    std::string_view fallback; // the English default below the home
};

constexpr std::array<XdgFolder, 5> kXdgFolders{{
    {"DESKTOP", "Desktop"},
    {"DOWNLOAD", "Downloads"},
    {"VIDEOS", "Videos"},
    {"DOCUMENTS", "Documents"},
    {"PICTURES", "Pictures"},
}};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The folder one line sets, or false when the line sets none.
bool parseLine(std::string_view line, const std::string& home, std::string& key, std::string& value) {
    std::size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    line.remove_prefix(at);
    constexpr std::string_view prefix = "XDG_";
    constexpr std::string_view suffix = "_DIR";
    if (!line.starts_with(prefix)) return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && isBlank(name.back()))
        name.remove_suffix(1);
    if (!name.ends_with(suffix) || name.size() <= prefix.size() + suffix.size()) return false;
    key = std::string(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));

    std::string_view rest = line.substr(equals + 1);
    while (!rest.empty() && isBlank(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '"') return false;
    rest.remove_prefix(1);
    constexpr std::string_view homeVariable = "$HOME";
    if (rest.starts_with(homeVariable) &&
        (rest.size() == homeVariable.size() || rest[homeVariable.size()] == '/' ||
         rest[homeVariable.size()] == '"')) {
        value = home;
        rest.remove_prefix(homeVariable.size());
    } else if (rest.starts_with("/")) {
        value.clear();
    } else {
        return false;
    }
    bool closed = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"') {
            closed = true;
            break;
        }
        if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
        value += rest[i];
    }
    if (!closed) return false;
    while (value.size() > 1 && value.back() == '/')
        value.pop_back();
    return true;
}

} // namespace

StandardFolders xdgUserDirsFrom(std::string_view fileText, const std::string& home) {
    StandardFolders folders;
    for (std::size_t i = 0; i < kXdgFolders.size(); ++i)
        folders[i] = home + "/" + std::string(kXdgFolders[i].fallback);
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        const std::string_view line = fileText.substr(0, end);
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
        std::string key;
        std::string value;
        if (!parseLine(line, home, key, value)) continue;
        // A later line for the same folder wins, as with the shell's assignments.
        for (std::size_t i = 0; i < kXdgFolders.size(); ++i)
            if (key == kXdgFolders[i].key) folders[i] = value;
    }
    return folders;
}

} // namespace velmora
