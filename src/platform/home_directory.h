#pragma once

#include <string>

namespace velmora {

// The real user's home directory: the password database's home field, else $HOME, else "/".
[[nodiscard]] std::string userHomeDirectory();

// The same rule over given inputs; null or empty means absent.
[[nodiscard]] std::string homeDirectoryFrom(const char* passwordHome, const char* environmentHome);

} // namespace velmora
